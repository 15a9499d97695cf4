// A file descriptor owned by one scope, and the write loop over it, for the
// code that writes files with the system's calls (the activity log, the safe
// file replacement, the moves to the processed folder).
#pragma once

#include <cerrno>
#include <cstddef>
#include <string_view>
#include <sys/types.h>
#include <unistd.h>
#include <utility>

// Closes the descriptor when it goes; a negative descriptor is none.
class TDescritor {
public:
    explicit TDescritor(int fd) : fd_(fd) {}
    ~TDescritor() { Fechar(); }
    TDescritor(const TDescritor&) = delete;
    TDescritor& operator=(const TDescritor&) = delete;

    int Fd() const { return fd_; }
    // Closes now; the close's errno (a late write failure), or 0.
    int Fechar() {
        const int fd = std::exchange(fd_, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int fd_;
};

// Writes all of `dados`, going on after a signal; false with errno set.
inline bool EscreverTudo(int fd, std::string_view dados) {
    while (!dados.empty()) {
        const ssize_t n = ::write(fd, dados.data(), dados.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        dados.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}
