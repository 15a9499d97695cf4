#include "base/UErroXML.h"

#include <mutex>
#include <string>

#include <libxml/encoding.h>
#include <libxml/parser.h>

#include "base/UTexto.h"

namespace {

std::string SemQuebraFinal(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

std::string DescricaoErroXML(const xmlError& e) {
    const std::string s1 = e.str1 ? SemQuebraFinal(Utf8ParaCp1252(e.str1)) : "";
    const std::string s2 = e.str2 ? SemQuebraFinal(Utf8ParaCp1252(e.str2)) : "";
    const std::string ingles = e.message ? SemQuebraFinal(Utf8ParaCp1252(e.message)) : "";
    auto comeca = [&](const char* inicio) { return ingles.rfind(inicio, 0) == 0; };
    const std::string linha1 = " (linha " + std::to_string(e.int1) + ")";
    switch (e.code) {
        case XML_ERR_INTERNAL_ERROR:
            if (comeca("Excessive depth"))
                return "Profundidade excessiva de elementos aninhados (mais de " + std::to_string(e.int1) + ")";
            break;
        case XML_ERR_NO_MEMORY:
            return "Mem\xF3ria insuficiente para ler o documento";
        case XML_ERR_DOCUMENT_START:
        case XML_ERR_DOCUMENT_EMPTY:
            if (comeca("Document is empty")) return "Documento vazio";
            return "Nenhum elemento encontrado no in\xED" "cio do documento ('<' esperado)";
        case XML_ERR_DOCUMENT_END:
            return "Conte\xFA" "do extra depois do fim do documento";
        case XML_ERR_INVALID_HEX_CHARREF:
        case XML_ERR_INVALID_DEC_CHARREF:
        case XML_ERR_INVALID_CHARREF:
            return "Refer\xEAncia de caractere inv\xE1lida";
        case XML_ERR_INVALID_CHAR:
            if (comeca("xmlParseCharRef"))
                return "Refer\xEAncia a um caractere n\xE3o permitido (valor " + std::to_string(e.int1) + ")";
            if (comeca("Char 0x")) {
                const std::string valor = ingles.substr(5, ingles.find(' ', 5) - 5);
                return "Caractere " + valor + " fora dos caracteres permitidos";
            }
            if (comeca("PCDATA invalid Char value"))
                return "Caractere n\xE3o permitido no texto (valor " + std::to_string(e.int1) + ")";
            if (comeca("invalid character in attribute value")) return "Caractere n\xE3o permitido no valor de um atributo";
            if (comeca("Input is not proper UTF-8")) {
                std::string bytes = s1;
                if (bytes.rfind("Bytes: ", 0) == 0) bytes = bytes.substr(7);
                return "O conte\xFA" "do n\xE3o \xE9 UTF-8 v\xE1lido; declare a codifica\xE7\xE3o do arquivo (bytes " +
                       bytes + ")";
            }
            return "Caractere n\xE3o permitido";
        case XML_ERR_ENTITYREF_NO_NAME:
            return "Refer\xEAncia de entidade sem nome ('&' sem nome; escreva &amp;)";
        case XML_ERR_ENTITYREF_SEMICOL_MISSING:
            return "Refer\xEAncia de entidade sem ';' no fim";
        case XML_ERR_UNDECLARED_ENTITY:
        case XML_WAR_UNDECLARED_ENTITY:
            return "Entidade '" + s1 + "' n\xE3o definida";
        case XML_ERR_UNKNOWN_ENCODING:
        case XML_ERR_UNSUPPORTED_ENCODING:
            return "Codifica\xE7\xE3o n\xE3o suportada: " + s1;
        case XML_ERR_STRING_NOT_STARTED:
            return "Aspas esperadas (\" ou ')";
        case XML_ERR_STRING_NOT_CLOSED:
            return "Texto entre aspas n\xE3o fechado (\" ou ' esperado)";
        case XML_ERR_LT_IN_ATTRIBUTE:
            return "Caractere '<' n\xE3o permitido no valor de um atributo";
        case XML_ERR_ATTRIBUTE_NOT_STARTED:
            return "Valor de atributo sem aspas (\" ou ' esperado)";
        case XML_ERR_ATTRIBUTE_NOT_FINISHED:
            return "Valor de atributo n\xE3o terminado";
        case XML_ERR_ATTRIBUTE_WITHOUT_VALUE:
            return "Atributo " + s1 + " sem valor";
        case XML_ERR_ATTRIBUTE_REDEFINED:
            return "Atributo " + s1 + " repetido";
        case XML_ERR_COMMENT_NOT_FINISHED:
            return "Coment\xE1rio n\xE3o terminado";
        case XML_ERR_PI_NOT_STARTED:
        case XML_ERR_PI_NOT_FINISHED:
            return "Instru\xE7\xE3o de processamento n\xE3o terminada";
        case XML_ERR_XMLDECL_NOT_STARTED:
        case XML_ERR_XMLDECL_NOT_FINISHED:
            return "Declara\xE7\xE3o XML mal formada ('?>' esperado)";
        case XML_ERR_DOCTYPE_NOT_FINISHED:
            return "Declara\xE7\xE3o DOCTYPE mal terminada";
        case XML_ERR_MISPLACED_CDATA_END:
            return "A sequ\xEAncia ']]>' n\xE3o \xE9 permitida no texto";
        case XML_ERR_CDATA_NOT_FINISHED:
            return "Se\xE7\xE3o CDATA n\xE3o terminada";
        case XML_ERR_RESERVED_XML_NAME:
            return "Declara\xE7\xE3o XML fora do in\xED" "cio do documento";
        case XML_ERR_SPACE_REQUIRED:
            if (comeca("attributes construct error")) return "Atributos mal formados";
            return "Espa\xE7o em branco esperado";
        case XML_ERR_NAME_REQUIRED:
            if (comeca("StartTag")) return "Nome de elemento inv\xE1lido";
            if (comeca("error parsing attribute name")) return "Nome de atributo inv\xE1lido";
            if (comeca("xmlParseEntityRef")) return "Refer\xEAncia de entidade sem nome ('&' sem nome; escreva &amp;)";
            return "Nome esperado";
        case XML_ERR_GT_REQUIRED:
            if (!s1.empty()) return "Fim da tag de abertura " + s1 + linha1 + " n\xE3o encontrado";
            return "'>' esperado";
        case XML_ERR_LTSLASH_REQUIRED:
            return "'</' esperado";
        case XML_ERR_EQUAL_REQUIRED:
            return "'=' esperado";
        case XML_ERR_TAG_NAME_MISMATCH:
            if (s2 == "unparsable") return "Tag de fechamento ileg\xEDvel para a tag " + s1 + linha1;
            return "A tag de abertura " + s1 + linha1 + " n\xE3o corresponde \xE0 tag de fechamento " + s2;
        case XML_ERR_TAG_NOT_FINISHED:
            return "Fim prematuro dos dados na tag " + s1 + linha1;
        case XML_ERR_STANDALONE_VALUE:
            return "standalone aceita apenas 'yes' ou 'no'";
        case XML_ERR_ENCODING_NAME:
            return "Nome de codifica\xE7\xE3o inv\xE1lido";
        case XML_ERR_HYPHEN_IN_COMMENT:
            return "H\xED" "fen duplo (--) dentro de um coment\xE1rio";
        case XML_ERR_INVALID_ENCODING:
            if (comeca("Document labelled UTF-16 but has UTF-8 content"))
                return "O documento declara UTF-16 mas o conte\xFA" "do \xE9 UTF-8";
            return "Codifica\xE7\xE3o inv\xE1lida";
        case XML_ERR_VERSION_MISSING:
            return "Declara\xE7\xE3o XML sem a vers\xE3o";
        case XML_ERR_UNKNOWN_VERSION:
        case XML_ERR_VERSION_MISMATCH:
            return "Vers\xE3o de XML n\xE3o suportada";
        case XML_ERR_NAME_TOO_LONG:
            return "Nome longo demais";
        default:
            break;
    }
    return "Documento mal formado (c\xF3" "digo " + std::to_string(e.code) + "): " + ingles;
}

void PrepararCodificacoesXML() {
    static std::once_flag uma;
    std::call_once(uma, [] {
        xmlInitParser();
        // libxml2 keeps the handler for the rest of the process.
        if (xmlNewCharEncodingHandler("windows-1252", Cp1252ParaUtf8EmPartes, nullptr)) {
            xmlAddEncodingAlias("windows-1252", "cp1252");
            xmlAddEncodingAlias("windows-1252", "x-cp1252");
        }
    });
}
