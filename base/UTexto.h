// Text conversion between the core (Windows-1252, one byte a character) and
// the edges (UTF-8 from XML and for the window, file-system names, the C
// library's texts in the locale's encoding, files in any declared encoding).
// The only place that converts.
#pragma once

#include <string>
#include <string_view>

// UTF-8 to Windows-1252. A character Windows-1252 cannot hold, and an invalid
// UTF-8 sequence, become "?".
std::string Utf8ParaCp1252(std::string_view utf8);

// Windows-1252 to UTF-8. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD.
std::string Cp1252ParaUtf8(std::string_view cp1252);

// Windows-1252 to UTF-8 in the shape of the XML parser's input conversions
// (libxml2's xmlCharEncodingInputFunc): converts from `entrada`
// (*tamEntrada bytes) into `saida` (room for *tamSaida bytes) as many whole
// characters as fit, then sets *tamEntrada to the bytes read and *tamSaida to
// the bytes written and returns the latter. A byte the code page leaves
// undefined stops the conversion there: -2, with *tamEntrada the bytes read
// before it, so the parser reports the file's bytes at that point.
int Cp1252ParaUtf8EmPartes(unsigned char* saida, int* tamSaida, const unsigned char* entrada, int* tamEntrada);

// Upper and lower case of the letters a to z only; every other byte unchanged.
std::string MaiusculasAZ(std::string_view texto);
std::string MinusculasAZ(std::string_view texto);

// Upper case as the window's toolkit makes it for Windows-1252 text: a-z and
// the accented letters (à-þ except ÷, plus š, œ, ž, ÿ).
std::string Maiusculas(std::string_view texto);

// Compares ignoring the case of the letters (as Maiusculas).
bool IguaisSemCaixa(std::string_view a, std::string_view b);

// ---- the edges of the system ----

// The display text of a file-system name or path (UTF-8 bytes, the
// convention of the file system and of the window's toolkit). A character
// Windows-1252 lacks, and a byte that is no UTF-8, become "?". The result is
// for showing and logging only: nothing may open it (open the real name).
std::string NomeArquivoParaCp1252(std::string_view nome);

// A text of the C library (error descriptions and the like) from the
// encoding of the process locale (nl_langinfo(CODESET), LC_CTYPE) to
// Windows-1252; what that encoding cannot decode, or Windows-1252 cannot
// hold, becomes "?".
std::string LocalParaCp1252(std::string_view texto);

// The system's description of the errno value `erro` in the language of the
// process locale ("Permissão negada" under pt_BR), in Windows-1252.
std::string DescricaoErroSistema(int erro);

// The bytes `dados` in the encoding named `codificacao` (an iconv name such
// as "UTF-8", "UTF-16LE", "ISO-8859-15"; letter case ignored) converted to
// Windows-1252. A Latin-1 label reads as Windows-1252 (see EhRotuloLatin1).
// Each byte sequence that cannot be decoded becomes one "?" and the
// conversion goes on; an encoding unknown to the system reads as UTF-8.
std::string ConverterParaCp1252(std::string_view dados, std::string_view codificacao);

// Whether `rotulo` names ISO-8859-1 ("ISO-8859-1", "latin1", "l1",
// "iso_8859-1:1987", "cp819", ...; letter case ignored). Files so labelled
// are read as Windows-1252, which differs only in 0x80-0x9F (control codes in
// ISO-8859-1, the euro sign, curly quotes and dashes in Windows-1252): the
// common convention, since senders that write those bytes mean Windows-1252.
bool EhRotuloLatin1(std::string_view rotulo);
