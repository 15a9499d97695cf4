// The one-instance lock, between real processes: a second holder is refused
// while the first lives, the lock is free again once the holder is gone (also
// killed, also replaced by another program through exec), and a folder where
// the lock file cannot be made gives a reason.
#include "base/UInstanciaUnica.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include <csignal>
#include <sched.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string LerTudo(const std::string& caminho) {
    std::ifstream f(caminho);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

class InstanciaUnica : public ::testing::Test {
protected:
    void SetUp() override {
        pasta_ = fs::temp_directory_path() / ("quorvel-trava-" + std::to_string(::getpid())) / "Laborat\xC3\xB3rio S\xC3\xA3o";
        fs::remove_all(pasta_.parent_path());
        fs::create_directories(pasta_);
    }
    void TearDown() override {
        for (pid_t p : filhos_) {
            ::kill(p, SIGKILL);
            ::waitpid(p, nullptr, 0);
        }
        fs::remove_all(pasta_.parent_path());
    }

    // A child process that takes the lock and then either waits to be killed
    // or replaces itself by `sleep` (exec). Returns its pid once it reported
    // whether it got the lock (into `pegou`).
    pid_t Detentor(bool exec, bool& pegou) {
        int canal[2];
        EXPECT_EQ(::pipe(canal), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(canal[0]);
            auto trava = TInstanciaUnica::Adquirir(pasta_.string());
            const char c = trava ? '1' : '0';
            [[maybe_unused]] ssize_t n = ::write(canal[1], &c, 1);
            ::close(canal[1]);
            if (exec) ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
            for (;;) ::pause();
        }
        filhos_.push_back(pid);
        ::close(canal[1]);
        char c = '0';
        EXPECT_EQ(::read(canal[0], &c, 1), 1);
        ::close(canal[0]);
        pegou = c == '1';
        return pid;
    }

    // Whether a fresh child process gets the lock now.
    bool OutroProcessoPega() {
        const pid_t pid = ::fork();
        if (pid == 0) _exit(TInstanciaUnica::Adquirir(pasta_.string()) ? 1 : 0);
        int st = 0;
        ::waitpid(pid, &st, 0);
        return WIFEXITED(st) && WEXITSTATUS(st) == 1;
    }

    void Matar(pid_t pid) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        std::erase(filhos_, pid);
    }

    fs::path pasta_;
    std::vector<pid_t> filhos_;
};

TEST_F(InstanciaUnica, OutroProcessoComATravaRecusaAteMorrer) {
    bool pegou = false;
    const pid_t detentor = Detentor(false, pegou);
    ASSERT_TRUE(pegou);

    std::string erro = "x";
    EXPECT_EQ(TInstanciaUnica::Adquirir(pasta_.string(), &erro), nullptr);
    EXPECT_EQ(erro, "") << "a lock held elsewhere is no error";
    EXPECT_FALSE(OutroProcessoPega());

    // Killed without any chance to clean up: the lock goes with it.
    Matar(detentor);
    EXPECT_TRUE(fs::exists(pasta_ / TInstanciaUnica::kArquivo));
    auto trava = TInstanciaUnica::Adquirir(pasta_.string(), &erro);
    EXPECT_NE(trava, nullptr);
    EXPECT_EQ(erro, "");
}

TEST_F(InstanciaUnica, DetentorNesteProcessoRecusaOutrosAteLiberar) {
    auto trava = TInstanciaUnica::Adquirir(pasta_.string() + "/");
    ASSERT_NE(trava, nullptr);
    EXPECT_EQ(TInstanciaUnica::Adquirir(pasta_.string()), nullptr);
    EXPECT_FALSE(OutroProcessoPega()) << "a forked child shares the lock, it does not take a second one";
    trava.reset();
    EXPECT_TRUE(OutroProcessoPega());
    EXPECT_NE(TInstanciaUnica::Adquirir(pasta_.string()), nullptr);
}

TEST_F(InstanciaUnica, ProgramaIniciadoPeloDetentorNaoHerdaATrava) {
    bool pegou = false;
    const pid_t pid = Detentor(true, pegou);
    ASSERT_TRUE(pegou);
    // Once the child runs sleep, the process that took the lock lives on as
    // another program.
    const std::string comm = "/proc/" + std::to_string(pid) + "/comm";
    while (LerTudo(comm) != "sleep\n") ::sched_yield();
    // The kernel names the new program a moment before it closes the
    // close-on-exec descriptors: give it that moment (bounded).
    std::unique_ptr<TInstanciaUnica> trava;
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!(trava = TInstanciaUnica::Adquirir(pasta_.string())) && std::chrono::steady_clock::now() < limite)
        ::sched_yield();
    EXPECT_NE(trava, nullptr);
}

TEST_F(InstanciaUnica, ArquivoDeTravaSomenteLeituraAindaTrava) {
    const fs::path arquivo = pasta_ / TInstanciaUnica::kArquivo;
    { auto t = TInstanciaUnica::Adquirir(pasta_.string()); }
    ASSERT_EQ(::chmod(arquivo.c_str(), 0444), 0);
    bool pegou = false;
    Detentor(false, pegou);
    ASSERT_TRUE(pegou);
    EXPECT_EQ(TInstanciaUnica::Adquirir(pasta_.string()), nullptr);
}

TEST_F(InstanciaUnica, PastaOndeOArquivoNaoPodeSerCriadoDaMotivo) {
    std::ofstream(pasta_ / "arquivo") << "x";
    const struct {
        const char* caso;
        fs::path pasta;
    } casos[] = {
        {"no such folder", pasta_ / "nao-existe"},
        {"a file where the folder should be", pasta_ / "arquivo"},
    };
    for (const auto& c : casos) {
        std::string erro;
        EXPECT_EQ(TInstanciaUnica::Adquirir(c.pasta.string(), &erro), nullptr) << c.caso;
        EXPECT_EQ(erro.rfind("N\xE3o foi poss\xEDvel criar o arquivo de trava ", 0), 0u) << c.caso << ": " << erro;
        EXPECT_NE(erro.find(TInstanciaUnica::kArquivo), std::string::npos) << c.caso;
        EXPECT_NO_THROW(TInstanciaUnica::Adquirir(c.pasta.string())) << c.caso << " (without a place for the reason)";
    }
}

}  // namespace
