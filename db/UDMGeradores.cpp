// Key generators: each table draws its new codes from GEN_<table>, created on
// first use and seeded from the table's highest code.
#include "db/UDM.h"

std::int32_t TDM::NovoCodigo(const std::string& tabela) noexcept {
    const std::int32_t v = IncrementarGenerator(tabela);
    if (v != -1) return v;
    // The generator is missing (or could not be read): seed it.
    const std::int32_t m = UltimoCodigo(tabela);
    CriarGenerator(tabela);
    AjustarGenerator(tabela, m + 1);
    return m + 1;
}

std::int32_t TDM::IncrementarGenerator(const std::string& tabela) noexcept {
    try {
        auto q = NovaQuery(true);
        q->DefinirSQL("select gen_id(GEN_" + tabela + ", 1) as codigo from rdb$DataBase");
        q->Abrir();
        if (q->Fim()) return -1;
        return VariantParaInteiro(q->Campo("codigo"));
    } catch (...) {
        return -1;
    }
}

std::int32_t TDM::UltimoCodigo(const std::string& tabela) noexcept {
    try {
        auto q = NovaQuery(true);
        q->DefinirSQL("select max(" + tabela.substr(0, 3) + "_cod) as ultimo from " + tabela);
        q->Abrir();
        if (q->Fim()) return 0;
        const TVariante ultimo = q->Campo("ultimo");
        return EhNulo(ultimo) ? 0 : VariantParaInteiro(ultimo);
    } catch (...) {
        return 0;
    }
}

void TDM::CriarGenerator(const std::string& tabela) noexcept {
    try {
        auto q = NovaQuery(false);
        q->DefinirSQL("CREATE GENERATOR GEN_" + tabela + ";");
        q->Executar();
        Commit();
    } catch (...) {
    }
}

void TDM::AjustarGenerator(const std::string& tabela, std::int32_t valor) noexcept {
    try {
        auto q = NovaQuery(false);
        q->DefinirSQL("SET GENERATOR GEN_" + tabela + " TO " + std::to_string(valor) + ";");
        q->Executar();
        Commit();
    } catch (...) {
    }
}
