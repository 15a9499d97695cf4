#include "base/UTexto.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <optional>
#include <langinfo.h>

namespace {

// Unicode code points of the bytes 0x80 to 0x9F in Windows-1252; 0 marks the
// five bytes the code page leaves undefined.
constexpr std::array<char32_t, 32> kFaixa80 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

constexpr char kSubstituto = '?';

// The Windows-1252 byte of a code point, or the substitute.
char ParaCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<char>(cp);
    }
    for (std::size_t i = 0; i < kFaixa80.size(); ++i) {
        if (kFaixa80[i] != 0 && kFaixa80[i] == cp) {
            return static_cast<char>(0x80 + i);
        }
    }
    return kSubstituto;
}

void AnexarUtf8(std::string& saida, char32_t cp) {
    if (cp < 0x80) {
        saida += static_cast<char>(cp);
    } else if (cp < 0x800) {
        saida += static_cast<char>(0xC0 | (cp >> 6));
        saida += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        saida += static_cast<char>(0xE0 | (cp >> 12));
        saida += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        saida += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        saida += static_cast<char>(0xF0 | (cp >> 18));
        saida += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        saida += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        saida += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

char MaiusculaCp1252(char c) {
    const unsigned char b = Byte(c);
    if (b >= 'a' && b <= 'z') return static_cast<char>(b - 0x20);
    if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<char>(b - 0x20);
    switch (b) {
        case 0x9A: return static_cast<char>(0x8A);  // š -> Š
        case 0x9C: return static_cast<char>(0x8C);  // œ -> Œ
        case 0x9E: return static_cast<char>(0x8E);  // ž -> Ž
        case 0xFF: return static_cast<char>(0x9F);  // ÿ -> Ÿ
        default: return c;
    }
}

}  // namespace

std::string Utf8ParaCp1252(std::string_view utf8) {
    std::string saida;
    saida.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const unsigned char b0 = Byte(utf8[i]);
        if (b0 < 0x80) {
            saida += static_cast<char>(b0);
            ++i;
            continue;
        }
        // Length and the allowed range of the first continuation byte, which
        // excludes overlong forms, surrogates and code points above U+10FFFF.
        std::size_t tamanho = 0;
        unsigned char min1 = 0x80, max1 = 0xBF;
        char32_t cp = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            tamanho = 2;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            tamanho = 3;
            cp = b0 & 0x0F;
            if (b0 == 0xE0) min1 = 0xA0;
            if (b0 == 0xED) max1 = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            tamanho = 4;
            cp = b0 & 0x07;
            if (b0 == 0xF0) min1 = 0x90;
            if (b0 == 0xF4) max1 = 0x8F;
        } else {
            // A stray continuation byte or a byte that never starts a sequence.
            saida += kSubstituto;
            ++i;
            continue;
        }
        // Take continuation bytes while they fit; an ill-formed sequence
        // becomes one substitute and reading resumes at the offending byte.
        std::size_t j = 1;
        bool valida = true;
        for (; j < tamanho; ++j) {
            if (i + j >= n) {
                valida = false;
                break;
            }
            const unsigned char b = Byte(utf8[i + j]);
            const unsigned char lo = (j == 1) ? min1 : 0x80;
            const unsigned char hi = (j == 1) ? max1 : 0xBF;
            if (b < lo || b > hi) {
                valida = false;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (!valida) {
            saida += kSubstituto;
            i += j;
            continue;
        }
        saida += ParaCp1252(cp);
        i += tamanho;
    }
    return saida;
}

std::string Cp1252ParaUtf8(std::string_view cp1252) {
    std::string saida;
    saida.reserve(cp1252.size() + cp1252.size() / 4);
    for (char c : cp1252) {
        const unsigned char b = Byte(c);
        if (b < 0x80) {
            saida += c;
        } else if (b < 0xA0) {
            const char32_t cp = kFaixa80[b - 0x80];
            AnexarUtf8(saida, cp != 0 ? cp : 0xFFFD);
        } else {
            AnexarUtf8(saida, b);
        }
    }
    return saida;
}

int Cp1252ParaUtf8EmPartes(unsigned char* saida, int* tamSaida, const unsigned char* entrada, int* tamEntrada) {
    int lidos = 0;
    std::string utf8;
    std::size_t escritos = 0;
    const std::size_t livre = *tamSaida > 0 ? static_cast<std::size_t>(*tamSaida) : 0;
    int resultado = 0;
    for (; lidos < *tamEntrada; ++lidos) {
        const unsigned char b = entrada[lidos];
        const char32_t cp = b < 0x80 ? b : b < 0xA0 ? kFaixa80[b - 0x80] : b;
        if (cp == 0) {
            resultado = -2;
            break;
        }
        utf8.clear();
        AnexarUtf8(utf8, cp);
        if (escritos + utf8.size() > livre) break;
        std::memcpy(saida + escritos, utf8.data(), utf8.size());
        escritos += utf8.size();
    }
    *tamEntrada = lidos;
    *tamSaida = static_cast<int>(escritos);
    return resultado < 0 ? resultado : *tamSaida;
}

std::string MaiusculasAZ(std::string_view texto) {
    std::string saida(texto);
    for (char& c : saida) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return saida;
}

std::string MinusculasAZ(std::string_view texto) {
    std::string saida(texto);
    for (char& c : saida) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return saida;
}

std::string Maiusculas(std::string_view texto) {
    std::string saida(texto);
    for (char& c : saida) c = MaiusculaCp1252(c);
    return saida;
}

bool IguaisSemCaixa(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (MaiusculaCp1252(a[i]) != MaiusculaCp1252(b[i])) return false;
    }
    return true;
}

namespace {

std::string Minusculas(std::string_view texto) { return MinusculasAZ(texto); }

bool EhUtf8(std::string_view rotulo) {
    const std::string r = Minusculas(rotulo);
    return r == "utf-8" || r == "utf8";
}

bool EhCp1252(std::string_view rotulo) {
    const std::string r = Minusculas(rotulo);
    return r == "windows-1252" || r == "cp1252" || r == "x-cp1252" || r == "ms-ansi" || EhRotuloLatin1(r);
}

// The size in bytes of one code unit of the encoding: a byte that cannot be
// decoded is skipped by whole units.
std::size_t Unidade(std::string_view rotulo) {
    const std::string r = Minusculas(rotulo);
    if (r.find("32") != std::string::npos || r.find("ucs-4") != std::string::npos ||
        r.find("ucs4") != std::string::npos)
        return 4;
    if (r.find("16") != std::string::npos || r.find("ucs-2") != std::string::npos ||
        r.find("ucs2") != std::string::npos)
        return 2;
    return 1;
}

class TConversor {
public:
    explicit TConversor(const std::string& de) : cd_(::iconv_open("UTF-8", de.c_str())) {}
    ~TConversor() {
        if (Valido()) ::iconv_close(cd_);
    }
    TConversor(const TConversor&) = delete;
    TConversor& operator=(const TConversor&) = delete;
    bool Valido() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t cd() const { return cd_; }

private:
    iconv_t cd_;
};

// `dados` decoded from `codificacao` into UTF-8; each undecodable unit
// becomes "?". nullopt when the system does not know the encoding.
std::optional<std::string> ParaUtf8(std::string_view dados, std::string_view codificacao) {
    TConversor conversor{std::string(codificacao)};
    if (!conversor.Valido()) return std::nullopt;
    const std::size_t unidade = Unidade(codificacao);
    std::string saida;
    char bloco[4096];
    char* entrada = const_cast<char*>(dados.data());
    std::size_t resta = dados.size();
    while (resta > 0) {
        char* destino = bloco;
        std::size_t livre = sizeof bloco;
        const std::size_t r = ::iconv(conversor.cd(), &entrada, &resta, &destino, &livre);
        const int erro = errno;
        saida.append(bloco, static_cast<std::size_t>(destino - bloco));
        if (r != static_cast<std::size_t>(-1)) break;
        if (erro == E2BIG) continue;
        // An ill-formed unit (EILSEQ) or a sequence cut at the end (EINVAL).
        saida += kSubstituto;
        if (erro != EILSEQ) break;
        const std::size_t pulo = std::min(unidade, resta);
        entrada += pulo;
        resta -= pulo;
    }
    char* destino = bloco;
    std::size_t livre = sizeof bloco;
    ::iconv(conversor.cd(), nullptr, nullptr, &destino, &livre);  // ends a stateful encoding
    saida.append(bloco, static_cast<std::size_t>(destino - bloco));
    return saida;
}

}  // namespace

std::string NomeArquivoParaCp1252(std::string_view nome) { return Utf8ParaCp1252(nome); }

std::string LocalParaCp1252(std::string_view texto) {
    const char* codeset = ::nl_langinfo(CODESET);
    const std::string_view rotulo = codeset ? codeset : "";
    if (rotulo.empty() || EhUtf8(rotulo)) return Utf8ParaCp1252(texto);
    if (rotulo == "ANSI_X3.4-1968" || rotulo == "ASCII" || rotulo == "US-ASCII") {
        std::string saida(texto);
        for (char& c : saida)
            if (Byte(c) >= 0x80) c = kSubstituto;
        return saida;
    }
    return ConverterParaCp1252(texto, rotulo);
}

std::string DescricaoErroSistema(int erro) {
    char buffer[512];
    // The GNU strerror_r: the result may or may not be the buffer.
    const char* texto = ::strerror_r(erro, buffer, sizeof buffer);
    return LocalParaCp1252(texto ? texto : "");
}

std::string ConverterParaCp1252(std::string_view dados, std::string_view codificacao) {
    if (codificacao.empty() || EhUtf8(codificacao)) return Utf8ParaCp1252(dados);
    if (EhCp1252(codificacao)) return std::string(dados);
    const std::optional<std::string> utf8 = ParaUtf8(dados, codificacao);
    return Utf8ParaCp1252(utf8 ? *utf8 : dados);
}

bool EhRotuloLatin1(std::string_view rotulo) {
    static constexpr std::array<std::string_view, 13> kRotulos = {
        "iso-8859-1", "iso8859-1", "iso_8859-1", "iso_8859-1:1987", "iso88591", "latin1",  "latin-1",
        "l1",         "cp819",     "ibm819",     "iso-ir-100",      "csisolatin1", "8859-1"};
    const std::string r = Minusculas(rotulo);
    for (std::string_view k : kRotulos)
        if (r == k) return true;
    return false;
}
