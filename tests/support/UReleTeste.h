// A TCP relay for the tests, inside the test process: it listens on a free
// port of 127.0.0.1 and passes every connection's bytes to and from the
// database server's port, on one thread of its own. Told to stop
// forwarding, it keeps every connection open (and accepts new ones) but
// passes nothing either way, as a server that hangs without dropping its
// TCP connections does; told to forward again, it passes what waited.
#pragma once

#include <atomic>
#include <string>
#include <thread>

class TReleTeste {
public:
    // Relays to `host`:`porta`. Throws std::runtime_error when no port can
    // be listened on.
    explicit TReleTeste(const std::string& host = "127.0.0.1", int porta = 3050);
    // Closes every connection and ends the thread (within a fraction of a
    // second).
    ~TReleTeste();
    TReleTeste(const TReleTeste&) = delete;
    TReleTeste& operator=(const TReleTeste&) = delete;

    // The port it listens on.
    int Porta() const { return porta_; }
    // The server name for a connection through the relay: "127.0.0.1/<porta>".
    std::string Servidor() const;

    // Stops passing bytes (connections stay open) / passes them again.
    void Parar() { parado_ = true; }
    void Retomar() { parado_ = false; }

private:
    void Rodar();

    std::string host_;
    int destino_;
    int escuta_ = -1;
    int porta_ = 0;
    std::atomic<bool> parado_{false};
    std::atomic<bool> fim_{false};
    std::thread fio_;
};
