#include "bench/UReplay.h"

#include <cstring>

#include "db/UFirebird.h"
#include "db/UQuery.h"

using namespace Firebird;

namespace {

// Builds the input message with each value's own type; the server converts
// to the parameter's type, as it would for any client.
struct TEntrada {
    fb::TRef<IMessageMetadata> meta;
    std::vector<unsigned char> buf;
};

TEntrada Montar(ThrowStatusWrapper* st, IStatement* stmt, const std::vector<std::pair<std::string, TVariante>>& pars,
                const std::vector<std::string>& nomes) {
    TEntrada e;
    fb::TRef<IMessageMetadata> prep(stmt->getInputMetadata(st));
    const unsigned n = prep->getCount(st);
    if (n == 0) {
        e.meta = std::move(prep);
        return e;
    }
    fb::TRef<IMetadataBuilder> b(prep->getBuilder(st));
    // The value of each position: the parameter of that name.
    std::vector<const TVariante*> valores(n, nullptr);
    for (unsigned i = 0; i < n && i < nomes.size(); ++i)
        for (const auto& p : pars)
            if (strcasecmp(p.first.c_str(), nomes[i].c_str()) == 0) valores[i] = &p.second;
    // Text for a date, time or number goes as the typed value the text
    // stands for (the server would read "05/03/1990" month first); the empty
    // text as NULL.
    std::vector<TVariante> convertidos(n);
    for (unsigned i = 0; i < n; ++i) {
        const TVariante* v = valores[i];
        if (!v) continue;
        const auto* texto = std::get_if<std::string>(v);
        const unsigned tipo = prep->getType(st, i) & ~1u;
        const bool data = tipo == SQL_TYPE_DATE || tipo == SQL_TYPE_TIME || tipo == SQL_TIMESTAMP;
        const bool numero = tipo == SQL_LONG || tipo == SQL_SHORT || tipo == SQL_INT64 || tipo == SQL_DOUBLE ||
                            tipo == SQL_FLOAT;
        if (texto && (data || numero)) {
            if (texto->empty())
                convertidos[i] = TNulo{};
            else if (data)
                convertidos[i] = VariantParaDataHora(*v);
            else
                convertidos[i] = VariantParaReal(*v);
            valores[i] = &convertidos[i];
        }
    }
    for (unsigned i = 0; i < n; ++i) {
        const TVariante* v = valores[i];
        if (!v || EhNulo(*v)) continue;
        if (std::holds_alternative<std::int32_t>(*v)) {
            b->setType(st, i, SQL_LONG + 1);
            b->setLength(st, i, 4);
            b->setScale(st, i, 0);
        } else if (std::holds_alternative<double>(*v)) {
            b->setType(st, i, SQL_DOUBLE + 1);
            b->setLength(st, i, 8);
            b->setScale(st, i, 0);
        } else if (std::holds_alternative<TDataHora>(*v)) {
            b->setType(st, i, SQL_TIMESTAMP + 1);
            b->setLength(st, i, 8);
        } else {
            const auto& s = std::get<std::string>(*v);
            b->setType(st, i, SQL_VARYING + 1);
            b->setLength(st, i, static_cast<unsigned>(s.size() ? s.size() : 1));
            b->setCharSet(st, i, 53);  // WIN1252
        }
    }
    e.meta.reset(b->getMetadata(st));
    e.buf.assign(e.meta->getMessageLength(st), 0);
    for (unsigned i = 0; i < n; ++i) {
        const TVariante* v = valores[i];
        unsigned char* dado = e.buf.data() + e.meta->getOffset(st, i);
        short* nulo = reinterpret_cast<short*>(e.buf.data() + e.meta->getNullOffset(st, i));
        if (!v || EhNulo(*v)) {
            *nulo = -1;
            continue;
        }
        *nulo = 0;
        if (auto x = std::get_if<std::int32_t>(v)) {
            std::memcpy(dado, x, 4);
        } else if (auto x = std::get_if<double>(v)) {
            std::memcpy(dado, x, 8);
        } else if (auto x = std::get_if<TDataHora>(v)) {
            const ISC_TIMESTAMP ts = fb::ParaDataHora(*x);
            std::memcpy(dado, &ts, sizeof ts);
        } else {
            const auto& s = std::get<std::string>(*v);
            const unsigned short len = static_cast<unsigned short>(s.size());
            std::memcpy(dado, &len, 2);
            std::memcpy(dado + 2, s.data(), s.size());
        }
    }
    return e;
}

}  // namespace

TResultadoReplay Reproduzir(const std::vector<TDM::TRegistro>& registros, const std::string& nomeBanco,
                            const std::string& usuario, const std::string& senha) {
    TResultadoReplay r;
    auto att = fb::Conectar(nomeBanco, usuario, senha);
    fb::TRef<ITransaction> leitura = fb::IniciarTransacao(att.get());
    fb::TRef<ITransaction> escrita;
    for (const auto& reg : registros) {
        if (reg.commit) {
            if (escrita) {
                fb::Chamar([&](ThrowStatusWrapper* st) { escrita->commit(st); });
                escrita.release();
            }
            ++r.Commits;
            continue;
        }
        ++r.Instrucoes;
        try {
            ITransaction* tra;
            if (reg.leitura) {
                tra = leitura.get();
            } else {
                if (!escrita) escrita = fb::IniciarTransacao(att.get());
                tra = escrita.get();
            }
            const TSQLConvertido conv = ConverterParametros(reg.sql);
            fb::Chamar([&](ThrowStatusWrapper* st) {
                fb::TRef<IStatement> stmt(
                    att->prepare(st, tra, 0, conv.Texto.c_str(), 3, IStatement::PREPARE_PREFETCH_METADATA));
                TEntrada e = Montar(st, stmt.get(), reg.parametros, conv.Parametros);
                const void* dados = e.buf.empty() ? nullptr : e.buf.data();
                fb::TRef<IMessageMetadata> saida(stmt->getOutputMetadata(st));
                if (saida->getCount(st) > 0) {
                    std::vector<unsigned char> linha(saida->getMessageLength(st));
                    fb::TRef<IResultSet> rs(stmt->openCursor(st, tra, e.meta.get(), const_cast<void*>(dados),
                                                             saida.get(), 0));
                    while (rs->fetchNext(st, linha.data()) == IStatus::RESULT_OK) {
                    }
                    rs->close(st);
                    rs.release();
                } else {
                    stmt->execute(st, tra, e.meta.get(), const_cast<void*>(dados), nullptr, nullptr);
                }
                stmt->free(st);
                stmt.release();
            });
        } catch (const EErroBD&) {
            ++r.Erros;
        }
    }
    if (escrita) fb::Chamar([&](ThrowStatusWrapper* st) { escrita->rollback(st); }), escrita.release();
    fb::Chamar([&](ThrowStatusWrapper* st) { leitura->commit(st); });
    leitura.release();
    fb::Desconectar(att);
    return r;
}
