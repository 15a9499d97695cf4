// The kind of a database failure, told from the server's own error codes:
// real failures staged on the server, written through the row writer and the
// query builder, each noted on the data module with the kind the processing
// driver acts on (tried again at the next cycle, or held until the file
// changes).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <ibase.h>
#include <string>
#include <vector>

#include "base/UErro.h"
#include "db/UExecBD.h"
#include "db/UFalhaBD.h"
#include "db/UPesquisaBD.h"
#include "tests/support/UBancoTeste.h"

namespace {

class TipoFalha : public ::testing::Test {
public:
    // Cuts the data module's own attachment from another one, as a network
    // failure would.
    void CortarConexao() {
        auto q = t.dm->NovaQuery(true);
        q->DefinirSQL("select current_connection from rdb$database");
        q->Abrir();
        const std::string id = VariantParaTexto(q->Campo(std::size_t{0}));
        t.banco.Executar("delete from mon$attachments where mon$attachment_id = " + id + ";");
    }
    // The database off line on the server (full shutdown); on line again
    // when the test's database goes.
    void DesligarBanco() { t.banco.Desligar(); }

    // A doctor row with the code given.
    bool SalvarMedico(const TVariante& codigo) {
        TExecBD exec(*t.dm);
        exec.definirTabela("med_medicos");
        exec.adicionar("med_cod", codigo, true);
        exec.adicionar("med_nom", std::string("Dra. Teste"));
        return exec.salvar(true);
    }

    TDMTeste t;
};

struct TCaso {
    const char* nome;
    // Stages the failure and makes the call that fails; returns what the
    // call returned (false for a failed save or search).
    std::function<bool(TipoFalha&)> falhar;
    TTipoFalha tipo;
    // One of these codes is in the server's status vector (empty: an error
    // of the program's own database layer, with no code).
    std::vector<std::int64_t> umDosCodigos;
};

void PrintTo(const TCaso& caso, std::ostream* os) { *os << caso.nome; }

class TipoFalhaCasos : public TipoFalha, public ::testing::WithParamInterface<TCaso> {};

// The failure noted by the row writer or the query builder keeps the kind
// of the server's error, and a direct statement raises an EErroBD with the
// server's codes.
TEST_P(TipoFalhaCasos, AFalhaAnotadaGuardaOTipoDoErroDoServidor) {
    const TCaso& caso = GetParam();
    t.dm->LimparFalhas();
    EXPECT_FALSE(caso.falhar(*this));
    ASSERT_EQ(t.dm->Falhas().size(), 1u);
    const TFalha& falha = t.dm->Falhas().front();
    EXPECT_EQ(falha.Tipo, caso.tipo) << falha.Texto;
    std::string codigos;
    for (std::int64_t c : falha.Codigos) codigos += std::to_string(c) + " ";
    if (caso.umDosCodigos.empty()) {
        EXPECT_TRUE(falha.Codigos.empty()) << falha.Texto << "\ncodigos: " << codigos;
        return;
    }
    EXPECT_TRUE(std::find_first_of(falha.Codigos.begin(), falha.Codigos.end(), caso.umDosCodigos.begin(),
                                   caso.umDosCodigos.end()) != falha.Codigos.end())
        << falha.Texto << "\ncodigos: " << codigos;
    EXPECT_EQ(SoPassageiras(t.dm->Falhas()), caso.tipo == TTipoFalha::Passageira);
}

// A locked row: the other program's uncommitted update.
bool Trancada(TipoFalha& f) {
    f.t.banco.Executar("insert into med_medicos (med_cod, med_nom) values (301, 'Antes');");
    TTravaDeOutroPrograma trava(f.t.banco, "update med_medicos set med_nom = 'Outro' where med_cod = 301");
    return f.SalvarMedico(std::int32_t{301});
}

// Another workstation inserts the same doctor, and commits, between this
// writer's existence test and its insert.
bool DuplicadaPorOutraEstacao(TipoFalha& f) {
    bool inseriu = false;
    f.t.dm->AoExecutar = [&](const TDM::TRegistro& r) {
        if (inseriu || r.sql.find("insert into med_medicos") == std::string::npos) return;
        inseriu = true;
        f.t.banco.Executar("insert into med_medicos (med_cod, med_nom) values (302, 'Outra estacao');");
    };
    const bool ok = f.SalvarMedico(std::int32_t{302});
    f.t.dm->AoExecutar = nullptr;
    EXPECT_TRUE(inseriu);
    return ok;
}

const TCaso kCasos[] = {
    {"LinhaPresaPorOutroPrograma", Trancada, TTipoFalha::Passageira,
     {isc_lock_conflict, isc_update_conflict, isc_deadlock}},
    {"ChaveDuplicadaPorOutraEstacao", DuplicadaPorOutraEstacao, TTipoFalha::Passageira,
     {isc_unique_key_violation, isc_no_dup}},
    // Refused by the program's own conversion of the parameter, before the
    // server sees it: no server code, and it stays.
    {"CodigoDeMedicoNaoNumerico", [](TipoFalha& f) { return f.SalvarMedico(std::string("12a")); },
     TTipoFalha::Permanente, {}},
    {"RestricaoDeChecagem",
     [](TipoFalha& f) {
         f.t.banco.Executar("create table tst_checagem (tst_cod integer not null primary key, "
                            "tst_val integer check (tst_val > 0));");
         TExecBD exec(*f.t.dm);
         exec.definirTabela("tst_checagem");
         exec.adicionar("tst_cod", std::int32_t{1}, true);
         exec.adicionar("tst_val", std::int32_t{-5});
         return exec.salvar(true);
     },
     TTipoFalha::Permanente, {isc_check_constraint}},
    {"TabelaInexistente",
     [](TipoFalha& f) {
         TPesquisaBD pesquisa(*f.t.dm);
         pesquisa.Tabela = "xyz_inexistente";
         pesquisa.Campos.push_back("xyz_cod");
         pesquisa.Condicoes.emplace_back("xyz_cod", "=", std::int32_t{1});
         return pesquisa.pesquisar();
     },
     TTipoFalha::Permanente, {isc_dsql_error}},
    {"ConexaoCortada",
     [](TipoFalha& f) {
         f.CortarConexao();
         return f.SalvarMedico(std::int32_t{303});
     },
     TTipoFalha::Passageira, {isc_att_shutdown, isc_network_error, isc_net_read_err, isc_net_write_err,
                              isc_conn_lost, isc_lost_db_connection}},
    {"BancoDesligadoNoServidor",
     [](TipoFalha& f) {
         f.DesligarBanco();
         TPesquisaBD pesquisa(*f.t.dm);
         pesquisa.Tabela = "med_medicos";
         pesquisa.Campos.push_back("med_cod");
         return pesquisa.pesquisar();
     },
     TTipoFalha::Passageira, {isc_shutdown, isc_att_shutdown, isc_network_error, isc_net_read_err}},
    {"SemConexao",
     [](TipoFalha& f) {
         f.t.dm->Desconectar();
         return f.SalvarMedico(std::int32_t{304});
     },
     TTipoFalha::Passageira, {isc_bad_db_handle}},
};

INSTANTIATE_TEST_SUITE_P(Servidor, TipoFalhaCasos, ::testing::ValuesIn(kCasos),
                         [](const auto& info) { return std::string(info.param.nome); });

// The same failures raised by a statement run directly carry the server's
// codes, and the kind follows from them.
TEST_F(TipoFalha, OErroDoServidorTrazSeusCodigos) {
    t.banco.Executar("insert into med_medicos (med_cod, med_nom) values (301, 'Antes');");
    auto codigosDe = [&](const std::string& sql) -> EErroBD {
        try {
            auto q = t.dm->NovaQuery(false);
            q->DefinirSQL(sql);
            q->Executar();
        } catch (const EErroBD& e) {
            t.dm->TRIUD().Rollback();
            return e;
        }
        ADD_FAILURE() << "no error: " << sql;
        return EErroBD("");
    };
    {
        TTravaDeOutroPrograma trava(t.banco, "update med_medicos set med_nom = 'Outro' where med_cod = 301");
        const EErroBD e = codigosDe("update med_medicos set med_nom = 'Este' where med_cod = 301");
        EXPECT_FALSE(e.Codigos().empty());
        EXPECT_TRUE(EhFalhaPassageira(e)) << e.what();
        EXPECT_EQ(TipoDaFalha(e), TTipoFalha::Passageira);
    }
    const EErroBD dup = codigosDe("insert into med_medicos (med_cod, med_nom) values (301, 'De novo')");
    EXPECT_NE(std::find(dup.Codigos().begin(), dup.Codigos().end(), isc_unique_key_violation), dup.Codigos().end())
        << dup.what();
    EXPECT_TRUE(EhFalhaPassageira(dup));
    const EErroBD valor = codigosDe("update med_medicos set med_cod = '12a' where med_cod = 301");
    EXPECT_NE(std::find(valor.Codigos().begin(), valor.Codigos().end(), isc_convert_error), valor.Codigos().end())
        << valor.what();
    EXPECT_FALSE(EhFalhaPassageira(valor));
    // An error of the program itself, or any other exception, stays.
    EXPECT_EQ(TipoDaFalha(EErro("x")), TTipoFalha::Permanente);
    EXPECT_EQ(TipoDaFalha(std::runtime_error("x")), TTipoFalha::Permanente);
    EXPECT_EQ(TipoDaFalha(ErroSemConexao()), TTipoFalha::Passageira);
}

}  // namespace
