// The exceptions of the system. Messages are Windows-1252 text, shown to the
// operator as they stand.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class EErro : public std::runtime_error {
public:
    explicit EErro(const std::string& mensagem) : std::runtime_error(mensagem) {}
};

// An error reported by the database server or its client library; the message
// is the server's own text. `Codigos` are the error codes of the server's
// status vector (the isc_* codes of iberror.h, in the vector's order; empty
// for an error of this program's own database layer). db/UFalhaBD.h tells
// from them whether the failure passes or stays.
class EErroBD : public EErro {
public:
    explicit EErroBD(const std::string& mensagem, std::vector<std::int64_t> codigos = {})
        : EErro(mensagem), codigos_(std::move(codigos)) {}
    const std::vector<std::int64_t>& Codigos() const { return codigos_; }

private:
    std::vector<std::int64_t> codigos_;
};

// A request or configuration file that cannot be parsed; the message holds the
// parser's reason and line.
class EErroXML : public EErro {
public:
    explicit EErroXML(const std::string& mensagem) : EErro(mensagem) {}
};
