#include "app/UArquivoSeguro.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "app/UDescritor.h"
#include "app/UErro.h"
#include "app/UTexto.h"

namespace {

std::string DescricaoSistema(int erro) { return DescricaoErroSistema(erro); }

// "Não foi possível gravar o arquivo "
const std::string kNaoGravou = "N\xE3o foi poss\xEDvel gravar o arquivo ";
// "Não foi possível ler o arquivo "
const std::string kNaoLeu = "N\xE3o foi poss\xEDvel ler o arquivo ";

[[noreturn]] void FalhaGravacao(const std::string& caminho, int erro) {
    throw EErro(kNaoGravou + NomeArquivoParaCp1252(caminho) + ": " + DescricaoSistema(erro));
}

}  // namespace

std::optional<std::string> LerArquivoInteiro(const std::string& caminho) {
    const int fd = ::open(caminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int erro = errno;
        if (erro == ENOENT) return std::nullopt;
        throw EErro(kNaoLeu + NomeArquivoParaCp1252(caminho) + ": " + DescricaoSistema(erro));
    }
    TDescritor arquivo(fd);
    std::string conteudo;
    char bloco[65536];
    for (;;) {
        const ssize_t lidos = ::read(fd, bloco, sizeof bloco);
        if (lidos < 0) {
            const int erro = errno;
            if (erro == EINTR) continue;
            throw EErro(kNaoLeu + NomeArquivoParaCp1252(caminho) + ": " + DescricaoSistema(erro));
        }
        if (lidos == 0) break;
        conteudo.append(bloco, static_cast<std::size_t>(lidos));
    }
    return conteudo;
}

void GravarArquivoSeguro(const std::string& caminho, const std::string& conteudo,
                         std::optional<mode_t> modoNovo) {
    // A symbolic link is followed: the file it names is replaced, not the link.
    const std::string alvo = ArquivoApontado(caminho);
    struct stat info {};
    bool existe = false;
    if (::stat(alvo.c_str(), &info) == 0) {
        existe = true;
        if (!S_ISREG(info.st_mode)) FalhaGravacao(caminho, EISDIR);
        if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(alvo.c_str(), W_OK) != 0) {
            throw EErro(kNaoGravou + NomeArquivoParaCp1252(caminho) + ": arquivo somente leitura");
        }
    } else if (errno != ENOENT) {
        FalhaGravacao(caminho, errno);
    }
    const mode_t modo = existe ? (info.st_mode & 07777) : modoNovo.value_or(ModoNovoPadrao());

    const std::string pasta = PastaDoCaminho(alvo);
    std::string modelo = ModeloTemporario(alvo);
    std::vector<char> nomeTemp(modelo.begin(), modelo.end());
    nomeTemp.push_back('\0');
    const int fd = ::mkostemp(nomeTemp.data(), O_CLOEXEC);  // created with mode 0600
    if (fd < 0) FalhaGravacao(caminho, errno);
    const std::string temporario(nomeTemp.data());
    TDescritor arquivo(fd);

    auto desistir = [&](int erro) {
        arquivo.Fechar();
        ::unlink(temporario.c_str());
        FalhaGravacao(caminho, erro);
    };

    if (!EscreverTudo(fd, conteudo)) desistir(errno);
    if (::fchmod(fd, modo) != 0) desistir(errno);
    if (::fsync(fd) != 0) desistir(errno);
    if (const int erro = arquivo.Fechar(); erro != 0) {
        ::unlink(temporario.c_str());
        FalhaGravacao(caminho, erro);
    }
    if (::rename(temporario.c_str(), alvo.c_str()) != 0) {
        const int erro = errno;
        ::unlink(temporario.c_str());
        FalhaGravacao(caminho, erro);
    }
    // Make the rename itself durable; the new content is already in place, so
    // a failure here is not reported.
    const int dir = ::open(pasta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

std::string ArquivoApontado(const std::string& caminho) {
    struct stat info {};
    if (::lstat(caminho.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char real[PATH_MAX];
        if (::realpath(caminho.c_str(), real) != nullptr) return real;
    }
    return caminho;
}

std::string PastaDoCaminho(const std::string& caminho) {
    const auto pos = caminho.find_last_of('/');
    if (pos == std::string::npos) return ".";
    if (pos == 0) return "/";
    return caminho.substr(0, pos);
}

std::string NomeDoCaminho(const std::string& caminho) {
    const auto pos = caminho.find_last_of('/');
    return pos == std::string::npos ? caminho : caminho.substr(pos + 1);
}

std::string ModeloTemporario(const std::string& alvo) {
    const std::string longo = "." + NomeDoCaminho(alvo) + ".XXXXXX";
    return PastaDoCaminho(alvo) + "/" + (longo.size() <= NAME_MAX ? longo : std::string(".qv-XXXXXX"));
}

mode_t ModoNovoPadrao() {
    // The kernel tells the umask in /proc/self/status ("Umask:\t0022");
    // umask() would have to set it to read it.
    std::ifstream status("/proc/self/status");
    for (std::string linha; std::getline(status, linha);) {
        if (linha.rfind("Umask:", 0) != 0) continue;
        const unsigned long mascara = std::strtoul(linha.c_str() + 6, nullptr, 8);
        return static_cast<mode_t>(0666 & ~mascara);
    }
    const mode_t mascara = ::umask(0);
    ::umask(mascara);
    return 0666 & ~mascara;
}
