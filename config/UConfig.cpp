#include "config/UConfig.h"

#include "db/UDM.h"

void LerConfigAplicacao(TDM& dm, TConfig& config) {
    const char* const secao = "aplicacao";
    config.ModoProcessamento = dm.LerConfigXML(secao, "modo_processamento", "manual");
    config.Frequencia = dm.LerConfigXML(secao, "frequencia", "1");
    config.DataColetaComDataPedido = dm.LerConfigXML(secao, "data_coleta_com_data_pedido", "sim") == "sim";
}
