#include "db/UPesquisaBD.h"

#include "base/UErro.h"
#include "base/UTexto.h"
#include "db/UDM.h"

// ---- TResultadoBD ----

TVariante TResultadoBD::Campo(const std::string& nome) const {
    for (std::size_t i = 0; i < campos_.size(); ++i)
        if (IguaisSemCaixa(campos_[i].Nome, nome)) return Campo(i);
    throw EErro("Campo '" + nome + "' n\xE3o encontrado.");
}

TVariante TResultadoBD::Campo(std::size_t indice) const {
    if (indice >= campos_.size()) throw EErro("Campo " + std::to_string(indice) + " n\xE3o encontrado.");
    if (Fim()) throw EErro("N\xE3o h\xE1 linha atual no resultado da pesquisa.");
    return linhas_[atual_][indice];
}

void TResultadoBD::Definir(std::vector<TInfoCampo> campos) {
    campos_ = std::move(campos);
    linhas_.clear();
    atual_ = 0;
}

void TResultadoBD::Acrescentar(std::vector<TVariante> linha) {
    if (linha.size() != campos_.size())
        throw EErro("A linha tem " + std::to_string(linha.size()) + " colunas; o resultado tem " +
                    std::to_string(campos_.size()) + ".");
    linhas_.push_back(std::move(linha));
    atual_ = linhas_.size() - 1;
}

// ---- TCondicao ----

bool TCondicao::EhEntre() const { return MaiusculasAZ(Operador) == "BETWEEN"; }

std::string TCondicao::parametroBase() const {
    std::vector<std::string> partes;
    std::string atual;
    for (char c : Campo) {
        if (c == '.' || c == ' ') {
            if (!atual.empty()) partes.push_back(atual);
            atual.clear();
        } else {
            atual += c;
        }
    }
    if (!atual.empty()) partes.push_back(atual);
    return partes.size() >= 2 ? partes[1] : Campo;
}

std::string TCondicao::textoSQL() const {
    if (!Expressao.empty()) return Expressao;
    const std::string base = parametroBase();
    if (EhEntre()) return Campo + " between :" + base + "1 and :" + base + "2";
    if (MaiusculasNoBanco)
        return Campo + " " + Operador + " upper(cast(:" + base + "1 as varchar(1000) character set win1252))";
    return Campo + " " + Operador + " :" + base + "1";
}

// ---- TPesquisaBD ----

const TOrdem* TPesquisaBD::ordemEscolhida() const {
    for (const TOrdem& o : Ordens)
        if (Ordem.empty() ? o.Padrao : o.Nome == Ordem) return &o;
    return nullptr;
}

std::string TPesquisaBD::montarSQL() {
    std::vector<std::string> linhas{" select"};
    for (std::size_t i = 0; i < Campos.size(); ++i) {
        linhas.push_back(" " + Campos[i]);
        linhas.push_back(i + 1 < Campos.size() ? "," : "");
    }
    linhas.push_back(" from");
    linhas.push_back(Tabela);
    if (!Condicoes.empty()) {
        linhas.push_back(" where");
        for (std::size_t i = 0; i < Condicoes.size(); ++i) {
            linhas.push_back(i == 0 ? "" : " and ");
            linhas.push_back(Condicoes[i].textoSQL());
        }
    }
    if (const TOrdem* ordem = ordemEscolhida()) {
        linhas.push_back(" order by ");
        linhas.push_back(ordem->Texto);
    }
    std::string texto;
    for (const std::string& l : linhas) texto += l + "\r\n";
    if (MostrarSQL) dm_.Janela().Mensagem(texto, TIcone::Nenhum, TBotoes::OK);
    return texto;
}

bool TPesquisaBD::pesquisar() {
    std::string sql;
    // The waiting transaction holds nothing beyond one search.
    struct TFimPendentes {
        TDM& dm;
        bool ativo;
        ~TFimPendentes() {
            if (ativo) dm.TRPEND().Rollback();
        }
    } fimPendentes{dm_, EsperarPendentes};
    try {
        auto q = EsperarPendentes ? dm_.NovaQueryPendentes() : dm_.NovaQuery(true);
        sql = montarSQL();
        q->DefinirSQL(sql);
        if (!Condicoes.empty()) {
            q->Preparar();
            for (const TCondicao& c : Condicoes) {
                if (!c.Expressao.empty()) continue;
                const std::string base = c.parametroBase();
                q->Parametro(base + "1", c.Valor);
                if (c.EhEntre()) q->Parametro(base + "2", c.Valor2);
            }
        }
        q->Abrir();
        Resultado.Definir(q->Campos());
        for (q->Primeiro(); !q->Fim(); q->Proximo()) {
            try {
                std::vector<TVariante> linha;
                for (std::size_t i = 0; i < q->Campos().size(); ++i) linha.push_back(q->Campo(i));
                Resultado.Acrescentar(std::move(linha));
            } catch (const std::exception& e) {
                dm_.Janela().Mensagem(e.what(), TIcone::Nenhum, TBotoes::OK);
            }
        }
        q->Fechar();
        Resultado.Primeiro();
        return true;
    } catch (const std::exception& e) {
        dm_.RegistrarFalha(std::string("Foi encontrado um erro durante a pesquisa. Erro: ") + e.what(), e);
        dm_.Janela().Mensagem("Foi encontrado um erro durante a pesquisa.\rSQL: " + sql + "\rErro: " + e.what(),
                              TIcone::Erro, TBotoes::OK);
        return false;
    }
}
