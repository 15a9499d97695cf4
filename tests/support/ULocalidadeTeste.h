// Sets the process locale for one test and puts the old one back.
#pragma once

#include <clocale>
#include <string>

class TLocalidade {
public:
    explicit TLocalidade(const char* nome) : anterior_(std::setlocale(LC_ALL, nullptr)) {
        ok_ = std::setlocale(LC_ALL, nome) != nullptr;
    }
    ~TLocalidade() { std::setlocale(LC_ALL, anterior_.c_str()); }
    TLocalidade(const TLocalidade&) = delete;
    TLocalidade& operator=(const TLocalidade&) = delete;
    // Whether the locale exists on this machine.
    bool Ok() const { return ok_; }

private:
    std::string anterior_;
    bool ok_ = false;
};
