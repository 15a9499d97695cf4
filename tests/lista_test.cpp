// The inbox scan and the file list: which files are listed, their statuses,
// the boxes of a scan, the question about files of earlier days, and the
// moves into the processed folder (including the ones that fail).
#include "inbox/UListaArquivos.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/UErro.h"
#include "base/UTexto.h"
#include "config/UConfig.h"
#include "import/UCicloAutomatico.h"
#include "inbox/UGravacao.h"
#include "log/ULog.h"
#include "tests/support/UBancoTeste.h"

namespace fs = std::filesystem;

namespace {

const std::string kDados = std::string(QUORVEL_DADOS_TESTE) + "/lista/";

std::string Ler(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void Escrever(const fs::path& p, const std::string& conteudo) { std::ofstream(p, std::ios::binary) << conteudo; }

// Sets the file's last write to `dias` days ago at hh:mm:00 local time.
void DefinirData(const fs::path& p, int dias, int hora, int minuto) {
    std::time_t agora = std::time(nullptr);
    std::tm tm{};
    localtime_r(&agora, &tm);
    tm.tm_mday -= dias;
    tm.tm_hour = hora;
    tm.tm_min = minuto;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    const timeval tempos[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimes(p.c_str(), tempos), 0);
}

std::vector<std::string> Nomes(const fs::path& pasta) {
    std::vector<std::string> r;
    if (fs::exists(pasta))
        for (const auto& e : fs::directory_iterator(pasta)) r.push_back(e.path().filename().string());
    std::sort(r.begin(), r.end());
    return r;
}

// A temporary folder with the inbox folder "arquivos" inside.
fs::path NovaRaiz() {
    char modelo[] = "/tmp/lista_test_XXXXXX";
    if (!mkdtemp(modelo)) throw std::runtime_error("mkdtemp");
    fs::create_directory(fs::path(modelo) / "arquivos");
    return modelo;
}

class ListaTeste : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ambiente_ = std::make_unique<TDMTeste>(); }
    static void TearDownTestSuite() { ambiente_.reset(); }

    void SetUp() override {
        Log::DefinirArquivo((raiz / "log.txt").string());
        janela.Limpar();
        janela.ResponderSempre(TResposta::Nao);
        lista.AoMostrarDiretorio = [this](const std::string& d) { diretorioMostrado = d; };
        lista.AoHabilitarBotoes = [this](bool b) { botoes.push_back(b); };
    }
    void TearDown() override {
        fs::permissions(entrada, fs::perms::owner_all);
        fs::remove_all(raiz);
    }

    void Copiar(const std::string& fixture, const std::string& nome) {
        fs::copy_file(kDados + fixture, entrada / nome, fs::copy_options::overwrite_existing);
    }
    std::string Caminho(const std::string& nome) const { return (entrada / nome).string(); }

    // Rows of the file list: "name status" in the list's order.
    std::vector<std::string> Linhas() const {
        std::vector<std::string> r;
        const TTabela& t = tp.cdsArquivos;
        for (int i = 0; i < t.Contar(); ++i)
            r.push_back(fs::path(t.TextoExibicaoEm(i, "nome_arquivo")).filename().string() + " " +
                        t.TextoExibicaoEm(i, "status"));
        return r;
    }

    static std::unique_ptr<TDMTeste> ambiente_;
    fs::path raiz = NovaRaiz();
    fs::path entrada = raiz / "arquivos";
    TJanelaTeste janela;
    TTabelasPedido tp;
    TLeitorPedidos leitor{tp};
    TValidacao validacao{tp, *ambiente_->dm, janela};
    TListaArquivos lista{tp, leitor, validacao, janela, entrada.string() + "/"};
    std::string diretorioMostrado;
    std::vector<bool> botoes;
};

std::unique_ptr<TDMTeste> ListaTeste::ambiente_;

}  // namespace

TEST_F(ListaTeste, SoArquivosXmlDaPastaDeEntrada) {
    Copiar("valido.xml", "a.xml");
    Copiar("valido.xml", "B.XML");
    Copiar("valido.xml", "c.txt");
    fs::create_directory(entrada / "processados");
    Copiar("valido.xml", "processados/d.xml");
    lista.AtualizarLista();
    EXPECT_EQ(diretorioMostrado, entrada.string() + "/");
    EXPECT_EQ(Linhas(), (std::vector<std::string>{"B.XML Pendente", "a.xml Pendente"}));
    EXPECT_EQ(botoes, std::vector<bool>{true});
    EXPECT_TRUE(janela.caixas.empty());
    EXPECT_EQ(tp.cdsArquivos.IndiceAtual(), 0);
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "V1");
    EXPECT_EQ(std::count(janela.progressos.begin(), janela.progressos.end(), "Lendo arquivo a.xml"), 1);
    EXPECT_EQ(std::count(janela.progressos.begin(), janela.progressos.end(), "Lendo arquivo B.XML"), 1);
    EXPECT_EQ(janela.progressoAtual, "");
}

TEST_F(ListaTeste, ArquivoComErroListadoPorUltimoEPrimeiroFicaAtual) {
    Copiar("sem_sexo.xml", "a.xml");
    Copiar("valido.xml", "b.xml");
    lista.AtualizarLista();
    EXPECT_EQ(Linhas(), (std::vector<std::string>{"b.xml Pendente", "a.xml Com erro"}));
    EXPECT_EQ(tp.cdsArquivos.Texto("nome_arquivo"), Caminho("b.xml"));
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "V1") << "the first row's requests are in the request tables";
    EXPECT_EQ(tp.cdsExames.Contar(), 1);
    tp.cdsArquivos.Proximo();
    EXPECT_EQ(tp.cdsArquivos.Texto("erros"), "Protocolo S1: Sexo inv\xE1lido para pacientePAULA\r\n");
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "S1") << "moving the selection reads the file";
    EXPECT_EQ(lista.cdsArquivosstatusGetText(), "Com erro");
}

TEST_F(ListaTeste, ArquivoMalformadoMostraACaixaEFicaPendente) {
    Copiar("valido.xml", "a.xml");
    Copiar("malformado.xml", "m.xml");
    lista.AtualizarLista();
    ASSERT_EQ(janela.caixas.size(), 1u);
    const auto& caixa = janela.caixas[0];
    EXPECT_EQ(caixa.icone, TIcone::Erro);
    EXPECT_EQ(caixa.botoes, TBotoes::OK);
    EXPECT_EQ(caixa.texto.rfind("Arquivo: " + Caminho("m.xml") + "\rErro de XML na linha 5: ", 0), 0u) << caixa.texto;
    EXPECT_EQ(Linhas(), (std::vector<std::string>{"a.xml Pendente", "m.xml Pendente"}));
    EXPECT_EQ(botoes, std::vector<bool>{true});
    // Selecting it later: the failure goes to the window, the tables are empty.
    EXPECT_THROW(tp.cdsArquivos.MoverPara(1), EErroXML);
    EXPECT_EQ(tp.cdsArquivos.Texto("erros"), "");
    EXPECT_EQ(tp.cdsPedidos.ContarTodas(), 0);
}

TEST_F(ListaTeste, PrimeiroArquivoIlegivelNaoInterrompeAVarredura) {
    Copiar("malformado.xml", "0.xml");
    Copiar("valido.xml", "a.xml");
    DefinirData(entrada / "a.xml", 3, 12, 0);
    janela.Responder(TResposta::OK);
    janela.Responder(TResposta::OK);
    janela.Responder(TResposta::Nao);
    lista.AtualizarLista();
    ASSERT_EQ(janela.caixas.size(), 3u);
    EXPECT_EQ(janela.caixas[0].texto.rfind("Arquivo: " + Caminho("0.xml"), 0), 0u);
    EXPECT_EQ(janela.caixas[1].texto.rfind("Erro de XML na linha", 0), 0u) << janela.caixas[1].texto;
    EXPECT_EQ(janela.caixas[2].icone, TIcone::Confirmacao) << "the scan went on to its question";
    EXPECT_EQ(botoes, std::vector<bool>{true});
    EXPECT_EQ(tp.cdsPedidos.ContarTodas(), 0);
}

// File-system names are UTF-8; the box, the progress text, the folder label,
// the grid and the log show them in Windows-1252, while every file operation
// keeps the real name.
TEST_F(ListaTeste, PastaENomesComAcentosMostradosELogadosNaCp1252) {
    const fs::path pasta = raiz / "Laborat\xC3\xB3rio S\xC3\xA3o Jo\xC3\xA3o" / "arquivos";
    fs::create_directories(pasta);
    const std::string nomeReal = "pedido a\xC3\xA7\xC3\xA3o.xml";
    fs::copy_file(kDados + "valido.xml", pasta / nomeReal);
    fs::copy_file(kDados + "malformado.xml", pasta / "ruim \xE4\xB8\xAD.xml");  // a character Windows-1252 lacks
    TListaArquivos acentos{tp, leitor, validacao, janela, pasta.string() + "/"};
    std::string mostrado;
    acentos.AoMostrarDiretorio = [&](const std::string& d) { mostrado = d; };

    acentos.AtualizarLista();

    const std::string pastaExibida = raiz.string() + "/Laborat\xF3rio S\xE3o Jo\xE3o/arquivos/";
    EXPECT_EQ(mostrado, pastaExibida);
    ASSERT_EQ(janela.caixas.size(), 1u);
    EXPECT_EQ(janela.caixas[0].texto.rfind("Arquivo: " + pastaExibida + "ruim ?.xml\rErro de XML na linha 5: ", 0), 0u)
        << janela.caixas[0].texto;
    for (const char* progresso : {"Lendo arquivo pedido a\xE7\xE3o.xml", "Lendo arquivo ruim ?.xml"})
        EXPECT_EQ(std::count(janela.progressos.begin(), janela.progressos.end(), progresso), 1) << progresso;

    const TTabela& a = tp.cdsArquivos;
    ASSERT_EQ(a.Contar(), 2);
    EXPECT_EQ(a.TextoExibicaoEm(0, "nome_arquivo"), pastaExibida + "pedido a\xE7\xE3o.xml");
    EXPECT_EQ(a.TextoExibicaoEm(1, "nome_arquivo"), pastaExibida + "ruim ?.xml");
    EXPECT_EQ(VariantParaTexto(a.ValorEm(0, "nome_arquivo")), (pasta / nomeReal).string()) << "the real path";
    EXPECT_EQ(a.TextoExibicaoEm(0, "status"), "Pendente");
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "V1") << "read by its real name";

    const std::string log = Ler(raiz / "log.txt");
    EXPECT_NE(log.find("\tIniciando processo de leitura do arquivo " + pastaExibida + "pedido a\xE7\xE3o.xml\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("\xC3"), std::string::npos) << "UTF-8 bytes in the log: " << log;

    ASSERT_TRUE(TListaArquivos::MoverParaProcessados(a.Texto("nome_arquivo")));
    EXPECT_EQ(Nomes(pasta / "processados"), std::vector<std::string>{nomeReal});
    EXPECT_EQ(Ler(pasta / "processados" / nomeReal), Ler(kDados + "valido.xml"));
}

TEST_F(ListaTeste, PastaVaziaOuAusente) {
    lista.AtualizarLista();
    EXPECT_TRUE(tp.cdsArquivos.Vazia());
    EXPECT_EQ(botoes, std::vector<bool>{false});
    EXPECT_EQ(lista.cdsArquivosstatusGetText(), "");
    EXPECT_TRUE(janela.caixas.empty());

    fs::remove_all(entrada);
    leitor.CarregarArquivo(kDados + "valido.xml");
    lista.AtualizarLista();
    EXPECT_EQ(tp.cdsPedidos.ContarTodas(), 0) << "an empty list empties the request tables";
    EXPECT_EQ(botoes, (std::vector<bool>{false, false}));
    fs::create_directory(entrada);
}

TEST_F(ListaTeste, ArquivosDeOutrosDias) {
    Copiar("valido.xml", "ontem.xml");
    Copiar("valido.xml", "hoje.xml");
    DefinirData(entrada / "ontem.xml", 1, 23, 59);
    DefinirData(entrada / "hoje.xml", 0, 0, 0);

    janela.Responder(TResposta::Nao);
    lista.AtualizarLista();
    ASSERT_EQ(janela.caixas.size(), 1u);
    EXPECT_EQ(janela.caixas[0].texto,
              "Existe(m) arquivos n\xE3o processados de outros dias.\r\n"
              "Deseja mov\xEA-los para a pasta de arquivos PROCESSADOS?");
    EXPECT_EQ(janela.caixas[0].icone, TIcone::Confirmacao);
    EXPECT_EQ(janela.caixas[0].botoes, TBotoes::SimNao);
    EXPECT_EQ(Nomes(entrada), (std::vector<std::string>{"hoje.xml", "ontem.xml"}));

    janela.Limpar();
    janela.Responder(TResposta::Sim);
    lista.AtualizarLista();
    EXPECT_EQ(janela.caixas.size(), 1u) << "the scan after the move finds no old file and asks nothing";
    EXPECT_EQ(Nomes(entrada), (std::vector<std::string>{"hoje.xml", "processados"}));
    EXPECT_EQ(Nomes(entrada / "processados"), std::vector<std::string>{"ontem.xml"});
    EXPECT_EQ(Linhas(), std::vector<std::string>{"hoje.xml Pendente"});
    EXPECT_EQ(Ler(entrada / "processados" / "ontem.xml"), Ler(kDados + "valido.xml"));

    // A file of today at 00:00 alone: no question.
    janela.Limpar();
    lista.AtualizarLista();
    EXPECT_TRUE(janela.caixas.empty());
}

namespace {

// The window's refresh by itself (Reatualizar) after the operator's F5 and
// some work on the rows: only what is new is read.
struct TCasoReatualizar {
    const char* nome;
    std::vector<std::pair<std::string, std::string>> antes;  // name, fixture: listed by F5
    // The status and erros that the work gave a row (import, refusal).
    struct TMarca {
        std::string nome;
        int status;
        std::string erros;
    };
    std::vector<TMarca> marcas;
    std::string atual;                                         // the operator's row
    std::vector<std::pair<std::string, std::string>> depois;  // written after F5 (in place)
    std::vector<std::string> renomeados;  // replaced by rename with the same bytes and last write
    std::vector<std::string> removidos;
    // After the refresh.
    std::vector<std::string> linhas;
    std::vector<std::string> lidos;  // files read by the refresh
    int caixas;                      // boxes it showed
    std::string linhaAtual;          // the current row
    std::string protocoloAtual;      // the request tables' first request ("" empty)
    std::pair<std::string, std::string> erros{};  // a row's erros, when named
};

void PrintTo(const TCasoReatualizar& c, std::ostream* os) { *os << c.nome; }

class ReatualizarTeste : public ListaTeste, public ::testing::WithParamInterface<TCasoReatualizar> {
protected:
    int Indice(const std::string& nome) const {
        const TTabela& t = tp.cdsArquivos;
        for (int i = 0; i < t.Contar(); ++i)
            if (VariantParaTexto(t.ValorEm(i, "nome_arquivo")) == Caminho(nome)) return i;
        return -1;
    }
    // Makes the row current (its file read; one that cannot be parsed
    // throws, as for the operator's click).
    void Selecionar(const std::string& nome) {
        try {
            tp.cdsArquivos.MoverPara(Indice(nome));
        } catch (const EErroXML&) {
        }
    }
};

}  // namespace

TEST_P(ReatualizarTeste, SoONovoELidoEOTrabalhoDasLinhasFica) {
    const TCasoReatualizar& c = GetParam();
    for (const auto& [nome, fixture] : c.antes) Copiar(fixture, nome);
    lista.AtualizarLista();
    for (const auto& m : c.marcas) {
        Selecionar(m.nome);
        TTabela& t = tp.cdsArquivos;
        t.Editar();
        t.Definir("status", m.status);
        t.Definir("erros", m.erros);
        t.Gravar();
    }
    Selecionar(c.atual);
    // A rewrite in place within the file system's time step would keep the
    // last write: the sending system's writes are seconds apart.
    for (const auto& [nome, fixture] : c.depois) {
        Copiar(fixture, nome);
        fs::last_write_time(entrada / nome, fs::file_time_type::clock::now() + std::chrono::seconds(2));
    }
    for (const std::string& nome : c.renomeados) {
        const fs::path novo = entrada / ".novo";
        fs::copy_file(entrada / nome, novo);
        fs::last_write_time(novo, fs::last_write_time(entrada / nome));
        fs::rename(novo, entrada / nome);
    }
    for (const std::string& nome : c.removidos) fs::remove(entrada / nome);
    janela.Limpar();
    botoes.clear();

    lista.Reatualizar(Caminho(c.atual));

    EXPECT_EQ(Linhas(), c.linhas);
    std::vector<std::string> lidos;
    for (const std::string& p : janela.progressos)
        if (p.rfind("Lendo arquivo ", 0) == 0) lidos.push_back(p.substr(14));
    std::sort(lidos.begin(), lidos.end());
    EXPECT_EQ(lidos, c.lidos);
    std::string textos;
    for (const auto& caixa : janela.caixas) textos += caixa.texto + "\n";
    EXPECT_EQ(static_cast<int>(janela.caixas.size()), c.caixas) << textos;
    for (const auto& caixa : janela.caixas) EXPECT_EQ(caixa.texto.rfind("Arquivo: ", 0), 0u) << caixa.texto;
    EXPECT_EQ(tp.cdsArquivos.Texto("nome_arquivo"), Caminho(c.linhaAtual));
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), c.protocoloAtual) << "the request tables hold the current file";
    EXPECT_EQ(botoes, std::vector<bool>{true});
    if (!c.erros.first.empty()) {
        ASSERT_GE(Indice(c.erros.first), 0);
        EXPECT_EQ(VariantParaTexto(tp.cdsArquivos.ValorEm(Indice(c.erros.first), "erros")), c.erros.second);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Casos, ReatualizarTeste,
    ::testing::Values(
        TCasoReatualizar{"arquivo_malformado_listado_nao_mostra_a_caixa_de_novo",
                         {{"a.xml", "valido.xml"}, {"m.xml", "malformado.xml"}},
                         {},
                         "m.xml",
                         {{"b.xml", "valido.xml"}},
                         {},
                         {},
                         {"a.xml Pendente", "b.xml Pendente", "m.xml Pendente"},
                         {"b.xml"},
                         0,
                         "m.xml",
                         ""},
        TCasoReatualizar{"finalizado_continua_finalizado",
                         {{"a.xml", "valido.xml"}, {"s.xml", "sem_sexo.xml"}},
                         {{"a.xml", 1, ""}},
                         "s.xml",
                         {{"b.xml", "valido.xml"}},
                         {},
                         {},
                         {"a.xml Finalizado", "b.xml Pendente", "s.xml Com erro"},
                         {"b.xml"},
                         0,
                         "s.xml",
                         "S1"},
        TCasoReatualizar{"com_erro_mantem_seus_erros",
                         {{"a.xml", "valido.xml"}, {"s.xml", "sem_sexo.xml"}},
                         {{"a.xml", -1, "Protocolo V1: registro bloqueado\r\n"}},
                         "s.xml",
                         {{"b.xml", "valido.xml"}},
                         {},
                         {},
                         {"b.xml Pendente", "a.xml Com erro", "s.xml Com erro"},
                         {"b.xml"},
                         0,
                         "s.xml",
                         "S1",
                         {"a.xml", "Protocolo V1: registro bloqueado\r\n"}},
        TCasoReatualizar{"novos_arquivos_assentados_entram",
                         {{"a.xml", "valido.xml"}},
                         {},
                         "a.xml",
                         {{"b.xml", "sem_sexo.xml"}, {"m.xml", "malformado.xml"}},
                         {},
                         {},
                         {"a.xml Pendente", "m.xml Pendente", "b.xml Com erro"},
                         {"b.xml", "m.xml"},
                         1,
                         "a.xml",
                         "V1",
                         {"b.xml", "Protocolo S1: Sexo inv\xE1lido para pacientePAULA\r\n"}},
        TCasoReatualizar{"arquivo_removido_sai_da_lista",
                         {{"a.xml", "valido.xml"}, {"s.xml", "sem_sexo.xml"}, {"t.xml", "sem_sexo.xml"}},
                         {{"a.xml", 1, ""}},
                         "s.xml",
                         {},
                         {},
                         {"s.xml"},
                         {"a.xml Finalizado", "t.xml Com erro"},
                         {},
                         0,
                         "a.xml",
                         "V1"},
        TCasoReatualizar{"arquivo_alterado_lido_de_novo",
                         {{"a.xml", "valido.xml"}, {"b.xml", "valido.xml"}},
                         {{"a.xml", 1, ""}},
                         "b.xml",
                         {{"a.xml", "sem_sexo.xml"}},
                         {},
                         {},
                         {"b.xml Pendente", "a.xml Com erro"},
                         {"a.xml"},
                         0,
                         "b.xml",
                         "V1",
                         {"a.xml", "Protocolo S1: Sexo inv\xE1lido para pacientePAULA\r\n"}},
        TCasoReatualizar{"com_erro_alterado_perde_os_erros_antigos",
                         {{"a.xml", "valido.xml"}},
                         {{"a.xml", -1, "Protocolo V1: registro bloqueado\r\n"}},
                         "a.xml",
                         {{"a.xml", "valido.xml"}},
                         {},
                         {},
                         {"a.xml Pendente"},
                         {"a.xml"},
                         0,
                         "a.xml",
                         "V1",
                         {"a.xml", ""}},
        TCasoReatualizar{"substituido_por_outro_arquivo_igual_e_nova_versao",
                         {{"a.xml", "valido.xml"}},
                         {{"a.xml", 1, ""}},
                         "a.xml",
                         {},
                         {"a.xml"},
                         {},
                         {"a.xml Pendente"},
                         {"a.xml"},
                         0,
                         "a.xml",
                         "V1"}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(MoverParaProcessados, SubstituiACopiaAntiga) {
    const fs::path raiz = NovaRaiz();
    const fs::path entrada = raiz / "arquivos";
    Escrever(entrada / "a.xml", "novo");
    EXPECT_TRUE(TListaArquivos::MoverParaProcessados((entrada / "a.xml").string())) << "creates processados/";
    Escrever(entrada / "a.xml", "mais novo");
    EXPECT_TRUE(TListaArquivos::MoverParaProcessados((entrada / "a.xml").string()));
    EXPECT_EQ(Nomes(entrada), std::vector<std::string>{"processados"});
    EXPECT_EQ(Nomes(entrada / "processados"), std::vector<std::string>{"a.xml"});
    EXPECT_EQ(Ler(entrada / "processados" / "a.xml"), "mais novo");
    EXPECT_FALSE(TListaArquivos::MoverParaProcessados((entrada / "nao_existe.xml").string()));
    EXPECT_EQ(Nomes(entrada / "processados"), std::vector<std::string>{"a.xml"});
    fs::remove_all(raiz);
}

// Runs `f` in a child process and returns its exit status.
template <typename F>
int EmProcessoFilho(F f) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(f());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The copy succeeds but the original cannot be deleted. The inbox folder is
// made read-only for the mover; as root (whom permissions do not stop) the
// move runs in a child process that has dropped to the "nobody" user.
TEST(MoverParaProcessados, CopiaFeitaMasOriginalNaoApagado) {
    const fs::path raiz = NovaRaiz();
    const fs::path entrada = raiz / "arquivos";
    const fs::path processados = entrada / "processados";
    Escrever(entrada / "a.xml", "conteudo do pedido");
    fs::create_directory(processados);
    fs::permissions(processados, fs::perms::all);
    fs::permissions(raiz, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(entrada, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(entrada / "a.xml", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                           fs::perms::others_read);
    const bool root = ::geteuid() == 0;
    if (!root) fs::permissions(entrada, fs::perms::owner_read | fs::perms::owner_exec);

    const int r = EmProcessoFilho([&] {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 99;
        return TListaArquivos::MoverParaProcessados((entrada / "a.xml").string()) ? 1 : 0;
    });
    fs::permissions(entrada, fs::perms::owner_all);
    EXPECT_EQ(r, 0) << "false expected";
    EXPECT_EQ(Ler(entrada / "a.xml"), "conteudo do pedido") << "the original stays";
    EXPECT_EQ(Nomes(processados), std::vector<std::string>{"a.xml"}) << "the complete copy, no temporary file";
    EXPECT_EQ(Ler(processados / "a.xml"), "conteudo do pedido");
    fs::remove_all(raiz);
}

// A copy that fails halfway (the file-size limit stands in for a full disk)
// leaves the original, the older copy and nothing else.
TEST(MoverParaProcessados, CopiaInterrompidaNaoDeixaArquivoTruncado) {
    const fs::path raiz = NovaRaiz();
    const fs::path entrada = raiz / "arquivos";
    const fs::path processados = entrada / "processados";
    const std::string grande(200000, 'x');
    Escrever(entrada / "a.xml", grande);
    fs::create_directory(processados);
    Escrever(processados / "a.xml", "copia antiga");

    const int r = EmProcessoFilho([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limite{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limite) != 0) return 99;
        return TListaArquivos::MoverParaProcessados((entrada / "a.xml").string()) ? 1 : 0;
    });
    EXPECT_EQ(r, 0) << "false expected";
    EXPECT_EQ(Ler(entrada / "a.xml"), grande);
    EXPECT_EQ(Nomes(processados), std::vector<std::string>{"a.xml"});
    EXPECT_EQ(Ler(processados / "a.xml"), "copia antiga");
    fs::remove_all(raiz);
}

// Every name the file system allows moves, up to its 255 bytes (the
// temporary copy must not need a longer name), accented ones included.
class MoverNomeLongo : public ::testing::TestWithParam<std::string> {};

TEST_P(MoverNomeLongo, ArquivoMovidoComONomeReal) {
    const std::string nome = GetParam();
    ASSERT_LE(nome.size(), 255u);
    const fs::path raiz = NovaRaiz();
    const fs::path entrada = raiz / "arquivos";
    Escrever(entrada / nome, "conteudo do pedido");
    EXPECT_TRUE(TListaArquivos::MoverParaProcessados((entrada / nome).string()));
    EXPECT_EQ(Nomes(entrada), std::vector<std::string>{"processados"});
    EXPECT_EQ(Nomes(entrada / "processados"), std::vector<std::string>{nome}) << "no temporary file left";
    EXPECT_EQ(Ler(entrada / "processados" / nome), "conteudo do pedido");
    fs::remove_all(raiz);
}

std::string Repetir(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

INSTANTIATE_TEST_SUITE_P(Nomes, MoverNomeLongo,
                         ::testing::Values(std::string(244, 'p') + ".xml",  // 248 bytes
                                           std::string(251, 'p') + ".xml",  // 255 bytes
                                           Repetir("\xC3\xA7", 125) + "a.xml"),  // 255 bytes, 126 characters
                         [](const auto& info) { return std::to_string(info.param.size()) + "_" +
                                                       std::to_string(info.index); });

// ---- files still being written ----

namespace {

using TRelogio = std::chrono::system_clock;

// Sets the file's last write to `t`.
void DefinirEscrita(const fs::path& p, TRelogio::time_point t) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    const timespec tempo{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    const timespec tempos[2] = {tempo, tempo};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), tempos, 0), 0);
}

// The guard's clocks, set by the test: the folder's "now" (none: the stamp
// cannot be written), the system clock and the monotonic clock.
struct TRelogioTeste {
    TRelogio::time_point sistema = TRelogio::now();
    std::optional<std::chrono::seconds> desvioPasta = std::chrono::seconds(0);  // the folder's clock - sistema
    std::chrono::steady_clock::time_point monotonico = std::chrono::steady_clock::now();
    int leiturasDaPasta = 0;

    std::optional<TRelogio::time_point> Pasta() const {
        if (!desvioPasta) return std::nullopt;
        return sistema + *desvioPasta;
    }
    // Time passes: every clock moves on.
    void Avancar(int segundos) {
        sistema += std::chrono::seconds(segundos);
        monotonico += std::chrono::seconds(segundos);
    }
    // The system clock is stepped (and the folder's with it, the same
    // machine's); the monotonic clock does not move.
    void Saltar(int segundos) { sistema += std::chrono::seconds(segundos); }

    TGuardaGravacao::TRelogios Relogios() {
        return {[this](const std::string&) {
                    ++leiturasDaPasta;
                    return Pasta();
                },
                [this] { return sistema; }, [this] { return monotonico; }};
    }
};

struct TCasoGravacao {
    const char* nome;
    std::optional<std::string> chave;  // segundos_arquivo_estavel in config.xml; nullopt: no such key
    int escritaHa;                     // seconds between the last write and the scan (< 0: in the future)
    bool listado;
};

class GravacaoTeste : public ListaTeste, public ::testing::WithParamInterface<TCasoGravacao> {};

}  // namespace

// One scan with N from config.xml and "now" from a clock of the test.
TEST_P(GravacaoTeste, SoArquivosAssentadosSaoListados) {
    const TCasoGravacao& c = GetParam();
    TDM& dm = *ambiente_->dm;
    fs::remove(dm.Pasta() + "config.xml");
    if (c.chave) dm.GravarConfigXML("aplicacao", "segundos_arquivo_estavel", *c.chave);
    TConfig config;
    LerConfigAplicacao(dm, config);
    fs::remove(dm.Pasta() + "config.xml");

    TRelogioTeste relogio;
    const TRelogio::time_point agora = relogio.sistema;
    lista.Gravacao() = TGuardaGravacao(config.SegundosArquivoEstavel, relogio.Relogios());
    Copiar("valido.xml", "a.xml");
    DefinirEscrita(entrada / "a.xml", agora - std::chrono::seconds(c.escritaHa));

    lista.AtualizarLista();

    EXPECT_TRUE(janela.caixas.empty());
    if (c.listado) {
        EXPECT_EQ(Linhas(), std::vector<std::string>{"a.xml Pendente"});
        EXPECT_EQ(lista.EmGravacao(), 0);
        EXPECT_EQ(janela.progressoAtual, "");
    } else {
        EXPECT_TRUE(Linhas().empty());
        EXPECT_EQ(lista.EmGravacao(), 1);
        EXPECT_EQ(janela.progressoAtual, "1 arquivo ainda em grava\xE7\xE3o");
        EXPECT_EQ(std::count(janela.progressos.begin(), janela.progressos.end(), "Lendo arquivo a.xml"), 0);
        EXPECT_EQ(Ler(raiz / "log.txt").find("a.xml"), std::string::npos) << "no log line";
        EXPECT_TRUE(fs::exists(entrada / "a.xml"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Casos, GravacaoTeste,
    ::testing::Values(TCasoGravacao{"recem_gravado", "5", 1, false},
                      TCasoGravacao{"gravado_ha_N_segundos", "5", 5, true},
                      TCasoGravacao{"N_zero_desliga_a_guarda", "0", 0, true},
                      TCasoGravacao{"N_maior", "300", 299, false},
                      TCasoGravacao{"chave_ausente_vale_5", std::nullopt, 4, false},
                      TCasoGravacao{"chave_ausente_gravado_ha_5", std::nullopt, 5, true},
                      TCasoGravacao{"chave_abc_vale_5", "abc", 4, false},
                      TCasoGravacao{"chave_acima_de_300_vale_5", "301", 6, true},
                      TCasoGravacao{"escrita_no_futuro", "5", -3600, false}),
    [](const auto& info) { return std::string(info.param.nome); });

// A last write in the future (a share whose clock runs ahead) holds a file
// back only until its size and last write stay unchanged for N seconds; a
// file half written is never read meanwhile (it would raise a box).
TEST_F(ListaTeste, EscritaNoFuturoAssentaDepoisDeNSegundosSemMudanca) {
    TRelogioTeste relogio;
    lista.Gravacao() = TGuardaGravacao(5, relogio.Relogios());
    const TRelogio::time_point inicio = relogio.sistema;
    const TRelogio::time_point futuro = inicio + std::chrono::hours(1);
    const std::string completo = Ler(kDados + "valido.xml");
    Escrever(entrada / "a.xml", completo.substr(0, completo.size() / 2));
    DefinirEscrita(entrada / "a.xml", futuro);
    Copiar("valido.xml", "b.xml");
    DefinirEscrita(entrada / "b.xml", inicio);
    auto avancar = [&, passados = 0](int segundos) mutable {
        relogio.Avancar(segundos - std::exchange(passados, segundos));
        lista.AtualizarLista();
    };

    avancar(0);
    EXPECT_TRUE(Linhas().empty());
    EXPECT_EQ(janela.progressoAtual, "2 arquivos ainda em grava\xE7\xE3o");

    Escrever(entrada / "a.xml", completo);  // the rest arrives: the observation starts again
    DefinirEscrita(entrada / "a.xml", futuro);
    avancar(3);
    EXPECT_TRUE(Linhas().empty());
    EXPECT_EQ(lista.EmGravacao(), 2);

    avancar(7);  // b.xml written 7 s ago; a.xml unchanged for 4 s
    EXPECT_EQ(Linhas(), std::vector<std::string>{"b.xml Pendente"});
    EXPECT_EQ(janela.progressoAtual, "1 arquivo ainda em grava\xE7\xE3o");

    avancar(8);
    EXPECT_EQ(Linhas(), (std::vector<std::string>{"a.xml Pendente", "b.xml Pendente"}));
    EXPECT_EQ(janela.progressoAtual, "");
    EXPECT_TRUE(janela.caixas.empty()) << janela.caixas.front().texto;
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "V1");
}

namespace {

// One file the sending system writes (a.xml) beside one it wrote half a
// minute before (b.xml), judged on the folder's clock and the monotonic
// clock while the machine's clocks disagree or jump.
struct TCasoRelogio {
    const char* nome;
    int segundos;                     // N
    std::optional<int> desvioPasta;   // the folder's clock - the system clock; none: no stamp (read-only folder)
    int futuro;                       // a.xml's last write - the folder's "now" when it is written
    bool meioGravado;                 // a.xml written in two halves, the second after the first scan
    int salto;                        // the system clock stepped after the first scan
};

void PrintTo(const TCasoRelogio& c, std::ostream* os) { *os << c.nome; }

class RelogioGravacaoTeste : public ListaTeste, public ::testing::WithParamInterface<TCasoRelogio> {};

}  // namespace

TEST_P(RelogioGravacaoTeste, AssentaPeloRelogioDaPastaENuncaEsperaOSalto) {
    const TCasoRelogio& c = GetParam();
    TRelogioTeste relogio;
    relogio.desvioPasta =
        c.desvioPasta ? std::optional<std::chrono::seconds>(std::chrono::seconds(*c.desvioPasta)) : std::nullopt;
    lista.Gravacao() = TGuardaGravacao(c.segundos, relogio.Relogios());
    // The folder's "now" as the file server stamps a write.
    const auto agoraPasta = [&] { return relogio.Pasta().value_or(relogio.sistema); };
    const std::string completo = Ler(kDados + "valido.xml");
    Escrever(entrada / "a.xml", c.meioGravado ? completo.substr(0, completo.size() / 2) : completo);
    DefinirEscrita(entrada / "a.xml", agoraPasta() + std::chrono::seconds(c.futuro));
    Copiar("valido.xml", "b.xml");
    DefinirEscrita(entrada / "b.xml", agoraPasta() - std::chrono::seconds(30));
    const auto espera = TCicloAutomatico::AteAssentarem(lista);
    const auto esperaCurta = [&] {
        const std::optional<std::int64_t> ms = espera();
        return ms && *ms >= 1000 && *ms <= (c.segundos + 1) * 1000;
    };

    lista.AtualizarLista();
    if (c.segundos == 0) {
        EXPECT_EQ(Linhas(), (std::vector<std::string>{"a.xml Pendente", "b.xml Pendente"}));
        EXPECT_EQ(espera(), std::nullopt);
        EXPECT_EQ(relogio.leiturasDaPasta, 0) << "no stamp with the guard off";
        EXPECT_TRUE(janela.caixas.empty());
        return;
    }
    EXPECT_EQ(Linhas(), std::vector<std::string>{"b.xml Pendente"});
    EXPECT_EQ(lista.EmGravacao(), 1);
    EXPECT_TRUE(esperaCurta()) << espera().value_or(-1);
    EXPECT_EQ(lista.Gravacao().RelogioDaPastaUsado(), c.desvioPasta.has_value());

    // The writer finishes (a new last write), the clock is stepped; then
    // time passes a second at a time, with a scan each second.
    if (c.meioGravado) {
        Escrever(entrada / "a.xml", completo);
        DefinirEscrita(entrada / "a.xml", agoraPasta() + std::chrono::seconds(c.futuro));
    }
    relogio.Saltar(c.salto);
    int segundos = 0;
    for (;;) {
        lista.AtualizarLista();
        if (lista.EmGravacao() == 0) break;
        EXPECT_EQ(Linhas(), std::vector<std::string>{"b.xml Pendente"});
        EXPECT_TRUE(esperaCurta()) << espera().value_or(-1);
        if (segundos > c.segundos + 1) break;
        relogio.Avancar(1);
        ++segundos;
    }
    EXPECT_EQ(segundos, c.segundos) << "held for N seconds after the writer finished, no more, no less";
    EXPECT_EQ(Linhas(), (std::vector<std::string>{"a.xml Pendente", "b.xml Pendente"}));
    EXPECT_EQ(espera(), std::nullopt) << "no early check left";
    EXPECT_TRUE(janela.caixas.empty()) << janela.caixas.front().texto;  // never read half written
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "V1");
}

INSTANTIATE_TEST_SUITE_P(
    Casos, RelogioGravacaoTeste,
    ::testing::Values(
        // A half-written file dated a minute in the past by this machine's clock.
        TCasoRelogio{"pasta_atrasada_60s_meio_gravado", 5, -60, 0, true, 0},
        // A file written half a minute ago is dated in this machine's future.
        TCasoRelogio{"pasta_adiantada_60s", 5, 60, 0, true, 0},
        // Seen dated ahead, then the clock goes back an hour: held N seconds,
        // not for the hour, and b.xml stays listed.
        TCasoRelogio{"relogio_do_sistema_volta_uma_hora", 5, 0, 30, false, -3600},
        // The clock goes forward an hour as the writer finishes: the file
        // does not pass for an hour old.
        TCasoRelogio{"relogio_do_sistema_adianta_uma_hora", 5, 0, 0, true, 3600},
        // No stamp: the system clock stands for the folder's.
        TCasoRelogio{"pasta_sem_carimbo", 5, std::nullopt, 0, true, 0},
        TCasoRelogio{"N_zero_desliga", 0, -60, 0, false, 0}),
    [](const auto& info) { return std::string(info.param.nome); });

// The stamp the scan writes for the folder's clock: a hidden file of its own
// in the inbox folder, never listed and never moved; a link in its place is
// replaced, not followed.
TEST_F(ListaTeste, CarimboDoRelogioDaPasta) {
    lista.Gravacao() = TGuardaGravacao(5);  // the real clocks
    const fs::path carimbo = entrada / kCarimboRelogio;
    Copiar("valido.xml", "antigo.xml");
    DefinirData(entrada / "antigo.xml", 1, 10, 0);
    Copiar("valido.xml", "hoje.xml");
    DefinirEscrita(entrada / "hoje.xml", TRelogio::now() - std::chrono::seconds(60));
    const fs::path alvo = raiz / "alvo.txt";
    Escrever(alvo, "intocado");
    fs::create_symlink(alvo, carimbo);

    janela.Responder(TResposta::Sim);  // move the file of another day
    const TRelogio::time_point antes = TRelogio::now();
    lista.AtualizarLista();

    EXPECT_TRUE(lista.Gravacao().RelogioDaPastaUsado());
    EXPECT_EQ(Linhas(), std::vector<std::string>{"hoje.xml Pendente"});
    EXPECT_EQ(Nomes(entrada), (std::vector<std::string>{kCarimboRelogio, "hoje.xml", "processados"}));
    EXPECT_EQ(Nomes(entrada / "processados"), std::vector<std::string>{"antigo.xml"});
    EXPECT_EQ(Ler(alvo), "intocado");
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(carimbo)));
    const std::optional<TRelogio::time_point> hora = RelogioDaPasta(entrada.string() + "/");
    ASSERT_TRUE(hora.has_value());
    // The file system's coarse clock may lag the system clock by a tick.
    EXPECT_GE(*hora, antes - std::chrono::seconds(1));
    EXPECT_LE(*hora, TRelogio::now() + std::chrono::seconds(1));

    // No folder, or a folder where the stamp should be: no folder clock.
    EXPECT_EQ(RelogioDaPasta((raiz / "nenhuma").string() + "/"), std::nullopt);
    fs::remove(carimbo);
    fs::create_directory(carimbo);
    EXPECT_EQ(RelogioDaPasta(entrada.string() + "/"), std::nullopt);
    lista.AtualizarLista();
    EXPECT_FALSE(lista.Gravacao().RelogioDaPastaUsado());
    EXPECT_EQ(Linhas(), std::vector<std::string>{"hoje.xml Pendente"});
}

TEST(LerSegundosArquivoEstavel, NumeroDe0A300OuOPadrao) {
    const std::pair<const char*, int> casos[] = {{"0", 0},    {"5", 5},     {"300", 300}, {" 12 ", 12}, {"007", 7},
                                                 {"", 5},     {"  ", 5},    {"abc", 5},   {"-1", 5},    {"301", 5},
                                                 {"2.5", 5},  {"2,5", 5},   {"1e2", 5},   {"0x10", 5},  {"99999999999", 5}};
    for (const auto& [texto, segundos] : casos) EXPECT_EQ(LerSegundosArquivoEstavel(texto), segundos) << texto;
}
