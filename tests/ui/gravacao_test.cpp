// The main window in automatic mode while the laboratory's main system is
// still writing a request file: no box, nothing imported, the count of such
// files in the status bar; once the file has settled the next cycle imports
// it, complete and once.
#include <chrono>
#include <filesystem>
#include <fstream>

#include <QLabel>
#include <QtTest>

#include "app/UTexto.h"
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

        Anexar(arquivo, conteudo.substr(0, terco));
        EscritoHa(arquivo, 4);
        TFPrincipal f(dm, janela);
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

        // The writer finished six seconds ago: the next cycle imports it.
        EscritoHa(arquivo, 6);
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
};

QTEST_MAIN(TesteGravacao)
#include "gravacao_test.moc"
