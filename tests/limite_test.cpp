// The bound of the data module's calls to the server (segundos_limite_banco):
// the key as config.xml holds it, and the calls themselves through a relay
// that stops forwarding while it keeps the connection open, as a server that
// hangs does. Each call returns once its bound ran out, the connection is
// dropped, and the data module connects again once the server answers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>

#include "config/UConfig.h"
#include "db/UDM.h"
#include "tests/support/UBancoTeste.h"
#include "tests/support/UReleTeste.h"

namespace {

using std::chrono::steady_clock;

TEST(LimiteBanco, ChaveDeConfiguracao) {
    struct TCaso {
        const char* texto;
        int segundos;
    };
    for (const TCaso caso : {TCaso{"60", 60}, TCaso{"10", 10}, TCaso{"3600", 3600}, TCaso{" 25 ", 25},
                             TCaso{"0010", 10}, TCaso{"9", 60}, TCaso{"0", 60}, TCaso{"3601", 60},
                             TCaso{"99999", 60}, TCaso{"-20", 60}, TCaso{"2.5", 60}, TCaso{"30s", 60},
                             TCaso{"abc", 60}, TCaso{"", 60}, TCaso{"   ", 60}}) {
        EXPECT_EQ(TLimiteBanco::LerSegundos(caso.texto), caso.segundos) << "'" << caso.texto << "'";
    }
}

// The window and the service read the key with the other settings, and the
// data module's calls take it as their bound.
TEST(LimiteBanco, LidoDoConfigXmlComAsOutrasConfiguracoes) {
    struct TCaso {
        const char* atributo;  // inside <aplicacao .../>
        int segundos;
    };
    char modelo[] = "/tmp/quorvel-limite-XXXXXX";
    const std::string pasta = std::string(::mkdtemp(modelo)) + "/";
    for (const TCaso caso : {TCaso{"segundos_limite_banco=\"15\"", 15}, TCaso{"", 60},
                             TCaso{"segundos_limite_banco=\"5\"", 60}, TCaso{"segundos_limite_banco=\"x\"", 60}}) {
        std::ofstream(pasta + "config.xml", std::ios::trunc)
            << "<?xml version=\"1.0\"?>\n<Configuration><aplicacao frequencia=\"1\" " << caso.atributo
            << "/></Configuration>\n";
        TJanelaTeste janela;
        TDM dm(janela, pasta);
        TConfig config;
        LerConfigAplicacao(dm, config);
        EXPECT_EQ(config.SegundosLimiteBanco, caso.segundos) << caso.atributo;
        EXPECT_EQ(dm.Limite().Segundos(), caso.segundos) << caso.atributo;
    }
    std::filesystem::remove_all(pasta);
}

class LimiteChamadas : public ::testing::Test {
protected:
    static constexpr int kLimite = 10;

    LimiteChamadas() {
        char modelo[] = "/tmp/quorvel-limite-XXXXXX";
        pasta = std::string(::mkdtemp(modelo)) + "/";
        banco.Executar("insert into cli_clientes (cli_cod, cli_nom) values (1, 'Um');");
    }
    ~LimiteChamadas() override { std::filesystem::remove_all(pasta); }

    // A data module connected through the relay, with the shortest bound.
    std::unique_ptr<TDM> Conectar() {
        auto dm = std::make_unique<TDM>(janela, pasta);
        dm->Limite().DefinirSegundos(kLimite);
        TConfigBD cfg = banco.Config();
        cfg.Servidor = rele.Servidor();
        if (!dm->TentarConexao(cfg)) throw std::runtime_error("sem conexão pelo relé");
        return dm;
    }

    // Runs `chamada` and tells how many seconds it took; a call that has not
    // returned well after its bound is let go (the relay forwards again) and
    // fails the test.
    double Medir(const std::function<void()>& chamada) {
        const auto inicio = steady_clock::now();
        auto feito = std::async(std::launch::async, chamada);
        if (feito.wait_for(std::chrono::seconds(kLimite + 30)) != std::future_status::ready) {
            rele.Retomar();
            feito.wait();
            ADD_FAILURE() << "a chamada não voltou no limite";
        }
        feito.get();
        return std::chrono::duration<double>(steady_clock::now() - inicio).count();
    }

    std::string pasta;
    TBancoTeste banco;
    TReleTeste rele;
    TJanelaTeste janela;
};

// Every kind of call: made ready while the server answers, then run while it
// hangs (or, for a live server, while it is busy with a statement that does
// not end). It returns within the bound and a second for the connection's
// close, with the bound's error where the call reports errors, leaving no
// connection; once the server answers, the data module connects again and
// works.
TEST_F(LimiteChamadas, CadaChamadaVoltaNoLimiteEAConexaoEhRefeita) {
    struct TCaso {
        const char* nome;
        bool congelar;  // the server hangs; otherwise it is busy
        // Prepares the call on `dm` and returns it.
        std::function<std::function<void()>(TDM& dm)> preparar;
        bool lanca;  // the call reports the bound's error (else it answers false / nothing)
    };
    const auto consulta = [](TDM& dm, bool leitura, const char* sql) {
        std::shared_ptr<TQuery> q = dm.NovaQuery(leitura);
        q->DefinirSQL(sql);
        return q;
    };
    const std::vector<TCaso> casos = {
        {"preparo", true,
         [&](TDM& dm) {
             std::shared_ptr<TQuery> q = consulta(dm, true, "select cli_nom from cli_clientes");
             q->Transacao().Obter();
             return std::function<void()>([q] { q->Preparar(); });
         },
         true},
        {"execução", true,
         [&](TDM& dm) {
             auto q = consulta(dm, false, "update cli_clientes set cli_nom = 'Dois' where cli_cod = 1");
             q->Preparar();
             return std::function<void()>([q] { q->Executar(); });
         },
         true},
        {"abertura de um select", true,
         [&](TDM& dm) {
             auto q = consulta(dm, true, "select cli_nom from cli_clientes");
             q->Preparar();
             return std::function<void()>([q] { q->Abrir(); });
         },
         true},
        {"início de transação", true,
         [&](TDM& dm) { return std::function<void()>([&dm] { dm.TRIUD().Obter(); }); }, true},
        {"commit", true,
         [&](TDM& dm) {
             auto q = consulta(dm, false, "update cli_clientes set cli_nom = 'Dois' where cli_cod = 1");
             q->Executar();
             return std::function<void()>([&dm] { dm.TRIUD().Commit(); });
         },
         true},
        {"ping", true,
         [&](TDM& dm) { return std::function<void()>([&dm] { EXPECT_FALSE(dm.ConexaoAtiva()); }); }, false},
        {"desconexão", true,
         [&](TDM& dm) {
             consulta(dm, true, "select cli_nom from cli_clientes")->Abrir();
             return std::function<void()>([&dm] { dm.Desconectar(); });
         },
         false},
        {"servidor ocupado", false,
         [&](TDM& dm) {
             auto q = consulta(dm, false,
                               "execute block as declare i bigint = 0; begin while (i < 100000000000) do "
                               "i = i + 1; end");
             q->Preparar();
             return std::function<void()>([q] { q->Executar(); });
         },
         true},
    };
    for (const TCaso& caso : casos) {
        SCOPED_TRACE(caso.nome);
        banco.Executar("update cli_clientes set cli_nom = 'Um' where cli_cod = 1;");
        std::unique_ptr<TDM> dm = Conectar();
        const std::function<void()> chamada = caso.preparar(*dm);
        if (caso.congelar) rele.Parar();
        std::string erro;
        bool passageira = false;
        const double segundos = Medir([&] {
            try {
                chamada();
            } catch (const EErroBD& e) {
                erro = e.what();
                passageira = EhFalhaPassageira(e);
            }
        });
        RecordProperty(caso.nome, std::to_string(segundos));
        EXPECT_GE(segundos, kLimite - 0.5);
        EXPECT_LE(segundos, kLimite + TLimiteBanco::kSegundosAbandono + 5.0);
        if (caso.lanca) {
            EXPECT_EQ(erro, dm->ErroLimite());
            // A file whose import it cut is tried again, never held.
            EXPECT_TRUE(passageira);
        }
        EXPECT_EQ(dm->ErroLimite(),
                  "O banco de dados n\xE3o respondeu em 10 segundos; a conex\xE3o com o banco de dados foi desfeita.");
        EXPECT_FALSE(dm->Conectado());

        // Back: the connection is made again and works. An update whose
        // commit was not sent is gone with the dropped connection. (A commit
        // that reached a server before it hung may still take effect when it
        // wakes: its outcome is unknown, and the import treats it as failed.)
        rele.Retomar();
        ASSERT_TRUE(dm->VerificarConexao());
        auto q = dm->NovaQuery(true);
        q->DefinirSQL("select cli_nom from cli_clientes where cli_cod = 1");
        q->Abrir();
        if (std::string(caso.nome) != "commit") {
            EXPECT_EQ(VariantParaTexto(q->Campo(0)), "Um");
        }
    }
}

// Calls that answer are never cancelled, however long the data module has
// been working: each call's bound counts from its own start.
TEST_F(LimiteChamadas, ChamadasQueRespondemNaoSaoCanceladas) {
    std::unique_ptr<TDM> dm = Conectar();
    const auto fim = steady_clock::now() + std::chrono::seconds(kLimite + 2);
    int i = 0;
    for (; steady_clock::now() < fim; ++i) {
        auto q = dm->NovaQuery(false);
        q->DefinirSQL("update cli_clientes set cli_nom = :n where cli_cod = 1");
        q->Parametro("n", "Nome " + std::to_string(i));
        q->Executar();
        dm->Commit();
    }
    EXPECT_TRUE(dm->ConexaoAtiva());
    EXPECT_TRUE(janela.caixas.empty());
    EXPECT_EQ(banco.Valor("select cli_nom from cli_clientes where cli_cod = 1"), "Nome " + std::to_string(i - 1));
}

}  // namespace
