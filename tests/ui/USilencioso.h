// A TCP port on 127.0.0.1 that takes connections and never answers them (a
// hung server, a port that swallows the packets), for the bounded connection
// attempts. The port closes when the object goes.
#pragma once

#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

class TServidorSilencioso {
public:
    TServidorSilencioso() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in endereco{};
        endereco.sin_family = AF_INET;
        endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        endereco.sin_port = 0;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco);
        ::listen(fd_, 16);  // the system completes the handshakes; nobody reads
        socklen_t tamanho = sizeof endereco;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&endereco), &tamanho);
        porta_ = ntohs(endereco.sin_port);
    }
    ~TServidorSilencioso() { ::close(fd_); }
    TServidorSilencioso(const TServidorSilencioso&) = delete;
    TServidorSilencioso& operator=(const TServidorSilencioso&) = delete;

    // The server part of a database name: "127.0.0.1/<port>".
    std::string Servidor() const { return "127.0.0.1/" + std::to_string(porta_); }

private:
    int fd_ = -1;
    int porta_ = 0;
};
