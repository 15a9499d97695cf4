// Fresh laboratory databases for the tests, on the real Firebird server
// started by scripts/firebird.sh (127.0.0.1, SYSDBA and the scripts' password,
// overridable with QUORVEL_FB_HOST, QUORVEL_FB_USUARIO, QUORVEL_FB_SENHA).
#pragma once

#include <memory>
#include <string>

#include "db/UDM.h"
#include "tests/support/UJanelaTeste.h"

struct TServidorTeste {
    std::string Host;     // "127.0.0.1"
    std::string Usuario;  // "SYSDBA"
    std::string Senha;
    static TServidorTeste Padrao();
};

// Creates a new database file (in a folder the firebird user can write) and
// runs db/esquema.sql on it. The file is dropped when the object goes away.
class TBancoTeste {
public:
    TBancoTeste();
    ~TBancoTeste();
    TBancoTeste(const TBancoTeste&) = delete;
    TBancoTeste& operator=(const TBancoTeste&) = delete;

    const std::string& Caminho() const { return caminho_; }
    // Settings that connect to it: Servidor = host, Banco = path.
    TConfigBD Config() const;

    // Runs statements directly in their own attachment and commits
    // (for setting up rows). Statements separated by ";" at line ends.
    void Executar(const std::string& sql) const;
    // First column of the first row as text ("" for null / no row).
    std::string Valor(const std::string& sql) const;

    // Takes the database off line on the server (full shutdown: every
    // attachment cut at once, no new one accepted), as a server stopped
    // would, and back on line; the other tests' databases on the same server
    // are not touched. Religar does nothing for a database on line. A
    // database left off line is put back on line before it is dropped.
    // Throw std::runtime_error when the server's tool fails.
    void Desligar();
    void Religar();

private:
    std::string caminho_;
    bool desligado_ = false;
};

// The demo laboratory catalogue (scripts/demo/catalogo.sql) as Windows-1252
// statements for TBancoTeste::Executar (its closing commit left out: each
// statement is committed on its own).
std::string CatalogoDemo();

// The whole content of a file ("" when it cannot be read).
std::string LerArquivoTeste(const std::string& caminho);

// A connected data module on a fresh database, with a scripted window.
struct TDMTeste {
    TDMTeste();
    ~TDMTeste();
    std::string pasta;  // a temporary folder for config.xml / log.txt
    TBancoTeste banco;
    TJanelaTeste janela;
    std::unique_ptr<TDM> dm;
};

// Another program holding rows of the database locked, as the laboratory's
// main system does: a connection of its own that ran `sql` (an update or a
// delete) and has not committed. The rows are free again after Soltar or
// when the object goes away.
class TTravaDeOutroPrograma {
public:
    TTravaDeOutroPrograma(const TBancoTeste& banco, const std::string& sql);
    ~TTravaDeOutroPrograma();
    TTravaDeOutroPrograma(const TTravaDeOutroPrograma&) = delete;
    TTravaDeOutroPrograma& operator=(const TTravaDeOutroPrograma&) = delete;

    // Rolls the other program's change back.
    void Soltar();

private:
    TJanelaTeste janela_;
    std::unique_ptr<TDM> dm_;
};
