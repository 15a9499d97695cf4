// Small value operations shared by the validation and the importers, and the
// two folder operations of the inbox scan. Texts are Windows-1252; paths are
// the file system's own bytes, folders separated by "/".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/UTipos.h"

// ---- values ----

// The signed 32-bit integer the text holds: optional leading blanks, an
// optional "+" or "-", then decimal digits, or hexadecimal digits after "$",
// "x" or "0x" (x in either case); nothing may follow. nullopt for the empty
// text, any other form, and a value outside the 32-bit range.
std::optional<std::int32_t> LerInteiro(const std::string& texto);
// Whether LerInteiro gives a value.
bool EhInteiro(const std::string& texto);

// Whether the text is a valid calendar date "d/m/yyyy" (day and month with
// one or two digits, the year with four). 31/02/2009 and "" are no dates.
bool EhData(const std::string& texto);

// A text of exactly 9 characters unchanged; any other becomes its characters
// 1 to 5, "-", and 6 to 8 (as far as they exist): "12345678" -> "12345-678".
std::string FormatarCEP(const std::string& texto);

// A text of exactly 14 characters unchanged; any other becomes characters 1-3
// "." 4-6 "." 7-9 "-" 10-11 (as far as they exist):
// "12345678901" -> "123.456.789-01".
std::string FormatarCPF(const std::string& texto);

// The text with `caractere` put in front until it is at least `tamanho`
// characters long; a long enough text is returned unchanged.
std::string CompletarEsquerda(const std::string& texto, std::size_t tamanho, char caractere);

// The first non-empty text as a text value; null when all are empty.
TVariante PrimeiroPreenchido(const std::vector<std::string>& textos);

// `valor1` when `condicao` holds, else `valor2`.
TVariante Escolher(bool condicao, const TVariante& valor1, const TVariante& valor2);

// ---- folders ----

// One listed file: its full path and its last-write time (local time).
struct TFile {
    std::string Caminho;
    TDataHora DataHora;
};

// The regular files directly in `pasta` (subfolders are not entered, hidden
// files are included) whose names match the wildcard `mascara` ("*" any run
// of characters, "?" one character, letter case ignored), in the order the
// system lists them. `Caminho` is `pasta` and the name joined by one "/".
// A missing folder gives an empty list; a file that disappears while the
// folder is listed is left out. Throws EErro (with the system's description)
// when the folder cannot be read or a file's time cannot be read.
std::vector<TFile> ListarArquivos(const std::string& pasta, const std::string& mascara);

// The file's last-write time in local time. Throws EErro with the system's
// description when it cannot be read.
TDataHora DataArquivo(const std::string& caminho);

// Whether `nome` matches the wildcard `mascara` ("*", "?"), ignoring the
// case of the letters a to z.
bool CombinaMascara(const std::string& nome, const std::string& mascara);
