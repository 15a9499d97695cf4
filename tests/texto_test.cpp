// Conversion between Windows-1252 (the core) and UTF-8 (XML, the window).
#include "app/UTexto.h"

#include <gtest/gtest.h>

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
