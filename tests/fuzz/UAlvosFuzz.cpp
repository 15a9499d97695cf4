#include "tests/fuzz/UAlvosFuzz.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <typeinfo>
#include <unistd.h>
#include <vector>

#include "base/UErro.h"
#include "base/UXMLConfig.h"
#include "inbox/ULeitor.h"
#include "inbox/UTabelasPedido.h"
#include "log/ULog.h"

namespace {

void GravarBytes(const std::string& caminho, const std::uint8_t* dados, std::size_t tamanho) {
    std::ofstream saida(caminho, std::ios::binary | std::ios::trunc);
    saida.write(reinterpret_cast<const char*>(dados), static_cast<std::streamsize>(tamanho));
}

void PercorrerVisiveis(TTabela& tabela) {
    for (int i = 0; i < tabela.Contar(); ++i)
        for (const TColuna& c : tabela.Colunas()) (void)tabela.TextoExibicaoEm(i, c.Nome);
}

// Every request, and for each the rows its details show.
void PercorrerTudo(TTabelasPedido& t) {
    TTabela& pedidos = t.cdsPedidos;
    for (pedidos.Primeiro(); !pedidos.Fim(); pedidos.Proximo()) {
        PercorrerVisiveis(pedidos);
        PercorrerVisiveis(t.cdsPacientes);
        PercorrerVisiveis(t.cdsTelefones);
        PercorrerVisiveis(t.cdsConvenios);
        PercorrerVisiveis(t.cdsMedicos);
        PercorrerVisiveis(t.cdsTelefonesMedicos);
        PercorrerVisiveis(t.cdsExames);
    }
}

struct TChave {
    const char* secao;
    const char* chave;
    const char* padrao;
};

constexpr TChave kChaves[] = {
    {"DB", "servidor", ""},
    {"DB", "banco", ""},
    {"DB", "usuario", "sysdba"},
    {"DB", "senha", "brickmoss"},
    {"aplicacao", "modo_processamento", "manual"},
    {"aplicacao", "frequencia", "1"},
    {"aplicacao", "data_coleta_com_data_pedido", "sim"},
};

// A value with every awkward character a setting can hold.
const std::string kValorEscrito = "<&\"'\xE7\xE3o]]>\t x";

}  // namespace

std::string ExercitarLeitor(const std::string& pasta, const std::uint8_t* dados, std::size_t tamanho) {
    static TTabelasPedido tabelas;
    const std::string arquivo = pasta + "/pedido.xml";
    const std::string log = pasta + "/log.txt";
    GravarBytes(arquivo, dados, tamanho);
    Log::DefinirArquivo(log);
    std::string falha;
    try {
        TLeitorPedidos leitor(tabelas);
        try {
            leitor.CarregarArquivo(arquivo);
        } catch (const EErroXML&) {
            // not well-formed, or refused (entities, external DTD)
            if (tabelas.cdsPedidos.ContarTodas() != 0) falha = "tabelas com linhas depois de um arquivo recusado";
        }
        PercorrerTudo(tabelas);
    } catch (const std::exception& e) {
        falha = std::string("exce\xE7\xE3o inesperada (") + typeid(e).name() + "): " + e.what();
    }
    // The log grows by every reading; each input starts from nothing.
    ::unlink(log.c_str());
    ::unlink(arquivo.c_str());
    return falha;
}

std::string ExercitarConfig(const std::string& pasta, const std::uint8_t* dados, std::size_t tamanho) {
    const std::string arquivo = pasta + "/config.xml";
    GravarBytes(arquivo, dados, tamanho);
    std::string antes[std::size(kChaves)];
    std::string falha;
    try {
        TXMLConfig config(arquivo);
        for (std::size_t i = 0; i < std::size(kChaves); ++i)
            antes[i] = config.ReadString(kChaves[i].secao, kChaves[i].chave, kChaves[i].padrao);
        config.WriteString("aplicacao", "frequencia", kValorEscrito);
        if (config.ReadString("aplicacao", "frequencia", "") != kValorEscrito)
            falha = "o valor escrito n\xE3o \xE9 lido de volta antes de gravar";
        config.Save();
    } catch (const EErroXML&) {
        ::unlink(arquivo.c_str());
        return "";
    } catch (const std::exception& e) {
        ::unlink(arquivo.c_str());
        return std::string("exce\xE7\xE3o inesperada (") + typeid(e).name() + "): " + e.what();
    }

    // What was saved must load again and hold the same values.
    if (falha.empty()) {
        try {
            TXMLConfig config(arquivo);
            for (std::size_t i = 0; i < std::size(kChaves) && falha.empty(); ++i) {
                const std::string agora =
                    config.ReadString(kChaves[i].secao, kChaves[i].chave, kChaves[i].padrao);
                const bool escrita = std::string(kChaves[i].chave) == "frequencia";
                if (agora != (escrita ? kValorEscrito : antes[i]))
                    falha = std::string("depois de gravar, ") + kChaves[i].secao + "/" + kChaves[i].chave +
                            " l\xEA \"" + agora + "\"";
            }
        } catch (const std::exception& e) {
            falha = std::string("o arquivo gravado n\xE3o pode ser lido de novo: ") + e.what();
        }
    }
    ::unlink(arquivo.c_str());
    return falha;
}

TPastaFuzz::TPastaFuzz(const std::string& nome) {
    std::error_code ec;
    const std::string base = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp";
    std::string modelo = base + "/quorvel-fuzz-" + nome + "-XXXXXX";
    std::vector<char> nomeTemp(modelo.begin(), modelo.end());
    nomeTemp.push_back('\0');
    if (::mkdtemp(nomeTemp.data()) == nullptr) std::abort();
    caminho_ = nomeTemp.data();
}

TPastaFuzz::~TPastaFuzz() {
    std::error_code ignorado;
    std::filesystem::remove_all(caminho_, ignorado);
}
