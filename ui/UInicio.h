// The program's start-up after the application object exists: the data
// module, its connection (with the connection settings dialog at most once)
// and the main window, created only when connected. The activity log is
// named before this, by the program's entry.
#pragma once

#include <memory>
#include <string>

#include "app/UJanela.h"
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

    // Creates the data module and connects it (TDM::ConectarBD with
    // `dialogo`); when connected, creates the main window (not yet shown) and
    // returns true. Without a connection returns false and shows nothing. An
    // error on the way (a config.xml that is not well-formed) is shown in an
    // error box with its text, then false.
    bool Iniciar(IDialogoConexao& dialogo);

    TDM* DM() { return dm_.get(); }
    TFPrincipal* Principal() { return principal_.get(); }

private:
    IJanela& janela_;
    std::string pasta_;
    std::unique_ptr<TDM> dm_;
    std::unique_ptr<TFPrincipal> principal_;  // released before the data module
};
