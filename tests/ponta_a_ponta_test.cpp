// The built program itself, end to end: started offscreen beside a fresh
// laboratory database with the automatic mode stored, it must import a sample
// request file on its own, move it to "processados" and log the codes; then
// it is asked to close its window (SIGTERM) and must end normally.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "base/UTexto.h"
#include "tests/support/UBancoTeste.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

std::string Ler(const fs::path& caminho) { return LerArquivoTeste(caminho.string()); }

class TProcesso {
public:
    TProcesso(const std::string& programa, const fs::path& pasta) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0 && std::string(*e).rfind("DISPLAY=", 0) != 0)
                env.emplace_back(*e);
        env.emplace_back("QT_QPA_PLATFORM=offscreen");
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string exe = programa;
        char* argv[] = {exe.data(), nullptr};
        posix_spawn_file_actions_t acoes;
        posix_spawn_file_actions_init(&acoes);
        const std::string saida = (pasta / "saida.txt").string();
        posix_spawn_file_actions_addopen(&acoes, 1, saida.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&acoes, 1, 2);
        ok_ = posix_spawn(&pid_, exe.c_str(), &acoes, nullptr, argv, envp.data()) == 0;
        posix_spawn_file_actions_destroy(&acoes);
    }
    ~TProcesso() {
        if (pid_ > 0 && !terminou_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Iniciado() const { return ok_; }
    // Sends SIGTERM and waits up to `limite`; the exit status, or -1 when it
    // did not end.
    int Encerrar(std::chrono::seconds limite) {
        ::kill(pid_, SIGTERM);
        const auto fim = std::chrono::steady_clock::now() + limite;
        while (std::chrono::steady_clock::now() < fim) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                terminou_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return -1;
    }
    bool Vivo() {
        int status = 0;
        return ::waitpid(pid_, &status, WNOHANG) == 0;
    }

private:
    pid_t pid_ = -1;
    bool ok_ = false;
    bool terminou_ = false;
};

}  // namespace

TEST(PontaAPonta, ModoAutomaticoImportaArquivoSozinho) {
    TBancoTeste banco;
    banco.Executar(CatalogoDemo());

    char modelo[] = "/tmp/quorvel-e2e-XXXXXX";
    ASSERT_NE(::mkdtemp(modelo), nullptr);
    const fs::path pasta = modelo;
    const fs::path programa = pasta / "quorvelcad";
    fs::copy_file(QUORVEL_PROGRAMA, programa);
    fs::create_directories(pasta / "arquivos");
    const fs::path amostra = fs::path(QUORVEL_DEMO) / "pedido_100231.xml";
    fs::copy_file(amostra, pasta / "arquivos" / "pedido_100231.xml");
    // Delivered a while ago: a file written in the last seconds waits as still
    // being written.
    fs::last_write_time(pasta / "arquivos" / "pedido_100231.xml",
                        fs::file_time_type::clock::now() - std::chrono::seconds(10));

    const TConfigBD cfg = banco.Config();
    {
        std::ofstream f(pasta / "config.xml");
        f << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration>\n"
          << "  <DB servidor=\"" << cfg.Servidor << "\" banco=\"" << cfg.Banco << "\" usuario=\"" << cfg.Usuario
          << "\" senha=\"" << cfg.Senha << "\"/>\n"
          << "  <aplicacao modo_processamento=\"automatico\" frequencia=\"1\" "
             "data_coleta_com_data_pedido=\"nao\"/>\n</Configuration>\n";
    }

    TProcesso processo(programa.string(), pasta);
    ASSERT_TRUE(processo.Iniciado());

    const fs::path processado = pasta / "arquivos" / "processados" / "pedido_100231.xml";
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!fs::exists(processado) && processo.Vivo() && std::chrono::steady_clock::now() < limite)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(fs::exists(processado)) << Ler(pasta / "saida.txt");
    EXPECT_FALSE(fs::exists(pasta / "arquivos" / "pedido_100231.xml"));
    EXPECT_EQ(Ler(processado), Ler(amostra));

    // The order and its three lines (all three exams are in the catalogue).
    const std::string pedido = banco.Valor("select ped_cod from ped_pedidos where ped_cod_vis = '100231'");
    ASSERT_FALSE(pedido.empty());
    EXPECT_EQ(banco.Valor("select count(*) from exp_examespedidos where ped_cod = " + pedido), "3");
    EXPECT_EQ(banco.Valor("select cli_cod from ped_pedidos where ped_cod = " + pedido), "5001");
    EXPECT_EQ(banco.Valor("select med_cod from ped_pedidos where ped_cod = " + pedido), "301");
    EXPECT_EQ(banco.Valor("select cli_nom from cli_clientes where cli_cod = 5001"),
              Utf8ParaCp1252("Maria José da Conceição"));
    // Prices of the units plan: 30 + 15 + 20 units at 0.62.
    EXPECT_EQ(banco.Valor("select ped_vlr_tot_exa from ped_pedidos where ped_cod = " + pedido), "40,3");

    // The program hands its log lines to the log's writer (on disk within a
    // second); once it ended, every line is there.
    EXPECT_EQ(processo.Encerrar(std::chrono::seconds(30)), 0) << Ler(pasta / "saida.txt");
    const std::string log = Ler(pasta / "log.txt");
    EXPECT_NE(log.find("\tped_cod = " + pedido + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\tcli_cod = 5001\r\n"), std::string::npos);
    EXPECT_NE(log.find("\tmed_cod = 301\r\n"), std::string::npos);
    EXPECT_NE(log.find("\tIniciando processo de leitura do arquivo " + (pasta / "arquivos").string() +
                       "/pedido_100231.xml\r\n"),
              std::string::npos);
    fs::remove_all(pasta);
}
