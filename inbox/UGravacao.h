// The guard against request files still being written. The laboratory's
// main system writes each file over a few seconds (a network share, a morning
// batch); a scan that read it meanwhile would parse half a file and show a
// box, and in automatic mode the night's work would wait at that box.
//
// A file is settled when its last write lies at least N seconds before the
// scan. A last write in the future (a share whose clock runs ahead) would
// hold a file back for hours: such a file is settled once the guard has seen
// its size and last write unchanged for N seconds. N = 0 turns the guard off.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

#include "inbox/UBS.h"

// N when config.xml does not say otherwise, and its largest value.
constexpr int kSegundosArquivoEstavelPadrao = 5;
constexpr int kSegundosArquivoEstavelMaximo = 300;

// The value of the key segundos_arquivo_estavel (section aplicacao of
// config.xml): a whole number from 0 to 300 in decimal digits (blanks around
// it allowed). Anything else - the empty text, "abc", "-1", "301", "2.5" -
// reads as kSegundosArquivoEstavelPadrao, as a missing key does.
int LerSegundosArquivoEstavel(const std::string& texto);

// The count of held-back files as the progress text after a scan: "" for 0,
// "1 arquivo ainda em gravação", "N arquivos ainda em gravação".
std::string TextoArquivosEmGravacao(int quantos);

class TGuardaGravacao {
public:
    using TRelogio = std::function<std::chrono::system_clock::time_point()>;

    // `segundos` is N (limited to 0..300); `relogio` gives "now" for the
    // comparison with the files' last writes (the system clock when empty).
    explicit TGuardaGravacao(int segundos = 0, TRelogio relogio = {});

    void DefinirSegundos(int segundos);
    int Segundos() const { return segundos_; }

    // The files of `lista` that are settled now, in their order; `emGravacao`
    // gets the number of the others. A file that vanished since it was
    // listed is left out and not counted. Observations of files that are no
    // longer listed are forgotten.
    std::vector<TFile> Estaveis(const std::vector<TFile>& lista, int& emGravacao);

    // Whether the file at `caminho` is settled now (false when it cannot be
    // looked at). Remembers what it saw of a file written in the future.
    bool Estavel(const std::string& caminho);

private:
    struct TObservacao {
        off_t tamanho = 0;
        std::chrono::system_clock::time_point escrita;
        std::chrono::system_clock::time_point desde;  // first seen like this
    };

    int segundos_;
    TRelogio relogio_;
    std::map<std::string, TObservacao> observados_;
};
