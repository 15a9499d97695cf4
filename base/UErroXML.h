// The XML parser's ground for every XML file the system reads (request
// files, config.xml): Portuguese descriptions of its errors, and the
// encodings it is given.
#pragma once

#include <string>

#include <libxml/xmlerror.h>

// The description of a libxml2 error in Portuguese (Windows-1252), with the
// names and lines the error carries, e.g. "Fim prematuro dos dados na tag
// solicitacao (linha 2)". A rare error keeps the parser's English text after
// a Portuguese lead: "Documento mal formado (código 55): ...".
std::string DescricaoErroXML(const xmlError& erro);

// Gives the XML parser the Windows-1252 decoding of this system
// (Cp1252ParaUtf8EmPartes) under the names "windows-1252", "cp1252" and
// "x-cp1252" (letter case ignored), whether or not the platform's own
// converters know them: the same decoding on every platform, the undefined
// bytes refused as the parser's encoding error. Once a process; call before
// parsing. Never throws.
void PrepararCodificacoesXML();
