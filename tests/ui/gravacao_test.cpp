// The main window in automatic mode while the laboratory's main system is
// still writing a request file: no box, nothing imported, the count of such
// files in the status bar; once the file has settled the next cycle imports
// it, complete and once.
#include <chrono>
#include <filesystem>
#include <fstream>

#include <QLabel>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include "base/UTexto.h"
#include "db/UDM.h"
#include "log/ULog.h"
#include "tests/support/UBancoTeste.h"
#include "ui/UPrincipal.h"

namespace fs = std::filesystem;

namespace {

// Two requests, the second with its own patient: a file read before its end
// would miss it.
std::string DoisPedidos() {
    std::ifstream f(std::string(QUORVEL_DADOS_TESTE) + "/lista/valido.xml", std::ios::binary);
    std::string um((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const std::size_t inicio = um.find("  <solicitacao>");
    const std::size_t fim = um.find("</solicitacoes>");
    std::string segundo = um.substr(inicio, fim - inicio);
    for (const auto& [de, para] : {std::pair<std::string, std::string>{"<protocolo>V1<", "<protocolo>V2<"},
                                   {"<codigo>501<", "<codigo>502<"},
                                   {"<nome>PAULA<", "<nome>RITA<"}})
        segundo.replace(segundo.find(de), de.size(), para);
    return um.substr(0, fim) + segundo + um.substr(fim);
}

void Anexar(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::app) << bytes;
}

// The last write `segundos` seconds before now.
void EscritoHa(const fs::path& p, int segundos) {
    fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::seconds(segundos));
}

// The scripted window whose boxes stay open (the window's event loop runs)
// while `naCaixa` runs, as a real box waits for the operator.
class TJanelaComEspera : public TJanelaTeste {
public:
    std::function<void()> naCaixa;
    TResposta Mensagem(const std::string& texto, TIcone icone, TBotoes botoes) override {
        const TResposta r = TJanelaTeste::Mensagem(texto, icone, botoes);
        if (naCaixa) std::exchange(naCaixa, nullptr)();
        return r;
    }
};

}  // namespace

class TesteGravacao : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TDMTeste> base;

    std::string Contar(const char* tabela) { return base->banco.Valor(std::string("select count(*) from ") + tabela); }

private slots:
    void initTestCase() {
        base = std::make_unique<TDMTeste>();
        Log::DefinirArquivo(base->pasta + "log.txt");
    }
    void cleanupTestCase() { base.reset(); }

    // The file arrives in three pieces; the window's cycles run meanwhile (at
    // its first showing and at two timer ticks). The default of
    // segundos_arquivo_estavel (5) applies: config.xml does not name it.
    void arquivoEmPedacosImportadoUmaVezDepoisDeAssentado() {
        TDM& dm = *base->dm;
        TJanelaTeste& janela = base->janela;
        janela.Limpar();
        janela.ResponderSempre(TResposta::OK);
        dm.GravarConfigXML("aplicacao", "modo_processamento", "automatico");
        dm.GravarConfigXML("aplicacao", "frequencia", "1");
        const fs::path caixa = base->pasta + "arquivos/";
        fs::remove_all(caixa);
        fs::create_directories(caixa);
        const fs::path arquivo = caixa / "lote.xml";
        const std::string conteudo = DoisPedidos();
        const std::size_t terco = conteudo.size() / 3;
        const std::string pedidos = Contar("ped_pedidos");

        // The guard's clocks stand still unless the test moves them: the
        // folder's (its stamp), the system's and the monotonic clock.
        auto agora = std::chrono::system_clock::now();
        auto monotonico = std::chrono::steady_clock::now();
        Anexar(arquivo, conteudo.substr(0, terco));
        EscritoHa(arquivo, 4);
        TFPrincipal f(dm, janela);
        f.Lista().Gravacao() = TGuardaGravacao(0, {[&](const std::string&) { return std::optional(agora); },
                                                   [&] { return agora; }, [&] { return monotonico; }});
        f.show();
        QTRY_VERIFY(f.Exibida());
        QCOMPARE(f.Painel1->text(), QString::fromUtf8("1 arquivo ainda em gravação"));

        Anexar(arquivo, conteudo.substr(terco, terco));
        EscritoHa(arquivo, 2);
        f.timerTimer();
        Anexar(arquivo, conteudo.substr(2 * terco));
        f.timerTimer();  // the last piece was just written
        QVERIFY2(janela.caixas.empty(), janela.caixas.empty() ? "" : janela.caixas.front().texto.c_str());
        QCOMPARE(Contar("ped_pedidos"), pedidos);
        QVERIFY(fs::exists(arquivo));
        QCOMPARE(f.Painel1->text(), QString::fromUtf8("1 arquivo ainda em gravação"));

        // Six seconds pass after the writer finished: the next cycle imports
        // it.
        agora += std::chrono::seconds(6);
        monotonico += std::chrono::seconds(6);
        f.timerTimer();
        QVERIFY2(janela.caixas.empty(), janela.caixas.empty() ? "" : janela.caixas.front().texto.c_str());
        QCOMPARE(Contar("ped_pedidos"), std::to_string(std::stoi(pedidos) + 2));
        QCOMPARE(base->banco.Valor("select count(*) from cli_clientes where cli_cod in (501, 502)"), std::string("2"));
        QVERIFY(!fs::exists(arquivo));
        QVERIFY(fs::exists(caixa / "processados" / "lote.xml"));
        QCOMPARE(f.Painel1->text(), QString());

        f.timerTimer();
        QCOMPARE(Contar("ped_pedidos"), std::to_string(std::stoi(pedidos) + 2));  // imported once
        fs::remove_all(caixa);
    }

    // Manual mode: the file held back is listed by the window itself once it
    // may have settled - a refresh while the window is idle (not while a box
    // of a run waits), the operator's selected file still selected, nothing
    // imported, nothing asked. segundos_arquivo_estavel is 1; the clocks and
    // the folder's stamp are the real ones.
    void manualListaSozinhoOArquivoAssentado() {
        TDM& dm = *base->dm;
        TJanelaComEspera janela;
        janela.ResponderSempre(TResposta::OK);
        dm.GravarConfigXML("aplicacao", "modo_processamento", "manual");
        dm.GravarConfigXML("aplicacao", "segundos_arquivo_estavel", "1");
        const fs::path caixa = base->pasta + "arquivos/";
        fs::remove_all(caixa);
        fs::create_directories(caixa);
        const std::string dados = std::string(QUORVEL_DADOS_TESTE) + "/lista/";
        for (const char* nome : {"b.xml", "c.xml"}) {  // refused: nothing pending for F9
            fs::copy_file(dados + "sem_sexo.xml", caixa / nome);
            EscritoHa(caixa / nome, 60);
        }
        fs::copy_file(dados + "valido.xml", caixa / "a.xml");  // just written
        const std::string pedidos = Contar("ped_pedidos");

        TFPrincipal f(dm, janela);
        f.show();
        QTRY_VERIFY(f.Exibida());
        QAbstractItemModel* linhas = f.grideArquivos->model();
        QCOMPARE(linhas->rowCount(), 2);
        QCOMPARE(f.Painel1->text(), QString::fromUtf8("1 arquivo ainda em gravação"));
        QVERIFY(f.timerAssentamento.isActive());
        f.grideArquivos->selectRow(1);
        QCOMPARE(f.Tabelas().cdsArquivos.Texto("nome_arquivo"), (caixa / "c.xml").string());

        // F9's box stays open past the settling time: no refresh under it.
        QSignalSpy disparos(&f.timerAssentamento, &QTimer::timeout);
        bool listadoNaCaixa = true;
        janela.naCaixa = [&] {
            QTRY_VERIFY_WITH_TIMEOUT(disparos.count() >= 1, 10000);
            listadoNaCaixa = linhas->rowCount() != 2;
        };
        f.btnProcessarTodosClick();
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QCOMPARE(janela.caixas[0].texto, std::string("Nenhum arquivo pendente encontrado."));
        QVERIFY(!listadoNaCaixa);

        // Idle again: the refresh comes by itself.
        QTRY_COMPARE_WITH_TIMEOUT(linhas->rowCount(), 3, 10000);
        QCOMPARE(linhas->index(0, 1).data().toString(), QString::fromStdString((caixa / "a.xml").string()));
        QCOMPARE(linhas->index(0, 2).data().toString(), QString::fromUtf8("Pendente"));
        QCOMPARE(f.Tabelas().cdsArquivos.Texto("nome_arquivo"), (caixa / "c.xml").string());
        QCOMPARE(f.grideArquivos->currentIndex().row(), f.Tabelas().cdsArquivos.IndiceAtual());
        QCOMPARE(f.Painel1->text(), QString());
        QVERIFY(!f.timerAssentamento.isActive());
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QCOMPARE(Contar("ped_pedidos"), pedidos);
        QVERIFY(fs::exists(caixa / "a.xml"));
        fs::remove_all(caixa);
        dm.GravarConfigXML("aplicacao", "segundos_arquivo_estavel", "5");
    }

    // Manual mode while another file keeps being written: the window's own
    // refreshes come every N + 1 s, and a listed file that cannot be parsed
    // (its box answered at the operator's refresh) shows no box again; the
    // file written meanwhile is listed once it settles.
    void arquivoMalformadoNaoMostraACaixaDeNovoAcadaReatualizacao() {
        TDM& dm = *base->dm;
        TJanelaTeste janela;
        janela.ResponderSempre(TResposta::OK);
        dm.GravarConfigXML("aplicacao", "modo_processamento", "manual");
        dm.GravarConfigXML("aplicacao", "segundos_arquivo_estavel", "1");
        const fs::path caixa = base->pasta + "arquivos/";
        fs::remove_all(caixa);
        fs::create_directories(caixa);
        const std::string dados = std::string(QUORVEL_DADOS_TESTE) + "/lista/";
        fs::copy_file(dados + "malformado.xml", caixa / "m.xml");
        EscritoHa(caixa / "m.xml", 60);
        fs::copy_file(dados + "valido.xml", caixa / "w.xml");  // still being written

        TFPrincipal f(dm, janela);
        f.show();
        QTRY_VERIFY(f.Exibida());
        QAbstractItemModel* linhas = f.grideArquivos->model();
        QCOMPARE(linhas->rowCount(), 1);
        const std::size_t caixasDoF5 = janela.caixas.size();
        QVERIFY(caixasDoF5 >= 1);
        QCOMPARE(janela.caixas[0].texto.rfind("Arquivo: " + (caixa / "m.xml").string(), 0), std::size_t{0});

        // The writer goes on (blank lines after the root are still XML) past
        // two of the window's refreshes.
        QTimer escritor;
        QObject::connect(&escritor, &QTimer::timeout, [&] { Anexar(caixa / "w.xml", "\n"); });
        escritor.start(300);
        QSignalSpy disparos(&f.timerAssentamento, &QTimer::timeout);
        QTRY_VERIFY_WITH_TIMEOUT(disparos.count() >= 2, 15000);
        escritor.stop();
        QCOMPARE(linhas->rowCount(), 1);

        QTRY_COMPARE_WITH_TIMEOUT(linhas->rowCount(), 2, 10000);
        std::string textos;
        for (const auto& c : janela.caixas) textos += c.texto + "\n";
        QVERIFY2(janela.caixas.size() == caixasDoF5, textos.c_str());
        QCOMPARE(f.Tabelas().cdsArquivos.Texto("nome_arquivo"), (caixa / "m.xml").string());
        QCOMPARE(linhas->index(1, 1).data().toString(), QString::fromStdString((caixa / "w.xml").string()));
        QCOMPARE(f.Painel1->text(), QString());
        fs::remove_all(caixa);
        dm.GravarConfigXML("aplicacao", "segundos_arquivo_estavel", "5");
    }
};

QTEST_MAIN(TesteGravacao)
#include "gravacao_test.moc"
