#include "tests/support/UBancoTeste.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "base/UTexto.h"
#include "db/UFirebird.h"

using namespace Firebird;

namespace {

std::string Ambiente(const char* nome, const char* padrao) {
    const char* v = std::getenv(nome);
    return v && *v ? v : padrao;
}

// The folder of the test databases: the server runs as the firebird user and
// must be able to create files there.
const char* const PastaBancos = "/tmp/quorvel-testes";

std::string NovoCaminho() {
    ::mkdir(PastaBancos, 0777);
    ::chmod(PastaBancos, 0777);
    static std::atomic<int> contador{0};
    const auto agora = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::string(PastaBancos) + "/teste_" + std::to_string(::getpid()) + "_" +
           std::to_string(contador++) + "_" + std::to_string(agora) + ".fdb";
}

std::string AparadoDireita(const std::string& t) {
    std::size_t b = t.size();
    while (b > 0 && std::isspace(static_cast<unsigned char>(t[b - 1]))) --b;
    return t.substr(0, b);
}

// Statements end with ";" at a line end; lines beginning with "--" are left out.
std::vector<std::string> Separar(const std::string& texto) {
    std::vector<std::string> comandos;
    std::istringstream in(texto);
    std::string linha, atual;
    while (std::getline(in, linha)) {
        if (!linha.empty() && linha.back() == '\r') linha.pop_back();
        const std::size_t p = linha.find_first_not_of(" \t");
        if (p != std::string::npos && linha.compare(p, 2, "--") == 0) continue;
        const std::string aparada = AparadoDireita(linha);
        if (!aparada.empty() && aparada.back() == ';') {
            atual += aparada.substr(0, aparada.size() - 1);
            comandos.push_back(atual);
            atual.clear();
        } else {
            atual += linha + "\n";
        }
    }
    if (AparadoDireita(atual).find_first_not_of(" \t\n") != std::string::npos) comandos.push_back(atual);
    return comandos;
}

void ExecutarComandos(IAttachment* att, const std::string& texto) {
    for (const std::string& sql : Separar(texto)) {
        fb::TRef<ITransaction> tra = fb::IniciarTransacao(att);
        try {
            fb::Chamar([&](ThrowStatusWrapper* st) {
                att->execute(st, tra.get(), 0, sql.c_str(), SQL_DIALECT_V6, nullptr, nullptr, nullptr, nullptr);
                tra->commit(st);
                tra.release();
            });
        } catch (const EErro& e) {
            throw std::runtime_error(std::string(e.what()) + "\nSQL: " + sql);
        }
    }
}

std::string LerArquivo(const std::string& caminho) {
    std::ifstream in(caminho, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + caminho);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TServidorTeste TServidorTeste::Padrao() {
    return {Ambiente("QUORVEL_FB_HOST", "127.0.0.1"), Ambiente("QUORVEL_FB_USUARIO", "SYSDBA"),
            Ambiente("QUORVEL_FB_SENHA", "quorvel")};
}

TBancoTeste::TBancoTeste() : caminho_(NovoCaminho()) {
    const TServidorTeste s = TServidorTeste::Padrao();
    fb::TRef<IAttachment> att = fb::CriarBanco(s.Host + ":" + caminho_, s.Usuario, s.Senha);
    try {
        ExecutarComandos(att.get(), LerArquivo(QUORVEL_ESQUEMA));
    } catch (...) {
        fb::Chamar([&](ThrowStatusWrapper* st) { att->dropDatabase(st); });
        att.release();
        throw;
    }
    fb::Desconectar(att);
}

TBancoTeste::~TBancoTeste() {
    const TServidorTeste s = TServidorTeste::Padrao();
    try {
        Religar();
        fb::TRef<IAttachment> att = fb::Conectar(s.Host + ":" + caminho_, s.Usuario, s.Senha);
        fb::Chamar([&](ThrowStatusWrapper* st) { att->dropDatabase(st); });
        att.release();  // dropDatabase released it
    } catch (...) {
    }
}

namespace {

void ComandoDoServidor(const std::string& linha) {
    if (std::system((linha + " >/dev/null 2>&1").c_str()) != 0) throw std::runtime_error("falhou: " + linha);
}

}  // namespace

void TBancoTeste::Desligar() {
    const TServidorTeste s = TServidorTeste::Padrao();
    ComandoDoServidor("gfix -shut full -force 0 -user " + s.Usuario + " -password " + s.Senha + " " + s.Host +
                      ":" + caminho_);
    desligado_ = true;
}

void TBancoTeste::Religar() {
    if (!desligado_) return;
    const TServidorTeste s = TServidorTeste::Padrao();
    ComandoDoServidor("fbsvcmgr " + s.Host + ":service_mgr -user " + s.Usuario + " -password " + s.Senha +
                      " action_properties dbname " + caminho_ + " prp_db_online");
    desligado_ = false;
}

TConfigBD TBancoTeste::Config() const {
    const TServidorTeste s = TServidorTeste::Padrao();
    return {s.Host, caminho_, s.Usuario, s.Senha};
}

void TBancoTeste::Executar(const std::string& sql) const {
    const TServidorTeste s = TServidorTeste::Padrao();
    fb::TRef<IAttachment> att = fb::Conectar(s.Host + ":" + caminho_, s.Usuario, s.Senha);
    try {
        ExecutarComandos(att.get(), sql);
    } catch (...) {
        fb::Desconectar(att);
        throw;
    }
    fb::Desconectar(att);
}

std::string TBancoTeste::Valor(const std::string& sql) const {
    TJanelaTeste janela;
    TDM dm(janela, "");
    if (!dm.TentarConexao(Config())) throw std::runtime_error("cannot connect to " + caminho_);
    auto q = dm.NovaQuery(true);
    q->DefinirSQL(sql);
    q->Abrir();
    if (q->Fim()) return "";
    return VariantParaTexto(q->Campo(std::size_t{0}));
}

TDMTeste::TDMTeste() {
    char modelo[] = "/tmp/quorvel-dm-XXXXXX";
    if (!::mkdtemp(modelo)) throw std::runtime_error("mkdtemp");
    pasta = std::string(modelo) + "/";
    dm = std::make_unique<TDM>(janela, pasta);
    if (!dm->TentarConexao(banco.Config())) throw std::runtime_error("cannot connect to " + banco.Caminho());
}

TDMTeste::~TDMTeste() {
    dm.reset();
    std::error_code ec;
    std::filesystem::remove_all(pasta, ec);
}

std::string LerArquivoTeste(const std::string& caminho) {
    std::ifstream f(caminho, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string CatalogoDemo() {
    std::istringstream in(LerArquivoTeste(QUORVEL_CATALOGO));
    std::string linha, r;
    while (std::getline(in, linha))
        if (linha.rfind("commit;", 0) != 0) r += linha + "\n";
    return Utf8ParaCp1252(r);
}

TTravaDeOutroPrograma::TTravaDeOutroPrograma(const TBancoTeste& banco, const std::string& sql)
    : dm_(std::make_unique<TDM>(janela_, "/nonexistent/")) {
    if (!dm_->TentarConexao(banco.Config())) throw std::runtime_error("cannot connect to " + banco.Caminho());
    auto q = dm_->NovaQuery(false);
    q->DefinirSQL(sql);
    q->Executar();  // not committed: the rows stay locked
}

TTravaDeOutroPrograma::~TTravaDeOutroPrograma() { Soltar(); }

void TTravaDeOutroPrograma::Soltar() { dm_->TRIUD().Rollback(); }
