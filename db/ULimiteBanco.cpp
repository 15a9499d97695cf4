#include "db/ULimiteBanco.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <algorithm>
#include <string>

#include "db/UFirebird.h"

using namespace Firebird;

int TLimiteBanco::LerSegundos(const std::string& texto) {
    const std::size_t inicio = texto.find_first_not_of(' ');
    if (inicio == std::string::npos) return kPadrao;
    const std::string numero = texto.substr(inicio, texto.find_last_not_of(' ') - inicio + 1);
    if (numero.size() > 4 || !std::all_of(numero.begin(), numero.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return kPadrao;
    const int valor = std::stoi(numero);
    return valor >= kMinimo && valor <= kMaximo ? valor : kPadrao;
}

TLimiteBanco::~TLimiteBanco() {
    {
        std::lock_guard<std::mutex> l(m_);
        fim_ = true;
    }
    cv_.notify_one();
    if (fio_.joinable()) fio_.join();
    if (att_) att_->release();
}

int TLimiteBanco::Segundos() const {
    std::lock_guard<std::mutex> l(m_);
    return segundos_;
}

void TLimiteBanco::DefinirSegundos(int segundos) {
    std::lock_guard<std::mutex> l(m_);
    segundos_ = std::clamp(segundos, kMinimo, kMaximo);
}

void TLimiteBanco::Armar(IAttachment* att) {
    att->addRef();
    bool acordar = false;
    {
        std::lock_guard<std::mutex> l(m_);
        if (att_) att_->release();  // not disarmed (cannot happen on one thread)
        att_ = att;
        prazo_ = std::chrono::steady_clock::now() + std::chrono::seconds(segundos_);
        estagio_ = 0;
        // A thread that waits for an earlier deadline needs no wake-up: it
        // wakes then and finds this later one. Only one that waits without a
        // deadline does.
        acordar = dormindo_;
        if (!fio_.joinable()) fio_ = std::thread([this] { Vigiar(); });
    }
    if (acordar) cv_.notify_one();
}

void TLimiteBanco::Renovar() {
    std::lock_guard<std::mutex> l(m_);
    if (att_ && estagio_ == 0) prazo_ = std::chrono::steady_clock::now() + std::chrono::seconds(segundos_);
}

bool TLimiteBanco::Desarmar() noexcept {
    IAttachment* att;
    bool expirou;
    {
        std::lock_guard<std::mutex> l(m_);
        att = att_;
        att_ = nullptr;
        expirou = estagio_ > 0;
    }
    // The thread holds its own reference while it cancels.
    if (att) att->release();
    return expirou;
}

void TLimiteBanco::Vigiar() {
    std::unique_lock<std::mutex> l(m_);
    while (!fim_) {
        if (!att_ || estagio_ >= 2) {
            dormindo_ = true;
            cv_.wait(l);
            dormindo_ = false;
            continue;
        }
        const auto agora = std::chrono::steady_clock::now();
        if (agora < prazo_) {
            cv_.wait_until(l, prazo_);
            continue;
        }
        // The bound ran out: cancel first; close the connection's client side
        // when the call is still there kSegundosAbandono later.
        const int opcao = estagio_ == 0 ? fb_cancel_raise : fb_cancel_abort;
        ++estagio_;
        prazo_ = agora + std::chrono::seconds(kSegundosAbandono);
        IAttachment* att = att_;
        att->addRef();
        l.unlock();
        IStatus* status = fb::Mestre()->getStatus();
        CheckStatusWrapper st(status);
        att->cancelOperation(&st, opcao);  // an error (nothing under way) changes nothing
        status->dispose();
        att->release();
        l.lock();
    }
}

TLimiteBanco::TChamada::TChamada(TLimiteBanco& limite, IAttachment* att) : limite_(limite) {
    if (!att) return;
    limite_.Armar(att);
    armada_ = true;
}

void TLimiteBanco::TChamada::Renovar() {
    if (armada_) limite_.Renovar();
}

bool TLimiteBanco::TChamada::Encerrar() noexcept {
    if (armada_) {
        armada_ = false;
        expirou_ = limite_.Desarmar();
    }
    return expirou_;
}
