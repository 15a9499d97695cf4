// The automatic cycle of the core (timer stopped during the work, re-armed
// with the period after it, errors handed over before the re-arming, the
// next check announced) and the service's window services (one line per box,
// the answers of a box closed without a button).
#include <atomic>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/UErro.h"
#include "servico/UJanelaServico.h"
#include "base/UTexto.h"
#include "import/UCicloAutomatico.h"
#include "inbox/ULeitor.h"
#include "inbox/UListaArquivos.h"
#include "inbox/UTabelasPedido.h"
#include "inbox/UValidacao.h"
#include "log/ULog.h"
#include "tests/support/UBancoTeste.h"

namespace {

namespace fs = std::filesystem;

std::string Cp(const std::string& utf8) { return Utf8ParaCp1252(utf8); }

// The timer as the cycle drives it, with every call noted.
class TTemporizadorTeste : public ITemporizador {
public:
    void Parar() override {
        eventos.push_back("parar");
        ativo = false;
    }
    void Iniciar(std::int64_t intervaloMs) override {
        eventos.push_back("iniciar " + std::to_string(intervaloMs));
        ativo = true;
    }
    std::vector<std::string> eventos;
    bool ativo = true;
};

// The program's "asked to end", as the cycle reads it.
struct TEncerramento {
    std::atomic<bool> pedido{false};
    TJanelaServico janela{&pedido};
};

TEST(CicloAutomatico, ParaOTemporizadorDuranteOTrabalhoERearmaComOPeriodo) {
    TTemporizadorTeste temporizador;
    TEncerramento fim;
    const IJanela& janela = fim.janela;
    bool ativoDurante = true;
    bool emCicloDurante = false;
    TCicloAutomatico* ciclo = nullptr;
    TCicloAutomatico c(temporizador, janela, [&] {
        temporizador.eventos.push_back("trabalho");
        ativoDurante = temporizador.ativo;
        emCicloDurante = ciclo->EmCiclo();
    });
    ciclo = &c;
    EXPECT_EQ(c.Periodo(), 60000);
    EXPECT_EQ(c.TextoProximaVerificacao(), "");
    c.DefinirFrequencia(5);
    EXPECT_EQ(c.Periodo(), 300000);

    const TDataHora antes = TDataHora::Agora();
    c.Executar();
    const TDataHora depois = TDataHora::Agora();
    EXPECT_EQ(temporizador.eventos, (std::vector<std::string>{"parar", "trabalho", "iniciar 300000"}));
    EXPECT_FALSE(ativoDurante);
    EXPECT_TRUE(emCicloDurante);
    EXPECT_FALSE(c.EmCiclo());
    ASSERT_TRUE(c.ProximaVerificacao());
    EXPECT_GE(c.ProximaVerificacao()->Ms(), antes.MaisMs(300000).Ms());
    EXPECT_LE(c.ProximaVerificacao()->Ms(), depois.MaisMs(300000).Ms());
    char hora[8];
    std::snprintf(hora, sizeof hora, "%02d:%02d", c.ProximaVerificacao()->Horas(), c.ProximaVerificacao()->Minutos());
    EXPECT_EQ(c.TextoProximaVerificacao(), Cp("(próxima verificação às ") + hora + ")");

    // A new period applies from the next cycle on.
    c.DefinirFrequencia(1);
    EXPECT_EQ(temporizador.eventos.back(), "iniciar 300000");
    c.Executar();
    EXPECT_EQ(temporizador.eventos.back(), "iniciar 60000");
}

TEST(CicloAutomatico, IntervaloLimitadoEntreOMinimoEOMaiorDeUmTemporizador) {
    struct TCaso {
        std::int64_t periodo;
        std::int64_t minimo;
        std::int64_t intervalo;
    };
    for (const TCaso caso : {TCaso{0, 60000, 60000}, TCaso{-5 * 60000, 60000, 60000}, TCaso{90 * 60000, 60000, 5400000},
                             TCaso{std::int64_t{1} << 40, 60000, 2147483647}, TCaso{500, 500, 500},
                             TCaso{100, 500, 500}, TCaso{500, 0, 500}, TCaso{0, 0, 1}}) {
        SCOPED_TRACE(std::to_string(caso.periodo) + " / " + std::to_string(caso.minimo));
        TTemporizadorTeste temporizador;
        TEncerramento fim;
        TCicloAutomatico c(temporizador, fim.janela, [] {});
        c.DefinirPeriodo(caso.periodo);
        c.DefinirIntervaloMinimo(caso.minimo);
        EXPECT_EQ(c.Intervalo(), caso.intervalo);
        c.Executar();
        EXPECT_EQ(temporizador.eventos.back(), "iniciar " + std::to_string(caso.intervalo));
    }
}

// Files still being written are checked again soon after they may have
// settled, instead of a whole period later; never later than the period,
// never sooner than a second.
TEST(CicloAutomatico, ArquivosEmGravacaoAntecipamAProximaVerificacao) {
    struct TCaso {
        std::optional<std::int64_t> antecipada;
        std::int64_t intervalo;
    };
    for (const TCaso caso : {TCaso{std::nullopt, 300000}, TCaso{6000, 6000}, TCaso{0, 1000},
                             TCaso{600000, 300000}}) {
        SCOPED_TRACE(caso.antecipada ? std::to_string(*caso.antecipada) : "none");
        TTemporizadorTeste temporizador;
        TEncerramento fim;
        TCicloAutomatico c(temporizador, fim.janela, [] {});
        c.DefinirFrequencia(5);
        c.DefinirEsperaAntecipada([&] { return caso.antecipada; });
        c.Executar();
        EXPECT_EQ(temporizador.eventos.back(), "iniciar " + std::to_string(caso.intervalo));
    }
}

// The scan's guard gives the earlier check: a second after the first file
// held back may have settled, counted on the monotonic clock, so a system
// clock stepped back an hour does not stretch it.
TEST(CicloAutomatico, AteAssentaremSegueAGuardaDaVarredura) {
    char modelo[] = "/tmp/ciclo_test_XXXXXX";
    ASSERT_NE(::mkdtemp(modelo), nullptr);
    const fs::path pasta = modelo;
    TEncerramento fim;
    TTabelasPedido tabelas;
    TLeitorPedidos leitor(tabelas);
    TDM dm(fim.janela, pasta.string() + "/");  // nothing is validated: no connection needed
    TValidacao validacao(tabelas, dm, fim.janela);
    TListaArquivos lista(tabelas, leitor, validacao, fim.janela, pasta.string() + "/");
    // The test's clocks: the folder's (its stamp) and the system's read the
    // same here, as on a local disk.
    std::chrono::system_clock::time_point agora = std::chrono::system_clock::now();
    std::chrono::steady_clock::time_point monotonico = std::chrono::steady_clock::now();
    lista.Gravacao() =
        TGuardaGravacao(7, {[&](const std::string&) { return std::optional(agora); }, [&] { return agora; },
                            [&] { return monotonico; }});
    const auto espera = TCicloAutomatico::AteAssentarem(lista);

    lista.AtualizarLista();
    EXPECT_EQ(espera(), std::nullopt);  // nothing held back
    std::ofstream(pasta / "chegando.xml") << "<solicitacoes>";
    fs::last_write_time(pasta / "chegando.xml",
                        fs::file_time_type::clock::now() + (agora - std::chrono::system_clock::now()));
    lista.AtualizarLista();
    ASSERT_EQ(lista.EmGravacao(), 1);
    EXPECT_EQ(espera(), std::optional<std::int64_t>(8000));
    monotonico += std::chrono::seconds(3);  // the cycle's processing took 3 s
    EXPECT_EQ(espera(), std::optional<std::int64_t>(5000));

    // The clock is stepped back an hour: the file, now dated in the future,
    // is checked again within the same few seconds, and then listed.
    agora -= std::chrono::hours(1);
    lista.AtualizarLista();
    ASSERT_EQ(lista.EmGravacao(), 1);
    EXPECT_EQ(espera(), std::optional<std::int64_t>(5000));
    monotonico += std::chrono::seconds(4);
    agora += std::chrono::seconds(4);
    lista.AtualizarLista();
    EXPECT_EQ(lista.EmGravacao(), 0);
    EXPECT_EQ(espera(), std::nullopt);
    fs::remove_all(pasta);
}

// An error of the work is handed over while the timer is still stopped (a
// window shows its box then, and no tick comes meanwhile); the timer is
// re-armed afterwards, also when showing it fails.
TEST(CicloAutomatico, ErroDoTrabalhoEntregueAntesDeRearmar) {
    TTemporizadorTeste temporizador;
    TEncerramento fim;
    TCicloAutomatico c(temporizador, fim.janela, [] { throw EErro("falhou"); });
    std::string recebido;
    c.Executar([&](const std::exception& e) {
        recebido = e.what();
        temporizador.eventos.push_back(std::string("erro ") + (temporizador.ativo ? "ativo" : "parado"));
    });
    EXPECT_EQ(recebido, "falhou");
    EXPECT_EQ(temporizador.eventos, (std::vector<std::string>{"parar", "erro parado", "iniciar 60000"}));

    temporizador.eventos.clear();
    EXPECT_THROW(c.Executar([](const std::exception&) { throw std::runtime_error("caixa"); }), std::runtime_error);
    EXPECT_EQ(temporizador.eventos, (std::vector<std::string>{"parar", "iniciar 60000"}));
    EXPECT_FALSE(c.EmCiclo());

    // Without a receiver the error is dropped and the cycle ends normally.
    temporizador.eventos.clear();
    EXPECT_NO_THROW(c.Executar());
    EXPECT_EQ(temporizador.eventos, (std::vector<std::string>{"parar", "iniciar 60000"}));
}

// Once the program is asked to end, no cycle re-arms the timer: asked during
// the work, the work ends and the timer stays stopped; asked before, nothing
// runs at all.
TEST(CicloAutomatico, SemProximoCicloAoEncerrar) {
    TTemporizadorTeste temporizador;
    TEncerramento fim;
    int trabalhos = 0;
    TCicloAutomatico c(temporizador, fim.janela, [&] {
        ++trabalhos;
        fim.pedido = true;
    });
    c.Executar();
    EXPECT_EQ(trabalhos, 1);
    EXPECT_EQ(temporizador.eventos, std::vector<std::string>{"parar"});
    EXPECT_FALSE(temporizador.ativo);
    EXPECT_FALSE(c.ProximaVerificacao());
    c.Executar();
    EXPECT_EQ(trabalhos, 1);
    EXPECT_EQ(temporizador.eventos, (std::vector<std::string>{"parar", "parar"}));
}

TEST(CicloAutomatico, ConverterFrequencia) {
    EXPECT_EQ(TCicloAutomatico::ConverterFrequencia("5"), 5);
    EXPECT_EQ(TCicloAutomatico::ConverterFrequencia("90"), 90);
    EXPECT_EQ(TCicloAutomatico::ConverterFrequencia("0"), 0);
    for (const char* texto : {"abc", "", "1,5"}) {
        SCOPED_TRACE(texto);
        try {
            TCicloAutomatico::ConverterFrequencia(texto);
            ADD_FAILURE() << "sem erro";
        } catch (const EErro& e) {
            EXPECT_EQ(e.what(), "'" + std::string(texto) + Cp("' não é um valor inteiro válido"));
        }
    }
}

TEST(JanelaServico, UmaLinhaPorCaixaComOTipoNaFrente) {
    struct TCaso {
        std::string texto;
        TIcone icone;
        TBotoes botoes;
        std::string linha;
        TResposta resposta;
    };
    const std::vector<TCaso> casos = {
        {"Arquivo: /a/b.xml\rErro de XML na linha 7", TIcone::Erro, TBotoes::OK,
         "Erro: Arquivo: /a/b.xml Erro de XML na linha 7", TResposta::OK},
        {"um\r\ndois\nt\xEAs\r\r", TIcone::Atencao, TBotoes::OK, Cp("Atenção: um dois tês  "), TResposta::OK},
        {Cp("Nenhum arquivo pendente encontrado."), TIcone::Informacao, TBotoes::OK,
         Cp("Informação: Nenhum arquivo pendente encontrado."), TResposta::OK},
        {"valor ruim", TIcone::Nenhum, TBotoes::OK, "Erro: valor ruim", TResposta::OK},
        {Cp("Existe(m) arquivos não processados de outros dias.\r\nDeseja movê-los para a pasta de arquivos "
            "PROCESSADOS?"),
         TIcone::Confirmacao, TBotoes::SimNao,
         Cp("Atenção: Existe(m) arquivos não processados de outros dias. Deseja movê-los para a pasta de "
            "arquivos PROCESSADOS? (resposta: Não)"),
         TResposta::Nao},
        {"Continuar?", TIcone::Erro, TBotoes::OKCancela, "Erro: Continuar? (resposta: Cancela)", TResposta::Cancela},
    };

    const std::string pasta = fs::temp_directory_path() / ("janela_servico_" + std::to_string(::getpid()));
    fs::create_directories(pasta);
    Log::DefinirArquivo(pasta + "/log.txt");
    std::ostringstream saida;
    TJanelaServico janela(nullptr, &saida);
    std::string esperadoSaida;
    std::string esperadoLog;
    for (const TCaso& caso : casos) {
        SCOPED_TRACE(caso.linha);
        EXPECT_EQ(TJanelaServico::Linha(caso.texto, caso.icone, caso.botoes), caso.linha);
        EXPECT_EQ(janela.Mensagem(caso.texto, caso.icone, caso.botoes), caso.resposta);
        esperadoSaida += Cp1252ParaUtf8(caso.linha) + "\n";
    }
    EXPECT_EQ(saida.str(), esperadoSaida);
    // Newest first, one time-stamped line each.
    const std::string log = LerArquivoTeste(pasta + "/log.txt");
    std::istringstream linhas(log);
    std::vector<std::string> lidas;
    for (std::string l; std::getline(linhas, l);) {
        ASSERT_FALSE(l.empty());
        ASSERT_EQ(l.back(), '\r');
        const std::size_t tab = l.find('\t');
        ASSERT_EQ(tab, 19u) << l;
        lidas.push_back(l.substr(tab + 1, l.size() - tab - 2));
    }
    ASSERT_EQ(lidas.size(), casos.size());
    for (std::size_t i = 0; i < casos.size(); ++i) EXPECT_EQ(lidas[casos.size() - 1 - i], casos[i].linha);

    // A log that cannot be written: the line still reaches standard error,
    // followed by the reason; the answer is the same.
    saida.str("");
    Log::DefinirArquivo(pasta + "/nao-existe/log.txt");
    EXPECT_EQ(janela.Mensagem("x", TIcone::Erro, TBotoes::SimNao), TResposta::Nao);
    EXPECT_EQ(saida.str().rfind("Erro: x (resposta: N\xC3\xA3o)\nErro: ", 0), 0u) << saida.str();
    fs::remove_all(pasta);
}

TEST(JanelaServico, EncerrandoSegueOSinal) {
    std::atomic<bool> sinal{false};
    TJanelaServico janela(&sinal);
    EXPECT_FALSE(janela.Encerrando());
    sinal = true;
    EXPECT_TRUE(janela.Encerrando());
    EXPECT_FALSE(TJanelaServico().Encerrando());
}

}  // namespace
