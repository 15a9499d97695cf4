#include "base/UArquivoSeguro.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

#include "base/UDescritor.h"
#include "base/UErro.h"
#include "base/UTexto.h"

namespace {

std::string DescricaoSistema(int erro) { return DescricaoErroSistema(erro); }

// "Não foi possível gravar o arquivo "
const std::string kNaoGravou = "N\xE3o foi poss\xEDvel gravar o arquivo ";
// "Não foi possível ler o arquivo "
const std::string kNaoLeu = "N\xE3o foi poss\xEDvel ler o arquivo ";

[[noreturn]] void FalhaGravacao(const std::string& caminho, int erro) {
    throw EErro(kNaoGravou + NomeArquivoParaCp1252(caminho) + ": " + DescricaoSistema(erro));
}

// The tests' observer of ForcarPastaAoDisco.
std::mutex& MutexObservador() {
    static std::mutex m;
    return m;
}
std::function<void(const std::string&)>& Observador() {
    static std::function<void(const std::string&)> o;
    return o;
}

bool LetraOuDigito(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool TerminaEmXml(const std::string& nome) {
    if (nome.size() < 4) return false;
    std::string fim = nome.substr(nome.size() - 4);
    for (char& c : fim) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return fim == ".xml";
}

// Removes from `pasta` every regular file whose name `eh` accepts.
int RemoverDaPasta(const std::string& pasta, const std::function<bool(const std::string&)>& eh) {
    DIR* d = ::opendir(pasta.c_str());
    if (!d) return 0;
    int removidos = 0;
    std::vector<std::string> nomes;
    while (const dirent* e = ::readdir(d))
        if (e->d_name[0] == '.' && eh(e->d_name)) nomes.emplace_back(e->d_name);
    ::closedir(d);
    const std::string base = pasta.empty() || pasta.back() == '/' ? pasta : pasta + "/";
    for (const std::string& nome : nomes) {
        const std::string caminho = base + nome;
        struct stat info {};
        if (::lstat(caminho.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (::unlink(caminho.c_str()) == 0) ++removidos;
    }
    if (removidos > 0) ForcarPastaAoDisco(pasta);
    return removidos;
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
    // The owner first: a change of owner clears the set-id bits that the
    // mode then gives back.
    if (existe && !ManterDono(fd, info)) desistir(errno);
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
    ForcarPastaAoDisco(pasta);
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

std::string ModeloTemporarioCurto(const std::string& pasta) { return pasta + ".qv-XXXXXX"; }

bool ManterDono(int fd, const struct stat& info) {
    if (::fchown(fd, info.st_uid, info.st_gid) == 0) return true;
    if (errno != EPERM) return false;
    // Not allowed to give the owner: the group may still be one of ours.
    if (::fchown(fd, static_cast<uid_t>(-1), info.st_gid) == 0 || errno == EPERM) return true;
    return false;
}

void ForcarPastaAoDisco(const std::string& pasta) {
    std::function<void(const std::string&)> observador;
    {
        std::lock_guard trava(MutexObservador());
        observador = Observador();
    }
    if (observador) observador(pasta);
    TDescritor d(::open(pasta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.Fd() >= 0) ::fsync(d.Fd());
}

void DefinirObservadorPastas(std::function<void(const std::string& pasta)> observador) {
    std::lock_guard trava(MutexObservador());
    Observador() = std::move(observador);
}

bool EhTemporarioDoModelo(const std::string& nome, const std::string& modelo) {
    constexpr std::size_t kSufixo = 6;
    if (modelo.size() < kSufixo || modelo.compare(modelo.size() - kSufixo, kSufixo, "XXXXXX") != 0) return false;
    if (nome.size() != modelo.size()) return false;
    const std::size_t fixo = modelo.size() - kSufixo;
    if (nome.compare(0, fixo, modelo, 0, fixo) != 0) return false;
    for (std::size_t i = fixo; i < nome.size(); ++i)
        if (!LetraOuDigito(nome[i])) return false;
    return true;
}

bool EhTemporarioDeMovimento(const std::string& nome) {
    if (EhTemporarioDoModelo(nome, NomeDoCaminho(ModeloTemporarioCurto("")))) return true;
    // "." + a request file's name + "." + six letters or digits.
    constexpr std::size_t kSufixo = 7;  // "." and six
    if (nome.size() <= 1 + 4 + kSufixo || nome[0] != '.') return false;
    const std::string alvo = nome.substr(1, nome.size() - 1 - kSufixo);
    return alvo.size() > 4 && TerminaEmXml(alvo) &&
           EhTemporarioDoModelo(nome, "." + alvo + ".XXXXXX");
}

int RemoverTemporariosAbandonados(const std::string& pasta) {
    int removidos = 0;
    try {
        // Beside log.txt and config.xml: "." + name + ".XXXXXX" (or the
        // short template, for a name near the longest one allowed), in the
        // folder of the file they replace.
        for (const char* nome : {"log.txt", "config.xml"}) {
            const std::string alvo = ArquivoApontado(pasta + nome);
            const std::string modelo = NomeDoCaminho(ModeloTemporario(alvo));
            removidos += RemoverDaPasta(PastaDoCaminho(alvo),
                                        [&](const std::string& n) { return EhTemporarioDoModelo(n, modelo); });
        }
        removidos += RemoverDaPasta(pasta + "arquivos/processados", EhTemporarioDeMovimento);
    } catch (...) {
        // Leftovers are a matter of disk space: never a reason not to start.
    }
    return removidos;
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
