// The application settings in force, held by the main window: set once when
// the window is created and first shown, read by the scan and the order
// import. Plain data, no widgets.
#pragma once

#include <string>

struct TConfig {
    std::string Diretorio;           // the inbox folder, ending with a separator
    std::string ModoProcessamento;   // as read: "manual", "automatico" or other
    std::string Frequencia;          // as read, minutes
    bool DataColetaComDataPedido = true;
};
