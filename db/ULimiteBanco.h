// The bound of every call to the database server (a statement's prepare,
// execute or fetch, a transaction's start, commit or rollback, a ping, a
// detach): config.xml's segundos_limite_banco. One waiting thread per data
// module, started by the first call, watches the call under way; the calls
// arm and disarm it, so the normal path costs two short locks and no thread.
//
// A call that has not returned when its bound runs out is cancelled with
// the client's own cancel (IAttachment::cancelOperation, fb_cancel_raise),
// which a server that still works obeys at once ("operation was
// cancelled"). A server that hangs with its TCP connection open never reads
// that request, and the call would go on waiting: when it has not returned
// kSegundosAbandono later, the client side of the connection is closed
// (fb_cancel_abort), and the call returns at once with "Error reading data
// from the connection.". The caller then drops the connection (TDM).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace Firebird {
class IAttachment;
}

class TLimiteBanco {
public:
    static constexpr int kPadrao = 60;
    static constexpr int kMinimo = 10;
    static constexpr int kMaximo = 3600;
    // From the cancel to the close of the connection's client side.
    static constexpr int kSegundosAbandono = 1;

    // The value of the key segundos_limite_banco (section aplicacao of
    // config.xml): a whole number from kMinimo to kMaximo in decimal digits
    // (blanks around it allowed). Anything else - the empty text, "abc",
    // "9", "3601", "2.5" - reads as kPadrao, as a missing key does.
    static int LerSegundos(const std::string& texto);

    explicit TLimiteBanco(int segundos = kPadrao) : segundos_(segundos) {}
    // Ends the waiting thread. No call may be armed.
    ~TLimiteBanco();
    TLimiteBanco(const TLimiteBanco&) = delete;
    TLimiteBanco& operator=(const TLimiteBanco&) = delete;

    int Segundos() const;
    // The bound of the calls armed from now on (kMinimo to kMaximo; other
    // values are held to that range).
    void DefinirSegundos(int segundos);

    // One call under the bound, from construction to Encerrar (or the
    // destructor). Calls are armed one at a time (the data module works on
    // one thread). The attachment is kept referenced while armed, so the
    // waiting thread never reaches a released one, even when the call
    // returns at the moment its bound runs out; after Encerrar the thread no
    // longer touches it. A null attachment arms nothing.
    class TChamada {
    public:
        TChamada(TLimiteBanco& limite, Firebird::IAttachment* att);
        ~TChamada() { Encerrar(); }
        TChamada(const TChamada&) = delete;
        TChamada& operator=(const TChamada&) = delete;
        // The bound counts again from now (one more row fetched).
        void Renovar();
        // Disarms (again: does nothing). True when the bound ran out and the
        // call was cancelled.
        bool Encerrar() noexcept;

    private:
        TLimiteBanco& limite_;
        bool armada_ = false;
        bool expirou_ = false;
    };

private:
    void Armar(Firebird::IAttachment* att);
    bool Desarmar() noexcept;
    void Renovar();
    void Vigiar();

    mutable std::mutex m_;
    std::condition_variable cv_;
    int segundos_;
    Firebird::IAttachment* att_ = nullptr;  // the call armed, one reference held
    std::chrono::steady_clock::time_point prazo_;
    int estagio_ = 0;         // 0 running, 1 cancelled, 2 connection closed
    bool dormindo_ = false;   // the thread waits without a deadline
    bool fim_ = false;
    std::thread fio_;
};
