#include "config/UConfig.h"

#include "db/UDM.h"
#include "inbox/UGravacao.h"

void LerConfigAplicacao(TDM& dm, TConfig& config) {
    const char* const secao = "aplicacao";
    config.ModoProcessamento = dm.LerConfigXML(secao, "modo_processamento", "manual");
    config.Frequencia = dm.LerConfigXML(secao, "frequencia", "1");
    config.DataColetaComDataPedido = dm.LerConfigXML(secao, "data_coleta_com_data_pedido", "sim") == "sim";
    config.SegundosArquivoEstavel = LerSegundosArquivoEstavel(dm.LerConfigXML(secao, "segundos_arquivo_estavel", "5"));
    config.SegundosLimiteBanco = TLimiteBanco::LerSegundos(dm.LerConfigXML(secao, "segundos_limite_banco", "60"));
    dm.Limite().DefinirSegundos(config.SegundosLimiteBanco);
}
