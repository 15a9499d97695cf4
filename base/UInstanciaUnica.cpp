#include "base/UInstanciaUnica.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

#include "base/UTexto.h"

namespace {

// "Não foi possível criar o arquivo de trava "
const std::string kNaoCriou = "N\xE3o foi poss\xEDvel criar o arquivo de trava ";

int Abrir(const std::string& caminho) {
    int fd;
    do {
        fd = ::open(caminho.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 || (errno != EACCES && errno != EROFS && errno != EPERM)) return fd;
    // An existing file that this user may not write (a read-only disk, a file
    // made by another user): a lock on a descriptor open for reading is as good.
    const int erroEscrita = errno;
    do {
        fd = ::open(caminho.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == ENOENT) errno = erroEscrita;
    return fd;
}

}  // namespace

std::unique_ptr<TInstanciaUnica> TInstanciaUnica::Adquirir(const std::string& pasta, std::string* erro) {
    if (erro) erro->clear();
    std::string caminho = pasta;
    if (!caminho.empty() && caminho.back() != '/') caminho += '/';
    caminho += kArquivo;

    const int fd = Abrir(caminho);
    if (fd < 0) {
        const int e = errno;  // before anything else can change it
        if (erro) *erro = kNaoCriou + NomeArquivoParaCp1252(caminho) + ": " + DescricaoErroSistema(e);
        return nullptr;
    }
    int r;
    do {
        r = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        const int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK) return nullptr;
        if (erro) *erro = kNaoCriou + NomeArquivoParaCp1252(caminho) + ": " + DescricaoErroSistema(e);
        return nullptr;
    }
    // The holder's process number, for whoever looks at the file; failing to
    // write it changes nothing.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    return std::unique_ptr<TInstanciaUnica>(new TInstanciaUnica(fd));
}

TInstanciaUnica::~TInstanciaUnica() { ::close(fd_); }
