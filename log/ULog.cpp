#include "log/ULog.h"

#include "app/UArquivoSeguro.h"
#include "app/UErro.h"
#include "app/UTipos.h"

std::string Log::arquivo_;

void Log::DefinirArquivo(const std::string& caminho) { arquivo_ = caminho; }

const std::string& Log::Arquivo() { return arquivo_; }

namespace {

// Appends the lines of `texto` to `saida`, each ended by CR LF. Lines end at
// CR LF, LF or a lone CR (as in "...\".\rErro: ..." of a failed value
// lookup); a last line without an end still counts.
void AnexarLinhas(std::string& saida, const std::string& texto) {
    std::size_t inicio = 0;
    while (inicio < texto.size()) {
        std::size_t fim = texto.find_first_of("\r\n", inicio);
        if (fim == std::string::npos) fim = texto.size();
        saida.append(texto, inicio, fim - inicio);
        saida += "\r\n";
        inicio = fim;
        if (inicio < texto.size() && texto[inicio] == '\r') ++inicio;
        if (inicio < texto.size() && texto[inicio] == '\n') ++inicio;
    }
}

}  // namespace

void Log::Gravar(const std::string& mensagem) {
    if (arquivo_.empty()) {
        // "Arquivo de log não definido."
        throw EErro("Arquivo de log n\xE3o definido.");
    }
    std::string linha;
    if (!mensagem.empty()) {
        linha = TDataHora::Agora().FormatarDataHora() + "\t" + mensagem;
    }
    const std::optional<std::string> anterior = LerArquivoInteiro(arquivo_);

    std::string conteudo;
    conteudo.reserve(linha.size() + 2 + (anterior ? anterior->size() : 0));
    if (linha.empty()) {
        conteudo = "\r\n";
    } else {
        AnexarLinhas(conteudo, linha);
    }
    if (anterior) AnexarLinhas(conteudo, *anterior);
    // The log is rewritten for every line: no flush to disk each time (see
    // GravarArquivoSeguro); the replacement is still atomic.
    GravarArquivoSeguro(arquivo_, conteudo, std::nullopt, false);
}
