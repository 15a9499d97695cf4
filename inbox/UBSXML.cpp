#include "inbox/UBSXML.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include "app/UErro.h"
#include "app/UTexto.h"
#include "log/ULog.h"

namespace {

// Why the parse was stopped by the guards below (empty: not stopped).
struct TGuarda {
    std::string motivo;
    // The parser's first error: the one that made the file unreadable (the
    // parser may go on and report consequences of it).
    bool temErro = false;
    std::string mensagemErro;
    int linhaErro = 0;
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

void GuardarErro(void* ctx, xmlErrorPtr erro) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* guarda = ctxt ? static_cast<TGuarda*>(ctxt->_private) : nullptr;
    if (!guarda || !erro || erro->level < XML_ERR_ERROR || guarda->temErro) return;
    guarda->temErro = true;
    guarda->mensagemErro = erro->message ? erro->message : "";
    guarda->linhaErro = erro->line;
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

// The start of line `linha` (1-based) of the file, for the error text.
std::string TrechoDaLinha(const std::string& conteudo, int linha) {
    if (linha < 1) return "";
    std::size_t inicio = 0;
    for (int l = 1; l < linha; ++l) {
        inicio = conteudo.find('\n', inicio);
        if (inicio == std::string::npos) return "";
        ++inicio;
    }
    std::size_t fim = conteudo.find_first_of("\r\n", inicio);
    if (fim == std::string::npos) fim = conteudo.size();
    std::string trecho = conteudo.substr(inicio, std::min<std::size_t>(fim - inicio, 60));
    // Keep the excerpt printable whatever the file's encoding.
    for (char& c : trecho)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    const std::size_t a = trecho.find_first_not_of(' ');
    return a == std::string::npos ? "" : trecho.substr(a);
}

std::string SemQuebraFinal(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

TDocumentoXML::TDocumentoXML(const std::string& caminho) {
    std::ifstream arquivo(caminho, std::ios::binary);
    if (!arquivo)
        throw EErroXML("N\xE3o foi poss\xEDvel abrir o arquivo " + caminho + ": " + std::strerror(errno));
    // At most one byte more than the limit is read, whatever the file's size
    // says (it may be growing, or not a regular file).
    std::string conteudo;
    char bloco[65536];
    while (conteudo.size() <= TamanhoMaximo) {
        arquivo.read(bloco, sizeof bloco);
        if (arquivo.gcount() <= 0) break;
        conteudo.append(bloco, static_cast<std::size_t>(arquivo.gcount()));
    }
    if (arquivo.bad()) throw EErroXML("N\xE3o foi poss\xEDvel ler o arquivo " + caminho);
    if (conteudo.size() > TamanhoMaximo)
        throw EErroXML("Arquivo recusado: o arquivo tem mais de " + std::to_string(TamanhoMaximo / (1024 * 1024)) +
                       " MB, o limite de um arquivo de solicita\xE7\xF5" "es.");

    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) throw EErroXML("Mem\xF3ria insuficiente para ler o arquivo " + caminho);
    TGuarda guarda;
    ctxt->_private = &guarda;
    ctxt->sax->internalSubset = SubconjuntoInterno;
    ctxt->sax->entityDecl = DeclaracaoEntidade;
    ctxt->sax->unparsedEntityDecl = DeclaracaoEntidadeNaoAnalisada;
    ctxt->sax->serror = GuardarErro;

    // No XML_PARSE_NOENT (no entity substitution), no XML_PARSE_DTDLOAD,
    // XML_PARSE_DTDATTR or XML_PARSE_XINCLUDE.
    const int opcoes = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDoc* doc = xmlCtxtReadMemory(ctxt, conteudo.data(), static_cast<int>(conteudo.size()), nullptr, nullptr, opcoes);

    std::string erro;
    if (!guarda.motivo.empty()) {
        erro = "Arquivo recusado: " + guarda.motivo + " (linha " + std::to_string(xmlSAX2GetLineNumber(ctxt)) + ").";
    } else if (!doc || !ctxt->wellFormed) {
        const xmlError* e = xmlCtxtGetLastError(ctxt);
        int linha = e ? e->line : 0;
        std::string motivo = e && e->message ? e->message : "";
        if (guarda.temErro) {
            linha = guarda.linhaErro;
            motivo = guarda.mensagemErro;
        }
        motivo = SemQuebraFinal(Utf8ParaCp1252(motivo));
        if (motivo.empty()) motivo = "documento XML inv\xE1lido";
        erro = "Erro de XML na linha " + std::to_string(linha) + ": " + motivo;
        const std::string trecho = TrechoDaLinha(conteudo, linha);
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
