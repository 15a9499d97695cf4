// Reading request files with libxml2: a parsed document that refuses what an
// untrusted file must not do (entity declarations, external DTDs, network),
// the walk helpers the reader needs, and the value lookup LerValorXML.
#pragma once

#include <cstddef>
#include <string>

#include <libxml/tree.h>

// One parsed XML file, released with the object.
//
// The parse takes the encoding named by the XML declaration (UTF-8 without
// one; windows-1252 and others), a label of ISO-8859-1 read as Windows-1252
// (see EhRotuloLatin1: 0x80-0x9F keep the euro sign, quotes and dashes),
// never touches the network,
// loads no external DTD or entity and expands no entity beyond the five
// predefined ones and character references. A document type declaration that
// names an external DTD, or that declares any entity (an "entity bomb", an
// external entity naming a local file), makes the file one that cannot be
// parsed: nothing outside the file is read. Text nodes made only of blanks,
// tabs and line ends are dropped, so indentation between elements is free;
// CDATA sections, comments and processing instructions stay as nodes.
class TDocumentoXML {
public:
    // The largest request file read, in bytes (10 MB, some four thousand
    // requests). A larger file is refused before it is parsed: it would hold
    // the window for minutes at each reading and take gigabytes of memory.
    static constexpr std::size_t TamanhoMaximo = 10 * 1024 * 1024;

    // Reads and parses the file at `caminho`. Throws EErroXML when the file
    // cannot be read, is larger than TamanhoMaximo or is not well-formed
    // XML, with a Portuguese description holding the reason (the parser's
    // error told in Portuguese, with the line number and the start of the
    // offending line converted from the file's encoding; Windows-1252), e.g.
    // "Erro de XML na linha 3: Fim prematuro dos dados na tag solicitacao
    // (linha 2) - trecho: <data>01/02/2020</data>". A rare parser error keeps
    // the parser's English text after a Portuguese lead.
    explicit TDocumentoXML(const std::string& caminho);
    ~TDocumentoXML();
    TDocumentoXML(const TDocumentoXML&) = delete;
    TDocumentoXML& operator=(const TDocumentoXML&) = delete;

    // The document's root element (never null after a successful parse).
    xmlNode* Raiz() const;

private:
    xmlDoc* doc_ = nullptr;
};

// The element's name as written in the file (with its prefix, "p:nome").
std::string NomeNo(const xmlNode* no);
// Whether `no` is an element named `nome` (letter case significant).
bool EhElemento(const xmlNode* no, const std::string& nome);
// The first child element of `pai` named `nome`, or null (null `pai` too).
xmlNode* FilhoElemento(const xmlNode* pai, const std::string& nome);

// The value at `caminho` ("a/b/c", names of elements) below `elemento`, in
// Windows-1252:
// - the first child named after the first name, then for each further name
//   the first child with that name of the element found so far;
// - the last element missing: the empty text; an element before the last
//   missing: a failed lookup;
// - an element without child nodes: the empty text; otherwise by its first
//   child node: a text node that is its only child gives its text, a text
//   node followed by other nodes (mixed content) is a failed lookup, a CDATA
//   section gives its text (what follows it is ignored), anything else gives
//   the empty text.
// A failed lookup returns the empty text and logs, with Log::Gravar, the line
// Erro lendo "<caminho>".<CR>Erro: <description>. A log that cannot be
// written does not stop the lookup. Never throws for a missing or odd
// element.
std::string LerValorXML(const xmlNode* elemento, const std::string& caminho);
