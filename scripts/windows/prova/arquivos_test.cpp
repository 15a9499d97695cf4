// File names with accents and at the length limit of a name, through the wide-character
// calls, and the database client missing from the machine.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace {

// A fresh folder under the temporary folder, removed with all it holds.
class PastaTemporaria : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        ASSERT_GT(n, 0u);
        pasta_ = std::filesystem::path(temp) / (L"quorvel_prova_" + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::remove_all(pasta_);
        ASSERT_TRUE(std::filesystem::create_directories(pasta_));
    }
    void TearDown() override {
        std::error_code erro;
        std::filesystem::remove_all(LongoCaminho(pasta_), erro);
    }
    // A path past MAX_PATH needs the \\?\ form.
    static std::filesystem::path LongoCaminho(const std::filesystem::path& p) {
        return std::filesystem::path(L"\\\\?\\" + std::filesystem::absolute(p).wstring());
    }
    std::filesystem::path pasta_;
};

struct TCasoNome {
    const char* caso;
    std::wstring nome;
};

// ctest lists a case by its name, not by its bytes.
void PrintTo(const TCasoNome& c, std::ostream* os) { *os << c.caso; }

std::wstring NomeLongo() {
    // 255 characters, the longest name a component may have. ASCII: under Wine the
    // name becomes UTF-8 on the Linux file system, whose limit is 255 bytes.
    std::wstring n = L"Solicitacao_";
    while (n.size() < 255 - 4) n += L'a';
    return n + L".xml";
}

class NomeDeArquivo : public PastaTemporaria, public ::testing::WithParamInterface<TCasoNome> {};

const std::string Conteudo = "<s><p>Jo\xC3\xA3o</p></s>";

// Written with CreateFileW, listed back by FindFirstFileW with the same name, read back
// with _wfopen and with std::ifstream on a std::filesystem::path.
TEST_P(NomeDeArquivo, IdaEVolta) {
    const std::wstring nome = GetParam().nome;
    const std::wstring caminho = LongoCaminho(pasta_ / nome).wstring();

    HANDLE h = CreateFileW(caminho.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "CreateFileW: erro " << GetLastError();
    DWORD escritos = 0;
    ASSERT_TRUE(WriteFile(h, Conteudo.data(), static_cast<DWORD>(Conteudo.size()), &escritos, nullptr));
    ASSERT_TRUE(CloseHandle(h));
    EXPECT_EQ(escritos, Conteudo.size());

    WIN32_FIND_DATAW achado;
    const std::wstring busca = LongoCaminho(pasta_).wstring() + L"\\*.xml";
    HANDLE f = FindFirstFileW(busca.c_str(), &achado);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << "FindFirstFileW: erro " << GetLastError();
    FindClose(f);
    EXPECT_EQ(std::wstring(achado.cFileName), nome);

    FILE* arquivo = _wfopen(caminho.c_str(), L"rb");
    ASSERT_NE(arquivo, nullptr) << "_wfopen falhou";
    std::vector<char> lido(Conteudo.size() + 1);
    const size_t n = std::fread(lido.data(), 1, lido.size(), arquivo);
    std::fclose(arquivo);
    EXPECT_EQ(std::string(lido.data(), n), Conteudo);

    std::ifstream fluxo(std::filesystem::path(caminho), std::ios::binary);
    ASSERT_TRUE(fluxo) << "std::ifstream com std::filesystem::path falhou";
    const std::string pelo_fluxo((std::istreambuf_iterator<char>(fluxo)), std::istreambuf_iterator<char>());
    EXPECT_EQ(pelo_fluxo, Conteudo);
}

INSTANTIATE_TEST_SUITE_P(Nomes, NomeDeArquivo,
                         ::testing::Values(TCasoNome{"Acentos", L"Solicita\u00e7\u00e3o_\u00e7\u00e3o.xml"},
                                           TCasoNome{"Com255Caracteres", NomeLongo()}),
                         [](const auto& info) { return std::string(info.param.caso); });

TEST_F(PastaTemporaria, NomeAcimaDoLimiteEhRecusado) {
    const std::wstring caminho = LongoCaminho(pasta_ / (NomeLongo() + L"x")).wstring();
    HANDLE h = CreateFileW(caminho.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
}

TEST(ClienteDoBanco, AusenteEhInformado) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE m = LoadLibraryW(L"fbclient.dll");
    const DWORD erro = GetLastError();
    if (m) FreeLibrary(m);
    ASSERT_EQ(m, nullptr) << "fbclient.dll carregou nesta m\xE1quina";
    std::printf("LoadLibraryW(fbclient.dll): ausente, erro %lu\n", static_cast<unsigned long>(erro));
    EXPECT_EQ(erro, static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
