// The exceptions of the system. Messages are Windows-1252 text, shown to the
// operator as they stand.
#pragma once

#include <stdexcept>
#include <string>

class EErro : public std::runtime_error {
public:
    explicit EErro(const std::string& mensagem) : std::runtime_error(mensagem) {}
};

// An error reported by the database server or its client library; the message
// is the server's own text.
class EErroBD : public EErro {
public:
    explicit EErroBD(const std::string& mensagem) : EErro(mensagem) {}
};

// A request or configuration file that cannot be parsed; the message holds the
// parser's reason and line.
class EErroXML : public EErro {
public:
    explicit EErroXML(const std::string& mensagem) : EErro(mensagem) {}
};
