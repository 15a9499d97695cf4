// What tells one version of a request file from another: the file's identity
// on its disk (device and inode, which a rewrite by rename changes) and its
// size and last-write time (which a rewrite in place changes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct stat;

struct TIdentidadeArquivo {
    std::uint64_t Dispositivo = 0;  // st_dev
    std::uint64_t Inode = 0;        // st_ino
    std::int64_t Tamanho = 0;       // st_size
    std::int64_t EscritaNs = 0;     // st_mtim, nanoseconds since the epoch

    friend auto operator<=>(const TIdentidadeArquivo&, const TIdentidadeArquivo&) = default;

    // The version of the file at `caminho` now (following a symbolic link);
    // none when it cannot be read (gone, no access). Never throws.
    static std::optional<TIdentidadeArquivo> De(const std::string& caminho) noexcept;
    // The version described by `info`.
    static TIdentidadeArquivo De(const struct stat& info) noexcept;
};
