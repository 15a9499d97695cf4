#include "db/UExecBD.h"

#include "base/UErro.h"
#include "base/UTexto.h"
#include "db/UDM.h"

namespace {

void Remover(std::string& texto, const std::string& parte) {
    for (std::size_t p = texto.find(parte); p != std::string::npos; p = texto.find(parte, p))
        texto.erase(p, parte.size());
}

}  // namespace

std::string TCampoBD::nomeParametro() const {
    std::string nome = Nome;
    Remover(nome, "upper");
    Remover(nome, "(");
    Remover(nome, ")");
    return nome;
}

void TExecBD::definirTabela(const std::string& nome) {
    Tabela = nome;
    Campos.clear();
}

TCampoBD& TExecBD::adicionar(TCampoBD campo) {
    Campos.push_back(std::move(campo));
    return Campos.back();
}

TCampoBD& TExecBD::adicionar(std::string nome, TVariante valor, bool chave, bool gerado) {
    return adicionar(TCampoBD(std::move(nome), std::move(valor), chave, gerado));
}

TVariante TExecBD::valorCampo(const std::string& nome) const {
    for (const TCampoBD& c : Campos)
        if (IguaisSemCaixa(c.Nome, nome)) return c.Valor;
    return TNulo{};
}

bool TExecBD::temChave() const {
    for (const TCampoBD& c : Campos)
        if (c.Chave) return true;
    return false;
}

std::string TExecBD::montarWhere() const {
    std::string texto;
    for (const TCampoBD& c : Campos) {
        if (!c.Chave) continue;
        if (!texto.empty()) texto += " and ";
        texto += c.Nome + " = :" + c.nomeParametro();
    }
    return texto;
}

std::string TExecBD::montarInsert() const {
    std::string colunas, valores;
    for (const TCampoBD& c : Campos) {
        if (!colunas.empty()) {
            colunas += ", ";
            valores += ", ";
        }
        colunas += c.Nome;
        valores += ":" + c.Nome;
    }
    return " insert into " + Tabela + "(" + colunas + ") values (" + valores + ");";
}

std::string TExecBD::montarUpdate() const {
    std::string texto = " update " + Tabela + " set";
    bool primeiro = true;
    for (const TCampoBD& c : Campos) {
        if (c.Chave) continue;
        if (!primeiro) texto += ", ";
        texto += " " + c.Nome + " = :" + c.Nome;
        primeiro = false;
    }
    return texto + " where " + montarWhere();
}

namespace {

// Whether the row has generated key columns and every one holds the integer 0.
bool GeradosZerados(const std::vector<TCampoBD>& campos) {
    bool algum = false;
    for (const TCampoBD& c : campos) {
        if (!(c.Chave && c.Gerado)) continue;
        if (c.Valor != TVariante(std::int32_t{0})) return false;
        algum = true;
    }
    return algum;
}

}  // namespace

void TExecBD::MostrarErro(const std::string& texto, const std::exception* causa) {
    if (causa)
        dm_.RegistrarFalha(texto, *causa);
    else
        dm_.RegistrarFalha(texto);
    dm_.Janela().Mensagem(texto, TIcone::Erro, TBotoes::OK);
}

bool TExecBD::salvar(bool commit) {
    try {
        // Existence test: committed rows only.
        bool novo = ZeroGeradoEhNovo && GeradosZerados(Campos);
        if (!novo) {
            auto q = dm_.NovaQuery(true);
            q->DefinirSQL(" select 1 from " + Tabela + " where " + montarWhere());
            q->Preparar();
            for (const TCampoBD& c : Campos)
                if (c.Chave) q->Parametro(c.nomeParametro(), c.Valor);
            q->Abrir();
            novo = q->Fim();
        }
        auto q = dm_.NovaQuery(false);
        q->DefinirSQL(novo ? montarInsert() : montarUpdate());
        q->Preparar();
        for (TCampoBD& c : Campos) {
            if (novo && c.Chave && c.Gerado) c.Valor = dm_.NovoCodigo(Tabela);
            q->Parametro(c.nomeParametro(), c.Valor);
        }
        q->Executar();
        if (commit && q->Transacao().Ativa()) q->Transacao().Commit();
        return true;
    } catch (const std::exception& e) {
        MostrarErro("Encontramos um erro ao tentar salvar na tabela " + MaiusculasAZ(Tabela) + ".\rErro:\r" +
                        e.what(),
                    &e);
        return false;
    }
}

bool TExecBD::deletar(bool commit) {
    if (!temChave()) {
        MostrarErro("ExecBD.deletar(" + Tabela + ") -> Erro: Nenhum campo chave definido.", nullptr);
        return false;
    }
    try {
        auto q = dm_.NovaQuery(false);
        q->DefinirSQL(" delete from " + Tabela + " where " + montarWhere());
        q->Preparar();
        for (const TCampoBD& c : Campos)
            if (c.Chave) q->Parametro(c.nomeParametro(), c.Valor);
        q->Executar();
        if (commit && q->Transacao().Ativa()) q->Transacao().Commit();
        return true;
    } catch (const std::exception& e) {
        MostrarErro(std::string("ExecBD.deletar() -> ") + e.what(), &e);
        return false;
    }
}
