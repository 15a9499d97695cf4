#include "log/ULog.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "base/UArquivoSeguro.h"
#include "base/UDescritor.h"
#include "base/UErro.h"
#include "base/UTexto.h"

namespace {

using Relogio = std::chrono::steady_clock;

// Gathered lines wait at most this long for a flush point.
constexpr auto kPrazo = std::chrono::milliseconds(500);
// Rewrites nobody waits for start at least this long after the previous one
// ended, and at least kFatorEspaco times as long as it took: lines handed
// over in between go into one rewrite. Each rewrite writes the whole file and
// forces the disk (the file, then the folder), which a database committing
// every row on forced writes waits for as well: so spaced, the log keeps the
// disk busy a tenth of the time at most, whatever its size.
constexpr auto kIntervalo = std::chrono::milliseconds(300);
constexpr int kFatorEspaco = 9;
// The cached content is kept in pieces (one per rewrite, newest last); past
// this many the newer pieces are joined into one.
constexpr std::size_t kMaxPartes = 32;

// "Não foi possível gravar o arquivo "
const std::string kNaoGravou = "N\xE3o foi poss\xEDvel gravar o arquivo ";
// "Não foi possível ler o arquivo "
const std::string kNaoLeu = "N\xE3o foi poss\xEDvel ler o arquivo ";

std::string DescricaoSistema(int erro) { return DescricaoErroSistema(erro); }

EErro FalhaGravacao(const std::string& caminho, int erro) {
    return EErro(kNaoGravou + NomeArquivoParaCp1252(caminho) + ": " + DescricaoSistema(erro));
}

// Appends the lines of `texto` to `saida`, each ended by CR LF. Lines end at
// CR LF, LF or a lone CR (as in "...\".\rErro: ..." of a failed value
// lookup); a last line without an end still counts.
void AnexarLinhas(std::string& saida, const std::string& texto) {
    std::size_t inicio = 0;
    while (inicio < texto.size()) {
        std::size_t fim = texto.find_first_of("\r\n", inicio);
        if (fim == std::string::npos) fim = texto.size();
        saida.append(texto, inicio, fim - inicio);
        saida += "\r\n";
        inicio = fim;
        if (inicio < texto.size() && texto[inicio] == '\r') ++inicio;
        if (inicio < texto.size() && texto[inicio] == '\n') ++inicio;
    }
}

// What identifies the file last written: when the file on disk no longer
// matches, someone else changed it and the cached content is stale.
struct TIdentidade {
    dev_t dispositivo = 0;
    ino_t inode = 0;
    off_t tamanho = 0;
    timespec modificado{};

    static TIdentidade De(const struct stat& s) { return {s.st_dev, s.st_ino, s.st_size, s.st_mtim}; }
    bool operator==(const TIdentidade& o) const {
        return dispositivo == o.dispositivo && inode == o.inode && tamanho == o.tamanho &&
               modificado.tv_sec == o.modificado.tv_sec && modificado.tv_nsec == o.modificado.tv_nsec;
    }
};

// Checks, before a line is taken, that the file can be rewritten with
// `acrescimo` more bytes; throws EErro as the rewrite itself would fail.
// `livre` remembers the disk's free space of the last look (bytes, and when):
// the disk is asked again when the content would take more than half of it,
// or a second later.
struct TEspacoLivre {
    std::uint64_t bytes = 0;
    std::chrono::steady_clock::time_point quando{};
};

void ConferirGravavel(const std::string& caminho, std::uint64_t acrescimo, TEspacoLivre& livre) {
    struct stat info {};
    std::string alvo = caminho;
    bool existe = ::lstat(caminho.c_str(), &info) == 0;
    if (existe && S_ISLNK(info.st_mode)) {
        alvo = ArquivoApontado(caminho);
        existe = ::stat(alvo.c_str(), &info) == 0;
    }
    std::uint64_t tamanho = acrescimo;
    // The new content goes to a new file beside the old one: the folder must
    // take it, also when log.txt itself is writable (a hardened install).
    const std::string pasta = PastaDoCaminho(alvo);
    if (existe) {
        if (!S_ISREG(info.st_mode)) throw FalhaGravacao(caminho, EISDIR);
        if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throw EErro(kNaoGravou + NomeArquivoParaCp1252(caminho) + ": arquivo somente leitura");
        if (::access(alvo.c_str(), R_OK | W_OK) != 0) {
            if (::access(alvo.c_str(), W_OK) != 0)
                throw EErro(kNaoGravou + NomeArquivoParaCp1252(caminho) + ": arquivo somente leitura");
            const int erro = errno;
            throw EErro(kNaoLeu + NomeArquivoParaCp1252(caminho) + ": " + DescricaoSistema(erro));
        }
        tamanho += static_cast<std::uint64_t>(info.st_size);
    } else if (errno != ENOENT) {
        throw FalhaGravacao(caminho, errno);
    }
    if (::faccessat(AT_FDCWD, pasta.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        const int erro = errno;
        if (!existe) throw FalhaGravacao(caminho, erro);
        // "a pasta não aceita o arquivo temporário da gravação"
        throw EErro(kNaoGravou + NomeArquivoParaCp1252(caminho) + ": a pasta " + NomeArquivoParaCp1252(pasta) +
                    " n\xE3o aceita o arquivo tempor\xE1rio da grava\xE7\xE3o (" + DescricaoSistema(erro) + ")");
    }
    rlimit limite{};
    if (::getrlimit(RLIMIT_FSIZE, &limite) == 0 && limite.rlim_cur != RLIM_INFINITY && tamanho > limite.rlim_cur)
        throw FalhaGravacao(caminho, EFBIG);
    const auto agora = std::chrono::steady_clock::now();
    if (tamanho > livre.bytes / 2 || agora - livre.quando > std::chrono::seconds(1)) {
        struct statvfs disco {};
        if (::statvfs(pasta.c_str(), &disco) != 0) return;
        const std::uint64_t blocos = ::geteuid() == 0 ? disco.f_bfree : disco.f_bavail;
        livre = {blocos * disco.f_frsize, agora};
        if (livre.bytes < tamanho) throw FalhaGravacao(caminho, ENOSPC);
    }
}

// The writer thread's nice value.
constexpr int kPrioridadeEscritor = 10;

// Writes a new file from its start, sending it to the disk piece by piece
// as it goes: each piece of kPedaco bytes is started at once and the one
// before it waited for, so that at most two pieces are on their way. A
// database on the same disk that forces its own file meanwhile then waits
// behind a piece of the log, not behind the whole of it (the file system's
// journal makes a forcing wait for the data of files whose blocks it has
// just given out). The final fdatasync still makes the whole file durable
// and reports any failure.
class TEscritaAosPoucos {
public:
    explicit TEscritaAosPoucos(int fd) : fd_(fd) {}
    // false with errno set when a write failed.
    bool Escrever(std::string_view dados) {
        while (!dados.empty()) {
            const std::size_t n = std::min<std::size_t>(dados.size(), kPedaco - (escrito_ - inicioPedaco_));
            if (!EscreverTudo(fd_, dados.substr(0, n))) return false;
            escrito_ += static_cast<off_t>(n);
            dados.remove_prefix(n);
            if (escrito_ - inicioPedaco_ < static_cast<off_t>(kPedaco)) continue;
            // Failures here show in the fdatasync that follows.
            ::sync_file_range(fd_, inicioPedaco_, escrito_ - inicioPedaco_, SYNC_FILE_RANGE_WRITE);
            if (inicioPedaco_ > 0)
                ::sync_file_range(fd_, inicioPedaco_ - static_cast<off_t>(kPedaco), static_cast<off_t>(kPedaco),
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
            inicioPedaco_ = escrito_;
        }
        return true;
    }

private:
    static constexpr std::size_t kPedaco = 8u << 20;
    int fd_;
    off_t escrito_ = 0;
    off_t inicioPedaco_ = 0;
};

class TEstado;
TEstado& Estado();

// "As linhas de " ... " ficam guardadas para a próxima tentativa."
std::string TextoFalha(const std::string& erro, const std::vector<std::string>& origens) {
    std::string texto = erro + "\r";
    if (origens.empty()) return texto + "As linhas ficam guardadas para a pr\xF3xima tentativa.";
    texto += "As linhas de ";
    for (std::size_t i = 0; i < origens.size(); ++i) texto += (i ? "; " : "") + origens[i];
    return texto + " ficam guardadas para a pr\xF3xima tentativa.";
}

// The log's state: the path, the gathered lines, the lines handed to the
// writer (or held after a failed rewrite), the writer thread and the cached
// content of the file.
class TEstado {
public:
    TEstado() : mutex_(std::make_unique<std::mutex>()), sinal_(std::make_unique<std::condition_variable>()) {}
    // Program end: every line still in memory is written before the program
    // goes away.
    ~TEstado() {
        try {
            Parar();
        } catch (...) {
        }
    }

    void DefinirArquivo(const std::string& caminho) {
        try {
            Concluir();
        } catch (const EErro&) {
            // Lines for the earlier path that could not be written are lost.
        }
        std::lock_guard trava(*mutex_);
        for (const TEntrega& e : entregues_) bytesPendentes_ -= e.bytes;
        entregues_.clear();
        ultimaFalha_.reset();
        falhas_.clear();
        caminho_ = caminho;
    }

    std::string Arquivo() {
        std::lock_guard trava(*mutex_);
        return caminho_;
    }

    void Gravar(const std::string& mensagem) {
        std::string texto;
        if (mensagem.empty()) {
            texto = "\r\n";
        } else {
            const TDataHora agora = relogio_ ? relogio_() : TDataHora::Agora();
            AnexarLinhas(texto, agora.FormatarDataHora() + "\t" + mensagem);
        }
        std::unique_lock trava(*mutex_);
        if (caminho_.empty()) {
            // "Arquivo de log não definido."
            throw EErro("Arquivo de log n\xE3o definido.");
        }
        const std::string caminho = caminho_;
        const std::uint64_t acrescimo = bytesPendentes_ + texto.size();
        trava.unlock();
        ConferirGravavel(caminho, acrescimo, livre_);
        trava.lock();
        const bool primeira = reunidas_.empty();
        if (primeira) primeiraReunida_ = Relogio::now();
        bytesPendentes_ += texto.size();
        reunidas_.push_back(std::move(texto));
        IniciarEscritor();
        if (primeira) sinal_->notify_all();  // the writer's new deadline
    }

    void Descarregar(bool esperar, const std::string& origem) {
        std::unique_lock trava(*mutex_);
        const std::uint64_t ate = Entregar(origem);
        if (esperar) Aguardar(trava, ate);
    }

    void Concluir() {
        std::unique_lock trava(*mutex_);
        Aguardar(trava, Entregar({}));
        if (!entregues_.empty() && ultimaFalha_) throw EErro(*ultimaFalha_);
    }

    std::vector<std::string> RetirarFalhas() {
        std::lock_guard trava(*mutex_);
        return std::exchange(falhas_, {});
    }

    void DefinirSegundoPlano(bool sim) { segundoPlano_ = sim; }
    bool SegundoPlano() const { return segundoPlano_; }
    void DefinirRelogio(std::function<TDataHora()> relogio) { relogio_ = std::move(relogio); }
    void DefinirObservador(std::function<void(const Log::TReescrita&)> observador) {
        std::lock_guard trava(*mutex_);
        observador_ = std::move(observador);
    }

private:
    // The lines of one flush point, oldest first, each ended by CR LF.
    struct TEntrega {
        std::string origem;
        std::vector<std::string> linhas;
        std::uint64_t bytes = 0;
        bool relatada = false;  // named in a failure already
    };

    // Flush point: moves the gathered lines to the writer and asks it for a
    // rewrite of everything it holds (held lines of a failed rewrite too);
    // returns the number of this request, which the writer puts in tentado_
    // once that rewrite is over. Called with the mutex held.
    std::uint64_t Entregar(const std::string& origem) {
        if (!reunidas_.empty()) {
            TEntrega e;
            e.origem = origem;
            for (const std::string& t : reunidas_) e.bytes += t.size();
            e.linhas = std::move(reunidas_);
            reunidas_.clear();
            entregues_.push_back(std::move(e));
        } else if (!origem.empty() && !entregues_.empty() && entregues_.back().origem.empty() &&
                   !entregues_.back().relatada) {
            // Lines handed over without a name (at the half-second deadline)
            // before this flush point: they are this origin's.
            entregues_.back().origem = origem;
        }
        // A rewrite asked for and not started yet takes these lines as well.
        if (entregues_.empty() || pedido_ > iniciado_) return pedido_;
        ++pedido_;
        sinal_->notify_all();
        return pedido_;
    }

    // Waits until the rewrite asked for as `ate` is over; the writer starts
    // it at once. Called with the mutex held (through `trava`).
    void Aguardar(std::unique_lock<std::mutex>& trava, std::uint64_t ate) {
        if (tentado_ >= ate) return;
        ++esperando_;
        sinal_->notify_all();
        sinal_->wait(trava, [&] { return tentado_ >= ate; });
        --esperando_;
    }

    void IniciarEscritor() {
        if (escritor_) return;
        static std::once_flag registrado;
        std::call_once(registrado, [] {
            ::pthread_atfork(&AntesDoFork, &DepoisDoForkPai, &DepoisDoForkFilho);
            terminoAnterior_ = std::set_terminate(&AoTerminar);
        });
        escritor_ = std::make_unique<std::thread>([this] { Escrever(); });
    }

    void Parar() {
        std::unique_lock trava(*mutex_);
        if (!escritor_) return;
        Entregar({});
        parar_ = true;
        sinal_->notify_all();
        trava.unlock();
        escritor_->join();
        escritor_.reset();
        parar_ = false;
    }

    // The writer thread: rewrites the file once for everything handed over
    // when a flush point asks for it, spaced by the cost of the previous
    // rewrite unless someone waits; hands over gathered lines itself when the
    // oldest waited half a second.
    void Escrever() {
        // Background work: the import and the database come first for the
        // processor (a failure only leaves the priority as it was).
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kPrioridadeEscritor);
        std::unique_lock trava(*mutex_);
        for (;;) {
            if (pedido_ > tentado_) {
                const auto proximo = fimUltima_ + Log::Espaco(duracaoUltima_);
                if (!parar_ && esperando_ == 0 && Relogio::now() < proximo) {
                    sinal_->wait_until(trava, proximo);
                    continue;
                }
                ReescreverPedido(trava);
                continue;
            }
            if (!reunidas_.empty() && (parar_ || Relogio::now() >= primeiraReunida_ + kPrazo)) {
                Entregar({});
                continue;
            }
            if (parar_) return;
            if (reunidas_.empty())
                sinal_->wait(trava);
            else
                sinal_->wait_until(trava, primeiraReunida_ + kPrazo);
        }
    }

    // One rewrite of every line handed over so far, with the mutex let go
    // while it runs. On failure the lines go back in front of those handed
    // over meanwhile, and the failure is kept for RetirarFalhas with the
    // origins not named before.
    void ReescreverPedido(std::unique_lock<std::mutex>& trava) {
        const std::uint64_t ate = pedido_;
        iniciado_ = ate;
        std::vector<TEntrega> lote;
        lote.swap(entregues_);
        const std::string caminho = caminho_;
        const auto observador = observador_;
        std::string novas;  // newest first
        for (auto e = lote.rbegin(); e != lote.rend(); ++e)
            for (auto l = e->linhas.rbegin(); l != e->linhas.rend(); ++l) novas += *l;
        trava.unlock();

        Log::TReescrita r{Relogio::now(), std::nullopt, false};
        if (observador) observador(r);
        std::optional<std::string> falha;
        try {
            Reescrever(caminho, std::move(novas));
        } catch (const std::exception& e) {
            falha = e.what();
        }
        r.fim = Relogio::now();
        r.falhou = falha.has_value();
        if (observador) observador(r);

        trava.lock();
        duracaoUltima_ = *r.fim - r.inicio;
        fimUltima_ = *r.fim;
        if (!falha) {
            for (const TEntrega& e : lote) bytesPendentes_ -= e.bytes;
            ultimaFalha_.reset();
        } else {
            std::vector<std::string> origens;
            for (TEntrega& e : lote) {
                if (e.relatada) continue;
                e.relatada = true;
                if (!e.origem.empty()) origens.push_back(e.origem);
            }
            if (!ultimaFalha_ || !origens.empty()) falhas_.push_back(TextoFalha(*falha, origens));
            ultimaFalha_ = std::move(falha);
            for (TEntrega& e : entregues_) lote.push_back(std::move(e));
            entregues_ = std::move(lote);
        }
        tentado_ = ate;
        sinal_->notify_all();
    }

    // One rewrite: `novas` (newest line first) on top of the file's content.
    // Runs on the writer thread without the mutex; only the cache is touched
    // under it. Throws EErro; the file is then left as it was.
    void Reescrever(const std::string& caminho, std::string novas) {
        const std::string alvo = ArquivoApontado(caminho);
        struct stat info {};
        bool existe = false;
        if (::stat(alvo.c_str(), &info) == 0) {
            existe = true;
            if (!S_ISREG(info.st_mode)) throw FalhaGravacao(caminho, EISDIR);
            if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(alvo.c_str(), W_OK) != 0)
                throw EErro(kNaoGravou + NomeArquivoParaCp1252(caminho) + ": arquivo somente leitura");
        } else if (errno != ENOENT) {
            throw FalhaGravacao(caminho, errno);
        }
        if (!existe) {
            std::lock_guard trava(*mutex_);
            partes_.clear();
            cacheDe_ = alvo;
            identidade_.reset();
        } else if (cacheDe_ != alvo || !identidade_ || !(*identidade_ == TIdentidade::De(info))) {
            // Not the file last written here: read it as it is now.
            const std::optional<std::string> lido = LerArquivoInteiro(alvo);
            std::string normalizado;
            if (lido) {
                normalizado.reserve(lido->size() + lido->size() / 64);
                AnexarLinhas(normalizado, *lido);
            }
            std::lock_guard trava(*mutex_);
            partes_.clear();
            partes_.push_back(std::move(normalizado));
            cacheDe_ = alvo;
            identidade_.reset();
        }
        const mode_t modo = existe ? (info.st_mode & 07777) : ModoNovoPadrao();

        const std::string pasta = PastaDoCaminho(alvo);
        const std::string modelo = ModeloTemporario(alvo);
        std::vector<char> nomeTemp(modelo.begin(), modelo.end());
        nomeTemp.push_back('\0');
        const int fd = ::mkostemp(nomeTemp.data(), O_CLOEXEC);  // created with mode 0600
        if (fd < 0) throw FalhaGravacao(caminho, errno);
        const std::string temporario(nomeTemp.data());
        TDescritor arquivo(fd);
        auto desistir = [&](int erro) {
            arquivo.Fechar();
            ::unlink(temporario.c_str());
            return FalhaGravacao(caminho, erro);
        };

        // Newest first: the new lines, then the cached pieces from the newest.
        TEscritaAosPoucos escrita{fd};
        bool escrito = escrita.Escrever(novas);
        for (auto it = partes_.rbegin(); escrito && it != partes_.rend(); ++it) escrito = escrita.Escrever(*it);
        if (!escrito) throw desistir(errno);
        // The owner first: a change of owner clears the set-id bits that the
        // mode then gives back.
        if (existe && !ManterDono(fd, info)) throw desistir(errno);
        if (::fchmod(fd, modo) != 0) throw desistir(errno);
        struct stat escritoInfo {};
        if (::fstat(fd, &escritoInfo) != 0) throw desistir(errno);
        if (::fdatasync(fd) != 0) throw desistir(errno);
        if (const int erro = arquivo.Fechar(); erro != 0) {
            ::unlink(temporario.c_str());
            throw FalhaGravacao(caminho, erro);
        }
        if (::rename(temporario.c_str(), alvo.c_str()) != 0) {
            const int erro = errno;
            ::unlink(temporario.c_str());
            throw FalhaGravacao(caminho, erro);
        }
        // Make the rename itself durable; the new content is in place
        // already, so a failure here is not reported.
        ForcarPastaAoDisco(pasta);

        std::lock_guard trava(*mutex_);
        partes_.push_back(std::move(novas));
        if (partes_.size() > kMaxPartes) {
            std::string juntas;
            for (std::size_t i = partes_.size(); i-- > 1;) juntas += partes_[i];
            partes_.resize(1);
            partes_.push_back(std::move(juntas));
        }
        identidade_ = TIdentidade::De(escritoInfo);
    }

    // An error that ends the program (std::terminate) skips the destructors:
    // the lines in memory are written first, waiting a few seconds at most
    // (the writer itself, or a thread holding the mutex, may be the one
    // ending).
    static void AoTerminar() {
        TEstado& e = Estado();
        const auto limite = Relogio::now() + std::chrono::seconds(5);
        bool travado = false;
        while (!(travado = e.mutex_->try_lock()) && Relogio::now() < limite)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (travado) {
            std::unique_lock trava(*e.mutex_, std::adopt_lock);
            if (e.escritor_ && std::this_thread::get_id() != e.escritor_->get_id()) {
                const std::uint64_t ate = e.Entregar({});
                ++e.esperando_;
                e.sinal_->notify_all();
                e.sinal_->wait_until(trava, limite, [&] { return e.tentado_ >= ate; });
                --e.esperando_;
            }
        }
        if (terminoAnterior_) terminoAnterior_();
        std::abort();
    }


    // A child made by fork has no writer thread: it starts with no lines of
    // its own (the parent writes its lines) and a fresh mutex.
    static void AntesDoFork();
    static void DepoisDoForkPai();
    static void DepoisDoForkFilho();

    static inline std::terminate_handler terminoAnterior_ = nullptr;

    std::unique_ptr<std::mutex> mutex_;
    std::unique_ptr<std::condition_variable> sinal_;
    std::string caminho_;
    std::function<TDataHora()> relogio_;
    bool segundoPlano_ = false;
    TEspacoLivre livre_;  // only Gravar's thread

    std::vector<std::string> reunidas_;  // gathered, oldest first; each ends in CR LF
    Relogio::time_point primeiraReunida_{};
    std::vector<TEntrega> entregues_;    // handed to the writer or held, oldest first
    std::uint64_t pedido_ = 0;           // rewrites asked for by flush points
    std::uint64_t iniciado_ = 0;         // the request the last rewrite started for
    std::uint64_t tentado_ = 0;          // the request the last rewrite ended for
    std::uint64_t bytesPendentes_ = 0;   // bytes gathered, handed or held, not written
    std::optional<std::string> ultimaFalha_;  // the last rewrite's failure, until one succeeds
    std::vector<std::string> falhas_;    // failures not taken by RetirarFalhas
    std::function<void(const Log::TReescrita&)> observador_;
    std::unique_ptr<std::thread> escritor_;
    bool parar_ = false;
    int esperando_ = 0;                  // threads waiting for a rewrite
    Relogio::time_point fimUltima_{};    // end of the last rewrite
    Relogio::duration duracaoUltima_{};  // and its duration

    // The file's content as last written here, oldest piece first.
    std::vector<std::string> partes_;
    std::string cacheDe_;
    std::optional<TIdentidade> identidade_;

    friend TEstado& Estado();
};

TEstado& Estado() {
    static TEstado estado;
    return estado;
}

void TEstado::AntesDoFork() { Estado().mutex_->lock(); }

void TEstado::DepoisDoForkPai() { Estado().mutex_->unlock(); }

void TEstado::DepoisDoForkFilho() {
    TEstado& e = Estado();
    // The thread, the mutex and the condition belong to the parent's threads:
    // let go of them without touching them.
    (void)e.escritor_.release();
    (void)e.mutex_.release();
    (void)e.sinal_.release();
    e.mutex_ = std::make_unique<std::mutex>();
    e.sinal_ = std::make_unique<std::condition_variable>();
    e.reunidas_.clear();
    e.entregues_.clear();
    e.iniciado_ = e.tentado_ = e.pedido_;
    e.bytesPendentes_ = 0;
    e.ultimaFalha_.reset();
    e.falhas_.clear();
    e.observador_ = nullptr;
    e.parar_ = false;
    e.esperando_ = 0;
    e.partes_.clear();
    e.cacheDe_.clear();
    e.identidade_.reset();
}

}  // namespace

void Log::DefinirArquivo(const std::string& caminho) { Estado().DefinirArquivo(caminho); }

std::string Log::Arquivo() { return Estado().Arquivo(); }

void Log::Gravar(const std::string& mensagem) { Estado().Gravar(mensagem); }

void Log::Descarregar(const std::string& origem) { Estado().Descarregar(!Estado().SegundoPlano(), origem); }

void Log::Entregar() { Estado().Descarregar(!Estado().SegundoPlano(), {}); }

std::vector<std::string> Log::RetirarFalhas() { return Estado().RetirarFalhas(); }

void Log::Concluir() { Estado().Concluir(); }

void Log::DefinirSegundoPlano(bool segundoPlano) { Estado().DefinirSegundoPlano(segundoPlano); }

void Log::DefinirRelogio(std::function<TDataHora()> relogio) { Estado().DefinirRelogio(std::move(relogio)); }

void Log::DefinirObservador(std::function<void(const TReescrita&)> observador) {
    Estado().DefinirObservador(std::move(observador));
}

std::chrono::steady_clock::duration Log::Espaco(std::chrono::steady_clock::duration duracao) {
    return std::max<std::chrono::steady_clock::duration>(kIntervalo, kFatorEspaco * duracao);
}
