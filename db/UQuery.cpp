#include "db/UQuery.h"

#include "db/UFalhaBD.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/UErro.h"
#include "db/UConexaoBD.h"
#include "db/UTransacao.h"
#include "db/UFirebird.h"

using namespace Firebird;

namespace {

bool CaractereDeNome(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$';
}

char MinusculaAZ(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Parameter and column names are compared without regard to the case of a-z.
bool MesmoNome(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (MinusculaAZ(a[i]) != MinusculaAZ(b[i])) return false;
    return true;
}

std::string Aparado(const std::string& t) {
    std::size_t a = 0, b = t.size();
    while (a < b && std::isspace(static_cast<unsigned char>(t[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(t[b - 1]))) --b;
    return t.substr(a, b - a);
}

bool EhSelect(unsigned tipo) {
    return tipo == isc_info_sql_stmt_select || tipo == isc_info_sql_stmt_select_for_upd;
}

// A parameter value converted to the SQL type the server expects for it.
struct TValorEntrada {
    bool nulo = true;
    std::int64_t inteiro = 0;  // SMALLINT, INTEGER, BIGINT, NUMERIC (scaled), BOOLEAN
    double real = 0;           // FLOAT, DOUBLE PRECISION
    TDataHora dataHora;        // DATE, TIME, TIMESTAMP
    std::string texto;         // CHAR, VARCHAR, BLOB
};

[[noreturn]] void ErroConversao(const std::string& nome, const std::string& motivo) {
    throw EErro("Valor inv\xE1lido para o par\xE2metro '" + nome + "': " + motivo);
}

std::int64_t ParaInteiroEscalado(const TVariante& v, int escala, const std::string& nome) {
    if (escala == 0) {
        // An integer column holds codes: only a whole number goes in, read as
        // the validation reads it ("0x1F" is 31); "301,6" is an error, never
        // rounded into another code.
        if (auto i = std::get_if<std::int32_t>(&v)) return *i;
        if (auto s = std::get_if<std::string>(&v)) {
            if (auto n = LerNumeroInteiro(Aparado(*s), std::numeric_limits<std::int64_t>::min(),
                                          std::numeric_limits<std::int64_t>::max()))
                return *n;
            ErroConversao(nome, "'" + *s + "' n\xE3o \xE9 um n\xFAmero inteiro v\xE1lido");
        }
        if (auto d = std::get_if<double>(&v)) {
            if (std::isfinite(*d) && std::trunc(*d) == *d && std::fabs(*d) < 9.2e18)
                return static_cast<std::int64_t>(*d);
            ErroConversao(nome, "'" + VariantParaTexto(v) + "' n\xE3o \xE9 um n\xFAmero inteiro v\xE1lido");
        }
    }
    double r;
    try {
        r = VariantParaReal(v);
    } catch (const EErro& e) {
        ErroConversao(nome, e.what());
    }
    const double escalado = r * std::pow(10.0, -escala);
    if (!std::isfinite(escalado) || std::fabs(escalado) >= 9.2e18)
        ErroConversao(nome, "valor fora da faixa");
    return std::llround(escalado);
}

TValorEntrada Converter(const TVariante& v, unsigned tipo, int escala, const std::string& nome) {
    TValorEntrada r;
    if (EhNulo(v)) return r;
    const std::string* texto = std::get_if<std::string>(&v);
    // The empty text into a number, a date or a time is NULL.
    const bool textoVazio = texto && Aparado(*texto).empty();
    switch (tipo) {
    case SQL_TEXT:
    case SQL_VARYING:
    case SQL_BLOB:
        r.texto = VariantParaTexto(v);
        break;
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        if (textoVazio) return r;
        r.inteiro = ParaInteiroEscalado(v, escala, nome);
        const std::int64_t max = tipo == SQL_SHORT ? std::numeric_limits<std::int16_t>::max()
                                 : tipo == SQL_LONG ? std::numeric_limits<std::int32_t>::max()
                                                    : std::numeric_limits<std::int64_t>::max();
        if (r.inteiro > max || r.inteiro < -max - 1) ErroConversao(nome, "valor fora da faixa");
        break;
    }
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        if (textoVazio) return r;
        try {
            r.real = VariantParaReal(v);
        } catch (const EErro& e) {
            ErroConversao(nome, e.what());
        }
        break;
    case SQL_TYPE_DATE:
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIME:
        if (textoVazio) return r;
        if (texto) {
            // Day first, as the laboratory writes dates; the server would
            // read "05/03/1990" as May 3rd.
            std::optional<TDataHora> d = LerDataHora(*texto);
            if (!d && tipo == SQL_TYPE_TIME) d = LerHora(*texto);
            if (!d) ErroConversao(nome, "'" + *texto + "' n\xE3o \xE9 uma data ou hora v\xE1lida");
            r.dataHora = *d;
        } else {
            try {
                r.dataHora = VariantParaDataHora(v);
            } catch (const EErro& e) {
                ErroConversao(nome, e.what());
            }
        }
        break;
    case SQL_BOOLEAN:
        if (textoVazio) return r;
        if (texto) {
            const std::string t = Aparado(*texto);
            if (t == "S" || t == "s" || t == "1" || MesmoNome(t, "true") || t == "T" || t == "t")
                r.inteiro = 1;
            else if (t == "N" || t == "n" || t == "0" || MesmoNome(t, "false") || t == "F" || t == "f")
                r.inteiro = 0;
            else
                ErroConversao(nome, "'" + *texto + "' n\xE3o \xE9 um valor l\xF3gico");
        } else {
            try {
                r.inteiro = VariantParaReal(v) != 0;
            } catch (const EErro& e) {
                ErroConversao(nome, e.what());
            }
        }
        break;
    case SQL_NULL:
        break;
    default:
        ErroConversao(nome, "tipo de par\xE2metro n\xE3o suportado (" + std::to_string(tipo) + ")");
    }
    r.nulo = false;
    return r;
}

template <class T>
void Gravar(std::vector<unsigned char>& buf, unsigned pos, const T& v) {
    std::memcpy(buf.data() + pos, &v, sizeof v);
}

template <class T>
T Ler(const unsigned char* buf, unsigned pos) {
    T v;
    std::memcpy(&v, buf + pos, sizeof v);
    return v;
}

TTipoCampo TipoCampo(unsigned tipo, int escala) {
    switch (tipo) {
    case SQL_TEXT:
    case SQL_VARYING:
        return TTipoCampo::Texto;
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return escala == 0 ? TTipoCampo::Inteiro : TTipoCampo::Real;
    case SQL_BOOLEAN:
        return TTipoCampo::Inteiro;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return TTipoCampo::Real;
    case SQL_TYPE_DATE:
        return TTipoCampo::Data;
    case SQL_TYPE_TIME:
        return TTipoCampo::Hora;
    case SQL_TIMESTAMP:
        return TTipoCampo::DataHora;
    case SQL_BLOB:
        return TTipoCampo::Blob;
    default:
        return TTipoCampo::Texto;
    }
}

TVariante Inteiro(std::int64_t v, int escala) {
    if (escala != 0) return static_cast<double>(v) / std::pow(10.0, -escala);
    if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
        return static_cast<std::int32_t>(v);
    return static_cast<double>(v);
}

}  // namespace

TSQLConvertido ConverterParametros(const std::string& sql) {
    TSQLConvertido r;
    r.Texto.reserve(sql.size());
    const std::size_t n = sql.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // A literal or quoted identifier; a doubled quote closes and
            // reopens it, which copies the same way.
            const std::size_t fim = sql.find(c, i + 1);
            const std::size_t ate = fim == std::string::npos ? n : fim + 1;
            r.Texto.append(sql, i, ate - i);
            i = ate;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            const std::size_t fim = sql.find('\n', i);
            const std::size_t ate = fim == std::string::npos ? n : fim;
            r.Texto.append(sql, i, ate - i);
            i = ate;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const std::size_t fim = sql.find("*/", i + 2);
            const std::size_t ate = fim == std::string::npos ? n : fim + 2;
            r.Texto.append(sql, i, ate - i);
            i = ate;
        } else if (c == ':' && i + 1 < n && CaractereDeNome(sql[i + 1])) {
            std::size_t fim = i + 1;
            while (fim < n && CaractereDeNome(sql[fim])) ++fim;
            r.Parametros.push_back(sql.substr(i + 1, fim - i - 1));
            r.Texto += '?';
            i = fim;
        } else {
            r.Texto += c;
            ++i;
        }
    }
    return r;
}

struct TQuery::TImpl {
    TSQLConvertido convertido;
    // Distinct parameter names (first spelling) with the values bound to them.
    std::vector<std::pair<std::string, TVariante>> vinculos;

    fb::TRef<IStatement> comando;
    fb::TRef<IMessageMetadata> entrada;
    fb::TRef<IMessageMetadata> saida;
    unsigned tipo = 0;
    std::vector<TValorEntrada> valores;  // one per position of the input message
};

TQuery::TQuery(IConexaoBD& conexao, TTransacao& transacao) : conexao_(conexao), transacao_(transacao), impl_(new TImpl) {}

TQuery::~TQuery() = default;

void TQuery::DefinirSQL(const std::string& texto) {
    Fechar();
    sql_ = texto;
    impl_ = std::make_unique<TImpl>();
    impl_->convertido = ConverterParametros(texto);
    for (const std::string& nome : impl_->convertido.Parametros) {
        bool novo = true;
        for (const auto& v : impl_->vinculos)
            if (MesmoNome(v.first, nome)) novo = false;
        if (novo) impl_->vinculos.emplace_back(nome, TNulo{});
    }
}

void TQuery::Preparar() {
    if (impl_->comando) return;
    IAttachment* att = conexao_.Attachment();
    if (!att) throw ErroSemConexao();
    ITransaction* tra = transacao_.Obter();
    campos_.clear();
    conexao_.ChamarComLimite([&](TLimiteBanco::TChamada&) { fb::Chamar([&](ThrowStatusWrapper* st) {
        const std::string& texto = impl_->convertido.Texto;
        fb::TRef<IStatement> comando(att->prepare(st, tra, static_cast<unsigned>(texto.size()), texto.c_str(),
                                                  SQL_DIALECT_V6, IStatement::PREPARE_PREFETCH_METADATA));
        impl_->tipo = comando->getType(st);
        impl_->entrada.reset(comando->getInputMetadata(st));
        impl_->saida.reset(comando->getOutputMetadata(st));
        impl_->valores.assign(impl_->entrada->getCount(st), TValorEntrada{});
        const unsigned colunas = impl_->saida->getCount(st);
        for (unsigned i = 0; i < colunas; ++i) {
            TInfoCampo c;
            const char* alias = impl_->saida->getAlias(st, i);
            c.Nome = alias && *alias ? alias : impl_->saida->getField(st, i);
            const unsigned tipo = impl_->saida->getType(st, i) & ~1u;
            c.Tipo = TipoCampo(tipo, impl_->saida->getScale(st, i));
            if (c.Tipo == TTipoCampo::Texto) {
                // Text arrives as Windows-1252: one byte a character.
                c.Tamanho = static_cast<int>(impl_->saida->getLength(st, i));
            }
            campos_.push_back(c);
        }
        impl_->comando = std::move(comando);
    }); });
}

void TQuery::Parametro(const std::string& nome, const TVariante& valor) {
    auto vinculo = impl_->vinculos.begin();
    while (vinculo != impl_->vinculos.end() && !MesmoNome(vinculo->first, nome)) ++vinculo;
    if (vinculo == impl_->vinculos.end())
        throw EErro("Par\xE2metro '" + nome + "' n\xE3o encontrado na instru\xE7\xE3o SQL.");
    Preparar();
    const auto& nomes = impl_->convertido.Parametros;
    std::vector<std::pair<std::size_t, TValorEntrada>> convertidos;
    fb::Chamar([&](ThrowStatusWrapper* st) {
        for (std::size_t i = 0; i < nomes.size() && i < impl_->valores.size(); ++i) {
            if (!MesmoNome(nomes[i], nome)) continue;
            const unsigned pos = static_cast<unsigned>(i);
            const unsigned tipo = impl_->entrada->getType(st, pos) & ~1u;
            convertidos.emplace_back(i, Converter(valor, tipo, impl_->entrada->getScale(st, pos), nome));
        }
    });
    for (auto& [i, v] : convertidos) impl_->valores[i] = std::move(v);
    vinculo->second = valor;
}

namespace {

// Builds the input message from the converted values: text travels as
// VARCHAR of its own length, so that the server reports a value longer than
// its column as a truncation.
struct TMensagemEntrada {
    fb::TRef<IMessageMetadata> meta;
    std::vector<unsigned char> dados;
};

void GravarBlob(ThrowStatusWrapper* st, IAttachment* att, ITransaction* tra, const std::string& texto,
                ISC_QUAD& id) {
    fb::TRef<IBlob> blob(att->createBlob(st, tra, &id, 0, nullptr));
    constexpr std::size_t Pedaco = 32768;
    for (std::size_t p = 0; p < texto.size(); p += Pedaco) {
        const std::size_t n = std::min(Pedaco, texto.size() - p);
        blob->putSegment(st, static_cast<unsigned>(n), texto.data() + p);
    }
    blob->close(st);
    blob.release();
}

std::string LerBlob(ThrowStatusWrapper* st, IAttachment* att, ITransaction* tra, ISC_QUAD id) {
    fb::TRef<IBlob> blob(att->openBlob(st, tra, &id, 0, nullptr));
    std::string texto;
    char pedaco[16384];
    for (;;) {
        unsigned lidos = 0;
        const int r = blob->getSegment(st, sizeof pedaco, pedaco, &lidos);
        if (r == IStatus::RESULT_OK || r == IStatus::RESULT_SEGMENT)
            texto.append(pedaco, lidos);
        else
            break;
    }
    blob->close(st);
    blob.release();
    return texto;
}

TMensagemEntrada MontarEntrada(ThrowStatusWrapper* st, IMessageMetadata* entrada,
                               const std::vector<TValorEntrada>& valores, IAttachment* att, ITransaction* tra) {
    TMensagemEntrada m;
    const unsigned n = entrada->getCount(st);
    if (n == 0) return m;
    fb::TRef<IMetadataBuilder> construtor(entrada->getBuilder(st));
    for (unsigned i = 0; i < n; ++i) {
        const unsigned tipo = entrada->getType(st, i) & ~1u;
        if ((tipo == SQL_TEXT || tipo == SQL_VARYING) && !valores[i].nulo) {
            construtor->setType(st, i, SQL_VARYING);
            construtor->setLength(st, i, static_cast<unsigned>(std::max<std::size_t>(1, valores[i].texto.size())));
        }
    }
    m.meta.reset(construtor->getMetadata(st));
    m.dados.assign(m.meta->getMessageLength(st), 0);
    for (unsigned i = 0; i < n; ++i) {
        const TValorEntrada& v = valores[i];
        Gravar<std::int16_t>(m.dados, m.meta->getNullOffset(st, i), v.nulo ? -1 : 0);
        if (v.nulo) continue;
        const unsigned pos = m.meta->getOffset(st, i);
        switch (m.meta->getType(st, i) & ~1u) {
        case SQL_VARYING: {
            if (v.texto.size() > 32767) throw EErroBD("Texto longo demais para um par\xE2metro.");
            Gravar<std::uint16_t>(m.dados, pos, static_cast<std::uint16_t>(v.texto.size()));
            std::memcpy(m.dados.data() + pos + 2, v.texto.data(), v.texto.size());
            break;
        }
        case SQL_SHORT:
            Gravar<std::int16_t>(m.dados, pos, static_cast<std::int16_t>(v.inteiro));
            break;
        case SQL_LONG:
            Gravar<std::int32_t>(m.dados, pos, static_cast<std::int32_t>(v.inteiro));
            break;
        case SQL_INT64:
            Gravar<std::int64_t>(m.dados, pos, v.inteiro);
            break;
        case SQL_FLOAT:
            Gravar<float>(m.dados, pos, static_cast<float>(v.real));
            break;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            Gravar<double>(m.dados, pos, v.real);
            break;
        case SQL_TYPE_DATE:
            Gravar<ISC_DATE>(m.dados, pos, fb::ParaData(v.dataHora));
            break;
        case SQL_TYPE_TIME:
            Gravar<ISC_TIME>(m.dados, pos, fb::ParaHora(v.dataHora));
            break;
        case SQL_TIMESTAMP:
            Gravar<ISC_TIMESTAMP>(m.dados, pos, fb::ParaDataHora(v.dataHora));
            break;
        case SQL_BOOLEAN:
            Gravar<FB_BOOLEAN>(m.dados, pos, v.inteiro ? FB_TRUE : FB_FALSE);
            break;
        case SQL_BLOB: {
            ISC_QUAD id{};
            GravarBlob(st, att, tra, v.texto, id);
            Gravar<ISC_QUAD>(m.dados, pos, id);
            break;
        }
        default:
            break;
        }
    }
    return m;
}

std::vector<TVariante> LerLinha(ThrowStatusWrapper* st, IMessageMetadata* saida, const unsigned char* buf,
                                IAttachment* att, ITransaction* tra) {
    const unsigned n = saida->getCount(st);
    std::vector<TVariante> linha(n);
    for (unsigned i = 0; i < n; ++i) {
        if (Ler<std::int16_t>(buf, saida->getNullOffset(st, i)) != 0) continue;  // NULL
        const unsigned pos = saida->getOffset(st, i);
        const int escala = saida->getScale(st, i);
        switch (saida->getType(st, i) & ~1u) {
        case SQL_TEXT:
            linha[i] = std::string(reinterpret_cast<const char*>(buf + pos), saida->getLength(st, i));
            break;
        case SQL_VARYING:
            linha[i] = std::string(reinterpret_cast<const char*>(buf + pos + 2), Ler<std::uint16_t>(buf, pos));
            break;
        case SQL_SHORT:
            linha[i] = Inteiro(Ler<std::int16_t>(buf, pos), escala);
            break;
        case SQL_LONG:
            linha[i] = Inteiro(Ler<std::int32_t>(buf, pos), escala);
            break;
        case SQL_INT64:
            linha[i] = Inteiro(Ler<std::int64_t>(buf, pos), escala);
            break;
        case SQL_FLOAT:
            linha[i] = static_cast<double>(Ler<float>(buf, pos));
            break;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            linha[i] = Ler<double>(buf, pos);
            break;
        case SQL_TYPE_DATE:
            linha[i] = fb::DeData(Ler<ISC_DATE>(buf, pos));
            break;
        case SQL_TYPE_TIME:
            linha[i] = fb::DeHora(Ler<ISC_TIME>(buf, pos));
            break;
        case SQL_TIMESTAMP:
            linha[i] = fb::DeDataHora(Ler<ISC_TIMESTAMP>(buf, pos));
            break;
        case SQL_BOOLEAN:
            linha[i] = static_cast<std::int32_t>(Ler<FB_BOOLEAN>(buf, pos) ? 1 : 0);
            break;
        case SQL_BLOB:
            linha[i] = LerBlob(st, att, tra, Ler<ISC_QUAD>(buf, pos));
            break;
        default:
            break;  // SQL_NULL and anything unknown read as NULL
        }
    }
    return linha;
}

}  // namespace

void TQuery::Registrar() {
    if (!conexao_.Observada()) return;
    TRegistroBD r;
    r.sql = sql_;
    r.parametros = impl_->vinculos;
    conexao_.Registrar(transacao_, std::move(r));
}

void TQuery::Rodar() {
    Fechar();
    Registrar();
    Preparar();
    IAttachment* att = conexao_.Attachment();
    ITransaction* tra = transacao_.Obter();
    std::vector<std::vector<TVariante>> linhas;
    // The bound counts from the statement's start, and again from each row
    // fetched: a long result that keeps coming is no hung server.
    conexao_.ChamarComLimite([&](TLimiteBanco::TChamada& chamada) { fb::Chamar([&](ThrowStatusWrapper* st) {
        TMensagemEntrada entrada = MontarEntrada(st, impl_->entrada.get(), impl_->valores, att, tra);
        IMessageMetadata* saida = impl_->saida.get();
        std::vector<unsigned char> buf(saida->getMessageLength(st));
        if (EhSelect(impl_->tipo)) {
            fb::TRef<IResultSet> cursor(impl_->comando->openCursor(st, tra, entrada.meta.get(),
                                                                   entrada.dados.data(), saida, 0));
            while (cursor->fetchNext(st, buf.data()) == IStatus::RESULT_OK) {
                linhas.push_back(LerLinha(st, saida, buf.data(), att, tra));
                chamada.Renovar();
            }
            cursor->close(st);
            cursor.release();
        } else {
            const bool comSaida = saida->getCount(st) > 0;
            impl_->comando->execute(st, tra, entrada.meta.get(), entrada.dados.data(), comSaida ? saida : nullptr,
                                    comSaida ? buf.data() : nullptr);
            if (comSaida) linhas.push_back(LerLinha(st, saida, buf.data(), att, tra));
        }
    }); });
    linhas_ = std::move(linhas);
    linhaAtual_ = 0;
    aberta_ = EhSelect(impl_->tipo) || !linhas_.empty();
}

void TQuery::Abrir() { Rodar(); }

void TQuery::Executar() { Rodar(); }

void TQuery::Fechar() {
    linhas_.clear();
    linhaAtual_ = 0;
    aberta_ = false;
}

TVariante TQuery::Campo(const std::string& nome) const {
    for (std::size_t i = 0; i < campos_.size(); ++i)
        if (MesmoNome(campos_[i].Nome, nome)) return Campo(i);
    throw EErro("Campo '" + nome + "' n\xE3o encontrado.");
}

TVariante TQuery::Campo(std::size_t indice) const {
    if (indice >= campos_.size()) throw EErro("Campo " + std::to_string(indice) + " n\xE3o encontrado.");
    if (Fim()) throw EErro("N\xE3o h\xE1 linha atual na consulta.");
    return linhas_[linhaAtual_][indice];
}
