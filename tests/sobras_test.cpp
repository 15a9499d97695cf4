// A crash's leftovers: the service (the built quorvelcad-servico, in a
// folder of its own) is killed with SIGKILL again and again while it
// rewrites a large log.txt; each kill may leave the rewrite's hidden
// temporary file, a copy of the whole log. Once the program has started again
// in that folder, none of them is left - nor a move's leftover in
// processados/ -, while the files that are not the program's own (the inbox
// folder's clock stamp, a hidden file of the laboratory's) stay.
//
// The database is one that does not exist on the real server: the service
// then logs "Sem conexão ..." once per start, which is the rewrite killed.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/UArquivoSeguro.h"
#include "tests/support/UBancoTeste.h"

extern char** environ;
namespace fs = std::filesystem;
using Relogio = std::chrono::steady_clock;

namespace {

class TProcesso {
public:
    explicit TProcesso(const fs::path& pasta) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("QUORVEL_SERVICO_INTERVALO_MS=", 0) != 0) env.emplace_back(*e);
        env.emplace_back("QUORVEL_SERVICO_INTERVALO_MS=200");
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string exe = (pasta / "quorvelcad-servico").string();
        char* argv[] = {exe.data(), nullptr};
        posix_spawn_file_actions_t acoes;
        posix_spawn_file_actions_init(&acoes);
        const std::string erro = (pasta / "erro.txt").string();
        posix_spawn_file_actions_addopen(&acoes, 2, erro.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ok_ = posix_spawn(&pid_, exe.c_str(), &acoes, nullptr, argv, envp.data()) == 0;
        posix_spawn_file_actions_destroy(&acoes);
    }
    ~TProcesso() {
        if (pid_ > 0 && !fim_) Sinal(SIGKILL);
    }
    bool Iniciado() const { return ok_; }
    // Sends `sinal` and waits (bounded) for the end; the exit status, 128 +
    // the signal when killed, -1 when still running.
    int Sinal(int sinal) {
        ::kill(pid_, sinal);
        const auto limite = Relogio::now() + std::chrono::seconds(60);
        int status = 0;
        while (Relogio::now() < limite) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                fim_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    bool ok_ = false;
    bool fim_ = false;
};

class Sobras : public ::testing::Test {
protected:
    Sobras() {
        char modelo[] = "/tmp/quorvel-sobras-XXXXXX";
        if (!::mkdtemp(modelo)) throw std::runtime_error("mkdtemp");
        pasta = modelo;
        processados = pasta / "arquivos" / "processados";
        fs::create_directories(processados);
        fs::copy_file(QUORVEL_SERVICO, pasta / "quorvelcad-servico");
        const TServidorTeste s = TServidorTeste::Padrao();
        std::ofstream(pasta / "config.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration>\n  <DB servidor=\"" << s.Host
            << "\" banco=\"" << (pasta / "nao_existe.fdb").string() << "\" usuario=\"" << s.Usuario << "\" senha=\""
            << s.Senha << "\"/>\n  <aplicacao modo_processamento=\"automatico\" frequencia=\"1\"/>\n</Configuration>\n";
    }
    ~Sobras() override { fs::remove_all(pasta); }

    // The rewrites' temporary files beside log.txt now.
    std::set<std::string> TemporariosDoLog() const {
        std::set<std::string> r;
        for (const auto& e : fs::directory_iterator(pasta))
            if (EhTemporarioDoModelo(e.path().filename().string(), ".log.txt.XXXXXX"))
                r.insert(e.path().filename().string());
        return r;
    }
    static std::set<std::string> Ocultos(const fs::path& p) {
        std::set<std::string> r;
        for (const auto& e : fs::directory_iterator(p))
            if (e.path().filename().string()[0] == '.') r.insert(e.path().filename().string());
        return r;
    }

    fs::path pasta, processados;
};

TEST_F(Sobras, MortoNoMeioDaReescritaNaoDeixaNadaQuandoVoltaAIniciar) {
    // Months of log: a rewrite takes long enough to be killed in it.
    {
        std::ofstream f(pasta / "log.txt", std::ios::binary);
        const std::string linha = "10/12/2026 08:00:00\tLendo solicita\xE7\xE3o 123456 do arquivo de exemplo\r\n";
        for (std::size_t n = 0; n < 60u * 1024 * 1024; n += linha.size()) f << linha;
    }
    const std::uintmax_t tamanho = fs::file_size(pasta / "log.txt");

    int deixados = 0;  // kills that left a temporary file
    for (int rodada = 0; rodada < 4; ++rodada) {
        SCOPED_TRACE("rodada " + std::to_string(rodada));
        const std::set<std::string> antes = TemporariosDoLog();
        TProcesso servico(pasta);
        ASSERT_TRUE(servico.Iniciado());
        // Killed as soon as its rewrite has made a temporary file.
        const auto limite = Relogio::now() + std::chrono::seconds(60);
        std::set<std::string> agora;
        bool viu = false;
        while (!viu && Relogio::now() < limite) {
            agora = TemporariosDoLog();
            for (const std::string& t : agora) viu = viu || !antes.count(t);
            if (!viu) std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        EXPECT_EQ(servico.Sinal(SIGKILL), 128 + SIGKILL);
        ASSERT_TRUE(viu) << "no rewrite seen within a minute";
        // The start removed the earlier kills' leftovers before it logged.
        for (const std::string& t : antes) EXPECT_FALSE(agora.count(t)) << t << " was left by an earlier kill";
        if (!TemporariosDoLog().empty()) ++deixados;
    }
    ASSERT_GT(deixados, 0) << "no kill fell inside a rewrite: nothing was tested";
    EXPECT_GE(fs::file_size(pasta / "log.txt"), tamanho) << "log.txt lost its content";

    // A move killed after its copy, and files that are not the program's.
    std::ofstream(processados / ".qv-Ab12Cd") << "<solicitacoes/>";
    std::ofstream(processados / ".p1.xml.Zz9Zz9") << "<solicitacoes/>";
    std::ofstream(pasta / "arquivos" / ".quorvelcad-relogio") << "";
    std::ofstream(pasta / ".laboratorio.txt.AbC123") << "do laboratorio";

    TProcesso servico(pasta);
    ASSERT_TRUE(servico.Iniciado());
    // The start removes them before its first cycle, whose line then reaches
    // the log.
    const auto limite = Relogio::now() + std::chrono::seconds(60);
    while (fs::file_size(pasta / "log.txt") == tamanho && Relogio::now() < limite)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(servico.Sinal(SIGTERM), 0);
    EXPECT_GT(fs::file_size(pasta / "log.txt"), tamanho) << "the service logged nothing";
    EXPECT_EQ(Ocultos(pasta), (std::set<std::string>{".laboratorio.txt.AbC123"}));
    EXPECT_EQ(Ocultos(pasta / "arquivos"), (std::set<std::string>{".quorvelcad-relogio"}));
    EXPECT_TRUE(Ocultos(processados).empty());
}

}  // namespace
