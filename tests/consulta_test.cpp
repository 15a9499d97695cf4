// The query over the Firebird client interface: named parameters, the
// conversion of each kind of value into each column type, reading results.
#include <gtest/gtest.h>

#include "base/UErro.h"
#include "db/UQuery.h"
#include "tests/support/UBancoTeste.h"

namespace {

TEST(ConverterParametros, NomesFicamForaDeLiteraisEComentarios) {
    struct Caso {
        std::string sql;
        std::string texto;
        std::vector<std::string> nomes;
    };
    const Caso casos[] = {
        {"select * from t where a = :a and b = :b_2", "select * from t where a = ? and b = ?", {"a", "b_2"}},
        {"update t set x = :v where y = :v", "update t set x = ? where y = ?", {"v", "v"}},
        {"select ':nao' from t where a = :sim", "select ':nao' from t where a = ?", {"sim"}},
        {"select 'it''s :nao' from t where a=:sim", "select 'it''s :nao' from t where a=?", {"sim"}},
        {"select \"A:B\" from t where a = :p", "select \"A:B\" from t where a = ?", {"p"}},
        {"select a -- :nao\nfrom t where b = :p", "select a -- :nao\nfrom t where b = ?", {"p"}},
        {"select /* :nao */ a from t where b = :P", "select /* :nao */ a from t where b = ?", {"P"}},
        {"select '10:30' from t", "select '10:30' from t", {}},
    };
    for (const Caso& c : casos) {
        const TSQLConvertido r = ConverterParametros(c.sql);
        EXPECT_EQ(r.Texto, c.texto) << c.sql;
        EXPECT_EQ(r.Parametros, c.nomes) << c.sql;
    }
}

class Consulta : public ::testing::Test {
protected:
    void SetUp() override {
        t.banco.Executar(
            "CREATE TABLE tipos (id INTEGER NOT NULL PRIMARY KEY, i INTEGER, s SMALLINT, b BIGINT,\n"
            " n NUMERIC(15,2), d DOUBLE PRECISION, f FLOAT, dt DATE, hr TIME, ts TIMESTAMP,\n"
            " tx VARCHAR(10) CHARACTER SET WIN1252, ch CHAR(1) CHARACTER SET WIN1252,\n"
            " bl BLOB SUB_TYPE TEXT CHARACTER SET WIN1252);");
    }

    // Inserts a row with one column set through a parameter and commits.
    void Inserir(int id, const std::string& coluna, const TVariante& valor) {
        auto q = t.dm->NovaQuery(false);
        q->DefinirSQL("insert into tipos (id, " + coluna + ") values (:id, :valor)");
        q->Parametro("id", id);
        q->Parametro("valor", valor);
        q->Executar();
        t.dm->Commit();
    }

    TVariante Ler(int id, const std::string& coluna) {
        auto q = t.dm->NovaQuery(true);
        q->DefinirSQL("select " + coluna + " as valor from tipos where id = :id");
        q->Parametro("id", id);
        q->Abrir();
        EXPECT_EQ(q->NumeroLinhas(), 1);
        return q->Campo("valor");
    }

    TDMTeste t;
};

std::string Mostrar(const TVariante& v) {
    const char* tipos[] = {"nulo", "inteiro", "real", "texto", "data"};
    std::string s = std::string(tipos[v.index()]) + ":";
    if (auto d = std::get_if<TDataHora>(&v)) return s + d->FormatarDataHora();
    return s + VariantParaTexto(v);
}

TEST_F(Consulta, CadaTipoDeValorEntraNoTipoDaColuna) {
    const TDataHora data = TDataHora::De(1990, 3, 5);
    const TDataHora dataHora = TDataHora::De(1990, 3, 5, 14, 30, 15);
    const std::string longo(70000, 'x');
    struct Caso {
        std::string coluna;
        TVariante entrada;
        TVariante lido;
    };
    const Caso casos[] = {
        {"i", 123, 123},
        {"i", std::string("123"), 123},
        {"i", std::string(" -7 "), -7},
        {"i", 3.0, 3},
        {"i", std::string("0x1F"), 31},
        {"i", std::string(""), TNulo{}},
        {"i", TNulo{}, TNulo{}},
        {"s", 7, 7},
        {"b", std::string("3000000000"), 3000000000.0},
        {"b", 5, 5},
        {"n", std::string("2,5"), 2.5},
        {"n", std::string("2.5"), 2.5},
        {"n", 3, 3.0},
        {"n", 12.345, 12.35},
        {"n", std::string(""), TNulo{}},
        {"d", std::string("2,25"), 2.25},
        {"d", 4, 4.0},
        {"f", 1.5, 1.5},
        {"dt", std::string("05/03/1990"), data},
        {"dt", std::string("5/3/1990 10:20"), data},
        {"dt", dataHora, data},
        {"dt", std::string(""), TNulo{}},
        {"dt", TNulo{}, TNulo{}},
        {"hr", std::string("14:30"), TDataHora::Hora(14, 30)},
        {"hr", std::string("14:30:15"), TDataHora::Hora(14, 30, 15)},
        {"hr", dataHora, TDataHora::Hora(14, 30, 15)},
        {"hr", std::string(""), TNulo{}},
        {"ts", std::string("05/03/1990 14:30"), TDataHora::De(1990, 3, 5, 14, 30)},
        {"ts", std::string("05/03/1990"), data},
        {"ts", dataHora, dataHora},
        {"tx", 42, std::string("42")},
        {"tx", 2.5, std::string("2,5")},
        {"tx", data, std::string("05/03/1990")},
        {"tx", std::string("S\xE3o Jo\xE3o"), std::string("S\xE3o Jo\xE3o")},
        {"tx", std::string(""), std::string("")},
        {"ch", std::string("S"), std::string("S")},
        {"bl", longo, longo},
        {"bl", TNulo{}, TNulo{}},
    };
    int id = 0;
    for (const Caso& c : casos) {
        ++id;
        SCOPED_TRACE(c.coluna + " <- " + Mostrar(c.entrada));
        Inserir(id, c.coluna, c.entrada);
        const TVariante lido = Ler(id, c.coluna);
        if (auto d = std::get_if<double>(&c.lido)) {
            ASSERT_TRUE(std::holds_alternative<double>(lido)) << Mostrar(lido);
            EXPECT_NEAR(std::get<double>(lido), *d, 1e-9);
        } else {
            EXPECT_EQ(lido, c.lido) << Mostrar(lido);
        }
    }
    // An integer column holds codes: a value with a fraction is an error,
    // never rounded into another code.
    for (const TVariante& v : {TVariante(2.6), TVariante(std::string("2,6")), TVariante(std::string("2.6"))}) {
        SCOPED_TRACE("i <- " + Mostrar(v));
        EXPECT_THROW(Inserir(++id, "i", v), EErro);
    }
}

TEST_F(Consulta, ValoresQueNaoConvertemSaoRecusados) {
    struct Caso {
        std::string coluna;
        TVariante valor;
    };
    const Caso casos[] = {
        {"i", std::string("abc")},
        {"s", 70000},
        {"dt", std::string("31/02/2020")},
        {"dt", std::string("1990-03-05")},
        {"hr", std::string("25:00")},
        {"n", std::string("dois")},
    };
    for (const Caso& c : casos) {
        auto q = t.dm->NovaQuery(false);
        q->DefinirSQL("insert into tipos (id, " + c.coluna + ") values (1, :valor)");
        EXPECT_THROW(q->Parametro("valor", c.valor), EErro) << c.coluna << " <- " << Mostrar(c.valor);
    }
}

TEST_F(Consulta, TextoMaiorQueAColunaFalhaComAMensagemDoServidor) {
    auto q = t.dm->NovaQuery(false);
    q->DefinirSQL("insert into tipos (id, tx) values (1, :tx)");
    q->Parametro("tx", std::string("12345678901"));
    try {
        q->Executar();
        FAIL() << "insert accepted";
    } catch (const EErroBD& e) {
        EXPECT_NE(std::string(e.what()).find("string right truncation"), std::string::npos) << e.what();
    }
}

TEST_F(Consulta, MesmoNomeDuasVezesLigaAsDuasPosicoes) {
    auto q = t.dm->NovaQuery(false);
    q->DefinirSQL("insert into tipos (id, i, s, tx) values (:id, :v, :V, ':v')");
    q->Parametro("ID", 1);
    q->Parametro("v", 9);
    q->Executar();
    t.dm->Commit();
    EXPECT_EQ(Ler(1, "i"), TVariante(9));
    EXPECT_EQ(Ler(1, "s"), TVariante(9));
    EXPECT_EQ(Ler(1, "tx"), TVariante(std::string(":v")));
}

TEST_F(Consulta, ParametroDesconhecidoEhErro) {
    auto q = t.dm->NovaQuery(true);
    q->DefinirSQL("select id from tipos where id = :id and tx = 'a:b'");
    EXPECT_THROW(q->Parametro("b", 1), EErro);
    EXPECT_THROW(q->Parametro("idx", 1), EErro);
}

TEST_F(Consulta, ParametroNaoLigadoEhNulo) {
    auto q = t.dm->NovaQuery(false);
    q->DefinirSQL("insert into tipos (id, i) values (1, :i)");
    q->Executar();
    t.dm->Commit();
    EXPECT_EQ(Ler(1, "i"), TVariante(TNulo{}));
}

TEST_F(Consulta, DataEmTextoEhDiaMesAno) {
    Inserir(1, "dt", std::string("05/03/1990"));
    auto q = t.dm->NovaQuery(true);
    q->DefinirSQL("select id from tipos where dt = :d");
    q->Parametro("d", std::string("05/03/1990"));
    q->Abrir();
    EXPECT_EQ(q->NumeroLinhas(), 1);
    EXPECT_EQ(t.banco.Valor("select extract(month from dt) from tipos where id = 1"), "3");
    q->Parametro("d", std::string("03/05/1990"));
    q->Abrir();
    EXPECT_EQ(q->NumeroLinhas(), 0);
}

TEST_F(Consulta, LinhasEColunasDoResultado) {
    t.banco.Executar(
        "insert into tipos (id, tx, n) values (1, 'um', 1.5);\n"
        "insert into tipos (id, tx, n) values (2, 'dois', null);\n"
        "insert into tipos (id, tx, n) values (3, 'tr\xEAs', 3);");
    auto q = t.dm->NovaQuery(true);
    q->DefinirSQL("select id, tx as Nome, n, dt from tipos order by id");
    q->Abrir();
    ASSERT_EQ(q->NumeroLinhas(), 3);
    ASSERT_EQ(q->Campos().size(), 4u);
    EXPECT_EQ(q->Campos()[0].Nome, "ID");
    EXPECT_EQ(q->Campos()[0].Tipo, TTipoCampo::Inteiro);
    EXPECT_EQ(q->Campos()[1].Nome, "NOME");
    EXPECT_EQ(q->Campos()[1].Tipo, TTipoCampo::Texto);
    EXPECT_EQ(q->Campos()[1].Tamanho, 10);
    EXPECT_EQ(q->Campos()[2].Tipo, TTipoCampo::Real);
    EXPECT_EQ(q->Campos()[3].Tipo, TTipoCampo::Data);

    std::vector<std::string> nomes;
    for (q->Primeiro(); !q->Fim(); q->Proximo()) nomes.push_back(VariantParaTexto(q->Campo("nome")));
    EXPECT_EQ(nomes, (std::vector<std::string>{"um", "dois", "tr\xEAs"}));
    EXPECT_THROW(q->Campo("id"), EErro);  // past the last row

    q->Primeiro();
    EXPECT_EQ(q->Campo("ID"), TVariante(1));
    EXPECT_EQ(q->Campo(std::size_t{2}), TVariante(1.5));
    q->Proximo();
    EXPECT_TRUE(EhNulo(q->Campo("n")));
    EXPECT_THROW(q->Campo("nao_existe"), EErro);
}

TEST_F(Consulta, ErroDeSintaxeTrazAMensagemDoServidor) {
    auto q = t.dm->NovaQuery(true);
    q->DefinirSQL("select * from tabela_que_nao_existe");
    try {
        q->Abrir();
        FAIL();
    } catch (const EErroBD& e) {
        EXPECT_NE(std::string(e.what()).find("TABELA_QUE_NAO_EXISTE"), std::string::npos) << e.what();
    }
}

}  // namespace
