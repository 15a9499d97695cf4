// Work under way when the program is asked to end (the window closed, the
// service told to stop): the request being imported finishes, the run stops
// there, every file keeps its status and only finished files may leave the
// inbox; the scan stops between files; no question is asked on the way out.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <sys/time.h>
#include <vector>

#include "tests/UAmbienteImportacao.h"

namespace {

using namespace importacao_teste;

// The <solicitacao> element of a request file.
std::string Solicitacao(const std::string& arquivo) {
    const std::string texto = LerArquivo(kDados + arquivo);
    const auto ini = texto.find("<solicitacao>");
    const auto fim = texto.find("</solicitacao>");
    return texto.substr(ini, fim + std::string("</solicitacao>").size() - ini);
}

class Encerramento : public AmbienteImportacao {
protected:
    Encerramento() : AmbienteImportacao(kCatalogoMinimo) {}

    // "1_pedido.xml" with request 8002, "2_dois.xml" with 8006 and 8004
    // (imported in that order: by date and time); listed, all pending.
    void DoisArquivos() {
        Copiar("processar_8002.xml", "1_pedido.xml");
        std::string outro = Solicitacao("processar_8002.xml");
        outro.replace(outro.find("<protocolo>8002<"), 16, "<protocolo>8006<");
        Escrever("2_dois.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<solicitacoes>\n" +
                                   Solicitacao("processar_8004.xml") + "\n" + outro + "\n</solicitacoes>\n");
        t.janela.ResponderSempre(TResposta::OK);
        lista.AtualizarLista();
        ASSERT_EQ(Lista(), (std::vector<std::string>{"1_pedido.xml Pendente", "2_dois.xml Pendente"}));
        t.janela.Limpar();
    }

    // Asks to end as soon as the given progress text shows (the close
    // arrives while the request before it is imported).
    void EncerrarAo(const std::string& progresso) {
        t.janela.AoProcessarMensagens = [this, progresso] {
            if (t.janela.progressoAtual == progresso) t.janela.encerrando = true;
        };
    }

    std::vector<std::string> Protocolos() {
        return Linhas("select ped_cod_vis from ped_pedidos order by ped_cod_vis");
    }
};

TEST_F(Encerramento, ProcessarTodosParaAposOPedidoEmCurso) {
    const struct {
        const char* caso;
        bool silencioso;
        std::vector<std::string> lista, entrada, processados;
    } casos[] = {
        // The timer's run: the finished file leaves at once, as always.
        {"automatic", true, {"2_dois.xml Pendente"}, {"2_dois.xml"}, {"1_pedido.xml"}},
        // The operator's run: no question; the finished file stays listed.
        {"manual",
         false,
         {"1_pedido.xml Finalizado", "2_dois.xml Pendente"},
         {"1_pedido.xml", "2_dois.xml"},
         {}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.caso);
        fs::remove_all(entrada);
        fs::create_directory(entrada);
        t.banco.Executar("delete from exp_examespedidos");
        t.banco.Executar("delete from ped_pedidos");
        t.janela.encerrando = false;
        t.janela.AoProcessarMensagens = nullptr;
        DoisArquivos();

        EncerrarAo("Processando protocolo 8004");
        proc.ProcessarTodos(c.silencioso);

        EXPECT_TRUE(Caixas().empty());
        EXPECT_EQ(Protocolos(), (std::vector<std::string>{"8002", "8006"}));
        EXPECT_EQ(Lista(), c.lista);
        EXPECT_EQ(Arquivos(entrada), c.entrada);
        EXPECT_EQ(Arquivos(entrada / "processados"), c.processados);
        EXPECT_EQ(t.janela.progressoAtual, "");

        // The next start imports the file that stayed pending; the request
        // written before the end is updated in place, not doubled.
        t.janela.encerrando = false;
        t.janela.AoProcessarMensagens = nullptr;
        Ciclo();
        EXPECT_EQ(Protocolos(), (std::vector<std::string>{"8002", "8004", "8006"}));
        EXPECT_EQ(Arquivos(entrada), std::vector<std::string>{});
    }
}

TEST_F(Encerramento, PedidoParaAntesDeComecar) {
    DoisArquivos();
    // Asked before the run: nothing is touched.
    t.janela.encerrando = true;
    proc.ProcessarTodos(false);
    EXPECT_TRUE(Caixas().empty());
    EXPECT_TRUE(Protocolos().empty());
    EXPECT_EQ(Lista(), (std::vector<std::string>{"1_pedido.xml Pendente", "2_dois.xml Pendente"}));

    // The selected file, stopped before its first request: no question about
    // removing it, still pending.
    tp.cdsArquivos.MoverPara(Indice("1_pedido.xml"));
    proc.btnProcessarSelecionadoClick();
    EXPECT_TRUE(Caixas().empty());
    EXPECT_TRUE(Protocolos().empty());
    tp.cdsArquivos.MoverPara(Indice("1_pedido.xml"));
    EXPECT_EQ(tp.cdsArquivos.TextoExibicao("status"), "Pendente");
}

TEST_F(Encerramento, VarreduraParaEntreArquivosSemPerguntar) {
    for (const char* nome : {"1_a.xml", "2_b.xml", "3_c.xml"}) {
        Copiar("processar_8002.xml", nome);
        // Of an earlier day: a finished scan would ask to move them.
        const timeval ontem[2] = {{time(nullptr) - 2 * 86400, 0}, {time(nullptr) - 2 * 86400, 0}};
        ASSERT_EQ(::utimes(Caminho(nome).c_str(), ontem), 0);
    }
    // Asked to end while the second file (in the folder's order) is read.
    std::set<std::string> lidos;
    t.janela.AoProcessarMensagens = [&] {
        if (t.janela.progressoAtual.rfind("Lendo arquivo ", 0) == 0) lidos.insert(t.janela.progressoAtual);
        if (lidos.size() == 2) t.janela.encerrando = true;
    };
    t.janela.ResponderSempre(TResposta::Sim);
    lista.AtualizarLista();
    EXPECT_TRUE(Caixas().empty());
    EXPECT_EQ(Lista().size(), 2u);
    EXPECT_EQ(Arquivos(entrada), (std::vector<std::string>{"1_a.xml", "2_b.xml", "3_c.xml"}));
}

}  // namespace
