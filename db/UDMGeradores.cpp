// Key generators: each table draws its new codes from GEN_<table>, created on
// first use and seeded from the table's highest code.
//
// Several copies of the program may write to one database at once, so a
// generator is never set: it only moves forward. The copy whose CREATE
// GENERATOR went through seeds it in that same statement (START WITH the
// highest code); a copy that finds it made by another one meanwhile, or a
// value drawn that is not above the highest code it read, raises it with a
// positive step of gen_id, which the server applies atomically.
//
// A generator being created is not safe to draw from until its creation has
// committed: the server finds it by name a moment before, while it still
// stands at zero, and puts it back to its starting value when the commit
// ends, so a code drawn in that moment would be handed out again. A
// connection therefore draws from a generator only once it has seen the
// generator's row committed in RDB$GENERATORS; that is asked once a
// connection and generator.
#include <ibase.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/UTexto.h"
#include "db/UDM.h"

namespace {

// How long a copy that lost the race to create a generator waits for the
// winner's CREATE to commit, in tries of PausaGerador each.
constexpr int TentativasGerador = 100;
constexpr std::chrono::milliseconds PausaGerador{50};

// Whether a failed CREATE GENERATOR met another connection creating the same
// generator: its row in the metadata stored a moment ago (a duplicate name),
// or held by a transaction not yet committed (a lock conflict). Any other
// failure (a missing right, a name too long) no wait mends.
bool GeradorEmCriacao(const EErroBD& e) {
    static constexpr std::int64_t emUso[] = {isc_unique_key_violation, isc_no_dup,  isc_lock_conflict,
                                             isc_lock_timeout,         isc_deadlock, isc_update_conflict};
    for (const std::int64_t c : e.Codigos())
        if (std::find(std::begin(emUso), std::end(emUso), c) != std::end(emUso)) return true;
    return false;
}

}  // namespace

std::int32_t TDM::NovoCodigo(const std::string& tabela) noexcept {
    if (GeradorConfirmado(tabela)) {
        const std::int32_t v = IncrementarGenerator(tabela);
        if (v != -1) return v;
    }
    // The generator is missing, still being created by another copy, or
    // could not be read.
    const std::int32_t m = UltimoCodigo(tabela);
    const TCriacaoGerador criacao = CriarGenerator(tabela, m);
    if (criacao == TCriacaoGerador::Criado) geradoresConfirmados_.insert(tabela);
    // Another copy is creating it right now: its CREATE commits in a moment.
    for (int i = 0; criacao == TCriacaoGerador::EmUsoPorOutro && !GeradorConfirmado(tabela) && i < TentativasGerador;
         ++i)
        std::this_thread::sleep_for(PausaGerador);
    std::int32_t novo = -1;
    if (criacao == TCriacaoGerador::Criado || GeradorConfirmado(tabela)) novo = IncrementarGenerator(tabela);
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

bool TDM::GeradorConfirmado(const std::string& tabela) noexcept {
    if (geradoresConfirmados_.count(tabela)) return true;
    try {
        // Read committed: a generator whose creation has not committed yet
        // has no row here.
        auto q = NovaQuery(true);
        q->DefinirSQL("select 1 from rdb$generators where rdb$generator_name = '" + MaiusculasAZ("GEN_" + tabela) + "'");
        q->Abrir();
        if (q->Fim()) return false;
    } catch (...) {
        return false;
    }
    geradoresConfirmados_.insert(tabela);
    return true;
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
