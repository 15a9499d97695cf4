#include "config/UConfig.h"

#include <algorithm>

#include "db/UDM.h"

void LerConfigAplicacao(TDM& dm, TConfig& config) {
    const char* const secao = "aplicacao";
    config.ModoProcessamento = dm.LerConfigXML(secao, "modo_processamento", "manual");
    config.Frequencia = dm.LerConfigXML(secao, "frequencia", "1");
    config.DataColetaComDataPedido = dm.LerConfigXML(secao, "data_coleta_com_data_pedido", "sim") == "sim";
    config.SegundosArquivoEstavel = LerSegundosArquivoEstavel(dm.LerConfigXML(secao, "segundos_arquivo_estavel", "5"));
    config.SegundosLimiteBanco = TLimiteBanco::LerSegundos(dm.LerConfigXML(secao, "segundos_limite_banco", "60"));
    dm.Limite().DefinirSegundos(config.SegundosLimiteBanco);
}

int LerSegundosArquivoEstavel(const std::string& texto) {
    const std::size_t inicio = texto.find_first_not_of(' ');
    if (inicio == std::string::npos) return kSegundosArquivoEstavelPadrao;
    const std::size_t fim = texto.find_last_not_of(' ');
    const std::string numero = texto.substr(inicio, fim - inicio + 1);
    if (numero.empty() || numero.size() > 3 ||
        !std::all_of(numero.begin(), numero.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return kSegundosArquivoEstavelPadrao;
    const int valor = std::stoi(numero);
    return valor <= kSegundosArquivoEstavelMaximo ? valor : kSegundosArquivoEstavelPadrao;
}
