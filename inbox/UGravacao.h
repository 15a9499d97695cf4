// The guard against request files still being written. The laboratory's
// main system writes each file over a few seconds (a network share, a morning
// batch); a scan that read it meanwhile would parse half a file and show a
// box, and in automatic mode the night's work would wait at that box.
//
// A file is settled when either
// - its last write lies at least N seconds before the inbox folder's "now",
//   read on the folder's own clock: the scan writes a small hidden stamp file
//   there (kCarimboRelogio) and takes the stamp's last write as "now". On a
//   share both times come from the file server's clock, so a share whose
//   clock runs ahead of or behind this machine's is judged alike. When the
//   stamp cannot be written (a read-only folder) "now" is the system clock.
//   A file the guard saw changing since an earlier scan cannot be older than
//   that scan: a larger age (a clock stepped forward) is not believed; or
// - the guard has seen its size, last write and identity unchanged for N
//   seconds on a monotonic clock, so that a stepped system clock (or a last
//   write in the future) holds nothing back longer than that.
// A file found settled stays settled while it is unchanged. N = 0 turns the
// guard off (and no stamp is written).
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "config/UConfig.h"
#include "inbox/UBS.h"

// The name of the stamp file the scan writes in the inbox folder. It is no
// request file (the scan lists "*.xml" only), is never moved, and the
// removal of leftovers at start leaves it alone.
constexpr const char* kCarimboRelogio = ".quorvelcad-relogio";

// The count of held-back files as the progress text after a scan: "" for 0,
// "1 arquivo ainda em gravação", "N arquivos ainda em gravação".
std::string TextoArquivosEmGravacao(int quantos);

// The folder's "now": rewrites the stamp kCarimboRelogio in `pasta` (a path
// ending with "/") and returns the stamp's last write as the file system
// gives it (on a share, the file server's clock). A stamp that this process
// may not write (another account's, a symbolic link) is replaced; a link is
// never followed. None when the stamp cannot be written or read (the folder
// missing or read-only); nothing is shown.
std::optional<std::chrono::system_clock::time_point> RelogioDaPasta(const std::string& pasta);

class TGuardaGravacao {
public:
    using TInstante = std::chrono::system_clock::time_point;
    using TMonotonico = std::chrono::steady_clock::time_point;

    // The clocks the guard reads; an empty one is the real one. Tests give
    // their own.
    struct TRelogios {
        // The folder's "now" (RelogioDaPasta); none when it cannot tell.
        std::function<std::optional<TInstante>(const std::string& pasta)> pasta;
        // "now" when the folder cannot tell (std::chrono::system_clock).
        std::function<TInstante()> sistema;
        // For "unchanged for N seconds" (std::chrono::steady_clock).
        std::function<TMonotonico()> monotonico;
    };

    // `segundos` is N (limited to 0..300).
    explicit TGuardaGravacao(int segundos = 0, TRelogios relogios = {});

    void DefinirSegundos(int segundos);
    int Segundos() const { return segundos_; }

    // The files of `lista` (listed from the folder `pasta`, a path ending
    // with "/") that are settled now, in their order; `emGravacao` gets the
    // number of the others. A file that vanished since it was listed is left
    // out and not counted. Observations of files that are no longer listed
    // are forgotten. Reads the folder's clock once (with N > 0).
    std::vector<TFile> Estaveis(const std::string& pasta, const std::vector<TFile>& lista, int& emGravacao);

    // Whether the last Estaveis judged the files on the folder's own clock
    // (false: on the system clock, or with the guard off).
    bool RelogioDaPastaUsado() const { return relogioDaPasta_; }

    // How long from now, on the monotonic clock, until the first file the
    // last Estaveis held back may have settled (zero when that time has
    // passed); none when it held nothing back. Never more than N seconds.
    std::optional<std::chrono::milliseconds> EsperaAteAssentar() const;

private:
    struct TObservacao {
        off_t tamanho = 0;
        TInstante escrita;
        dev_t dispositivo = 0;
        ino_t inode = 0;
        TMonotonico desde;                    // first seen like this
        TMonotonico visto;                    // last seen like this
        std::optional<TMonotonico> anterior;  // last seen in another state
        bool assentado = false;               // found settled since
    };

    // Whether the file is settled; when it is not, `assenta` gets the
    // monotonic time by which it may have. False (and not counted) when the
    // file cannot be looked at: `existe` is false then.
    bool Estavel(const std::string& caminho, TInstante agora, TMonotonico agoraMonotonico, bool& existe,
                 TMonotonico& assenta);

    TMonotonico AgoraMonotonico() const;

    int segundos_;
    TRelogios relogios_;
    std::map<std::string, TObservacao> observados_;
    bool relogioDaPasta_ = false;
    std::optional<TMonotonico> primeiroAssentamento_;
};
