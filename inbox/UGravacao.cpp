#include "inbox/UGravacao.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "base/UDescritor.h"

namespace {

using std::chrono::steady_clock;
using std::chrono::system_clock;

system_clock::time_point Instante(const struct timespec& t) {
    return system_clock::time_point(
        std::chrono::duration_cast<system_clock::duration>(std::chrono::seconds(t.tv_sec) +
                                                           std::chrono::nanoseconds(t.tv_nsec)));
}

// What the folder's clock (a file system's coarse time, a server's clock)
// and the monotonic clock may disagree by over a few seconds without a step.
constexpr std::chrono::seconds kFolgaRelogio(2);

int Limitar(int segundos) { return std::clamp(segundos, 0, kSegundosArquivoEstavelMaximo); }

}  // namespace

std::string TextoArquivosEmGravacao(int quantos) {
    if (quantos <= 0) return "";
    // "arquivo(s) ainda em gravação"
    return std::to_string(quantos) + (quantos == 1 ? " arquivo" : " arquivos") + " ainda em grava\xE7\xE3o";
}

std::optional<system_clock::time_point> RelogioDaPasta(const std::string& pasta) {
    const std::string caminho = pasta + kCarimboRelogio;
    // 0 once written, else the failure's errno.
    const auto escrever = [&caminho]() -> int {
        // Never through a link; a FIFO planted there does not block the scan.
        TDescritor d(::open(caminho.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                            0666));
        if (d.Fd() < 0) return errno;
        struct stat info {};
        if (::fstat(d.Fd(), &info) != 0) return errno;
        if (!S_ISREG(info.st_mode)) return EPERM;
        // A write of its own, so that the file system stamps the time of the
        // write (a share: the server's clock).
        if (!EscreverTudo(d.Fd(), "Quorvel CAD: hora da pasta de entrada\n")) return errno;
        return d.Fechar();
    };
    if (const int erro = escrever(); erro != 0) {
        // Another account's stamp (the window and the service take turns in
        // one folder), a link or something else than a file: replaced by a
        // stamp of this process.
        if (erro != EACCES && erro != EPERM && erro != ELOOP) return std::nullopt;
        if (::unlink(caminho.c_str()) != 0 || escrever() != 0) return std::nullopt;
    }
    struct stat info {};
    if (::lstat(caminho.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return Instante(info.st_mtim);
}

TGuardaGravacao::TGuardaGravacao(int segundos, TRelogios relogios)
    : segundos_(Limitar(segundos)), relogios_(std::move(relogios)) {
    if (!relogios_.pasta) relogios_.pasta = &RelogioDaPasta;
    if (!relogios_.sistema) relogios_.sistema = &system_clock::now;
    if (!relogios_.monotonico) relogios_.monotonico = &steady_clock::now;
}

void TGuardaGravacao::DefinirSegundos(int segundos) { segundos_ = Limitar(segundos); }

TGuardaGravacao::TMonotonico TGuardaGravacao::AgoraMonotonico() const { return relogios_.monotonico(); }

bool TGuardaGravacao::Estavel(const std::string& caminho, TInstante agora, TMonotonico agoraMonotonico,
                              bool& existe, TMonotonico& assenta) {
    struct stat info {};
    existe = ::stat(caminho.c_str(), &info) == 0;
    if (!existe) {
        observados_.erase(caminho);
        return false;
    }
    if (segundos_ == 0) return true;
    const std::chrono::seconds n(segundos_);
    const TInstante escrita = Instante(info.st_mtim);
    auto it = observados_.find(caminho);
    if (it == observados_.end() || it->second.tamanho != info.st_size || it->second.escrita != escrita ||
        it->second.dispositivo != info.st_dev || it->second.inode != info.st_ino) {
        // Seen before in another state: the last write came after that.
        std::optional<TMonotonico> antes;
        if (it != observados_.end()) antes = it->second.visto;
        it = observados_
                 .insert_or_assign(caminho, TObservacao{info.st_size, escrita, info.st_dev, info.st_ino,
                                                        agoraMonotonico, agoraMonotonico, antes, false})
                 .first;
    }
    TObservacao& obs = it->second;
    obs.visto = agoraMonotonico;
    // Settled once stays settled while unchanged, whatever a clock does.
    if (obs.assentado) return true;

    // Unchanged for N seconds on the monotonic clock: a last write in the
    // future, or a clock stepped meanwhile, holds the file back no longer.
    if (agoraMonotonico - obs.desde >= n) return obs.assentado = true;
    TMonotonico assentaEm = obs.desde + n;

    // Last written N seconds before the folder's "now". A file seen changing
    // was written after the scan that saw it before: an age that says
    // otherwise comes from a clock stepped forward, and only the monotonic
    // clock counts for it.
    if (escrita <= agora) {
        const auto idade = std::chrono::duration_cast<steady_clock::duration>(agora - escrita);
        const bool crivel = !obs.anterior || idade <= (agoraMonotonico - *obs.anterior) + kFolgaRelogio;
        if (crivel) {
            if (idade >= n) return obs.assentado = true;
            assentaEm = std::min(assentaEm, agoraMonotonico + (n - idade));
        }
    }
    assenta = assentaEm;
    return false;
}

std::vector<TFile> TGuardaGravacao::Estaveis(const std::string& pasta, const std::vector<TFile>& lista,
                                             int& emGravacao) {
    emGravacao = 0;
    primeiroAssentamento_.reset();
    relogioDaPasta_ = false;
    TInstante agora{};
    if (segundos_ > 0) {
        const std::optional<TInstante> daPasta = relogios_.pasta(pasta);
        relogioDaPasta_ = daPasta.has_value();
        agora = daPasta ? *daPasta : relogios_.sistema();
    }
    const TMonotonico agoraMonotonico = AgoraMonotonico();

    std::vector<TFile> estaveis;
    std::set<std::string> listados;
    for (const TFile& arquivo : lista) {
        listados.insert(arquivo.Caminho);
        bool existe = false;
        TMonotonico assenta{};
        if (Estavel(arquivo.Caminho, agora, agoraMonotonico, existe, assenta)) {
            estaveis.push_back(arquivo);
        } else if (existe) {
            ++emGravacao;
            if (!primeiroAssentamento_ || assenta < *primeiroAssentamento_) primeiroAssentamento_ = assenta;
        }
    }
    for (auto it = observados_.begin(); it != observados_.end();)
        it = listados.count(it->first) ? std::next(it) : observados_.erase(it);
    return estaveis;
}

std::optional<std::chrono::milliseconds> TGuardaGravacao::EsperaAteAssentar() const {
    if (!primeiroAssentamento_) return std::nullopt;
    const auto falta = *primeiroAssentamento_ - AgoraMonotonico();
    if (falta <= steady_clock::duration::zero()) return std::chrono::milliseconds(0);
    // Rounded up: a wait that ends before the time would find it still held.
    return std::chrono::ceil<std::chrono::milliseconds>(falta);
}
