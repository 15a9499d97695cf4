#include "import/UMemoriaArquivos.h"

#include <algorithm>

std::string TMemoriaArquivos::ChavePedido(const std::string& protocolo, int ocorrencia) {
    return ocorrencia <= 1 ? protocolo : protocolo + "#" + std::to_string(ocorrencia);
}

bool TMemoriaArquivos::Concluido(const TIdentidadeArquivo& versao, const std::string& pedido) const {
    const auto v = versoes_.find(versao);
    return v != versoes_.end() && v->second.concluidos.count(pedido) > 0;
}

void TMemoriaArquivos::Concluir(const TIdentidadeArquivo& versao, const std::string& pedido) {
    TVersao& v = versoes_[versao];
    v.concluidos.insert(pedido);
    v.retidos.erase(pedido);
}

std::optional<std::string> TMemoriaArquivos::ErrosRetidos(const TIdentidadeArquivo& versao,
                                                          const std::string& pedido) const {
    const auto v = versoes_.find(versao);
    if (v == versoes_.end()) return std::nullopt;
    const auto p = v->second.retidos.find(pedido);
    if (p == v->second.retidos.end()) return std::nullopt;
    return p->second;
}

void TMemoriaArquivos::ReterPedido(const TIdentidadeArquivo& versao, const std::string& pedido, std::string erros) {
    versoes_[versao].retidos[pedido] = std::move(erros);
}

bool TMemoriaArquivos::Reter(const TIdentidadeArquivo& versao, std::string erros) {
    TVersao& v = versoes_[versao];
    const bool novo = !v.erros.has_value();
    v.erros = std::move(erros);
    return novo;
}

std::optional<std::string> TMemoriaArquivos::Retido(const TIdentidadeArquivo& versao) const {
    const auto v = versoes_.find(versao);
    return v == versoes_.end() ? std::nullopt : v->second.erros;
}

void TMemoriaArquivos::Soltar(const TIdentidadeArquivo& versao) {
    const auto v = versoes_.find(versao);
    if (v != versoes_.end()) v->second.erros.reset();
}

void TMemoriaArquivos::Esquecer(const TIdentidadeArquivo& versao) { versoes_.erase(versao); }

void TMemoriaArquivos::ManterSomente(const std::vector<TIdentidadeArquivo>& presentes) {
    std::erase_if(versoes_, [&](const auto& par) {
        return std::find(presentes.begin(), presentes.end(), par.first) == presentes.end();
    });
}
