// The program's start-up after the application object exists: the one
// running instance of the program folder, the data module, its connection
// (with the connection settings dialog at most once) and the main window,
// created only when connected. The activity log is named before this, by the
// program's entry.
#pragma once

#include <memory>
#include <string>

#include "base/UInstanciaUnica.h"
#include "base/UJanela.h"
#include "db/UDM.h"
#include "ui/UPrincipal.h"

class TPrograma {
public:
    // `pasta`: the executable's folder, ending with a separator (config.xml
    // and the inbox folder live there). `janela` must outlive the program.
    TPrograma(IJanela& janela, std::string pasta);
    ~TPrograma();
    TPrograma(const TPrograma&) = delete;
    TPrograma& operator=(const TPrograma&) = delete;

    // Takes the program folder's lock first: when another process (or another
    // TPrograma) holds it, shows one information box saying that the program
    // is already running in this folder and returns false; a folder where the
    // lock file cannot be made gives an error box with the reason, then false.
    // Nothing else is done then (no data module, no dialog). The lock is held
    // until this object goes.
    // Then creates the data module and connects it (TDM::ConectarBD with
    // `dialogo`); when connected, creates the main window (not yet shown) and
    // returns true. Without a connection returns false and shows nothing. An
    // error on the way (a config.xml that is not well-formed) is shown in an
    // error box with its text, then false.
    bool Iniciar(IDialogoConexao& dialogo);

    // "O Quorvel CAD já está em execução nesta pasta:" and the folder
    // (Windows-1252).
    static std::string TextoJaEmExecucao(const std::string& pasta);

    TDM* DM() { return dm_.get(); }
    TFPrincipal* Principal() { return principal_.get(); }

private:
    IJanela& janela_;
    std::string pasta_;
    std::unique_ptr<TInstanciaUnica> instancia_;  // released last
    std::unique_ptr<TDM> dm_;
    std::unique_ptr<TFPrincipal> principal_;  // released before the data module
};
