#include "base/UPastaPrograma.h"

#include <filesystem>
#include <system_error>

std::string PastaExecutavel(const char* argv0) {
    std::error_code erro;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", erro);
    if (erro) exe = std::filesystem::absolute(argv0, erro);
    std::string pasta = exe.parent_path().string();
    if (pasta.empty() || pasta.back() != '/') pasta += '/';
    return pasta;
}
