// Conversion between Windows-1252 (the core) and the edges: UTF-8 (XML, the
// window, file-system names), the locale's encoding (the C library's texts)
// and the encodings request files declare.
#include "base/UTexto.h"
#include "tests/support/ULocalidadeTeste.h"

#include <gtest/gtest.h>

#include <vector>

#include <cerrno>
#include <clocale>

namespace {

struct TCaso {
    const char* nome;
    std::string utf8;
    std::string cp1252;
};

class Utf8ParaCp1252Teste : public ::testing::TestWithParam<TCaso> {};

TEST_P(Utf8ParaCp1252Teste, Converte) {
    EXPECT_EQ(Utf8ParaCp1252(GetParam().utf8), GetParam().cp1252);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, Utf8ParaCp1252Teste,
    ::testing::Values(
        TCaso{"ascii", "Lendo arquivo", "Lendo arquivo"},
        TCaso{"vazio", "", ""},
        TCaso{"acentos", "solicita\xC3\xA7\xC3\xA3o \xC3\x89", "solicita\xE7\xE3o \xC9"},
        TCaso{"latin1_limites", "\xC2\xA0\xC3\xBF", "\xA0\xFF"},
        // Characters of the 0x80-0x9F range of Windows-1252.
        TCaso{"euro_aspas_travessao", "\xE2\x82\xAC \xE2\x80\x9C" "a" "\xE2\x80\x9D \xE2\x80\x94",
              "\x80 \x93" "a" "\x94 \x97"},
        TCaso{"s_caron_oe_y_trema", "\xC5\xA0\xC5\x93\xC5\xB8", "\x8A\x9C\x9F"},
        // Not in Windows-1252: a C1 control, Greek, CJK, an emoji, U+FFFD.
        TCaso{"controle_c1", "\xC2\x81", "?"},
        TCaso{"grego", "\xCE\xB1" "b", "?b"},
        TCaso{"cjk", "\xE4\xB8\xAD", "?"},
        TCaso{"emoji", "x\xF0\x9F\x98\x80y", "x?y"},
        TCaso{"substituto", "\xEF\xBF\xBD", "?"},
        // Invalid UTF-8: each ill-formed sequence is one "?", reading goes on.
        TCaso{"continuacao_solta", "a\x80" "b", "a?b"},
        TCaso{"bytes_latin1_crus", "a\xE7\xE3o", "a??o"},
        TCaso{"sequencia_cortada_no_fim", "ab\xC3", "ab?"},
        TCaso{"sequencia_interrompida", "\xE2\x82" "A", "?A"},
        TCaso{"longa_demais", "\xC0\xAF", "??"},
        TCaso{"surrogate", "\xED\xA0\x80", "???"},
        TCaso{"acima_de_10FFFF", "\xF4\x90\x80\x80", "????"},
        TCaso{"byte_FF", "\xFF", "?"}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(Cp1252ParaUtf8, TodosOsBytesDefinidosVoltamIguais) {
    std::string todos;
    for (int b = 1; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
        todos += static_cast<char>(b);
    }
    EXPECT_EQ(Utf8ParaCp1252(Cp1252ParaUtf8(todos)), todos);
}

TEST(Cp1252ParaUtf8, ExemplosEBytesIndefinidos) {
    EXPECT_EQ(Cp1252ParaUtf8("Aten\xE7\xE3o"), "Aten\xC3\xA7\xC3\xA3o");
    EXPECT_EQ(Cp1252ParaUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Cp1252ParaUtf8("\x81\x8D\x8F\x90\x9D"),
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Cp1252ParaUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// The XML parser's Windows-1252 input conversion: whole characters only, as
// many as the room takes; an undefined byte stops it where it stands.
TEST(Cp1252ParaUtf8EmPartes, CaracteresInteirosEBytesIndefinidos) {
    struct TCaso {
        const char* nome;
        std::string entrada;
        int espaco;
        int resultado;
        int lidos;
        std::string saida;
    };
    const TCaso casos[] = {
        {"tudo_cabe", "Jo\xE3o \x80", 16, 9, 6, "Jo\xC3\xA3o \xE2\x82\xAC"},
        {"euro_nao_cabe_inteiro", "a\x80" "b", 3, 1, 1, "a"},
        {"acento_cabe_justo", "\xE7\xE3", 4, 4, 2, "\xC3\xA7\xC3\xA3"},
        {"indefinido_no_meio", "Ana \x81</nome>", 64, -2, 4, "Ana "},
        {"indefinido_no_inicio", "\x9D", 8, -2, 0, ""},
        {"vazio", "", 8, 0, 0, ""},
    };
    for (const TCaso& c : casos) {
        SCOPED_TRACE(c.nome);
        std::vector<unsigned char> saida(static_cast<std::size_t>(c.espaco) + 1, 0xEE);
        int tamSaida = c.espaco;
        int tamEntrada = static_cast<int>(c.entrada.size());
        const int r = Cp1252ParaUtf8EmPartes(saida.data(), &tamSaida,
                                             reinterpret_cast<const unsigned char*>(c.entrada.data()), &tamEntrada);
        EXPECT_EQ(r, c.resultado);
        EXPECT_EQ(tamEntrada, c.lidos);
        EXPECT_EQ(std::string(saida.begin(), saida.begin() + tamSaida), c.saida);
        EXPECT_EQ(saida[static_cast<std::size_t>(c.espaco)], 0xEE);  // nothing past the room
    }
}

// Byte by byte into the smallest room, every defined byte gives what the
// whole-text conversion gives.
TEST(Cp1252ParaUtf8EmPartes, UmByteDeCadaVezIgualAConversaoInteira) {
    for (int b = 1; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
        const unsigned char byte = static_cast<unsigned char>(b);
        unsigned char saida[3];
        int tamSaida = 3;
        int tamEntrada = 1;
        ASSERT_GT(Cp1252ParaUtf8EmPartes(saida, &tamSaida, &byte, &tamEntrada), 0) << b;
        EXPECT_EQ(std::string(saida, saida + tamSaida), Cp1252ParaUtf8(std::string(1, static_cast<char>(b)))) << b;
    }
}

TEST(Caixa, MaiusculasAZTocaSoAsLetrasSimples) {
    EXPECT_EQ(MaiusculasAZ("abc xyz \xE7\xE3 123"), "ABC XYZ \xE7\xE3 123");
    EXPECT_EQ(MinusculasAZ("ABC \xC7\xC3"), "abc \xC7\xC3");
}

TEST(Caixa, MaiusculasIncluiAcentuadas) {
    EXPECT_EQ(Maiusculas("jo\xE3o concei\xE7\xE3o"), "JO\xC3O CONCEI\xC7\xC3O");
    // ÷ and ß stay; š œ ž ÿ have capitals elsewhere in the code page.
    EXPECT_EQ(Maiusculas("\xF7\xDF\x9A\x9C\x9E\xFF"), "\xF7\xDF\x8A\x8C\x8E\x9F");
    EXPECT_EQ(Maiusculas("\xE0\xFE"), "\xC0\xDE");
}

TEST(Caixa, IguaisSemCaixa) {
    EXPECT_TRUE(IguaisSemCaixa("Jos\xE9", "JOS\xC9"));
    EXPECT_TRUE(IguaisSemCaixa("", ""));
    EXPECT_FALSE(IguaisSemCaixa("Jose", "Jos\xE9"));
    EXPECT_FALSE(IguaisSemCaixa("abc", "abcd"));
}

}  // namespace

// ---- the edges: file-system names, the C library's texts, declared encodings ----

namespace {

TEST(NomeArquivoParaCp1252, NomesDoSistemaDeArquivosEmUtf8) {
    EXPECT_EQ(NomeArquivoParaCp1252("/srv/laborat\xC3\xB3rio/arquivos/pedido S\xC3\xA3o Jo\xC3\xA3o.xml"),
              "/srv/laborat\xF3rio/arquivos/pedido S\xE3o Jo\xE3o.xml");
    // A character Windows-1252 lacks, and a byte that is no UTF-8 (a name
    // written by another system in Latin-1), become "?".
    EXPECT_EQ(NomeArquivoParaCp1252("\xE4\xB8\xAD.xml"), "?.xml");
    EXPECT_EQ(NomeArquivoParaCp1252("a\xE7\xE3o.xml"), "a??o.xml");
}

struct TCasoCodificacao {
    const char* nome;
    std::string codificacao;
    std::string dados;
    std::string cp1252;
};

class ConverterParaCp1252Teste : public ::testing::TestWithParam<TCasoCodificacao> {};

TEST_P(ConverterParaCp1252Teste, Converte) {
    EXPECT_EQ(ConverterParaCp1252(GetParam().dados, GetParam().codificacao), GetParam().cp1252);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, ConverterParaCp1252Teste,
    ::testing::Values(
        TCasoCodificacao{"utf8", "UTF-8", "S\xC3\xA3o \xE2\x82\xAC", "S\xE3o \x80"},
        TCasoCodificacao{"utf8_minusculo", "utf-8", "\xC3\xA9", "\xE9"},
        TCasoCodificacao{"sem_codificacao_le_utf8", "", "\xC3\xA9", "\xE9"},
        // Latin-1 labels read as Windows-1252: 0x80-0x9F keep their characters.
        TCasoCodificacao{"iso_8859_1", "ISO-8859-1", "\x80 \x93" "a\x94 \x96 S\xE3o", "\x80 \x93" "a\x94 \x96 S\xE3o"},
        TCasoCodificacao{"latin1", "latin1", "\x85\xE7", "\x85\xE7"},
        TCasoCodificacao{"windows_1252", "windows-1252", "\x80\xE7", "\x80\xE7"},
        // Through the system's converter: the euro is 0xA4 in ISO-8859-15.
        TCasoCodificacao{"iso_8859_15", "ISO-8859-15", "\xA4 \xE7", "\x80 \xE7"},
        TCasoCodificacao{"utf16le", "UTF-16LE", std::string("S\0\xE3\0o\0 \0\xAC\x20", 10), "S\xE3o \x80"},
        TCasoCodificacao{"utf16_com_bom", "UTF-16", std::string("\xFF\xFEO\0i\0", 6), "Oi"},
        TCasoCodificacao{"fora_da_cp1252", "UTF-16LE", std::string("\x2D\x4E" "a\0", 4), "?a"},
        // Bytes the encoding cannot decode: one "?" each, the rest goes on.
        TCasoCodificacao{"utf8_invalido", "UTF-8", "a\xC3(b", "a?(b"},
        TCasoCodificacao{"ascii_com_bytes_altos", "US-ASCII", "a\xE9" "b", "a?b"},
        TCasoCodificacao{"utf16_cortado_no_fim", "UTF-16LE", std::string("a\0b", 3), "a?"},
        // An encoding the system does not know reads as UTF-8.
        TCasoCodificacao{"desconhecida", "x-nao-existe", "S\xC3\xA3o", "S\xE3o"}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(EhRotuloLatin1, RotulosDeIso8859_1) {
    for (const char* r : {"ISO-8859-1", "iso-8859-1", "ISO_8859-1", "iso_8859-1:1987", "latin1", "LATIN1", "l1",
                          "CP819", "IBM819", "ISO-IR-100", "csISOLatin1"})
        EXPECT_TRUE(EhRotuloLatin1(r)) << r;
    for (const char* r : {"", "UTF-8", "windows-1252", "ISO-8859-15", "ISO-8859-2", "latin2", "ascii"})
        EXPECT_FALSE(EhRotuloLatin1(r)) << r;
}

// The C library's texts under pt_BR.UTF-8 are UTF-8 bytes; the core holds
// them in Windows-1252, one byte per letter.
TEST(DescricaoErroSistema, TextosDoSistemaEmPortuguesNaCp1252) {
    const TLocalidade pt("pt_BR.UTF-8");
    if (!pt.Ok()) GTEST_SKIP() << "locale pt_BR.UTF-8 not installed";
    EXPECT_EQ(DescricaoErroSistema(EACCES), "Permiss\xE3o negada");
    EXPECT_EQ(DescricaoErroSistema(ENOENT), "Arquivo ou diret\xF3rio inexistente");
    EXPECT_EQ(DescricaoErroSistema(ENOSPC), "N\xE3o h\xE1 espa\xE7o dispon\xEDvel no dispositivo");
    EXPECT_EQ(LocalParaCp1252("Permiss\xC3\xA3o"), "Permiss\xE3o");
}

TEST(DescricaoErroSistema, LocalidadeCEmIngles) {
    const TLocalidade c("C");
    EXPECT_EQ(DescricaoErroSistema(EACCES), "Permission denied");
    EXPECT_EQ(LocalParaCp1252("a\xC3\xA3"), "a??") << "ASCII: a byte above 0x7F is no character";
}

}  // namespace
