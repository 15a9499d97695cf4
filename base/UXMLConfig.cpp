#include "base/UXMLConfig.h"

#include <cstring>
#include <filesystem>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include "base/UArquivoSeguro.h"
#include "base/UErro.h"
#include "base/UErroXML.h"
#include "base/UTexto.h"

namespace {

const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

std::string Texto(const xmlChar* s) { return s ? reinterpret_cast<const char*>(s) : ""; }

// The name as written in the file: prefix ":" local name when qualified.
std::string NomeQualificado(const xmlNs* ns, const xmlChar* nome) {
    std::string resultado;
    if (ns != nullptr && ns->prefix != nullptr) resultado = Texto(ns->prefix) + ":";
    return resultado + Texto(nome);
}

// "Erro no arquivo de configuração "
const std::string kErroNoArquivo = "Erro no arquivo de configura\xE7\xE3o ";

// The parser's first error (the later ones follow from it).
struct TPrimeiroErro {
    bool houve = false;
    std::string motivo;
    int linha = 0;
};

void GuardarErro(void* dados, xmlError* erro) {
    auto* ctxt = static_cast<xmlParserCtxt*>(dados);
    auto* primeiro = ctxt ? static_cast<TPrimeiroErro*>(ctxt->_private) : nullptr;
    if (primeiro == nullptr || primeiro->houve || erro == nullptr || erro->level < XML_ERR_ERROR) return;
    primeiro->houve = true;
    primeiro->motivo = DescricaoErroXML(*erro);
    primeiro->linha = erro->line;
}

struct TLiberaContexto {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};

// The first child element of `pai` named `nome` (UTF-8), or null.
xmlNode* PrimeiroFilho(xmlNode* pai, const std::string& nome) {
    if (pai == nullptr) return nullptr;
    for (xmlNode* n = pai->children; n != nullptr; n = n->next) {
        if (n->type == XML_ELEMENT_NODE && NomeQualificado(n->ns, n->name) == nome) return n;
    }
    return nullptr;
}

xmlAttr* Atributo(xmlNode* elemento, const std::string& nome) {
    for (xmlAttr* a = elemento->properties; a != nullptr; a = a->next) {
        if (NomeQualificado(a->ns, a->name) == nome) return a;
    }
    return nullptr;
}

bool NomeValido(const std::string& nome) {
    return !nome.empty() && xmlValidateNCName(X(nome), 0) == 0;
}

// XML 1.0 has no way to hold these control characters, not even as
// character references: a file holding one could never be read again.
bool CaracteresValidos(const std::string& valor) {
    for (unsigned char c : valor) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    }
    return true;
}

}  // namespace

void TXMLConfig::TLiberaDoc::operator()(_xmlDoc* doc) const { xmlFreeDoc(doc); }

TXMLConfig::TXMLConfig(const std::string& arquivo) : fileName_(arquivo) {
    const std::optional<std::string> conteudo = LerArquivoInteiro(arquivo);
    if (!conteudo) {
        document_.reset(xmlNewDoc(X("1.0")));
        xmlNode* raiz = xmlNewNode(nullptr, X("Configuration"));
        xmlDocSetRootElement(document_.get(), raiz);
        return;
    }

    PrepararCodificacoesXML();
    std::unique_ptr<xmlParserCtxt, TLiberaContexto> ctxt(xmlNewParserCtxt());
    if (!ctxt)
        throw EErroXML(kErroNoArquivo + NomeArquivoParaCp1252(arquivo) + ": sem mem\xF3ria para o analisador XML");
    TPrimeiroErro primeiro;
    ctxt->_private = &primeiro;
    ctxt->userData = ctxt.get();
    ctxt->sax->serror = GuardarErro;
    // No entity substitution, no DTD loading, no network; errors are taken
    // from the context instead of being printed.
    const int opcoes = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDoc* doc = xmlCtxtReadMemory(ctxt.get(), conteudo->data(), static_cast<int>(conteudo->size()),
                                    arquivo.c_str(), nullptr, opcoes);
    if (doc == nullptr || !ctxt->wellFormed) {
        if (doc != nullptr) xmlFreeDoc(doc);
        if (!primeiro.houve) {
            const xmlError* erro = xmlCtxtGetLastError(ctxt.get());
            primeiro.motivo = erro ? DescricaoErroXML(*erro) : "Documento vazio";
            primeiro.linha = erro ? erro->line : 0;
        }
        const int linha = primeiro.linha > 0 ? primeiro.linha : 1;
        throw EErroXML(kErroNoArquivo + NomeArquivoParaCp1252(arquivo) + ", linha " + std::to_string(linha) + ": " +
                       primeiro.motivo);
    }
    document_.reset(doc);
    const xmlDtd* dtd = doc->intSubset;
    if ((dtd != nullptr && (dtd->entities != nullptr || dtd->pentities != nullptr)) ||
        doc->extSubset != nullptr) {
        // "...: declarações de entidade não são aceitas"
        throw EErroXML(kErroNoArquivo + NomeArquivoParaCp1252(arquivo) +
                       ": declara\xE7\xF5" "es de entidade n\xE3o s\xE3o aceitas");
    }
    if (xmlDocGetRootElement(doc) == nullptr) {
        throw EErroXML(kErroNoArquivo + NomeArquivoParaCp1252(arquivo) + ", linha 1: Documento vazio");
    }
}

TXMLConfig::~TXMLConfig() {
    try {
        Save();
    } catch (...) {
        // Destruction must not throw; callers that need the error call Save.
    }
}

std::string TXMLConfig::ReadString(const std::string& secao, const std::string& chave,
                                   const std::string& padrao) const {
    xmlNode* elemento = PrimeiroFilho(xmlDocGetRootElement(document_.get()), Cp1252ParaUtf8(secao));
    if (elemento == nullptr) return padrao;
    xmlAttr* atributo = Atributo(elemento, Cp1252ParaUtf8(chave));
    if (atributo == nullptr) return padrao;
    xmlChar* valor = xmlNodeListGetString(document_.get(), atributo->children, 1);
    std::string resultado = Utf8ParaCp1252(Texto(valor));
    xmlFree(valor);
    return resultado;
}

void TXMLConfig::WriteString(const std::string& secao, const std::string& chave,
                             const std::string& valor) {
    if (ReadString(secao, chave, "") == valor) return;
    const std::string secaoUtf8 = Cp1252ParaUtf8(secao);
    const std::string chaveUtf8 = Cp1252ParaUtf8(chave);
    if (!NomeValido(secaoUtf8) || !NomeValido(chaveUtf8)) {
        // "Nome de seção ou chave inválido no arquivo de configuração: "
        throw EErro("Nome de se\xE7\xE3o ou chave inv\xE1lido no arquivo de configura\xE7\xE3o: " + secao +
                    "/" + chave);
    }
    if (!CaracteresValidos(valor)) {
        // "Valor com caractere de controle não pode ser gravado no arquivo de configuração: "
        throw EErro("Valor com caractere de controle n\xE3o pode ser gravado no arquivo de configura\xE7\xE3o: " +
                    secao + "/" + chave);
    }
    xmlNode* raiz = xmlDocGetRootElement(document_.get());
    xmlNode* elemento = PrimeiroFilho(raiz, secaoUtf8);
    if (elemento == nullptr) {
        // A new section has no namespace, also under a prefixed root
        // (xmlNewChild would give it the root's prefix, and it would never
        // be found again by its plain name).
        elemento = xmlAddChild(raiz, xmlNewDocNode(document_.get(), nullptr, X(secaoUtf8), nullptr));
    }
    // The value is stored as literal text ("&" and "<" are escaped on output);
    // an existing attribute keeps its namespace prefix.
    const xmlAttr* atributo = Atributo(elemento, chaveUtf8);
    const std::string valorUtf8 = Cp1252ParaUtf8(valor);
    if (atributo != nullptr) {
        xmlSetNsProp(elemento, atributo->ns, atributo->name, X(valorUtf8));
    } else {
        xmlSetProp(elemento, X(chaveUtf8), X(valorUtf8));
    }
    modified_ = true;
}

void TXMLConfig::Save() {
    if (!modified_) return;
    if (Backup) {
        std::error_code ignorado;
        std::filesystem::copy_file(fileName_, fileName_ + ".bak",
                                   std::filesystem::copy_options::overwrite_existing, ignorado);
    }
    xmlChar* saida = nullptr;
    int tamanho = 0;
    xmlDocDumpFormatMemoryEnc(document_.get(), &saida, &tamanho, "UTF-8", 1);
    if (saida == nullptr) {
        // "Não foi possível gerar o arquivo de configuração "
        throw EErro("N\xE3o foi poss\xEDvel gerar o arquivo de configura\xE7\xE3o " + NomeArquivoParaCp1252(fileName_));
    }
    std::string conteudo(reinterpret_cast<const char*>(saida), static_cast<std::size_t>(tamanho));
    xmlFree(saida);
    GravarArquivoSeguro(fileName_, conteudo, 0600);
    modified_ = false;
}
