// The data module's operations on config.xml beside the executable. Each
// operation loads the file anew with its own TXMLConfig and saves explicitly,
// so that a failure to save reaches the caller.
#include "db/UDM.h"

#include "base/UXMLConfig.h"

namespace {

const char* const kSecaoBD = "DB";

std::string CaminhoConfig(const std::string& pasta) {
    if (pasta.empty() || pasta.back() == '/') return pasta + "config.xml";
    return pasta + "/config.xml";
}

}  // namespace

std::string TDM::LerConfigXML(const std::string& secao, const std::string& chave,
                              const std::string& padrao) {
    TXMLConfig cfg(CaminhoConfig(pasta_));
    return cfg.ReadString(secao, chave, padrao);
}

void TDM::GravarConfigXML(const std::string& secao, const std::string& chave, const std::string& valor) {
    TXMLConfig cfg(CaminhoConfig(pasta_));
    cfg.WriteString(secao, chave, valor);
    cfg.Save();
}

TConfigBD TDM::LerConfigBD() {
    TXMLConfig cfg(CaminhoConfig(pasta_));
    TConfigBD config;
    config.Servidor = cfg.ReadString(kSecaoBD, "servidor", "");
    config.Banco = cfg.ReadString(kSecaoBD, "banco", "");
    config.Usuario = cfg.ReadString(kSecaoBD, "usuario", "sysdba");
    config.Senha = cfg.ReadString(kSecaoBD, "senha", "brickmoss");
    return config;
}

void TDM::GravarConfigBD(const TConfigBD& config) {
    TXMLConfig cfg(CaminhoConfig(pasta_));
    cfg.WriteString(kSecaoBD, "servidor", config.Servidor);
    cfg.WriteString(kSecaoBD, "banco", config.Banco);
    cfg.WriteString(kSecaoBD, "usuario", config.Usuario);
    cfg.WriteString(kSecaoBD, "senha", config.Senha);
    cfg.Save();
}
