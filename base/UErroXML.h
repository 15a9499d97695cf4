// Portuguese descriptions of the XML parser's errors, for every XML file the
// system reads (request files, config.xml).
#pragma once

#include <string>

#include <libxml/xmlerror.h>

// The description of a libxml2 error in Portuguese (Windows-1252), with the
// names and lines the error carries, e.g. "Fim prematuro dos dados na tag
// solicitacao (linha 2)". A rare error keeps the parser's English text after
// a Portuguese lead: "Documento mal formado (código 55): ...".
std::string DescricaoErroXML(const xmlError& erro);
