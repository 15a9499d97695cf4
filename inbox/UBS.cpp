#include "inbox/UBS.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>
#include <system_error>

#include "base/UErro.h"
#include "base/UTexto.h"

namespace {

char MinusculaAZ(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string DescricaoSistema(int erro) { return DescricaoErroSistema(erro); }

}  // namespace

std::optional<std::int32_t> LerInteiro(const std::string& texto) {
    // The same reading as every integer code bound to the database.
    const auto v = LerNumeroInteiro(texto, INT32_MIN, INT32_MAX);
    if (!v) return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

bool EhInteiro(const std::string& texto) { return LerInteiro(texto).has_value(); }

bool EhData(const std::string& texto) { return LerData(texto).has_value(); }

std::string FormatarCEP(const std::string& texto) {
    if (texto.size() == 9) return texto;
    std::string r = texto.substr(0, 5) + "-";
    if (texto.size() > 5) r += texto.substr(5, 3);
    return r;
}

std::string FormatarCPF(const std::string& texto) {
    if (texto.size() == 14) return texto;
    auto parte = [&](std::size_t inicio, std::size_t tamanho) {
        return inicio < texto.size() ? texto.substr(inicio, tamanho) : std::string();
    };
    return parte(0, 3) + "." + parte(3, 3) + "." + parte(6, 3) + "-" + parte(9, 2);
}

std::string CompletarEsquerda(const std::string& texto, std::size_t tamanho, char caractere) {
    if (texto.size() >= tamanho) return texto;
    return std::string(tamanho - texto.size(), caractere) + texto;
}

TVariante PrimeiroPreenchido(const std::vector<std::string>& textos) {
    for (const std::string& t : textos) {
        if (!t.empty()) return t;
    }
    return TNulo{};
}

TVariante Escolher(bool condicao, const TVariante& valor1, const TVariante& valor2) {
    return condicao ? valor1 : valor2;
}

bool CombinaMascara(const std::string& nome, const std::string& mascara) {
    // Iterative wildcard match with backtracking to the last "*".
    std::size_t n = 0, m = 0;
    std::size_t estrela = std::string::npos, retorno = 0;
    while (n < nome.size()) {
        if (m < mascara.size() && mascara[m] == '*') {
            estrela = m++;
            retorno = n;
        } else if (m < mascara.size() && (mascara[m] == '?' || MinusculaAZ(mascara[m]) == MinusculaAZ(nome[n]))) {
            ++m;
            ++n;
        } else if (estrela != std::string::npos) {
            m = estrela + 1;
            n = ++retorno;
        } else {
            return false;
        }
    }
    while (m < mascara.size() && mascara[m] == '*') ++m;
    return m == mascara.size();
}

namespace {

// "Não foi possível ler a data do arquivo "
[[noreturn]] void FalhaData(const std::string& caminho, int erro) {
    throw EErro("N\xE3o foi poss\xEDvel ler a data do arquivo " + NomeArquivoParaCp1252(caminho) + ": " +
                DescricaoSistema(erro));
}

// A folder that cannot be listed.
[[noreturn]] void FalhaPasta(const std::string& pasta, int erro) {
    throw EErro("N\xE3o foi poss\xEDvel listar a pasta " + NomeArquivoParaCp1252(pasta) + ": " + DescricaoSistema(erro));
}

TDataHora DataDe(const std::string& caminho, const struct stat& info) {
    std::tm local{};
    if (::localtime_r(&info.st_mtim.tv_sec, &local) == nullptr) FalhaData(caminho, errno);
    const int segundo = local.tm_sec > 59 ? 59 : local.tm_sec;  // leap second
    return TDataHora::De(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                         segundo, static_cast<int>(info.st_mtim.tv_nsec / 1000000));
}

}  // namespace

TDataHora DataArquivo(const std::string& caminho) {
    struct stat info {};
    if (::stat(caminho.c_str(), &info) != 0) FalhaData(caminho, errno);
    return DataDe(caminho, info);
}

std::vector<TFile> ListarArquivos(const std::string& pasta, const std::string& mascara) {
    std::vector<TFile> arquivos;
    const std::string pastaLista = pasta.empty() ? "." : pasta;
    DIR* dir = ::opendir(pastaLista.c_str());
    if (dir == nullptr) {
        if (errno == ENOENT || errno == ENOTDIR) return arquivos;
        // "NÃ£o foi possÃ­vel listar a pasta "
        FalhaPasta(pasta, errno);
    }
    struct TFechaDir {
        DIR* d;
        ~TFechaDir() { ::closedir(d); }
    } fecha{dir};

    std::string prefixo = pasta;
    if (!prefixo.empty() && prefixo.back() != '/') prefixo += '/';
    for (;;) {
        errno = 0;
        const dirent* entrada = ::readdir(dir);
        if (entrada == nullptr) {
            if (errno != 0) FalhaPasta(pasta, errno);
            break;
        }
        const std::string nome = entrada->d_name;
        if (nome == "." || nome == ".." || !CombinaMascara(nome, mascara)) continue;
        const std::string caminho = prefixo + nome;
        struct stat info {};
        if (::stat(caminho.c_str(), &info) != 0) {
            if (errno == ENOENT) continue;  // gone since the folder was read
            FalhaData(caminho, errno);
        }
        if (!S_ISREG(info.st_mode)) continue;
        arquivos.push_back(TFile{caminho, DataDe(caminho, info)});
    }
    return arquivos;
}
