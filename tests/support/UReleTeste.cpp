#include "tests/support/UReleTeste.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

struct TPar {
    int cliente = -1;
    int servidor = -1;
};

// Small writes go at once, as on a direct connection (without it each
// round trip through the relay may wait for a delayed acknowledgement).
void SemEspera(int s) {
    const int um = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &um, sizeof um);
}

void Fechar(TPar& p) {
    if (p.cliente >= 0) ::close(p.cliente);
    if (p.servidor >= 0) ::close(p.servidor);
    p.cliente = p.servidor = -1;
}

// Passes what `de` has to `para`; false when either side ended.
bool Passar(int de, int para) {
    char buf[65536];
    const ssize_t n = ::recv(de, buf, sizeof buf, MSG_DONTWAIT);
    if (n <= 0) return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    for (ssize_t feito = 0; feito < n;) {
        const ssize_t m = ::send(para, buf + feito, static_cast<std::size_t>(n - feito), MSG_NOSIGNAL);
        if (m <= 0) return false;
        feito += m;
    }
    return true;
}

}  // namespace

TReleTeste::TReleTeste(const std::string& host, int porta) : host_(host), destino_(porta) {
    escuta_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (escuta_ < 0) throw std::runtime_error("socket");
    sockaddr_in end{};
    end.sin_family = AF_INET;
    end.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    end.sin_port = 0;
    socklen_t tam = sizeof end;
    if (::bind(escuta_, reinterpret_cast<sockaddr*>(&end), sizeof end) != 0 || ::listen(escuta_, 16) != 0 ||
        ::getsockname(escuta_, reinterpret_cast<sockaddr*>(&end), &tam) != 0) {
        ::close(escuta_);
        throw std::runtime_error("bind/listen");
    }
    porta_ = ntohs(end.sin_port);
    fio_ = std::thread([this] { Rodar(); });
}

TReleTeste::~TReleTeste() {
    fim_ = true;
    fio_.join();
    ::close(escuta_);
}

std::string TReleTeste::Servidor() const { return "127.0.0.1/" + std::to_string(porta_); }

void TReleTeste::Rodar() {
    std::vector<TPar> pares;
    while (!fim_) {
        std::vector<pollfd> fds;
        fds.push_back({escuta_, POLLIN, 0});
        const bool parado = parado_;
        for (const TPar& p : pares) {
            fds.push_back({p.cliente, static_cast<short>(parado ? 0 : POLLIN), 0});
            fds.push_back({p.servidor, static_cast<short>(parado ? 0 : POLLIN), 0});
        }
        // A short wait: a change of mode or the end is seen within it.
        if (::poll(fds.data(), fds.size(), 50) < 0) continue;
        if (fds[0].revents & POLLIN) {
            const int cliente = ::accept4(escuta_, nullptr, nullptr, SOCK_CLOEXEC);
            if (cliente >= 0) {
                const int servidor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in end{};
                end.sin_family = AF_INET;
                end.sin_port = htons(static_cast<std::uint16_t>(destino_));
                ::inet_pton(AF_INET, host_.c_str(), &end.sin_addr);
                if (servidor >= 0 && ::connect(servidor, reinterpret_cast<sockaddr*>(&end), sizeof end) == 0) {
                    SemEspera(cliente);
                    SemEspera(servidor);
                    pares.push_back({cliente, servidor});
                } else {
                    if (servidor >= 0) ::close(servidor);
                    ::close(cliente);
                }
            }
        }
        if (parado) continue;
        for (std::size_t i = 0; i < pares.size(); ++i) {
            const pollfd& c = fds[1 + 2 * i];
            const pollfd& s = fds[2 + 2 * i];
            bool vivo = true;
            if (c.revents & (POLLIN | POLLHUP | POLLERR)) vivo = Passar(pares[i].cliente, pares[i].servidor);
            if (vivo && (s.revents & (POLLIN | POLLHUP | POLLERR))) vivo = Passar(pares[i].servidor, pares[i].cliente);
            if (!vivo) Fechar(pares[i]);
        }
        std::erase_if(pares, [](const TPar& p) { return p.cliente < 0; });
    }
    for (TPar& p : pares) Fechar(p);
}
