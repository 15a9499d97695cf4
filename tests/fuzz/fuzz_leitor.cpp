// libFuzzer target of the request file reader (see UAlvosFuzz.h).
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/UAlvosFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dados, std::size_t tamanho) {
    static const TPastaFuzz pasta("leitor");
    const std::string falha = ExercitarLeitor(pasta.Caminho(), dados, tamanho);
    if (!falha.empty()) {
        std::fprintf(stderr, "FALHA: %s\n", falha.c_str());
        std::abort();
    }
    return 0;
}
