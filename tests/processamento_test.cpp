// The processing driver over a real inbox folder and a real laboratory
// database: processing all files (each pending file exactly once, whatever
// place its row takes; files with errors and unreadable files left out;
// removal on Yes, on No, and silently), the selected file by its status, and
// a row held locked by another connection.
#include "import/UProcessamento.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/UAmbienteImportacao.h"

namespace {

using namespace importacao_teste;

const std::string kFinalizado =
    "Processo finalizado.\rDeseja remover arquivos processados com sucesso da lista de arquivos?";

// The driver's lines for the files 2_pedido (8002, patient 5001 with doctor
// 301) and 4_pedido (8004, patient 5004 without doctor), in list order.
const std::vector<std::string> kLinhasDoisPedidos = {
    "cli_cod = 5001", "med_cod = 301", "grp_cod = 1", "cnv_cod = 1", "ped_cod = 1",
    "cli_cod = 5004", "med_cod = 0",   "grp_cod = 1", "cnv_cod = 1", "ped_cod = 2"};

class Processamento : public AmbienteImportacao {
protected:
    Processamento() : AmbienteImportacao(kCatalogoMinimo) {}

    // Four files: one that cannot be parsed (listed "Pendente" by the scan,
    // never validated), two valid ones, one that fails the validation.
    void QuatroArquivos() {
        Copiar("quebrado.xml", "1_quebrado.xml");
        Copiar("processar_8002.xml", "2_pedido.xml");
        Copiar("processar_erro.xml", "3_erro.xml");
        Copiar("processar_8004.xml", "4_pedido.xml");
        t.janela.ResponderSempre(TResposta::OK);
        lista.AtualizarLista();
        ASSERT_EQ(Lista(), (std::vector<std::string>{"1_quebrado.xml Pendente", "2_pedido.xml Pendente",
                                                     "4_pedido.xml Pendente", "3_erro.xml Com erro"}));
        t.janela.Limpar();
    }

    std::vector<std::string> Pedidos() {
        return Linhas("select ped_cod, ped_cod_vis, cli_cod, med_cod from ped_pedidos order by ped_cod");
    }
};

// The row that turns "Com erro" moves behind the other pending rows: they are
// still processed, each once, and the walk ends.
TEST_F(Processamento, TodosRespondidoSimProcessaCadaPendenteUmaVezERemoveOsFinalizados) {
    QuatroArquivos();
    t.janela.Responder(TResposta::Sim);
    proc.btnProcessarTodosClick();

    EXPECT_EQ(Caixas(), std::vector<std::string>{kFinalizado});
    EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Informacao);
    EXPECT_EQ(t.janela.caixas[0].botoes, TBotoes::SimNao);
    EXPECT_EQ(LinhasDoProcessamento(), kLinhasDoisPedidos);
    EXPECT_EQ(Pedidos(), (std::vector<std::string>{"1|8002|5001|301", "2|8004|5004|<null>"}));
    EXPECT_EQ(Linhas("select exp_cod, ped_cod, exa_cod, mat_cod, exp_vlr, exp_dat_ent from exp_examespedidos"
                     " order by exp_cod"),
              (std::vector<std::string>{"1|1|10|1|18,5|10/03/2026 12:00:00", "2|2|10|1|18,5|10/03/2026 13:00:00"}));

    // The unreadable file was checked before import and refused with the
    // reading's description; the file with errors kept its lines.
    EXPECT_EQ(Lista(), (std::vector<std::string>{"1_quebrado.xml Com erro", "3_erro.xml Com erro"}));
    tp.cdsArquivos.MoverPara(Indice("1_quebrado.xml"));
    EXPECT_NE(tp.cdsArquivos.Texto("erros"), "");
    tp.cdsArquivos.MoverPara(Indice("3_erro.xml"));
    EXPECT_EQ(tp.cdsArquivos.Texto("erros"), Cp("Protocolo 8003: Sexo inválido para pacienteCarla\r\n"));

    EXPECT_EQ(Arquivos(entrada), (std::vector<std::string>{"1_quebrado.xml", "3_erro.xml"}));
    EXPECT_EQ(Arquivos(entrada / "processados"), (std::vector<std::string>{"2_pedido.xml", "4_pedido.xml"}));
}

TEST_F(Processamento, TodosRespondidoNaoMantemOsFinalizadosAteAProximaVez) {
    QuatroArquivos();
    t.janela.Responder(TResposta::Nao);
    proc.ProcessarTodos(false);
    EXPECT_EQ(Caixas(), std::vector<std::string>{kFinalizado});
    EXPECT_EQ(Lista(), (std::vector<std::string>{"2_pedido.xml Finalizado", "4_pedido.xml Finalizado",
                                                 "1_quebrado.xml Com erro", "3_erro.xml Com erro"}));
    EXPECT_EQ(Arquivos(entrada),
              (std::vector<std::string>{"1_quebrado.xml", "2_pedido.xml", "3_erro.xml", "4_pedido.xml"}));

    // Nothing pending: the operator is told, the timer's silent run says
    // nothing; neither imports or removes anything.
    t.janela.Limpar();
    proc.ProcessarTodos(false);
    EXPECT_EQ(Caixas(), std::vector<std::string>{"Nenhum arquivo pendente encontrado."});
    EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Informacao);
    EXPECT_EQ(t.janela.caixas[0].botoes, TBotoes::OK);
    t.janela.Limpar();
    proc.ProcessarTodos(true);
    EXPECT_TRUE(Caixas().empty());
    EXPECT_EQ(Lista().size(), 4u);
    EXPECT_EQ(LinhasDoProcessamento(), kLinhasDoisPedidos);

    // A rescan lists them as pending again; the silent run does not write
    // again the requests of these same files that went through (that could
    // undo the laboratory's work since) and removes them without asking.
    t.janela.ResponderSempre(TResposta::OK);
    lista.AtualizarLista();
    t.janela.Limpar();
    proc.ProcessarTodos(true);
    EXPECT_TRUE(Caixas().empty());
    EXPECT_EQ(LinhasDoProcessamento(), kLinhasDoisPedidos);
    EXPECT_EQ(Pedidos(), (std::vector<std::string>{"1|8002|5001|301", "2|8004|5004|<null>"}));
    EXPECT_EQ(Linhas("select count(*) from exp_examespedidos"), std::vector<std::string>{"2"});
    EXPECT_EQ(Lista(), (std::vector<std::string>{"1_quebrado.xml Com erro", "3_erro.xml Com erro"}));
    EXPECT_EQ(Arquivos(entrada / "processados"), (std::vector<std::string>{"2_pedido.xml", "4_pedido.xml"}));
}

TEST_F(Processamento, SelecionadoConformeOStatus) {
    Copiar("processar_8002.xml", "2_pedido.xml");
    Copiar("processar_erro.xml", "3_erro.xml");
    Copiar("processar_8004.xml", "4_pedido.xml");
    lista.AtualizarLista();
    // Changed after the scan: it no longer passes the validation.
    Copiar("processar_erro.xml", "4_pedido.xml");
    t.janela.Limpar();

    // -1: only its errors can be shown.
    tp.cdsArquivos.MoverPara(Indice("3_erro.xml"));
    t.janela.Responder(TResposta::Sim);
    proc.btnProcessarSelecionadoClick();
    const std::string linhaErro = Cp("Protocolo 8003: Sexo inválido para pacienteCarla\r\n");
    EXPECT_EQ(Caixas(), (std::vector<std::string>{
                            Cp("Arquivo já processado e com erros encontrados.\rDeseja exibir o(s) erro(s) "
                               "encontrado(s)?"),
                            linhaErro}));
    EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Erro);
    EXPECT_EQ(t.janela.caixas[0].botoes, TBotoes::SimNao);
    EXPECT_EQ(t.janela.caixas[1].icone, TIcone::Erro);
    EXPECT_EQ(t.janela.caixas[1].botoes, TBotoes::OK);

    // 0, but failing the validation now: refused, nothing imported.
    t.janela.Limpar();
    tp.cdsArquivos.MoverPara(Indice("4_pedido.xml"));
    proc.btnProcessarSelecionadoClick();
    EXPECT_TRUE(Caixas().empty());
    tp.cdsArquivos.MoverPara(Indice("4_pedido.xml"));
    EXPECT_EQ(tp.cdsArquivos.TextoExibicao("status"), "Com erro");
    EXPECT_EQ(tp.cdsArquivos.Texto("erros"), linhaErro);
    EXPECT_TRUE(LinhasDoProcessamento().empty());

    // 0: imported; No keeps it in the list as finished.
    t.janela.Limpar();
    tp.cdsArquivos.MoverPara(Indice("2_pedido.xml"));
    t.janela.Responder(TResposta::Nao);
    proc.btnProcessarSelecionadoClick();
    EXPECT_EQ(Caixas(), std::vector<std::string>{Cp("Arquivo processado com sucesso.\rDeseja removê-lo da lista?")});
    EXPECT_EQ(tp.cdsArquivos.TextoExibicao("status"), "Finalizado");
    EXPECT_EQ(LinhasDoProcessamento().size(), 5u);

    // 1: not imported again; Yes moves the file and drops its row.
    t.janela.Limpar();
    t.janela.Responder(TResposta::Sim);
    proc.btnProcessarSelecionadoClick();
    EXPECT_EQ(Caixas(), std::vector<std::string>{Cp("Arquivo já processado.\rDeseja removê-lo da lista?")});
    EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Confirmacao);
    EXPECT_EQ(LinhasDoProcessamento().size(), 5u);
    EXPECT_EQ(Lista(), (std::vector<std::string>{"3_erro.xml Com erro", "4_pedido.xml Com erro"}));
    EXPECT_EQ(Arquivos(entrada / "processados"), std::vector<std::string>{"2_pedido.xml"});
    EXPECT_EQ(Pedidos(), std::vector<std::string>{"1|8002|5001|301"});
}

// The list's own refresh (manual mode, once held-back files settled) and the
// driver agree on which version a row stands for: a file rewritten after the
// scan and then imported by F8 stays finished, and a file the refresh added is
// imported by F9 as one listed by F5.
TEST_F(Processamento, ReatualizacaoMantemOImportadoEImportaONovo) {
    Copiar("processar_8002.xml", "2_pedido.xml");
    lista.AtualizarLista();
    Copiar("processar_8002.xml", "2_pedido.xml");  // written again after the scan
    fs::last_write_time(entrada / "2_pedido.xml", fs::file_time_type::clock::now() + std::chrono::seconds(2));
    t.janela.Limpar();
    t.janela.Responder(TResposta::Nao);
    proc.btnProcessarSelecionadoClick();
    ASSERT_EQ(Lista(), std::vector<std::string>{"2_pedido.xml Finalizado"});

    Copiar("processar_8004.xml", "4_pedido.xml");
    lista.Reatualizar(Caminho("2_pedido.xml"));
    EXPECT_EQ(Lista(), (std::vector<std::string>{"2_pedido.xml Finalizado", "4_pedido.xml Pendente"}));
    EXPECT_EQ(tp.cdsArquivos.Texto("nome_arquivo"), Caminho("2_pedido.xml"));

    t.janela.Limpar();
    t.janela.Responder(TResposta::Sim);
    proc.btnProcessarTodosClick();
    EXPECT_EQ(Caixas(), std::vector<std::string>{kFinalizado});
    EXPECT_EQ(LinhasDoProcessamento(), kLinhasDoisPedidos) << "each file imported once";
    EXPECT_EQ(Pedidos(), (std::vector<std::string>{"1|8002|5001|301", "2|8004|5004|<null>"}));
    EXPECT_TRUE(Lista().empty());
    EXPECT_EQ(Arquivos(entrada / "processados"), (std::vector<std::string>{"2_pedido.xml", "4_pedido.xml"}));
}

// Another program holds the patient's row locked: that save shows the row
// writer's message, the request writes no order (it would point at no
// patient), and the file is not finished: it stays in the inbox folder "Com
// erro" with that message. Once the lock is gone the next cycle writes the
// patient and the order.
TEST_F(Processamento, LinhaBloqueadaPorOutraConexao) {
    t.banco.Executar("insert into cli_clientes (cli_cod, cli_nom) values (5001, 'Nome guardado');");
    TTravaDeOutroPrograma trava(t.banco, "update cli_clientes set cli_nom = 'Outro programa' where cli_cod = 5001");

    Copiar("processar_8002.xml", "2_pedido.xml");
    lista.AtualizarLista();
    t.janela.Limpar();
    proc.ProcessarTodos(true);

    ASSERT_EQ(t.janela.caixas.size(), 1u);
    const std::string prefixo = "Encontramos um erro ao tentar salvar na tabela CLI_CLIENTES.\rErro:\r";
    EXPECT_EQ(t.janela.caixas[0].texto.substr(0, prefixo.size()), prefixo);
    EXPECT_NE(t.janela.caixas[0].texto.find("update conflicts with concurrent update"), std::string::npos)
        << t.janela.caixas[0].texto;
    EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Erro);
    EXPECT_EQ(LinhasDoProcessamento(),
              (std::vector<std::string>{"cli_cod = 0", "med_cod = 301", "grp_cod = 1", "cnv_cod = 1"}));
    EXPECT_TRUE(Pedidos().empty());
    EXPECT_EQ(Linhas("select count(*) from exp_examespedidos"), std::vector<std::string>{"0"});
    EXPECT_TRUE(Arquivos(entrada / "processados").empty());
    EXPECT_EQ(Lista(), std::vector<std::string>{"2_pedido.xml Com erro"});
    EXPECT_EQ(tp.cdsArquivos.Texto("erros").rfind("Protocolo 8002: " + prefixo.substr(0, prefixo.find('\r')), 0), 0u)
        << tp.cdsArquivos.Texto("erros");

    trava.Soltar();
    EXPECT_EQ(Linhas("select cli_nom from cli_clientes where cli_cod = 5001"),
              std::vector<std::string>{"Nome guardado"});
    t.janela.Limpar();
    Ciclo();
    EXPECT_TRUE(Caixas().empty());
    EXPECT_EQ(Pedidos(), std::vector<std::string>{"1|8002|5001|301"});
    EXPECT_EQ(Linhas("select count(*) from exp_examespedidos"), std::vector<std::string>{"1"});
    EXPECT_EQ(Arquivos(entrada / "processados"), std::vector<std::string>{"2_pedido.xml"});
}

}  // namespace
