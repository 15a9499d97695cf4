#include "inbox/UIdentidadeArquivo.h"

#include <sys/stat.h>

std::optional<TIdentidadeArquivo> TIdentidadeArquivo::De(const std::string& caminho) noexcept {
    struct stat info {};
    if (::stat(caminho.c_str(), &info) != 0) return std::nullopt;
    return De(info);
}

TIdentidadeArquivo TIdentidadeArquivo::De(const struct stat& info) noexcept {
    TIdentidadeArquivo id;
    id.Dispositivo = static_cast<std::uint64_t>(info.st_dev);
    id.Inode = static_cast<std::uint64_t>(info.st_ino);
    id.Tamanho = static_cast<std::int64_t>(info.st_size);
    id.EscritaNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return id;
}
