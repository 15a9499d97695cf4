// The application settings in force (TConfig): the inbox folder and what was
// read from section "aplicacao" of config.xml. The main window holds one, set
// when it is created and first shown; the unattended service holds one for its
// whole run. Read by the scan and the order import. Plain data.
#pragma once

#include <string>

class TDM;

// N when config.xml does not say otherwise, and its largest value.
constexpr int kSegundosArquivoEstavelPadrao = 5;
constexpr int kSegundosArquivoEstavelMaximo = 300;

struct TConfig {
    std::string Diretorio;           // the inbox folder, ending with a separator
    std::string ModoProcessamento;   // as read: "manual", "automatico" or other
    std::string Frequencia;          // as read, minutes
    bool DataColetaComDataPedido = true;
    // Seconds a request file's last write must lie before a scan
    // (segundos_arquivo_estavel, 0 to 300; 0 = no guard).
    int SegundosArquivoEstavel = 5;
    // Seconds a call to the database server may take before it is cancelled
    // and the connection dropped (segundos_limite_banco, 10 to 3600, else
    // 60; TLimiteBanco).
    int SegundosLimiteBanco = 60;
};

// Reads modo_processamento (default "manual"), frequencia (default "1"),
// data_coleta_com_data_pedido (default "sim"; true only for exactly "sim") and
// segundos_arquivo_estavel (as LerSegundosArquivoEstavel: 0 to 300, else 5)
// and segundos_limite_banco (as TLimiteBanco::LerSegundos: 10 to 3600, else
// 60) from section "aplicacao" through the data module, in this order, into
// `config`, and gives the data module the bound of its calls
// (TDM::Limite). Diretorio is left as it is. Stores nothing. An error of
// config.xml (not well-formed, unreadable) goes to the caller with `config`
// partly read.
void LerConfigAplicacao(TDM& dm, TConfig& config);

// The value of the key segundos_arquivo_estavel (section aplicacao of
// config.xml): a whole number from 0 to 300 in decimal digits (blanks around
// it allowed). Anything else - the empty text, "abc", "-1", "301", "2.5" -
// reads as kSegundosArquivoEstavelPadrao, as a missing key does.
int LerSegundosArquivoEstavel(const std::string& texto);
