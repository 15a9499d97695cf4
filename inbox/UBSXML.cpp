#include "inbox/UBSXML.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include "base/UErro.h"
#include "base/UErroXML.h"
#include "base/UTexto.h"
#include "log/ULog.h"

namespace {

// Why the parse was stopped by the guards below (empty: not stopped).
struct TGuarda {
    std::string motivo;
    // The parser's first error: the one that made the file unreadable (the
    // parser may go on and report consequences of it). Portuguese,
    // Windows-1252. linhaErro 0: not known yet (a conversion error of the
    // file's encoding has none; the parser's next error gives it).
    bool temErro = false;
    std::string mensagemErro;
    int linhaErro = 0;
    // The encoding the file's bytes are read in, for the descriptions.
    std::string codificacao;
};

void Parar(void* ctx, const std::string& motivo) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* guarda = static_cast<TGuarda*>(ctxt->_private);
    if (guarda->motivo.empty()) guarda->motivo = motivo;
    xmlStopParser(ctxt);
}

// <!DOCTYPE ...>: an external DTD (SYSTEM or PUBLIC) is refused before it
// could be looked at.
void SubconjuntoInterno(void* ctx, const xmlChar* nome, const xmlChar* idExterno, const xmlChar* idSistema) {
    if (idExterno || idSistema) {
        Parar(ctx, "o arquivo declara uma DTD externa, o que n\xE3o \xE9 permitido");
        return;
    }
    xmlSAX2InternalSubset(ctx, nome, idExterno, idSistema);
}

// Any entity declaration is refused: request files need none, and declared
// entities are how an entity bomb or a file-reading external entity works.
void DeclaracaoEntidade(void* ctx, const xmlChar* nome, int, const xmlChar*, const xmlChar*, xmlChar*) {
    Parar(ctx, "o arquivo declara a entidade '" + Utf8ParaCp1252(reinterpret_cast<const char*>(nome)) +
                   "', o que n\xE3o \xE9 permitido");
}

void DeclaracaoEntidadeNaoAnalisada(void* ctx, const xmlChar* nome, const xmlChar*, const xmlChar*,
                                    const xmlChar*) {
    DeclaracaoEntidade(ctx, nome, 0, nullptr, nullptr, nullptr);
}

std::string SemQuebraFinal(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

void GuardarErro(void* ctx, xmlErrorPtr erro) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* guarda = ctxt ? static_cast<TGuarda*>(ctxt->_private) : nullptr;
    // A namespace error leaves the document well-formed.
    if (!guarda || !erro || erro->level < XML_ERR_ERROR || erro->domain == XML_FROM_NAMESPACE) return;
    if (guarda->temErro) {
        if (guarda->linhaErro == 0) guarda->linhaErro = erro->line;
        return;
    }
    guarda->temErro = true;
    guarda->mensagemErro = DescricaoErroXML(*erro);
    guarda->linhaErro = erro->line;
}

// Bytes that the file's declared encoding cannot decode are reported by the
// conversion outside any parser context, to the thread's error handler.
void GuardarErroConversao(void* ctx, xmlErrorPtr erro) {
    auto* guarda = static_cast<TGuarda*>(ctx);
    if (!erro || erro->domain != XML_FROM_I18N || erro->level < XML_ERR_ERROR || guarda->temErro) return;
    std::string bytes = erro->str1 ? SemQuebraFinal(erro->str1) : "";
    guarda->temErro = true;
    guarda->mensagemErro = "Bytes que a codifica\xE7\xE3o declarada (" + guarda->codificacao +
                           ") n\xE3o aceita" + (bytes.empty() ? std::string() : ": " + bytes);
    guarda->linhaErro = 0;
}

// Sends the thread's libxml2 errors to GuardarErroConversao while it lives.
class TCapturaErros {
public:
    explicit TCapturaErros(TGuarda& guarda)
        : anterior_(xmlStructuredError), contextoAnterior_(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(&guarda, GuardarErroConversao);
    }
    ~TCapturaErros() { xmlSetStructuredErrorFunc(contextoAnterior_, anterior_); }
    TCapturaErros(const TCapturaErros&) = delete;
    TCapturaErros& operator=(const TCapturaErros&) = delete;

private:
    xmlStructuredErrorFunc anterior_;
    void* contextoAnterior_;
};

// The encoding of the file's bytes as the parser takes it: a byte-order
// mark, else the label of the XML declaration, else UTF-8. A declaration
// readable as ASCII that names a 16- or 32-bit encoding is wrong about the
// bytes, which are then taken as UTF-8.
std::string CodificacaoDoArquivo(const std::string& c) {
    auto comeca = [&](std::string_view inicio) { return c.compare(0, inicio.size(), inicio) == 0; };
    if (comeca("\xEF\xBB\xBF")) return "UTF-8";
    if (comeca(std::string_view("\xFF\xFE\0\0", 4)) || comeca(std::string_view("\0\0\xFE\xFF", 4))) return "UTF-32";
    if (comeca("\xFF\xFE") || comeca("\xFE\xFF")) return "UTF-16";
    if (comeca(std::string_view("<\0?\0", 4))) return "UTF-16LE";
    if (comeca(std::string_view("\0<\0?", 4))) return "UTF-16BE";
    if (!comeca("<?xml")) return "UTF-8";
    const std::size_t fim = c.find("?>");
    const std::string declaracao = c.substr(0, std::min(fim, std::size_t{1024}));
    std::size_t p = declaracao.find("encoding");
    if (p == std::string::npos) return "UTF-8";
    p = declaracao.find_first_not_of(" \t\r\n", p + 8);
    if (p == std::string::npos || declaracao[p] != '=') return "UTF-8";
    p = declaracao.find_first_not_of(" \t\r\n", p + 1);
    if (p == std::string::npos || (declaracao[p] != '"' && declaracao[p] != '\'')) return "UTF-8";
    const std::size_t q = declaracao.find(declaracao[p], p + 1);
    if (q == std::string::npos) return "UTF-8";
    const std::string rotulo = declaracao.substr(p + 1, q - p - 1);
    const std::string minusculo = MinusculasAZ(rotulo);
    for (const char* largo : {"16", "32", "ucs-2", "ucs2", "ucs-4", "ucs4"})
        if (minusculo.find(largo) != std::string::npos) return "UTF-8";
    return rotulo;
}

bool SoEspacos(const xmlChar* texto) {
    if (!texto) return true;
    for (const xmlChar* p = texto; *p; ++p)
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') return false;
    return true;
}

void RemoverEspacos(xmlNode* no) {
    for (xmlNode* filho = no->children; filho;) {
        xmlNode* proximo = filho->next;
        if (filho->type == XML_TEXT_NODE && SoEspacos(filho->content)) {
            xmlUnlinkNode(filho);
            xmlFreeNode(filho);
        } else if (filho->type == XML_ELEMENT_NODE) {
            RemoverEspacos(filho);
        }
        filho = proximo;
    }
}

// The start of line `linha` (1-based) of the file, for the error text, in
// Windows-1252: the file's bytes converted from its encoding.
std::string TrechoDaLinha(const std::string& bytes, const std::string& codificacao, int linha) {
    if (linha < 1) return "";
    std::string_view origem = bytes;
    if (origem.substr(0, 3) == "\xEF\xBB\xBF") origem.remove_prefix(3);  // UTF-8 byte-order mark
    // Where a line end is the byte 0x0A, only the lines up to the one wanted
    // need converting.
    if (codificacao.find("16") == std::string::npos && codificacao.find("32") == std::string::npos) {
        std::size_t fimLinha = 0;
        for (int l = 0; l < linha && fimLinha != std::string_view::npos; ++l)
            fimLinha = origem.find('\n', l == 0 ? 0 : fimLinha + 1);
        if (fimLinha != std::string_view::npos) origem = origem.substr(0, fimLinha);
    }
    const std::string conteudo = ConverterParaCp1252(origem, codificacao);
    std::size_t inicio = 0;
    for (int l = 1; l < linha; ++l) {
        inicio = conteudo.find('\n', inicio);
        if (inicio == std::string::npos) return "";
        ++inicio;
    }
    std::size_t fim = conteudo.find_first_of("\r\n", inicio);
    if (fim == std::string::npos) fim = conteudo.size();
    std::string trecho = conteudo.substr(inicio, fim - inicio);
    // Keep the excerpt printable whatever the file's encoding.
    for (char& c : trecho)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    const std::size_t a = trecho.find_first_not_of(' ');
    return a == std::string::npos ? "" : trecho.substr(a, 60);
}

}  // namespace

TDocumentoXML::TDocumentoXML(const std::string& caminho) {
    const std::string nome = NomeArquivoParaCp1252(caminho);
    std::ifstream arquivo(caminho, std::ios::binary);
    if (!arquivo) {
        const int erro = errno;
        throw EErroXML("N\xE3o foi poss\xEDvel abrir o arquivo " + nome + ": " + DescricaoErroSistema(erro));
    }
    // At most one byte more than the limit is read, whatever the file's size
    // says (it may be growing, or not a regular file).
    std::string conteudo;
    char bloco[65536];
    while (conteudo.size() <= TamanhoMaximo) {
        arquivo.read(bloco, sizeof bloco);
        if (arquivo.gcount() <= 0) break;
        conteudo.append(bloco, static_cast<std::size_t>(arquivo.gcount()));
    }
    if (arquivo.bad()) throw EErroXML("N\xE3o foi poss\xEDvel ler o arquivo " + nome);
    if (conteudo.size() > TamanhoMaximo)
        throw EErroXML("Arquivo recusado: o arquivo tem mais de " + std::to_string(TamanhoMaximo / (1024 * 1024)) +
                       " MB, o limite de um arquivo de solicita\xE7\xF5" "es.");

    // A file labelled ISO-8859-1 is read as Windows-1252 (see EhRotuloLatin1):
    // its bytes go to the parser as UTF-8 and the label is ignored.
    TGuarda guarda;
    guarda.codificacao = CodificacaoDoArquivo(conteudo);
    const bool latin1 = EhRotuloLatin1(guarda.codificacao);
    if (latin1) {
        conteudo = Cp1252ParaUtf8(conteudo);
        guarda.codificacao = "UTF-8";
    }

    PrepararCodificacoesXML();
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) throw EErroXML("Mem\xF3ria insuficiente para ler o arquivo " + nome);
    ctxt->_private = &guarda;
    ctxt->sax->internalSubset = SubconjuntoInterno;
    ctxt->sax->entityDecl = DeclaracaoEntidade;
    ctxt->sax->unparsedEntityDecl = DeclaracaoEntidadeNaoAnalisada;
    ctxt->sax->serror = GuardarErro;

    // No XML_PARSE_NOENT (no entity substitution), no XML_PARSE_DTDLOAD,
    // XML_PARSE_DTDATTR or XML_PARSE_XINCLUDE.
    const int opcoes = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | (latin1 ? XML_PARSE_IGNORE_ENC : 0);
    xmlDoc* doc = nullptr;
    {
        const TCapturaErros captura(guarda);
        doc = xmlCtxtReadMemory(ctxt, conteudo.data(), static_cast<int>(conteudo.size()), nullptr,
                                latin1 ? "UTF-8" : nullptr, opcoes);
    }

    std::string erro;
    if (!guarda.motivo.empty()) {
        erro = "Arquivo recusado: " + guarda.motivo + " (linha " + std::to_string(xmlSAX2GetLineNumber(ctxt)) + ").";
    } else if (!doc || !ctxt->wellFormed) {
        const xmlError* e = xmlCtxtGetLastError(ctxt);
        int linha = e ? e->line : 0;
        std::string motivo = e ? DescricaoErroXML(*e) : "";
        if (guarda.temErro) {
            motivo = guarda.mensagemErro;
            if (guarda.linhaErro > 0) linha = guarda.linhaErro;
        }
        if (motivo.empty()) motivo = "documento XML inv\xE1lido";
        erro = "Erro de XML na linha " + std::to_string(linha) + ": " + motivo;
        const std::string trecho = TrechoDaLinha(conteudo, guarda.codificacao, linha);
        if (!trecho.empty()) erro += " - trecho: " + trecho;
    } else if (!xmlDocGetRootElement(doc)) {
        erro = "Documento XML sem elemento raiz";
    }
    xmlFreeParserCtxt(ctxt);
    if (!erro.empty()) {
        if (doc) xmlFreeDoc(doc);
        throw EErroXML(erro);
    }
    doc_ = doc;
    RemoverEspacos(xmlDocGetRootElement(doc_));
}

TDocumentoXML::~TDocumentoXML() {
    if (doc_) xmlFreeDoc(doc_);
}

xmlNode* TDocumentoXML::Raiz() const { return xmlDocGetRootElement(doc_); }

std::string NomeNo(const xmlNode* no) {
    std::string nome = reinterpret_cast<const char*>(no->name);
    if (no->type == XML_ELEMENT_NODE && no->ns && no->ns->prefix)
        nome = std::string(reinterpret_cast<const char*>(no->ns->prefix)) + ":" + nome;
    return nome;
}

bool EhElemento(const xmlNode* no, const std::string& nome) {
    return no && no->type == XML_ELEMENT_NODE && NomeNo(no) == nome;
}

xmlNode* FilhoElemento(const xmlNode* pai, const std::string& nome) {
    if (!pai) return nullptr;
    for (xmlNode* filho = pai->children; filho; filho = filho->next)
        if (EhElemento(filho, nome)) return filho;
    return nullptr;
}

namespace {

class EBusca : public EErro {
public:
    using EErro::EErro;
};

std::string Buscar(const xmlNode* elemento, const std::string& caminho) {
    std::vector<std::string> nomes;
    std::size_t inicio = 0;
    while (true) {
        const std::size_t barra = caminho.find('/', inicio);
        nomes.push_back(caminho.substr(inicio, barra == std::string::npos ? std::string::npos : barra - inicio));
        if (barra == std::string::npos) break;
        inicio = barra + 1;
    }
    const xmlNode* no = elemento;
    for (std::size_t i = 0; i < nomes.size(); ++i) {
        if (!no) throw EBusca("elemento '" + nomes[i - 1] + "' n\xE3o encontrado");
        no = FilhoElemento(no, nomes[i]);
    }
    if (!no || !no->children) return "";
    const xmlNode* primeiro = no->children;
    switch (primeiro->type) {
        case XML_TEXT_NODE:
            if (primeiro->next)
                throw EBusca("o elemento '" + nomes.back() + "' mistura texto com outros n\xF3s");
            return Utf8ParaCp1252(reinterpret_cast<const char*>(primeiro->content));
        case XML_CDATA_SECTION_NODE:
            return primeiro->content ? Utf8ParaCp1252(reinterpret_cast<const char*>(primeiro->content)) : "";
        default:
            return "";
    }
}

}  // namespace

std::string LerValorXML(const xmlNode* elemento, const std::string& caminho) {
    try {
        return Buscar(elemento, caminho);
    } catch (const EBusca& e) {
        try {
            Log::Gravar("Erro lendo \"" + caminho + "\".\rErro: " + e.what());
        } catch (const EErro&) {
            // The value does not depend on the log being writable.
        }
        return "";
    }
}
