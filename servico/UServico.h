// The unattended service (quorvelcad-servico): the automatic mode's cycle
// without a window. It works in the program folder exactly as the main window
// does - config.xml, the inbox folder "arquivos/", log.txt and the connection
// settings there - and runs the automatic cycle (scan with validation, silent
// processing of every pending file, moves) at once and then every
// `frequencia` minutes as stored, whatever processing mode the window stored.
// Nobody is asked anything: boxes become lines of the activity log and of
// standard error (TJanelaServico).
//
// The database: a connection that cannot be made, at start or at any later
// cycle, is logged once ("Sem conexão com o banco de dados ..."), that cycle
// lists and imports nothing, and every later cycle tries again; when a
// connection is made again that is logged too. Files stay in the inbox folder
// meanwhile. The service never ends because of the database.
//
// A call to the database that has not returned after segundos_limite_banco
// seconds (a server that hangs with its connection open) is cancelled and the
// connection dropped (TDM::ComLimite); that counts as a lost connection, as
// above.
//
// Ending: once the window services report Encerrando (SIGTERM, SIGINT or
// SIGHUP), the scan stops between files and the driver after the request
// under way (a call that hangs returns within its bound); the files finished
// so far are moved, the others keep their place in the inbox folder; then
// Executar returns 0. Between cycles the wait ends at once.
//
// The wait between cycles tells the service manager's watchdog that the
// service goes on (AvisoSistema::Vivo), as the window services do for each
// file and request.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "db/UDM.h"
#include "import/UCicloAutomatico.h"

class TJanelaServico;

class TServico : private ITemporizador {
public:
    // Environment variable of the tests: a whole number of milliseconds
    // above 0 replaces the stored frequency as the period between cycles
    // (also below one minute). Not for production use.
    static constexpr const char* kIntervaloTeste = "QUORVEL_SERVICO_INTERVALO_MS";
    // The hook's milliseconds, when set to a whole number above 0.
    static std::optional<std::int64_t> IntervaloDeTeste();

    // `pasta`: the program folder, ending with a separator. `janela` must
    // outlive the service.
    TServico(TJanelaServico& janela, std::string pasta);
    ~TServico() override;
    TServico(const TServico&) = delete;
    TServico& operator=(const TServico&) = delete;

    // Reads the settings of config.xml (application settings, then the
    // connection settings) and runs cycles until told to end; returns 0 then.
    // A config.xml that cannot be read or a `frequencia` that is no whole
    // number is logged as an error ("Erro: " and its text) and ends the run
    // at once with 1, before any cycle.
    int Executar();

private:
    // ITemporizador: the next cycle's time.
    void Parar() override { proximo_.reset(); }
    void Iniciar(std::int64_t intervaloMs) override;
    // Sleeps until the next cycle is due or the service is told to end.
    void Esperar();
    // A connection that answers, made when there is none; logs the first
    // failure and the connection made again after one.
    bool Conectar(TDM& dm);

    TJanelaServico& janela_;
    std::string pasta_;
    std::optional<std::chrono::steady_clock::time_point> proximo_;
    TConfigBD configBD_;
    bool conectou_ = false;  // some connection was made
    bool semConexao_ = false;  // the last attempt failed (and was logged)
};
