// Values that travel between the core, the request tables and the laboratory
// database: a date-time and a variant (null, 32-bit integer, floating point,
// text, date-time). Text is always Windows-1252, one byte a character.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

// A local date and time, counted in milliseconds from 30/12/1899 00:00 (the
// "zero" date of the laboratory's other system). A date without time of day is
// a whole number of days; a time of day alone is a value below one day.
class TDataHora {
public:
    static constexpr std::int64_t MsPorDia = 86400000;

    constexpr TDataHora() = default;
    constexpr explicit TDataHora(std::int64_t ms) : ms_(ms) {}

    // Builds a date-time; throws std::invalid_argument for an impossible date
    // or time (31/02, 24:00, ...).
    static TDataHora De(int ano, int mes, int dia, int hora = 0, int minuto = 0, int segundo = 0,
                        int milissegundo = 0);
    // Only a time of day (no date part).
    static TDataHora Hora(int hora, int minuto, int segundo = 0);
    // The machine's local clock.
    static TDataHora Agora();
    static TDataHora Hoje();

    static bool DataValida(int ano, int mes, int dia);

    constexpr std::int64_t Ms() const { return ms_; }
    // The date part (time of day dropped) and the time-of-day part.
    TDataHora ParteData() const;
    TDataHora ParteHora() const;
    int Ano() const;
    int Mes() const;
    int Dia() const;
    int Horas() const;
    int Minutos() const;
    int Segundos() const;
    int Milissegundos() const;
    // 1 = Sunday ... 7 = Saturday.
    int DiaDaSemana() const;

    TDataHora MaisDias(double dias) const;
    TDataHora MaisMs(std::int64_t ms) const { return TDataHora(ms_ + ms); }

    // "dd/mm/yyyy", "hh:nn:ss", "dd/mm/yyyy hh:nn", "dd/mm/yyyy hh:nn:ss".
    std::string FormatarData() const;
    std::string FormatarHora() const;
    std::string FormatarDataHoraMinuto() const;
    std::string FormatarDataHora() const;

    friend constexpr auto operator<=>(const TDataHora&, const TDataHora&) = default;

private:
    std::int64_t ms_ = 0;
};

// Parses "d/m/yyyy" (one or two digits for day and month, four for the year).
std::optional<TDataHora> LerData(const std::string& texto);
// Parses "h:nn" or "h:nn:ss" on the 24-hour clock.
std::optional<TDataHora> LerHora(const std::string& texto);
// Parses a date optionally followed by a blank and a time.
std::optional<TDataHora> LerDataHora(const std::string& texto);

struct TNulo {
    friend constexpr bool operator==(const TNulo&, const TNulo&) = default;
};

// A value as the database and the request tables see it.
using TVariante = std::variant<TNulo, std::int32_t, double, std::string, TDataHora>;

inline bool EhNulo(const TVariante& v) { return std::holds_alternative<TNulo>(v); }

// Numbers in text, read and written the same way whatever the process
// locale (the window toolkit sets it from the environment: pt_BR has a
// decimal comma).
//
// The whole number the text holds: optional leading blanks, an optional "+"
// or "-", then decimal digits, or hexadecimal digits after "$", "x" or "0x"
// (x in either case); nothing may follow. nullopt for the empty text, any
// other form (a decimal comma or point included) and a value outside
// [minimo, maximo].
std::optional<std::int64_t> LerNumeroInteiro(const std::string& texto, std::int64_t minimo, std::int64_t maximo);
// The real number the text holds, blanks around it ignored: a whole number as
// above, or decimal digits with a decimal comma ("2,5", "1.234,56": points
// before a comma group thousands) or a decimal point ("2.5"), optionally
// with an exponent. nullopt for anything else, infinities and NaN included.
std::optional<double> LerNumeroReal(const std::string& texto);
// Up to 15 significant digits, a decimal comma: 2.5 -> "2,5", 40.3 -> "40,3".
std::string FormatarNumeroReal(double valor);

// Conversions as the original client layer made them. Each throws EErro with
// a Portuguese description when the value cannot be converted.
std::string VariantParaTexto(const TVariante& v);          // null -> ""
// A whole number only: "123" and "0x1F" (as LerNumeroInteiro) or a real
// without fraction; "301,6" and 301.6 are errors, never rounded.
std::int32_t VariantParaInteiro(const TVariante& v);       // null -> error; "123" -> 123
double VariantParaReal(const TVariante& v);                // null -> error; "2,5" or "2.5" -> 2.5
TDataHora VariantParaDataHora(const TVariante& v);         // null -> error; "dd/mm/yyyy[ hh:nn[:ss]]"
