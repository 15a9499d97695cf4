// The activity log failing under an import: a rewrite that fails holds the
// lines of one request; the failure is told once, naming that request and
// its file, the lines are written by the next flush point, and neither that
// file nor the next one is held back by it.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <string>
#include <vector>

#include "tests/UAmbienteImportacao.h"

namespace {

using namespace importacao_teste;

class LogNaImportacao : public AmbienteImportacao {
protected:
    LogNaImportacao() : AmbienteImportacao(kCatalogoMinimo) {}
    void TearDown() override {
        Log::DefinirObservador({});
        ::setrlimit(RLIMIT_FSIZE, &original_);
        std::signal(SIGXFSZ, sinal_);
        AmbienteImportacao::TearDown();
    }
    void SetUp() override {
        AmbienteImportacao::SetUp();
        ::getrlimit(RLIMIT_FSIZE, &original_);
        sinal_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    rlimit original_{};
    void (*sinal_)(int) = SIG_DFL;
};

// The rewrite that follows the first order's insert fails (the file size
// limit drops for just that rewrite, as a disk that fills up and is freed):
// that is the rewrite of request 8002's lines, its own flush point's.
TEST_F(LogNaImportacao, FalhaDaReescritaEhDoPedidoCujasLinhasElaGuardava) {
    std::string antigo;
    for (int i = 0; i < 200; ++i) antigo += "01/01/2009 10:00:00\tlinha antiga " + std::to_string(i) + "\r\n";
    Escrever("../log.txt", antigo);
    Copiar("processar_8002.xml", "2_pedido.xml");
    Copiar("processar_8004.xml", "4_pedido.xml");

    std::atomic<bool> armado{false}, aplicado{false}, usado{false};
    t.dm->AoExecutar = [&](const TDM::TRegistro& r) {
        if (!r.leitura && r.sql.find("ped_pedidos") != std::string::npos && !usado.exchange(true)) armado = true;
    };
    Log::DefinirObservador([&](const Log::TReescrita& r) {
        if (!r.fim && armado.exchange(false)) {
            rlimit pequeno = original_;
            pequeno.rlim_cur = 1024;
            ::setrlimit(RLIMIT_FSIZE, &pequeno);
            aplicado = true;
        } else if (r.fim && aplicado.exchange(false)) {
            ::setrlimit(RLIMIT_FSIZE, &original_);
        }
    });
    Ciclo();
    Log::Concluir();
    t.dm->AoExecutar = nullptr;

    ASSERT_TRUE(usado.load());
    const std::string esperado = "N\xE3o foi poss\xEDvel gravar o arquivo " + (raiz / "log.txt").string() + ": ";
    const std::vector<std::string> caixas = Caixas();
    ASSERT_EQ(caixas.size(), 1u) << "one box, for the request whose lines failed";
    EXPECT_EQ(caixas[0].rfind(esperado, 0), 0u) << caixas[0];
    EXPECT_NE(caixas[0].find("\rAs linhas de protocolo 8002 do arquivo " + Caminho("2_pedido.xml") +
                             " ficam guardadas para a pr\xF3xima tentativa."),
              std::string::npos)
        << caixas[0];
    EXPECT_EQ(caixas[0].find("8004"), std::string::npos);

    // Both files imported once and moved; every line written once, in order.
    EXPECT_TRUE(Lista().empty());
    EXPECT_EQ(Arquivos(entrada / "processados"), (std::vector<std::string>{"2_pedido.xml", "4_pedido.xml"}));
    EXPECT_EQ(Linhas("select count(*) from ped_pedidos"), std::vector<std::string>{"2"});
    EXPECT_EQ(LinhasDoProcessamento(),
              (std::vector<std::string>{"cli_cod = 5001", "med_cod = 301", "grp_cod = 1", "cnv_cod = 1",
                                        "ped_cod = 1", "cli_cod = 5004", "med_cod = 0", "grp_cod = 1",
                                        "cnv_cod = 1", "ped_cod = 2"}));
    const std::string log = LerArquivo(raiz / "log.txt");
    EXPECT_EQ(log.substr(log.size() - antigo.size()), antigo);
}

}  // namespace
