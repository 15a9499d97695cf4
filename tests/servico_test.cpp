// The unattended service as a real process (the built quorvelcad-servico,
// copied into a folder of its own with config.xml and arquivos/) against a
// fresh laboratory database: it imports the demo files and moves them, logs a
// locked row and goes on, survives the database going off line, ends on
// SIGTERM without half-moving anything, and refuses to run beside another
// instance.
//
// Short cycles come from the service's test hook QUORVEL_SERVICO_INTERVALO_MS;
// the waits below only bound a hang.

#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "base/UInstanciaUnica.h"
#include "base/UTexto.h"
#include "db/ULimiteBanco.h"
#include "tests/support/UBancoTeste.h"
#include "tests/support/UReleTeste.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

std::string Ler(const fs::path& caminho) { return LerArquivoTeste(caminho.string()); }
std::string Cp(const std::string& utf8) { return Utf8ParaCp1252(utf8); }

int Contar(const std::string& texto, const std::string& trecho) {
    int n = 0;
    for (std::size_t p = texto.find(trecho); p != std::string::npos; p = texto.find(trecho, p + trecho.size())) ++n;
    return n;
}

std::string Substituir(std::string texto, const std::string& de, const std::string& para) {
    for (std::size_t p = texto.find(de); p != std::string::npos; p = texto.find(de, p + para.size()))
        texto.replace(p, de.size(), para);
    return texto;
}

// A request file with `n` requests: protocols `protocolo`.., patients
// `paciente`.., one minute apart, each with one exam (HEMO) and doctor 301.
std::string VariosPedidos(int n, int protocolo, int paciente) {
    const std::string um = Ler(fs::path(QUORVEL_DADOS_TESTE) / "importacao" / "processar_8002.xml");
    const std::size_t ini = um.find("<solicitacao>");
    const std::size_t fim = um.find("</solicitacoes>");
    std::string s = um.substr(0, ini);
    for (int i = 0; i < n; ++i) {
        std::string r = um.substr(ini, fim - ini);
        r = Substituir(r, "<protocolo>8002</protocolo>", "<protocolo>" + std::to_string(protocolo + i) + "</protocolo>");
        r = Substituir(r, "<codigo>5001</codigo>", "<codigo>" + std::to_string(paciente + i) + "</codigo>");
        char hora[16];
        std::snprintf(hora, sizeof hora, "%02d:%02d", 8 + i / 60, i % 60);
        r = Substituir(r, "<horario>08:00</horario>", std::string("<horario>") + hora + "</horario>");
        s += r;
    }
    return s + um.substr(fim);
}

// The service started in its folder; standard output and standard error go
// to saida.txt and erro.txt there.
class TServicoProcesso {
public:
    // `ambiente`: "NOME=valor" entries that replace the test's own.
    TServicoProcesso(const fs::path& pasta, const std::string& intervaloMs,
                     const std::vector<std::string>& ambiente = {})
        : pasta_(pasta) {
        std::vector<std::string> env;
        std::vector<std::string> trocados = ambiente;
        trocados.push_back("QUORVEL_SERVICO_INTERVALO_MS=");
        for (char** e = environ; *e; ++e) {
            const std::string entrada(*e);
            bool trocado = false;
            for (const std::string& t : trocados)
                if (entrada.rfind(t.substr(0, t.find('=') + 1), 0) == 0) trocado = true;
            if (!trocado) env.push_back(entrada);
        }
        for (const std::string& t : ambiente) env.push_back(t);
        if (!intervaloMs.empty()) env.emplace_back("QUORVEL_SERVICO_INTERVALO_MS=" + intervaloMs);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string exe = (pasta / "quorvelcad-servico").string();
        char* argv[] = {exe.data(), nullptr};
        posix_spawn_file_actions_t acoes;
        posix_spawn_file_actions_init(&acoes);
        const std::string saida = (pasta / "saida.txt").string();
        const std::string erro = (pasta / "erro.txt").string();
        posix_spawn_file_actions_addopen(&acoes, 1, saida.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_addopen(&acoes, 2, erro.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ok_ = posix_spawn(&pid_, exe.c_str(), &acoes, nullptr, argv, envp.data()) == 0;
        posix_spawn_file_actions_destroy(&acoes);
    }
    ~TServicoProcesso() {
        if (pid_ > 0 && !terminou_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Iniciado() const { return ok_; }
    pid_t Pid() const { return pid_; }

    // The exit status once it ended within `limite` (128 + signal when
    // killed), -1 when still running.
    int Esperar(std::chrono::seconds limite) {
        const auto fim = std::chrono::steady_clock::now() + limite;
        while (Vivo() && std::chrono::steady_clock::now() < fim)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return terminou_ ? estado_ : -1;
    }
    int Encerrar(std::chrono::seconds limite, int sinal = SIGTERM) {
        ::kill(pid_, sinal);
        return Esperar(limite);
    }
    bool Vivo() {
        if (terminou_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        terminou_ = true;
        estado_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }

private:
    fs::path pasta_;
    pid_t pid_ = -1;
    bool ok_ = false;
    bool terminou_ = false;
    int estado_ = -1;
};

class Servico : public ::testing::Test {
protected:
    Servico() {
        banco.Executar(CatalogoDemo());
        char modelo[] = "/tmp/quorvel-servico-XXXXXX";
        if (!::mkdtemp(modelo)) throw std::runtime_error("mkdtemp");
        pasta = modelo;
        entrada = pasta / "arquivos";
        processados = entrada / "processados";
        fs::copy_file(QUORVEL_SERVICO, pasta / "quorvelcad-servico");
        fs::create_directories(entrada);
        EscreverConfig("1");
    }
    ~Servico() override {
        fs::remove_all(pasta);
    }

    // The tests' request files are complete when written: no wait for files
    // still being written (segundos_arquivo_estavel 0).
    // `servidor`, when given, replaces the test server's name; `limite`, when
    // given, is segundos_limite_banco.
    void EscreverConfig(const std::string& frequencia, const std::string& servidor = "",
                        const std::string& limite = "") {
        const TConfigBD cfg = banco.Config();
        std::ofstream f(pasta / "config.xml", std::ios::trunc);
        f << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration>\n"
          << "  <DB servidor=\"" << (servidor.empty() ? cfg.Servidor : servidor) << "\" banco=\"" << cfg.Banco
          << "\" usuario=\"" << cfg.Usuario << "\" senha=\"" << cfg.Senha << "\"/>\n"
          << "  <aplicacao modo_processamento=\"manual\" frequencia=\"" << frequencia
          << "\" data_coleta_com_data_pedido=\"nao\" segundos_arquivo_estavel=\"0\""
          << (limite.empty() ? "" : " segundos_limite_banco=\"" + limite + "\"") << "/>\n</Configuration>\n";
    }

    // Request files as the sending system leaves them: written a little
    // while ago (the scan leaves files written in the last seconds for the
    // next cycle, as still being written).
    void Demo(const std::string& nome) {
        fs::copy_file(fs::path(QUORVEL_DEMO) / nome, entrada / nome);
        Envelhecer(nome);
    }
    void Escrever(const std::string& nome, const std::string& bytes) {
        std::ofstream(entrada / nome, std::ios::binary) << bytes;
        Envelhecer(nome);
    }
    void Envelhecer(const std::string& nome) {
        fs::last_write_time(entrada / nome, fs::file_time_type::clock::now() - std::chrono::seconds(30));
    }

    // Waits (bounded) until `condicao` holds or the service ended.
    static bool Aguardar(TServicoProcesso& p, const std::function<bool()>& condicao, int segundos = 180) {
        const auto fim = std::chrono::steady_clock::now() + std::chrono::seconds(segundos);
        while (std::chrono::steady_clock::now() < fim) {
            if (condicao()) return true;
            if (!p.Vivo()) return condicao();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return condicao();
    }

    std::string Log() const { return Ler(pasta / "log.txt"); }
    std::string Erro() const { return Ler(pasta / "erro.txt"); }
    std::string Relato() const { return "log.txt:\n" + Log() + "\nerro.txt:\n" + Erro(); }

    // Every file of a folder (hidden ones included: a half-made copy is one).
    static std::set<std::string> Arquivos(const fs::path& p) {
        std::set<std::string> r;
        if (fs::exists(p))
            for (const auto& e : fs::directory_iterator(p))
                if (e.is_regular_file()) r.insert(e.path().filename().string());
        return r;
    }

    std::string Valor(const std::string& sql) { return banco.Valor(sql); }

    // The database off line on the server (every attachment cut, none
    // accepted) and back, for this database only.
    void DesligarBanco() { banco.Desligar(); }
    void ReligarBanco() { banco.Religar(); }

    // The one line the service writes for the box "Sem conexão ..." of a run
    // that was stopped, and of a cycle that found no connection.
    std::string SemConexao(const std::string& servidor = "") const {
        return Cp("Erro: Sem conexão com o banco de dados ") + (servidor.empty() ? banco.Config().Servidor : servidor) +
               ":" + banco.Caminho() + ".";
    }

    TBancoTeste banco;
    fs::path pasta, entrada, processados;
};

// The demo inbox: the three importable files are imported by the first
// cycle, which runs at start, and moved; the file with validation errors and
// the one that is not well-formed stay, the latter logged as the box the
// window would show, on one line. SIGTERM while waiting ends it with 0.
TEST_F(Servico, ImportaOsArquivosDeDemonstracaoEMoveOsImportados) {
    for (const char* nome : {"pedido_100231.xml", "lote_manha_100240.xml", "pedido_latin1_100250.xml",
                             "pedido_com_erros_100260.xml", "pedido_incompleto_100270.xml"})
        Demo(nome);
    TServicoProcesso servico(pasta, "");
    ASSERT_TRUE(servico.Iniciado());
    const std::set<std::string> importados = {"lote_manha_100240.xml", "pedido_100231.xml",
                                              "pedido_latin1_100250.xml"};
    // A move's copy reaches processados/ before the file leaves the inbox.
    const std::set<std::string> ficam = {"pedido_com_erros_100260.xml", "pedido_incompleto_100270.xml"};
    ASSERT_TRUE(Aguardar(servico, [&] { return Arquivos(processados) == importados && Arquivos(entrada) == ficam; }))
        << "estado " << servico.Esperar(std::chrono::seconds(0)) << "\n" << Relato();
    EXPECT_EQ(Arquivos(entrada), ficam);
    EXPECT_EQ(Ler(processados / "pedido_100231.xml"), Ler(fs::path(QUORVEL_DEMO) / "pedido_100231.xml"));

    for (const char* protocolo : {"100231", "100240", "100238", "100241", "100250"})
        EXPECT_NE(Valor(std::string("select ped_cod from ped_pedidos where ped_cod_vis = '") + protocolo + "'"), "")
            << protocolo;
    EXPECT_EQ(Valor("select count(*) from ped_pedidos where ped_cod_vis = '100260'"), "0");
    EXPECT_EQ(Valor("select cli_nom from cli_clientes where cli_cod = 5001"), Cp("Maria José da Conceição"));

    // Ended, every line of the log is on disk.
    EXPECT_EQ(servico.Encerrar(std::chrono::seconds(30)), 0) << Relato();
    const std::string log = Log();
    EXPECT_EQ(Contar(log, "\tped_cod = "), 5) << log;
    const std::string quebrado = (entrada / "pedido_incompleto_100270.xml").string();
    const std::string linha = Cp("\tErro: Arquivo: ") + quebrado + " ";
    ASSERT_EQ(Contar(log, linha), 1) << log;
    // One line: nothing of the box's text starts a line of its own.
    const std::size_t ini = log.find(linha);
    const std::string resto = log.substr(ini, log.find("\r\n", ini) - ini);
    EXPECT_EQ(resto.find('\r'), std::string::npos);
    EXPECT_EQ(resto.find('\n'), std::string::npos);
    EXPECT_NE(Erro().find(Cp1252ParaUtf8(resto.substr(1))), std::string::npos) << Erro();
}

// Another program holds the first file's patient locked: the row writer's
// error is one "Erro: " line and the next file is imported and moved. Once
// the lock is gone, a later cycle leaves nothing in the inbox folder.
TEST_F(Servico, LinhaPresaEhRegistradaEOProximoArquivoSegue) {
    banco.Executar("insert into cli_clientes (cli_cod, cli_nom) values (5002, 'Antes');");
    TTravaDeOutroPrograma trava(banco, "update cli_clientes set cli_nom = 'Outro programa' where cli_cod = 5002");

    Demo("lote_manha_100240.xml");  // first in the list: patient 5002 in its first request
    Demo("pedido_100231.xml");
    TServicoProcesso servico(pasta, "500");
    ASSERT_TRUE(servico.Iniciado());
    ASSERT_TRUE(Aguardar(servico, [&] { return Arquivos(processados).count("pedido_100231.xml") == 1; }))
        << Relato();

    // The log's writer puts the lines on disk a moment later.
    // The line names the file and the request.
    const std::string erro = Cp("\tErro: Arquivo lote_manha_100240.xml, protocolo 100240: Encontramos um erro ao "
                                "tentar salvar na tabela CLI_CLIENTES.");
    EXPECT_TRUE(Aguardar(servico, [&] { return Contar(Log(), erro) >= 1; }, 30)) << Log();
    EXPECT_NE(Erro().find(Cp1252ParaUtf8(erro.substr(1))), std::string::npos) << Erro();
    EXPECT_NE(Valor("select ped_cod from ped_pedidos where ped_cod_vis = '100231'"), "");
    EXPECT_EQ(Valor("select cli_nom from cli_clientes where cli_cod = 5001"), Cp("Maria José da Conceição"));
    // The locked file's other requests went through.
    EXPECT_NE(Valor("select ped_cod from ped_pedidos where ped_cod_vis = '100241'"), "");

    trava.Soltar();
    ASSERT_TRUE(Aguardar(servico, [&] { return Arquivos(entrada).empty(); })) << Relato();
    EXPECT_EQ(Arquivos(processados), (std::set<std::string>{"lote_manha_100240.xml", "pedido_100231.xml"}));
    EXPECT_EQ(Valor("select count(*) from ped_pedidos where ped_cod_vis in ('100240', '100238', '100241')"), "3");
    EXPECT_EQ(servico.Encerrar(std::chrono::seconds(30)), 0) << Relato();
}

// A file that can never be written (a doctor code "12a", which the validation
// lets through) is held "Com erro": its failure is logged once, naming the
// file and the request, and one line says it stays in arquivos/ and why; the
// later cycles (two more files imported after it) neither import it again
// nor log it again.
TEST_F(Servico, ArquivoRetidoEhDitoUmaVezComArquivoEProtocolo) {
    Escrever("medico_12a.xml",
             Substituir(VariosPedidos(1, 9101, 7101), "<codigo>301</codigo>", "<codigo>12a</codigo>"));
    TServicoProcesso servico(pasta, "300");
    ASSERT_TRUE(servico.Iniciado());
    const std::string retido = "medico_12a.xml com erro: continua na pasta arquivos/";
    ASSERT_TRUE(Aguardar(servico, [&] { return Contar(Log(), retido) >= 1; }, 60)) << Relato();
    for (const char* nome : {"seguinte_1.xml", "seguinte_2.xml"}) {
        Escrever(nome, VariosPedidos(1, nome[9] == '1' ? 9201 : 9301, nome[9] == '1' ? 7201 : 7301));
        ASSERT_TRUE(Aguardar(servico, [&] { return Arquivos(processados).count(nome) == 1; }, 60)) << Relato();
    }
    EXPECT_EQ(servico.Encerrar(std::chrono::seconds(30)), 0) << Relato();

    const std::string log = Log();
    EXPECT_EQ(Contar(log, "\tErro: Arquivo medico_12a.xml, protocolo 9101: Encontramos um erro ao tentar salvar na "
                          "tabela MED_MEDICOS."),
              1)
        << log;
    EXPECT_EQ(Contar(log, "MED_MEDICOS"), 2) << "the failure and the line of the hold, once each\n" << log;
    EXPECT_EQ(Contar(log, retido), 1) << log;
    EXPECT_EQ(Contar(Erro(), retido), 1) << Erro();
    EXPECT_EQ(Arquivos(entrada), std::set<std::string>{"medico_12a.xml"});
    EXPECT_EQ(Valor("select count(*) from ped_pedidos where ped_cod_vis = '9101'"), "0");
    EXPECT_EQ(Valor("select count(*) from ped_pedidos where ped_cod_vis in ('9201', '9301')"), "2");
}

// The database cannot be reached, once at start and once in the middle of a
// run: each time it is logged, nothing is moved, the service goes on trying
// at every cycle; back on line, the files complete and no row is doubled.
TEST_F(Servico, BancoForaDoArEVoltaSemLinhasDuplicadas) {
    struct TCaso {
        const char* nome;
        bool noInicio;
    };
    for (const TCaso caso : {TCaso{"no início", true}, TCaso{"no meio da execução", false}}) {
        SCOPED_TRACE(caso.nome);
        const int n = 200;
        fs::remove_all(processados);
        fs::remove(pasta / "log.txt");
        const int protocolo = caso.noInicio ? 20000 : 30000;
        const int paciente = caso.noInicio ? 60000 : 70000;
        Escrever("muitos.xml", VariosPedidos(n, protocolo, paciente));
        if (caso.noInicio) DesligarBanco();

        TServicoProcesso servico(pasta, "500");
        ASSERT_TRUE(servico.Iniciado());
        if (caso.noInicio) {
            ASSERT_TRUE(Aguardar(servico, [&] { return Log().find(SemConexao()) != std::string::npos; })) << Relato();
        } else {
            ASSERT_TRUE(Aguardar(servico, [&] { return Contar(Log(), "\tped_cod = ") >= 2; })) << Relato();
            DesligarBanco();
            ASSERT_TRUE(Aguardar(servico, [&] {
                return Contar(Log(), SemConexao() + Cp(" O processamento foi interrompido.")) == 1;
            })) << Relato();
        }
        // Several cycles without a connection: still running, the file
        // untouched, the loss logged once.
        ASSERT_TRUE(Aguardar(servico, [&] { return Contar(Log(), SemConexao() + Cp(" Os arquivos continuam")) == 1; }))
            << Relato();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ASSERT_TRUE(servico.Vivo()) << Relato();
        EXPECT_EQ(Contar(Log(), SemConexao() + Cp(" Os arquivos continuam")), 1) << Log();
        EXPECT_EQ(Arquivos(entrada), std::set<std::string>{"muitos.xml"});
        EXPECT_TRUE(Arquivos(processados).empty());

        ReligarBanco();
        ASSERT_TRUE(Aguardar(servico, [&] { return Arquivos(processados) == std::set<std::string>{"muitos.xml"}; }))
            << Relato();
        EXPECT_EQ(servico.Encerrar(std::chrono::seconds(30)), 0) << Relato();
        EXPECT_EQ(Contar(Log(), Cp("\tInformação: Conexão com o banco de dados ")), 1) << Log();
        const std::string faixa = " between " + std::to_string(protocolo) + " and " + std::to_string(protocolo + n - 1);
        EXPECT_EQ(Valor("select count(*) from ped_pedidos where cast(ped_cod_vis as integer)" + faixa),
                  std::to_string(n));
        EXPECT_EQ(Valor("select count(distinct ped_cod_vis) from ped_pedidos where cast(ped_cod_vis as integer)" +
                        faixa),
                  std::to_string(n));
        EXPECT_EQ(Valor("select count(*) from exp_examespedidos e join ped_pedidos p on p.ped_cod = e.ped_cod"
                        " where cast(p.ped_cod_vis as integer)" + faixa),
                  std::to_string(n));
        EXPECT_EQ(Valor("select count(*) from cli_clientes where cli_cod between " + std::to_string(paciente) +
                        " and " + std::to_string(paciente + n - 1)),
                  std::to_string(n));
    }
}

// The server hangs in the middle of a run and keeps its TCP connection open
// (a relay that stops forwarding): the statement under way returns once
// segundos_limite_banco ran out, the lost connection is logged, the file
// stays in the inbox folder, and the cycles that follow try again (each
// connection attempt bounded too). Once the server answers again, the file
// is completed without a row doubled.
TEST_F(Servico, ServidorTravadoComAConexaoAberta) {
    TReleTeste rele;
    EscreverConfig("1", rele.Servidor(), "10");
    const int n = 200;
    Escrever("muitos.xml", VariosPedidos(n, 50000, 90000));
    TServicoProcesso servico(pasta, "500");
    ASSERT_TRUE(servico.Iniciado());
    ASSERT_TRUE(Aguardar(servico, [&] { return Contar(Log(), "\tped_cod = ") >= 2; })) << Relato();

    // The call that hangs may be one whose error is shown (its line then
    // tells the bound) or one whose error is kept inside (a key generator's);
    // either way the run stops with the lost connection.
    rele.Parar();
    const auto parado = std::chrono::steady_clock::now();
    const std::string interrompido = SemConexao(rele.Servidor()) + Cp(" O processamento foi interrompido.");
    ASSERT_TRUE(Aguardar(servico, [&] { return Contar(Log(), interrompido) == 1; }, 60)) << Relato();
    const double segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - parado).count();
    RecordProperty("segundos_ate_a_perda", std::to_string(segundos));
    EXPECT_LE(segundos, 10 + TLimiteBanco::kSegundosAbandono + 5.0) << Relato();
    // Cycles without a connection: logged once, the file untouched.
    ASSERT_TRUE(Aguardar(servico, [&] {
        return Contar(Log(), SemConexao(rele.Servidor()) + Cp(" Os arquivos continuam")) == 1;
    }, 60)) << Relato();
    EXPECT_TRUE(servico.Vivo());
    EXPECT_EQ(Arquivos(entrada), std::set<std::string>{"muitos.xml"});
    EXPECT_TRUE(Arquivos(processados).empty());

    rele.Retomar();
    ASSERT_TRUE(Aguardar(servico, [&] { return Arquivos(processados) == std::set<std::string>{"muitos.xml"}; }))
        << Relato();
    EXPECT_EQ(servico.Encerrar(std::chrono::seconds(30)), 0) << Relato();
    EXPECT_EQ(Contar(Log(), Cp("\tInformação: Conexão com o banco de dados ")), 1) << Log();
    const std::string faixa = " between 50000 and " + std::to_string(50000 + n - 1);
    EXPECT_EQ(Valor("select count(*) from ped_pedidos where cast(ped_cod_vis as integer)" + faixa), std::to_string(n));
    EXPECT_EQ(Valor("select count(distinct ped_cod_vis) from ped_pedidos where cast(ped_cod_vis as integer)" + faixa),
              std::to_string(n));
    EXPECT_EQ(Valor("select count(*) from exp_examespedidos e join ped_pedidos p on p.ped_cod = e.ped_cod"
                    " where cast(p.ped_cod_vis as integer)" + faixa),
              std::to_string(n));
}

// SIGTERM while a statement hangs on such a server: the service ends within
// the bound, with 0, and the file being imported stays in the inbox folder
// with its bytes.
TEST_F(Servico, SigtermComOServidorTravado) {
    TReleTeste rele;
    EscreverConfig("1", rele.Servidor(), "10");
    const std::string bytes = VariosPedidos(200, 51000, 91000);
    Escrever("muitos.xml", bytes);
    TServicoProcesso servico(pasta, "500");
    ASSERT_TRUE(servico.Iniciado());
    ASSERT_TRUE(Aguardar(servico, [&] { return Contar(Log(), "\tped_cod = ") >= 2; })) << Relato();

    rele.Parar();
    const auto antes = std::chrono::steady_clock::now();
    EXPECT_EQ(servico.Encerrar(std::chrono::seconds(60)), 0) << Relato();
    const double segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - antes).count();
    RecordProperty("segundos_ate_o_fim", std::to_string(segundos));
    EXPECT_LE(segundos, 10 + TLimiteBanco::kSegundosAbandono + 5.0) << Relato();
    EXPECT_EQ(Arquivos(entrada), std::set<std::string>{"muitos.xml"});
    EXPECT_EQ(Ler(entrada / "muitos.xml"), bytes);
    EXPECT_TRUE(Arquivos(processados).empty());
}

// SIGTERM or SIGHUP (a terminal that closes) in the middle of a run: the
// request under way finishes (the database client's own shutdown on the
// signal is refused, so no statement fails), the service ends with 0; the
// file finished before it is moved, the one being imported stays in the
// inbox folder with its bytes, and nothing half-made is left in either
// folder. Started again, the service completes that file without doubling a
// row.
TEST_F(Servico, SigtermDuranteUmaExecucao) {
    struct TCaso {
        const char* nome;
        int sinal;
        int protocolo;  // of the big file's requests; 2 digits tell them apart
    };
    for (const TCaso caso : {TCaso{"SIGTERM", SIGTERM, 41000}, TCaso{"SIGHUP", SIGHUP, 42000}}) {
        SCOPED_TRACE(caso.nome);
        fs::remove_all(processados);
        fs::remove(pasta / "log.txt");
        const int n = 200;
        const std::string prefixo = std::to_string(caso.protocolo / 1000);
        Escrever("a_pequeno.xml", VariosPedidos(1, caso.protocolo - 100, 100000 + caso.protocolo));
        const std::string grande = VariosPedidos(n, caso.protocolo, 200000 + caso.protocolo);
        Escrever("b_grande.xml", grande);

        {
            TServicoProcesso servico(pasta, "");
            ASSERT_TRUE(servico.Iniciado());
            ASSERT_TRUE(Aguardar(servico, [&] { return Contar(Log(), "\tped_cod = ") >= 3; })) << Relato();
            EXPECT_EQ(servico.Encerrar(std::chrono::seconds(60), caso.sinal), 0) << Relato();
        }
        EXPECT_EQ(Arquivos(processados), std::set<std::string>{"a_pequeno.xml"});
        EXPECT_EQ(Arquivos(entrada), std::set<std::string>{"b_grande.xml"});
        EXPECT_EQ(Ler(entrada / "b_grande.xml"), grande);
        const std::string destes = "select count(*) from ped_pedidos where ped_cod_vis starting with '" + prefixo + "'";
        const int feitos = std::stoi(Valor(destes));
        EXPECT_GE(feitos, 1);
        EXPECT_LT(feitos, n) << Relato();
        // Each request ran through to its order: as many orders as logged.
        EXPECT_EQ(Contar(Log(), "\tped_cod = "), feitos + 1) << Relato();
        // The signal cut nothing: no statement failed, no connection was lost.
        EXPECT_EQ(Contar(Log(), "\tErro: "), 0) << Relato();

        TServicoProcesso deNovo(pasta, "");
        ASSERT_TRUE(deNovo.Iniciado());
        ASSERT_TRUE(Aguardar(deNovo, [&] { return Arquivos(processados).size() == 2; })) << Relato();
        EXPECT_EQ(Valor(destes), std::to_string(n));
        EXPECT_EQ(Valor("select count(distinct ped_cod_vis) from ped_pedidos where ped_cod_vis starting with '" +
                        prefixo + "'"),
                  std::to_string(n));
        EXPECT_EQ(deNovo.Encerrar(std::chrono::seconds(30), SIGINT), 0) << Relato();
        EXPECT_EQ(Arquivos(entrada), std::set<std::string>{});
    }
}

// The service manager's socket (NOTIFY_SOCKET) as systemd offers it: the
// service says READY=1 once started, WATCHDOG=1 while it works and waits,
// and STOPPING=1 when told to end.
class TSoqueteNotificacao {
public:
    explicit TSoqueteNotificacao(const fs::path& caminho) : caminho_(caminho.string()) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un end{};
        end.sun_family = AF_UNIX;
        caminho_.copy(end.sun_path, sizeof end.sun_path - 1);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&end), sizeof end) != 0)
            throw std::runtime_error("socket de notificação");
    }
    ~TSoqueteNotificacao() { ::close(fd_); }
    std::string Ambiente() const { return "NOTIFY_SOCKET=" + caminho_; }
    // The messages that arrived, until `ms` milliseconds pass without one
    // or 5 seconds in all.
    std::vector<std::string> Receber(int ms) {
        std::vector<std::string> r;
        pollfd p{fd_, POLLIN, 0};
        const auto fim = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < fim && ::poll(&p, 1, ms) > 0) {
            char buf[512];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n > 0) r.emplace_back(buf, static_cast<std::size_t>(n));
        }
        return r;
    }

private:
    std::string caminho_;
    int fd_ = -1;
};

// Started with the manager's socket, the service is READY once, tells its
// work and its waits go on, and says STOPPING when it ends.
TEST_F(Servico, AvisaOGerenciadorDeServicos) {
    TSoqueteNotificacao soquete(pasta / "notificacao.sock");
    Demo("pedido_100231.xml");
    TServicoProcesso servico(pasta, "300", {soquete.Ambiente()});
    ASSERT_TRUE(servico.Iniciado());
    ASSERT_TRUE(Aguardar(servico, [&] { return Arquivos(processados).size() == 1; })) << Relato();
    const std::vector<std::string> ate = soquete.Receber(500);
    ASSERT_FALSE(ate.empty());
    EXPECT_EQ(ate.front(), "READY=1");
    // It keeps telling while it works and waits.
    EXPECT_GE(std::count(ate.begin(), ate.end(), "WATCHDOG=1"), 2);
    EXPECT_EQ(std::count(ate.begin(), ate.end(), "READY=1"), 1);
    EXPECT_EQ(servico.Encerrar(std::chrono::seconds(30)), 0) << Relato();
    const std::vector<std::string> fim = soquete.Receber(200);
    ASSERT_FALSE(fim.empty());
    EXPECT_EQ(fim.back(), "STOPPING=1");
}

// The folder is in use - by the window (which holds the same lock) or by
// another service: the second service says so once on standard error, does
// not touch the log, and tries again at every interval (the test hook's
// instead of a minute) without ending. Once the window is gone it takes the
// folder and imports; told to end while it waits, it ends at once with 0.
TEST_F(Servico, PastaEmUsoEsperaATrava) {
    for (const bool janela : {true, false}) {
        SCOPED_TRACE(janela ? "janela aberta" : "outro servico");
        fs::remove(pasta / "erro.txt");
        std::unique_ptr<TInstanciaUnica> trava;
        std::unique_ptr<TServicoProcesso> primeiro;
        if (janela) {
            trava = TInstanciaUnica::Adquirir(pasta.string());
            ASSERT_TRUE(trava);
        } else {
            primeiro = std::make_unique<TServicoProcesso>(pasta, "");
            ASSERT_TRUE(primeiro->Iniciado());
            const std::string pid = std::to_string(primeiro->Pid()) + "\n";
            ASSERT_TRUE(Aguardar(*primeiro, [&] { return Ler(pasta / TInstanciaUnica::kArquivo) == pid; }));
        }
        const std::string logAntes = Log();

        TServicoProcesso segundo(pasta, "200");
        ASSERT_TRUE(segundo.Iniciado());
        ASSERT_TRUE(Aguardar(segundo, [&] { return Erro().find("já está em execução") != std::string::npos; }, 30))
            << Erro();
        // Several tries later: still waiting, said once.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_TRUE(segundo.Vivo()) << Erro();
        EXPECT_EQ(Contar(Erro(), "já está em execução"), 1) << Erro();
        EXPECT_NE(Erro().find("tenta de novo a cada minuto"), std::string::npos) << Erro();
        EXPECT_EQ(Log(), logAntes);

        if (janela) {
            // The window closes: the next try takes the folder.
            Demo("pedido_100231.xml");
            trava.reset();
            ASSERT_TRUE(Aguardar(segundo, [&] { return Arquivos(processados).count("pedido_100231.xml") == 1; }))
                << Relato();
            EXPECT_EQ(segundo.Encerrar(std::chrono::seconds(30)), 0) << Relato();
        } else {
            const auto antes = std::chrono::steady_clock::now();
            EXPECT_EQ(segundo.Encerrar(std::chrono::seconds(30)), 0) << Relato();
            EXPECT_LT(std::chrono::steady_clock::now() - antes, std::chrono::seconds(5));
            EXPECT_TRUE(primeiro->Vivo());
            EXPECT_EQ(primeiro->Encerrar(std::chrono::seconds(30)), 0) << Relato();
        }
    }
}

// System texts follow the locale of the service's environment: the lock file
// that cannot be opened (a folder in its place) is told in the language of
// LANG / LC_ALL, and the service ends with 1.
TEST_F(Servico, TextosDoSistemaNaLinguaDoAmbiente) {
    fs::create_directory(pasta / TInstanciaUnica::kArquivo);
    struct TCaso {
        const char* localidade;
        const char* texto;
    };
    for (const TCaso caso : {TCaso{"pt_BR.UTF-8", "É um diretório"}, TCaso{"C.UTF-8", "Is a directory"}}) {
        SCOPED_TRACE(caso.localidade);
        fs::remove(pasta / "erro.txt");
        TServicoProcesso servico(pasta, "",
                                 {std::string("LANG=") + caso.localidade, std::string("LC_ALL=") + caso.localidade,
                                  "LANGUAGE="});
        ASSERT_TRUE(servico.Iniciado());
        EXPECT_EQ(servico.Esperar(std::chrono::seconds(30)), 1);
        EXPECT_NE(Erro().find(caso.texto), std::string::npos) << Erro();
    }
}

// Several workstations, one database: two services, each in its own program
// folder with its own inbox, import at the same time requests that bring the
// same new patients, doctors, groups, plans and materials (the materials in
// different letter cases). Each batch is written into both inboxes at once,
// so that both copies meet its new names in the same cycle; each round runs
// on a fresh database, where the key generators do not exist yet. At the
// end: one row per material, group and plan name, one line per exam on each
// order, every order and line pointing at rows that exist, no code handed out
// twice (no save of a row with a generated code failed), every file moved.
TEST_F(Servico, VariasEstacoesNoMesmoBancoSemDuplicar) {
    constexpr int Rodadas = 3;
    constexpr int Lotes = 3;
    constexpr int PedidosPorArquivo = 3;
    const std::string modelo = Ler(fs::path(QUORVEL_DADOS_TESTE) / "importacao" / "processar_8002.xml");
    const std::size_t ini = modelo.find("<solicitacao>");
    const std::size_t fim = modelo.find("</solicitacoes>");
    const std::string umPedido = modelo.substr(ini, fim - ini);
    const std::size_t exIni = umPedido.find("<exame>");
    const std::size_t exFim = umPedido.find("</exame>") + std::string("</exame>").size();
    const std::string umExame = umPedido.substr(exIni, exFim - exIni);

    // The batch `lote` of workstation `estacao` (0 or 1): new names shared
    // by both, the materials' letter case and the protocols its own.
    auto Lote = [&](int estacao, int lote) {
        const std::string n = std::to_string(lote);
        std::string s = modelo.substr(0, ini);
        for (int i = 0; i < PedidosPorArquivo; ++i) {
            std::string exames;
            for (const auto& [codigo, material] :
                 {std::pair<std::string, std::string>{"HEMO", estacao == 0 ? "Secreção ocular " : "SECREÇÃO OCULAR "},
                  std::pair<std::string, std::string>{"TSH", estacao == 0 ? "punção nasal " : "Punção Nasal "}}) {
                std::string e = Substituir(umExame, "<codigo>HEMO</codigo>", "<codigo>" + codigo + "</codigo>");
                exames += Substituir(e, "<material>Sangue</material>", "<material>" + material + n + "</material>");
            }
            std::string r = umPedido.substr(0, exIni) + exames + umPedido.substr(exFim);
            r = Substituir(r, "<protocolo>8002</protocolo>",
                           "<protocolo>" + std::to_string((estacao + 1) * 100000 + lote * 100 + i) + "</protocolo>");
            r = Substituir(r, "<codigo>5001</codigo>", "<codigo>" + std::to_string(70000 + lote * 10 + i) + "</codigo>");
            r = Substituir(r, "<codigo>301</codigo>", "<codigo>" + std::to_string(900 + lote) + "</codigo>");
            r = Substituir(r, "<grupo>Rotina</grupo>", "<grupo>Grupo do posto " + n + "</grupo>");
            r = Substituir(r, "<nome>Particular</nome>", "<nome>Plano novo " + n + "</nome>");
            s += r;
        }
        return s + modelo.substr(fim);
    };

    for (int rodada = 0; rodada < Rodadas; ++rodada) {
        SCOPED_TRACE("rodada " + std::to_string(rodada));
        TBancoTeste base;
        base.Executar(CatalogoDemo());
        const TConfigBD cfg = base.Config();
        char nomePasta[] = "/tmp/quorvel-estacoes-XXXXXX";
        ASSERT_TRUE(::mkdtemp(nomePasta));
        const fs::path raiz = nomePasta;
        std::vector<fs::path> pastas;
        for (const char* estacao : {"posto1", "posto2"}) {
            const fs::path pasta = raiz / estacao;
            fs::create_directories(pasta / "arquivos");
            fs::copy_file(QUORVEL_SERVICO, pasta / "quorvelcad-servico");
            std::ofstream(pasta / "config.xml", std::ios::trunc)
                << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration>\n"
                << "  <DB servidor=\"" << cfg.Servidor << "\" banco=\"" << cfg.Banco << "\" usuario=\""
                << cfg.Usuario << "\" senha=\"" << cfg.Senha << "\"/>\n"
                << "  <aplicacao modo_processamento=\"manual\" frequencia=\"1\" data_coleta_com_data_pedido=\"nao\""
                   " segundos_arquivo_estavel=\"0\"/>\n</Configuration>\n";
            pastas.push_back(pasta);
        }
        auto RelatoEstacoes = [&] {
            std::string r;
            for (const fs::path& p : pastas)
                r += p.filename().string() + " log.txt:\n" + Ler(p / "log.txt") + "\nerro.txt:\n" + Ler(p / "erro.txt") + "\n";
            return r;
        };
        auto Pendentes = [&] {
            int n = 0;
            for (const fs::path& p : pastas)
                for (const auto& e : fs::directory_iterator(p / "arquivos"))
                    if (e.is_regular_file() && e.path().extension() == ".xml") ++n;
            return n;
        };
        {
            std::vector<std::unique_ptr<TServicoProcesso>> servicos;
            for (const fs::path& p : pastas) {
                servicos.push_back(std::make_unique<TServicoProcesso>(p, "200"));
                ASSERT_TRUE(servicos.back()->Iniciado());
            }
            for (int lote = 0; lote < Lotes; ++lote) {
                // Both inboxes get their batch at the same moment.
                const std::string nome = "lote_" + std::to_string(lote) + ".xml";
                for (int e = 0; e < 2; ++e) {
                    const fs::path destino = pastas[e] / "arquivos" / nome;
                    std::ofstream(destino, std::ios::binary) << Lote(e, lote);
                    fs::last_write_time(destino, fs::file_time_type::clock::now() - std::chrono::seconds(30));
                }
                ASSERT_TRUE(Aguardar(*servicos[0], [&] { return Pendentes() == 0 || !servicos[1]->Vivo(); }, 240))
                    << RelatoEstacoes();
            }
            for (auto& s : servicos) EXPECT_EQ(s->Encerrar(std::chrono::seconds(60)), 0) << RelatoEstacoes();
        }

        // Every file moved.
        for (const fs::path& p : pastas) {
            EXPECT_EQ(Arquivos(p / "arquivos"), std::set<std::string>{}) << p;
            EXPECT_EQ(Arquivos(p / "arquivos" / "processados").size(), static_cast<std::size_t>(Lotes)) << p;
        }
        // One row per name, compared as the material lookup compares them.
        for (const char* sql : {"select count(*) from (select upper(mat_dsc) as nome from mat_material group by 1 having count(*) > 1)",
                                "select count(*) from (select upper(grp_dsc) as nome from grp_grupos group by 1 having count(*) > 1)",
                                "select count(*) from (select upper(cnv_nom) as nome from cnv_convenios group by 1 having count(*) > 1)",
                                // one line per exam on each order
                                "select count(*) from (select ped_cod, exa_cod from exp_examespedidos group by 1, 2 having count(*) > 1)",
                                // every order and line points at rows that exist
                                "select count(*) from ped_pedidos p where not exists (select 1 from grp_grupos g where g.grp_cod = p.grp_cod)"
                                " or not exists (select 1 from cnv_convenios c where c.cnv_cod = p.cnv_cod)"
                                " or not exists (select 1 from cli_clientes c where c.cli_cod = p.cli_cod)",
                                "select count(*) from exp_examespedidos e where not exists (select 1 from mat_material m where m.mat_cod = e.mat_cod)"
                                " or not exists (select 1 from ped_pedidos p where p.ped_cod = e.ped_cod)"})
            EXPECT_EQ(base.Valor(sql), "0") << sql << "\n" << RelatoEstacoes();
        const int pedidos = 2 * Lotes * PedidosPorArquivo;
        EXPECT_EQ(base.Valor("select count(distinct ped_cod_vis) from ped_pedidos where ped_cod_vis >= '100000'"),
                  std::to_string(pedidos));
        EXPECT_EQ(base.Valor("select count(*) from ped_pedidos where ped_cod_vis >= '100000'"), std::to_string(pedidos));
        EXPECT_EQ(base.Valor("select count(*) from exp_examespedidos e join ped_pedidos p on p.ped_cod = e.ped_cod"
                              " where p.ped_cod_vis >= '100000'"),
                  std::to_string(2 * pedidos));
        EXPECT_EQ(base.Valor("select count(*) from mat_material where upper(mat_dsc) starting with upper('" +
                              Cp("Secreção ocular") + "') or upper(mat_dsc) starting with upper('" + Cp("Punção nasal") + "')"),
                  std::to_string(2 * Lotes));
        // No code handed out twice: a row with a generated code never failed
        // to be saved (a code drawn twice fails on the table's key).
        for (const fs::path& p : pastas) {
            const std::string log = Ler(p / "log.txt");
            for (const char* tabela : {"PED_PEDIDOS", "EXP_EXAMESPEDIDOS", "MAT_MATERIAL", "GRP_GRUPOS", "CNV_CONVENIOS"})
                EXPECT_EQ(Contar(log, std::string("salvar na tabela ") + tabela + "."), 0) << p << "\n" << log;
        }
        // Generators at or above every code of their tables.
        for (const char* tabela : {"ped_pedidos", "exp_examespedidos", "mat_material", "grp_grupos", "cnv_convenios"}) {
            const std::string t = tabela;
            EXPECT_EQ(base.Valor("select count(*) from " + t + " where " + t.substr(0, 3) + "_cod > gen_id(GEN_" + t + ", 0)"),
                      "0") << t;
        }
        fs::remove_all(raiz);
    }
}

// A frequency that is no whole number: logged as an error, the service ends
// with 1 before any cycle.
TEST_F(Servico, FrequenciaInvalidaTerminaComErro) {
    EscreverConfig("abc");
    Demo("pedido_100231.xml");
    TServicoProcesso servico(pasta, "");
    ASSERT_TRUE(servico.Iniciado());
    EXPECT_EQ(servico.Esperar(std::chrono::seconds(30)), 1);
    EXPECT_NE(Log().find(Cp("\tErro: 'abc' não é um valor inteiro válido")), std::string::npos) << Relato();
    EXPECT_NE(Erro().find("Erro: 'abc' não é um valor inteiro válido"), std::string::npos) << Relato();
    EXPECT_EQ(Arquivos(entrada), std::set<std::string>{"pedido_100231.xml"});
}

}  // namespace
