// Text conversion between the core (Windows-1252, one byte a character) and
// the edges (UTF-8 from XML and for the window). The only place that converts.
#pragma once

#include <string>
#include <string_view>

// UTF-8 to Windows-1252. A character Windows-1252 cannot hold, and an invalid
// UTF-8 sequence, become "?".
std::string Utf8ParaCp1252(std::string_view utf8);

// Windows-1252 to UTF-8. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD.
std::string Cp1252ParaUtf8(std::string_view cp1252);

// Upper and lower case of the letters a to z only; every other byte unchanged.
std::string MaiusculasAZ(std::string_view texto);
std::string MinusculasAZ(std::string_view texto);

// Upper case as the window's toolkit makes it for Windows-1252 text: a-z and
// the accented letters (à-þ except ÷, plus š, œ, ž, ÿ).
std::string Maiusculas(std::string_view texto);

// Compares ignoring the case of the letters (as Maiusculas).
bool IguaisSemCaixa(std::string_view a, std::string_view b);
