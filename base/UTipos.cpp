#include "base/UTipos.h"

#include <cctype>
#include <charconv>
#include <limits>
#include <system_error>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "base/UErro.h"

namespace {

// Days from 01/01/0001 (proleptic Gregorian) to the date; from Howard
// Hinnant's civil-days algorithm, shifted so that 30/12/1899 is day 0.
std::int64_t DiasDesdeCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;  // days since 1970-01-01
}

constexpr std::int64_t Dias1899a1970 = 25569;  // 30/12/1899 .. 01/01/1970

void CivilDeDias(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

std::int64_t DiaDe(std::int64_t ms) {
    // Floor division, so that times before 1899 still split correctly.
    return ms >= 0 ? ms / TDataHora::MsPorDia : -((-ms + TDataHora::MsPorDia - 1) / TDataHora::MsPorDia);
}

std::int64_t MsDoDia(std::int64_t ms) { return ms - DiaDe(ms) * TDataHora::MsPorDia; }

std::string Dois(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

// Reads an unsigned number of 1..maxDigitos digits at texto[pos].
bool LerNumero(const std::string& t, std::size_t& pos, int maxDigitos, int& valor) {
    std::size_t inicio = pos;
    valor = 0;
    while (pos < t.size() && std::isdigit(static_cast<unsigned char>(t[pos])) &&
           pos - inicio < static_cast<std::size_t>(maxDigitos)) {
        valor = valor * 10 + (t[pos] - '0');
        ++pos;
    }
    return pos > inicio;
}

std::string Aparar(const std::string& t) {
    std::size_t a = 0, b = t.size();
    while (a < b && std::isspace(static_cast<unsigned char>(t[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(t[b - 1]))) --b;
    return t.substr(a, b - a);
}

}  // namespace

bool TDataHora::DataValida(int ano, int mes, int dia) {
    if (ano < 1 || ano > 9999 || mes < 1 || mes > 12 || dia < 1) return false;
    static const int dias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int max = dias[mes - 1];
    if (mes == 2 && ((ano % 4 == 0 && ano % 100 != 0) || ano % 400 == 0)) max = 29;
    return dia <= max;
}

TDataHora TDataHora::De(int ano, int mes, int dia, int hora, int minuto, int segundo, int milissegundo) {
    if (!DataValida(ano, mes, dia)) throw std::invalid_argument("data inv\xE1""lida");
    if (hora < 0 || hora > 23 || minuto < 0 || minuto > 59 || segundo < 0 || segundo > 59 ||
        milissegundo < 0 || milissegundo > 999)
        throw std::invalid_argument("hora inv\xE1""lida");
    const std::int64_t dias = DiasDesdeCivil(ano, static_cast<unsigned>(mes), static_cast<unsigned>(dia)) + Dias1899a1970;
    return TDataHora(dias * MsPorDia + ((hora * 60 + minuto) * 60 + segundo) * 1000LL + milissegundo);
}

TDataHora TDataHora::Hora(int hora, int minuto, int segundo) {
    if (hora < 0 || hora > 23 || minuto < 0 || minuto > 59 || segundo < 0 || segundo > 59)
        throw std::invalid_argument("hora inv\xE1""lida");
    return TDataHora(((hora * 60 + minuto) * 60 + segundo) * 1000LL);
}

TDataHora TDataHora::Agora() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    return De(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
              tm.tm_sec > 59 ? 59 : tm.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

TDataHora TDataHora::Hoje() { return Agora().ParteData(); }

TDataHora TDataHora::ParteData() const { return TDataHora(DiaDe(ms_) * MsPorDia); }
TDataHora TDataHora::ParteHora() const { return TDataHora(MsDoDia(ms_)); }

int TDataHora::Ano() const {
    int y, m, d;
    CivilDeDias(DiaDe(ms_) - Dias1899a1970, y, m, d);
    return y;
}
int TDataHora::Mes() const {
    int y, m, d;
    CivilDeDias(DiaDe(ms_) - Dias1899a1970, y, m, d);
    return m;
}
int TDataHora::Dia() const {
    int y, m, d;
    CivilDeDias(DiaDe(ms_) - Dias1899a1970, y, m, d);
    return d;
}
int TDataHora::Horas() const { return static_cast<int>(MsDoDia(ms_) / 3600000); }
int TDataHora::Minutos() const { return static_cast<int>(MsDoDia(ms_) / 60000 % 60); }
int TDataHora::Segundos() const { return static_cast<int>(MsDoDia(ms_) / 1000 % 60); }
int TDataHora::Milissegundos() const { return static_cast<int>(MsDoDia(ms_) % 1000); }

int TDataHora::DiaDaSemana() const {
    // 30/12/1899 was a Saturday (7).
    std::int64_t r = (DiaDe(ms_) + 6) % 7;
    if (r < 0) r += 7;
    return static_cast<int>(r) + 1;
}

TDataHora TDataHora::MaisDias(double dias) const {
    return TDataHora(ms_ + static_cast<std::int64_t>(std::llround(dias * MsPorDia)));
}

std::string TDataHora::FormatarData() const {
    return Dois(Dia()) + "/" + Dois(Mes()) + "/" + std::to_string(Ano());
}
std::string TDataHora::FormatarHora() const {
    return Dois(Horas()) + ":" + Dois(Minutos()) + ":" + Dois(Segundos());
}
std::string TDataHora::FormatarDataHoraMinuto() const {
    return FormatarData() + " " + Dois(Horas()) + ":" + Dois(Minutos());
}
std::string TDataHora::FormatarDataHora() const { return FormatarData() + " " + FormatarHora(); }

std::optional<TDataHora> LerData(const std::string& texto) {
    const std::string t = Aparar(texto);
    std::size_t p = 0;
    int d, m, a;
    if (!LerNumero(t, p, 2, d) || p >= t.size() || t[p] != '/') return std::nullopt;
    ++p;
    if (!LerNumero(t, p, 2, m) || p >= t.size() || t[p] != '/') return std::nullopt;
    ++p;
    const std::size_t inicioAno = p;
    if (!LerNumero(t, p, 4, a) || p != t.size() || p - inicioAno != 4) return std::nullopt;
    if (!TDataHora::DataValida(a, m, d)) return std::nullopt;
    return TDataHora::De(a, m, d);
}

std::optional<TDataHora> LerHora(const std::string& texto) {
    const std::string t = Aparar(texto);
    std::size_t p = 0;
    int h, n, s = 0;
    if (!LerNumero(t, p, 2, h) || p >= t.size() || t[p] != ':') return std::nullopt;
    ++p;
    std::size_t inicio = p;
    if (!LerNumero(t, p, 2, n) || p - inicio != 2) return std::nullopt;
    if (p < t.size()) {
        if (t[p] != ':') return std::nullopt;
        ++p;
        inicio = p;
        if (!LerNumero(t, p, 2, s) || p - inicio != 2 || p != t.size()) return std::nullopt;
    }
    if (h > 23 || n > 59 || s > 59) return std::nullopt;
    return TDataHora::Hora(h, n, s);
}

std::optional<TDataHora> LerDataHora(const std::string& texto) {
    const std::string t = Aparar(texto);
    const std::size_t espaco = t.find(' ');
    if (espaco == std::string::npos) return LerData(t);
    auto d = LerData(t.substr(0, espaco));
    auto h = LerHora(t.substr(espaco + 1));
    if (!d || !h) return std::nullopt;
    return TDataHora(d->Ms() + h->Ms());
}

namespace {

int ValorDigito(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}


}  // namespace

std::optional<std::int64_t> LerNumeroInteiro(const std::string& texto, std::int64_t minimo, std::int64_t maximo) {
    std::size_t i = 0;
    const std::size_t n = texto.size();
    while (i < n && texto[i] == ' ') ++i;
    bool negativo = false;
    if (i < n && (texto[i] == '+' || texto[i] == '-')) negativo = texto[i++] == '-';
    int base = 10;
    if (i < n && (texto[i] == '$' || texto[i] == 'x' || texto[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && texto[i] == '0' && (texto[i + 1] == 'x' || texto[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == n) return std::nullopt;
    // The magnitude is gathered as unsigned, so that the most negative value
    // of the range still fits.
    const std::uint64_t limite = negativo ? static_cast<std::uint64_t>(-(minimo + 1)) + 1
                                          : static_cast<std::uint64_t>(maximo < 0 ? 0 : maximo);
    if (negativo && minimo >= 0) return std::nullopt;
    std::uint64_t valor = 0;
    for (; i < n; ++i) {
        const int digito = ValorDigito(texto[i], base);
        if (digito < 0 || static_cast<std::uint64_t>(digito) > limite) return std::nullopt;
        if (valor > (limite - static_cast<std::uint64_t>(digito)) / static_cast<std::uint64_t>(base))
            return std::nullopt;
        valor = valor * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digito);
    }
    if (negativo) return valor == 0 ? 0 : -static_cast<std::int64_t>(valor - 1) - 1;
    if (static_cast<std::int64_t>(valor) < minimo) return std::nullopt;
    return static_cast<std::int64_t>(valor);
}

std::optional<double> LerNumeroReal(const std::string& texto) {
    std::string t = Aparar(texto);
    if (t.empty()) return std::nullopt;
    if (auto inteiro = LerNumeroInteiro(t, std::numeric_limits<std::int64_t>::min(),
                                        std::numeric_limits<std::int64_t>::max()))
        return static_cast<double>(*inteiro);
    // "1.234,56" and "2,5" (Brazilian) or "2.5".
    if (t.find(',') != std::string::npos) {
        std::string u;
        for (char c : t)
            if (c != '.') u += (c == ',' ? '.' : c);
        t = u;
    }
    std::size_t inicio = 0;
    if (t[0] == '+') {
        inicio = 1;
        if (t.size() > 1 && t[1] == '-') return std::nullopt;
    }
    // Only digits, one point, a sign and an exponent: from_chars alone would
    // also take "inf", "nan" and hexadecimal forms.
    for (std::size_t k = inicio; k < t.size(); ++k) {
        const char c = t[k];
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' ||
              c == 'E'))
            return std::nullopt;
    }
    double r = 0;
    const char* fim = t.data() + t.size();
    const auto [ptr, erro] = std::from_chars(t.data() + inicio, fim, r, std::chars_format::general);
    if (erro != std::errc() || ptr != fim || !std::isfinite(r)) return std::nullopt;
    return r;
}

std::string FormatarNumeroReal(double valor) {
    char b[64];
    const auto [ptr, erro] = std::to_chars(b, b + sizeof b, valor, std::chars_format::general, 15);
    std::string s = erro == std::errc() ? std::string(b, ptr) : std::string("0");
    // Decimal comma, as the Brazilian installation writes numbers.
    for (char& c : s)
        if (c == '.') c = ',';
    return s;
}

std::string VariantParaTexto(const TVariante& v) {
    struct V {
        std::string operator()(const TNulo&) const { return ""; }
        std::string operator()(std::int32_t i) const { return std::to_string(i); }
        std::string operator()(double d) const { return FormatarNumeroReal(d); }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const TDataHora& d) const {
            if (d.ParteHora().Ms() == 0) return d.FormatarData();
            if (d.ParteData().Ms() == 0) return d.FormatarHora();
            return d.FormatarDataHora();
        }
    };
    return std::visit(V{}, v);
}

std::int32_t VariantParaInteiro(const TVariante& v) {
    if (auto i = std::get_if<std::int32_t>(&v)) return *i;
    if (auto d = std::get_if<double>(&v)) {
        if (!(*d >= -2147483648.0 && *d <= 2147483647.0))
            throw EErro("Valor fora da faixa de um n\xFA""mero inteiro: " + VariantParaTexto(v));
        // A code is never rounded into another one.
        if (std::trunc(*d) != *d)
            throw EErro("'" + VariantParaTexto(v) + "' n\xE3""o \xE9"" um n\xFA""mero inteiro v\xE1""lido");
        return static_cast<std::int32_t>(*d);
    }
    if (auto s = std::get_if<std::string>(&v)) {
        if (auto r = LerNumeroInteiro(Aparar(*s), std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max()))
            return static_cast<std::int32_t>(*r);
        throw EErro("'" + *s + "' n\xE3""o \xE9"" um n\xFA""mero inteiro v\xE1""lido");
    }
    if (EhNulo(v)) throw EErro("N\xE3""o \xE9"" poss\xED""vel converter um valor nulo em n\xFA""mero inteiro");
    throw EErro("N\xE3""o \xE9"" poss\xED""vel converter data em n\xFA""mero inteiro");
}

double VariantParaReal(const TVariante& v) {
    if (auto i = std::get_if<std::int32_t>(&v)) return *i;
    if (auto d = std::get_if<double>(&v)) return *d;
    if (auto s = std::get_if<std::string>(&v)) {
        if (auto r = LerNumeroReal(*s)) return *r;
        throw EErro("'" + *s + "' n\xE3""o \xE9"" um n\xFA""mero v\xE1""lido");
    }
    if (auto d = std::get_if<TDataHora>(&v)) return static_cast<double>(d->Ms()) / TDataHora::MsPorDia;
    throw EErro("N\xE3""o \xE9"" poss\xED""vel converter um valor nulo em n\xFA""mero");
}

TDataHora VariantParaDataHora(const TVariante& v) {
    if (auto d = std::get_if<TDataHora>(&v)) return *d;
    if (auto s = std::get_if<std::string>(&v)) {
        if (auto d = LerDataHora(*s)) return *d;
        if (auto h = LerHora(*s)) return *h;
        throw EErro("'" + *s + "' n\xE3""o \xE9"" uma data v\xE1""lida");
    }
    if (auto i = std::get_if<std::int32_t>(&v)) return TDataHora(static_cast<std::int64_t>(*i) * TDataHora::MsPorDia);
    if (auto d = std::get_if<double>(&v))
        return TDataHora(static_cast<std::int64_t>(std::llround(*d * TDataHora::MsPorDia)));
    throw EErro("N\xE3""o \xE9"" poss\xED""vel converter um valor nulo em data");
}
