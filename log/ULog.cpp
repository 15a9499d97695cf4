#include "log/ULog.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "app/UArquivoSeguro.h"
#include "app/UDescritor.h"
#include "app/UErro.h"
#include "app/UTexto.h"

namespace {

using Relogio = std::chrono::steady_clock;

// Gathered lines wait at most this long for a flush point.
constexpr auto kPrazo = std::chrono::milliseconds(500);
// Rewrites nobody waits for start at least this far apart: lines handed over
// in between go into one rewrite. Each rewrite forces the disk (the file,
// then the folder), which a database committing every row on forced writes
// waits for as well. Handed-over lines still reach the disk within this
// interval and one rewrite's time.
constexpr auto kIntervalo = std::chrono::milliseconds(300);
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
    // The new content goes to a new file beside the old one.
    const std::string pasta = PastaDoCaminho(alvo);
    if (!existe && ::access(pasta.c_str(), W_OK | X_OK) != 0) throw FalhaGravacao(caminho, errno);
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

class TEstado;
TEstado& Estado();

// The log's state: the path, the gathered lines, the lines handed to the
// writer, the writer thread and the cached content of the file.
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

    void Descarregar(bool esperar, bool relatar = true) {
        std::unique_lock trava(*mutex_);
        const std::uint64_t ate = Entregar();
        if (esperar && concluido_ < ate) {
            // Someone waits: the writer starts at once.
            ++esperando_;
            sinal_->notify_all();
            sinal_->wait(trava, [&] { return concluido_ >= ate; });
            --esperando_;
        }
        if (relatar) Relatar();
    }

    void Concluir() { Descarregar(true); }

    void DefinirSegundoPlano(bool sim) { segundoPlano_ = sim; }
    bool SegundoPlano() const { return segundoPlano_; }
    void DefinirRelogio(std::function<TDataHora()> relogio) { relogio_ = std::move(relogio); }

private:
    // Moves the gathered lines to the writer; the number of the last
    // hand-over, which the writer reports in concluido_ when it is on disk.
    // Called with the mutex held.
    std::uint64_t Entregar() {
        if (!reunidas_.empty()) {
            for (std::string& t : reunidas_) entregues_.push_back(std::move(t));
            reunidas_.clear();
            ++entregue_;
            sinal_->notify_all();
        }
        return entregue_;
    }

    // Throws the failure of a rewrite not reported yet (and forgets it).
    // Called with the mutex held.
    void Relatar() {
        if (!erro_) return;
        EErro e(*erro_);
        erro_.reset();
        throw e;
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
        Entregar();
        parar_ = true;
        sinal_->notify_all();
        trava.unlock();
        escritor_->join();
        escritor_.reset();
        parar_ = false;
    }

    // The writer thread: takes whatever was handed over and rewrites the file
    // once for all of it; hands over gathered lines itself when the oldest
    // waited half a second.
    void Escrever() {
        std::unique_lock trava(*mutex_);
        for (;;) {
            if (!entregues_.empty()) {
                const auto proximo = ultimoInicio_ + kIntervalo;
                if (!parar_ && esperando_ == 0 && Relogio::now() < proximo) {
                    sinal_->wait_until(trava, proximo);
                    continue;
                }
                ultimoInicio_ = Relogio::now();
                std::vector<std::string> lote;
                lote.swap(entregues_);
                const std::uint64_t ate = entregue_;
                const std::string caminho = caminho_;
                std::uint64_t bytes = 0;
                for (const std::string& t : lote) bytes += t.size();
                trava.unlock();
                std::optional<std::string> falha;
                try {
                    Reescrever(caminho, lote);
                } catch (const std::exception& e) {
                    falha = e.what();
                }
                trava.lock();
                bytesPendentes_ -= bytes;
                if (falha) erro_ = std::move(falha);
                concluido_ = ate;
                sinal_->notify_all();
                continue;
            }
            if (!reunidas_.empty() && (parar_ || Relogio::now() >= primeiraReunida_ + kPrazo)) {
                Entregar();
                continue;
            }
            if (parar_) return;
            if (reunidas_.empty())
                sinal_->wait(trava);
            else
                sinal_->wait_until(trava, primeiraReunida_ + kPrazo);
        }
    }

    // One rewrite: the lines of `lote` (oldest first) on top of the file's
    // content. Runs on the writer thread without the mutex; only the cache is
    // touched under it. Throws EErro; the file is then left as it was.
    void Reescrever(const std::string& caminho, const std::vector<std::string>& lote) {
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

        std::string novas;
        for (auto it = lote.rbegin(); it != lote.rend(); ++it) novas += *it;

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
        bool escrito = EscreverTudo(fd, novas);
        for (auto it = partes_.rbegin(); escrito && it != partes_.rend(); ++it) escrito = EscreverTudo(fd, *it);
        if (!escrito) throw desistir(errno);
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
        if (const int dir = ::open(pasta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }

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
                const std::uint64_t ate = e.Entregar();
                ++e.esperando_;
                e.sinal_->notify_all();
                e.sinal_->wait_until(trava, limite, [&] { return e.concluido_ >= ate; });
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

    std::vector<std::string> reunidas_;   // gathered, oldest first; each ends in CR LF
    Relogio::time_point primeiraReunida_{};
    std::vector<std::string> entregues_;  // handed to the writer, oldest first
    std::uint64_t entregue_ = 0;          // hand-overs so far
    std::uint64_t concluido_ = 0;         // hand-overs written (or failed)
    std::uint64_t bytesPendentes_ = 0;    // bytes gathered or handed, not written
    std::optional<std::string> erro_;     // a failed rewrite not reported yet
    std::unique_ptr<std::thread> escritor_;
    bool parar_ = false;
    int esperando_ = 0;                   // threads waiting for a rewrite
    Relogio::time_point ultimoInicio_{};  // start of the last rewrite

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
    e.concluido_ = e.entregue_;
    e.bytesPendentes_ = 0;
    e.erro_.reset();
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

void Log::Descarregar() { Estado().Descarregar(!Estado().SegundoPlano()); }

void Log::Entregar() { Estado().Descarregar(!Estado().SegundoPlano(), false); }

void Log::Concluir() { Estado().Concluir(); }

void Log::DefinirSegundoPlano(bool segundoPlano) { Estado().DefinirSegundoPlano(segundoPlano); }

void Log::DefinirRelogio(std::function<TDataHora()> relogio) { Estado().DefinirRelogio(std::move(relogio)); }
