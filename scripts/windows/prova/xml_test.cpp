// libxml2 built for Windows: parsing from memory without network, and the encodings
// the request files arrive in.
#include <gtest/gtest.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>

namespace {

// Without iconv (Debian has none for mingw) libxml2 decodes only UTF-8, UTF-16, ASCII
// and the ISO-8859 family; Windows-1252 comes from a handler of our own.
const unsigned short Cp1252Alto[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// libxml2's input conversion: as many whole characters as fit; -2 on a byte that
// Windows-1252 leaves undefined (the parser reports it as an encoding error).
int Cp1252ParaUtf8(unsigned char* saida, int* tamSaida, const unsigned char* entrada, int* tamEntrada) {
    int i = 0, o = 0, r = 0;
    for (; i < *tamEntrada; ++i) {
        const unsigned c = entrada[i];
        const unsigned u = c < 0x80 ? c : c < 0xA0 ? Cp1252Alto[c - 0x80] : c;
        if (u == 0) {
            r = -2;
            break;
        }
        const int n = u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (o + n > *tamSaida) break;
        if (n == 1) {
            saida[o++] = static_cast<unsigned char>(u);
        } else if (n == 2) {
            saida[o++] = static_cast<unsigned char>(0xC0 | (u >> 6));
            saida[o++] = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else {
            saida[o++] = static_cast<unsigned char>(0xE0 | (u >> 12));
            saida[o++] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            saida[o++] = static_cast<unsigned char>(0x80 | (u & 0x3F));
        }
    }
    *tamEntrada = i;
    *tamSaida = o;
    return r < 0 ? r : o;
}

void Calar(void*, const char*, ...) {}

class TAmbienteXML : public ::testing::Environment {
public:
    void SetUp() override {
        xmlInitParser();
        // The tests look at the results; libxml2's messages would only clutter the output.
        xmlSetGenericErrorFunc(nullptr, Calar);
        // Registered by libxml2 itself, which owns it from here on.
        ASSERT_NE(xmlNewCharEncodingHandler("windows-1252", Cp1252ParaUtf8, nullptr), nullptr);
    }
};
const auto* const ambiente = ::testing::AddGlobalTestEnvironment(new TAmbienteXML);

struct TLiberaDoc {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using TDoc = std::unique_ptr<xmlDoc, TLiberaDoc>;

TDoc Ler(const std::string& xml) {
    return TDoc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

// The text of the first child element of the root, in UTF-8.
std::string TextoDoPrimeiroFilho(xmlDoc* doc) {
    xmlNode* raiz = xmlDocGetRootElement(doc);
    for (xmlNode* n = raiz ? raiz->children : nullptr; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        xmlChar* t = xmlNodeGetContent(n);
        std::string s = t ? reinterpret_cast<const char*>(t) : "";
        xmlFree(t);
        return s;
    }
    return "";
}

struct TCasoCodificacao {
    const char* nome;
    std::string xml;
    std::string esperado = "Jo\xC3\xA3o";  // UTF-8
};

// ctest lists a case by its name, not by its bytes.
void PrintTo(const TCasoCodificacao& c, std::ostream* os) { *os << c.nome; }

class CodificacaoXML : public ::testing::TestWithParam<TCasoCodificacao> {};

// A name in each encoding that a request file may declare: the parser gives it in UTF-8.
TEST_P(CodificacaoXML, DecodificaONomeDoPaciente) {
    const TDoc doc = Ler(GetParam().xml);
    ASSERT_TRUE(doc) << "libxml2 recusou o documento";
    EXPECT_EQ(TextoDoPrimeiroFilho(doc.get()), GetParam().esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Rotulos, CodificacaoXML,
    ::testing::Values(
        TCasoCodificacao{"UTF8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><s><p>Jo\xC3\xA3o</p></s>"},
        TCasoCodificacao{"SemDeclaracao", "<s><p>Jo\xC3\xA3o</p></s>"},
        TCasoCodificacao{"Latin1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><s><p>Jo\xE3o</p></s>"},
        TCasoCodificacao{"Windows1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><s><p>Jo\xE3o</p></s>"},
        TCasoCodificacao{"Windows1252Euro", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><s><p>\x80</p></s>",
                         "\xE2\x82\xAC"}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(XML, EntidadeExternaNaoEhCarregada) {
    // With XML_PARSE_NONET and no XML_PARSE_NOENT/DTDLOAD, an external entity stays a
    // reference: nothing is read from disk or network.
    const TDoc doc = Ler("<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY x SYSTEM \"file:///C:/windows/win.ini\">]>"
                         "<s><p>&x;</p></s>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(TextoDoPrimeiroFilho(doc.get()), "");
}

TEST(XML, DocumentoMalFormadoEhRecusado) {
    EXPECT_FALSE(Ler("<s><p>sem fim</s>"));
}

TEST(XML, ByteIndefinidoEmWindows1252EhRecusado) {
    EXPECT_FALSE(Ler("<?xml version=\"1.0\" encoding=\"windows-1252\"?><s><p>Jo\x81o</p></s>"));
}

TEST(Windows, PaginaDeCodigoAnsi) {
    const UINT acp = GetACP();
    std::printf("GetACP() = %u, GetOEMCP() = %u\n", acp, GetOEMCP());
    EXPECT_EQ(acp, 1252u);
}

}  // namespace
