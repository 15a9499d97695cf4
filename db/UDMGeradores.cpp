// Key generators: each table draws its new codes from GEN_<table>, created on
// first use and seeded from the table's highest code.
//
// Several copies of the program may write to one database at once, so a
// generator is never set: it only moves forward. The copy whose CREATE
// GENERATOR went through seeds it in that same statement (START WITH the
// highest code); a copy that finds it made by another one meanwhile, or a
// value drawn that is not above the highest code it read, raises it with a
// positive step of gen_id, which the server applies atomically.
#include <ibase.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "db/UDM.h"

namespace {

// How long a copy that lost the race to create a generator waits for the
// winner's CREATE to commit, in tries of PausaGerador each.
constexpr int TentativasGerador = 20;
constexpr std::chrono::milliseconds PausaGerador{50};

// Whether a failed CREATE GENERATOR may have met another connection creating
// the same generator (its row in the metadata held by a transaction not yet
// committed, or stored a moment ago): every failure but a missing right,
// which no wait mends.
bool GeradorEmCriacao(const EErroBD& e) {
    const auto& c = e.Codigos();
    return std::find(c.begin(), c.end(), std::int64_t{isc_no_priv}) == c.end();
}

}  // namespace

std::int32_t TDM::NovoCodigo(const std::string& tabela) noexcept {
    const std::int32_t v = IncrementarGenerator(tabela);
    if (v != -1) return v;
    // The generator is missing (or could not be read).
    const std::int32_t m = UltimoCodigo(tabela);
    const TCriacaoGerador criacao = CriarGenerator(tabela, m);
    std::int32_t novo = IncrementarGenerator(tabela);
    // Another copy is creating it right now: its CREATE commits in a moment.
    for (int i = 0; novo == -1 && criacao == TCriacaoGerador::EmUsoPorOutro && i < TentativasGerador; ++i) {
        std::this_thread::sleep_for(PausaGerador);
        novo = IncrementarGenerator(tabela);
    }
    // No generator (for instance no right to create one): the highest code
    // plus one, as before; the table's key refuses a code taken meanwhile.
    if (novo == -1) return m + 1;
    // Made by another copy that had not seeded it yet: raised, never set.
    if (novo <= m) {
        const std::int32_t acima = IncrementarGenerator(tabela, m + 1 - novo);
        return acima == -1 ? m + 1 : acima;
    }
    return novo;
}

std::int32_t TDM::IncrementarGenerator(const std::string& tabela, std::int32_t passo) noexcept {
    try {
        auto q = NovaQuery(true);
        q->DefinirSQL("select gen_id(GEN_" + tabela + ", " + std::to_string(passo) + ") as codigo from rdb$DataBase");
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

TDM::TCriacaoGerador TDM::CriarGenerator(const std::string& tabela, std::int32_t inicio) noexcept {
    try {
        auto q = NovaQuery(false);
        q->DefinirSQL("CREATE GENERATOR GEN_" + tabela + " START WITH " + std::to_string(inicio) + ";");
        q->Executar();
    } catch (const EErroBD& e) {
        return GeradorEmCriacao(e) ? TCriacaoGerador::EmUsoPorOutro : TCriacaoGerador::Falhou;
    } catch (...) {
        return TCriacaoGerador::Falhou;
    }
    try {
        triud_.Commit();
        return TCriacaoGerador::Criado;
    } catch (const EErroBD& e) {
        // The metadata change stays pending in a transaction whose commit
        // failed: undone, or every later commit would fail with it.
        triud_.Rollback();
        return GeradorEmCriacao(e) ? TCriacaoGerador::EmUsoPorOutro : TCriacaoGerador::Falhou;
    } catch (...) {
        triud_.Rollback();
        return TCriacaoGerador::Falhou;
    }
}
