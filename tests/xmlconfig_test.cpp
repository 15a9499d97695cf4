// config.xml: reading with defaults, writing only on change, the layout kept,
// crash-safe saving, refusing bad or hostile files, Windows-1252 values.
#include "base/UXMLConfig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sstream>
#include <sys/stat.h>
#include <utime.h>

#include "base/UErro.h"
#include "db/UDM.h"
#include "tests/support/UJanelaTeste.h"

namespace fs = std::filesystem;

namespace {

std::string Ler(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void Escrever(const fs::path& p, const std::string& conteudo) {
    std::ofstream f(p, std::ios::binary);
    f << conteudo;
}

class XMLConfigTeste : public ::testing::Test {
protected:
    void SetUp() override {
        char modelo[] = "/tmp/xmlconfig_test_XXXXXX";
        ASSERT_NE(mkdtemp(modelo), nullptr);
        pasta_ = modelo;
        arquivo_ = (pasta_ / "config.xml").string();
    }
    void TearDown() override {
        fs::permissions(pasta_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(pasta_);
    }

    // Puts the file's time stamp an hour back, so that any rewrite shows.
    void Envelhecer() {
        struct stat info {};
        ASSERT_EQ(stat(arquivo_.c_str(), &info), 0);
        utimbuf t{info.st_atime - 3600, info.st_mtime - 3600};
        ASSERT_EQ(utime(arquivo_.c_str(), &t), 0);
    }
    time_t Mtime() const {
        struct stat info {};
        EXPECT_EQ(stat(arquivo_.c_str(), &info), 0);
        return info.st_mtime;
    }
    mode_t Modo() const {
        struct stat info {};
        EXPECT_EQ(stat(arquivo_.c_str(), &info), 0);
        return info.st_mode & 07777;
    }
    std::size_t ArquivosNaPasta() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(pasta_), fs::directory_iterator()));
    }
    // The names of the root's child elements, in order (parsed independently).
    std::vector<std::string> FilhosDaRaiz() const {
        std::vector<std::string> nomes;
        xmlDoc* doc = xmlReadFile(arquivo_.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOBLANKS);
        EXPECT_NE(doc, nullptr);
        if (!doc) return nomes;
        for (xmlNode* n = xmlDocGetRootElement(doc)->children; n; n = n->next) {
            if (n->type == XML_ELEMENT_NODE) nomes.push_back(reinterpret_cast<const char*>(n->name));
        }
        xmlFreeDoc(doc);
        return nomes;
    }
    std::string NomeDaRaiz() const {
        xmlDoc* doc = xmlReadFile(arquivo_.c_str(), nullptr, XML_PARSE_NONET);
        EXPECT_NE(doc, nullptr);
        if (!doc) return "";
        std::string nome = reinterpret_cast<const char*>(xmlDocGetRootElement(doc)->name);
        xmlFreeDoc(doc);
        return nome;
    }

    fs::path pasta_;
    std::string arquivo_;
};

// ---- reading ----

TEST_F(XMLConfigTeste, SemArquivoLeOsPadroesENaoCriaNada) {
    {
        TXMLConfig cfg(arquivo_);
        EXPECT_EQ(cfg.ReadString("DB", "usuario", "sysdba"), "sysdba");
        EXPECT_EQ(cfg.ReadString("DB", "servidor", ""), "");
        EXPECT_FALSE(cfg.Modified());
        EXPECT_EQ(cfg.FileName(), arquivo_);
    }
    EXPECT_FALSE(fs::exists(arquivo_));
}

TEST_F(XMLConfigTeste, ChaveAusenteDaOPadraoChavePresenteEVaziaDaVazio) {
    Escrever(arquivo_,
             "<?xml version=\"1.0\"?>\n<Configuration>\n  <DB servidor=\"LABSERVER\" banco=\"/dados/lab.fdb\" "
             "usuario=\"\"/>\n</Configuration>\n");
    struct TCaso {
        const char* secao;
        const char* chave;
        const char* padrao;
        const char* esperado;
    };
    const TCaso casos[] = {
        {"DB", "servidor", "", "LABSERVER"},
        {"DB", "banco", "", "/dados/lab.fdb"},
        {"DB", "usuario", "sysdba", ""},              // present and empty
        {"DB", "senha", "brickmoss", "brickmoss"},    // missing key
        {"aplicacao", "frequencia", "1", "1"},        // missing section
        {"db", "servidor", "padrao", "padrao"},       // names are case sensitive
        {"DB", "Servidor", "padrao", "padrao"},
    };
    TXMLConfig cfg(arquivo_);
    for (const TCaso& c : casos) {
        EXPECT_EQ(cfg.ReadString(c.secao, c.chave, c.padrao), c.esperado) << c.secao << "/" << c.chave;
    }
}

TEST_F(XMLConfigTeste, SoOPrimeiroElementoDaSecaoConta) {
    Escrever(arquivo_, "<Configuration><DB servidor=\"A\"/><DB servidor=\"B\" banco=\"X\"/></Configuration>");
    {
        TXMLConfig cfg(arquivo_);
        EXPECT_EQ(cfg.ReadString("DB", "servidor", ""), "A");
        EXPECT_EQ(cfg.ReadString("DB", "banco", "nada"), "nada");
        cfg.WriteString("DB", "banco", "Y");
        cfg.Save();
    }
    const std::string conteudo = Ler(arquivo_);
    EXPECT_NE(conteudo.find("servidor=\"A\" banco=\"Y\""), std::string::npos) << conteudo;
    EXPECT_NE(conteudo.find("servidor=\"B\" banco=\"X\""), std::string::npos) << conteudo;
}

// ---- writing ----

TEST_F(XMLConfigTeste, PrimeiraGravacaoCriaArquivoComRaizConfigurationSoParaODono) {
    {
        TXMLConfig cfg(arquivo_);
        cfg.WriteString("DB", "senha", "segredo");
        EXPECT_TRUE(cfg.Modified());
        EXPECT_FALSE(fs::exists(arquivo_)) << "nothing is written before Save";
        cfg.Save();
        EXPECT_FALSE(cfg.Modified());
    }
    EXPECT_EQ(NomeDaRaiz(), "Configuration");
    EXPECT_EQ(Modo(), 0600u);
    TXMLConfig relido(arquivo_);
    EXPECT_EQ(relido.ReadString("DB", "senha", ""), "segredo");
    EXPECT_EQ(ArquivosNaPasta(), 1u) << "no temporary file may be left behind";
}

TEST_F(XMLConfigTeste, DestrutorSalvaAlteracoes) {
    {
        TXMLConfig cfg(arquivo_);
        cfg.WriteString("aplicacao", "modo_processamento", "automatico");
    }
    TXMLConfig relido(arquivo_);
    EXPECT_EQ(relido.ReadString("aplicacao", "modo_processamento", "manual"), "automatico");
}

TEST_F(XMLConfigTeste, ArquivoExistenteMantemSuasPermissoes) {
    Escrever(arquivo_, "<Configuration><DB servidor=\"A\"/></Configuration>");
    ASSERT_EQ(chmod(arquivo_.c_str(), 0640), 0);
    {
        TXMLConfig cfg(arquivo_);
        cfg.WriteString("DB", "servidor", "B");
        cfg.Save();
    }
    EXPECT_EQ(Modo(), 0640u);
}

TEST_F(XMLConfigTeste, ValorIgualNaoTocaOArquivo) {
    const std::string original =
        "<?xml version=\"1.0\"?>\n<Configuration><DB servidor=\"A\" usuario=\"\"/></Configuration>\n";
    Escrever(arquivo_, original);
    Envelhecer();
    const time_t antes = Mtime();
    {
        TXMLConfig cfg(arquivo_);
        cfg.WriteString("DB", "servidor", "A");
        cfg.WriteString("DB", "usuario", "");
        EXPECT_FALSE(cfg.Modified());
        cfg.Save();
    }
    EXPECT_EQ(Mtime(), antes);
    EXPECT_EQ(Ler(arquivo_), original);
}

TEST_F(XMLConfigTeste, ValorVazioEmChaveAusenteNaoCriaAChave) {
    Escrever(arquivo_, "<Configuration><DB banco=\"x\"/></Configuration>");
    Envelhecer();
    const time_t antes = Mtime();
    {
        TXMLConfig cfg(arquivo_);
        cfg.WriteString("DB", "servidor", "");
        cfg.WriteString("aplicacao", "frequencia", "");
        EXPECT_FALSE(cfg.Modified());
    }
    EXPECT_EQ(Mtime(), antes);
    TXMLConfig relido(arquivo_);
    EXPECT_EQ(relido.ReadString("DB", "servidor", "padrao"), "padrao");
}

TEST_F(XMLConfigTeste, SecaoNovaEntraDepoisDasExistentesQueFicamComoEstavam) {
    Escrever(arquivo_,
             "<?xml version=\"1.0\"?>\n<Configuration>\n  <DB servidor=\"S\" banco=\"/b.fdb\" usuario=\"u\" "
             "senha=\"p\"/>\n</Configuration>\n");
    {
        TXMLConfig cfg(arquivo_);
        cfg.WriteString("aplicacao", "frequencia", "5");
        cfg.Save();
    }
    EXPECT_EQ(FilhosDaRaiz(), (std::vector<std::string>{"DB", "aplicacao"}));
    TXMLConfig relido(arquivo_);
    EXPECT_EQ(relido.ReadString("aplicacao", "frequencia", "1"), "5");
    EXPECT_EQ(relido.ReadString("DB", "servidor", ""), "S");
    EXPECT_EQ(relido.ReadString("DB", "banco", ""), "/b.fdb");
    EXPECT_EQ(relido.ReadString("DB", "usuario", ""), "u");
    EXPECT_EQ(relido.ReadString("DB", "senha", ""), "p");
}

TEST_F(XMLConfigTeste, RaizComOutroNomeEhMantida) {
    Escrever(arquivo_, "<Ajustes><DB servidor=\"A\"/></Ajustes>");
    {
        TXMLConfig cfg(arquivo_);
        EXPECT_EQ(cfg.ReadString("DB", "servidor", ""), "A");
        cfg.WriteString("aplicacao", "modo_processamento", "manual");
    }
    EXPECT_EQ(NomeDaRaiz(), "Ajustes");
    EXPECT_EQ(FilhosDaRaiz(), (std::vector<std::string>{"DB", "aplicacao"}));
}

TEST_F(XMLConfigTeste, ConteudoDesconhecidoFicaNoArquivo) {
    Escrever(arquivo_,
             "<Configuration versao=\"2\"><!-- notas --><DB servidor=\"A\" extra=\"e\">texto<sub x=\"1\"/></DB>"
             "<outra y=\"2\"/></Configuration>");
    {
        TXMLConfig cfg(arquivo_);
        cfg.WriteString("DB", "servidor", "B");
    }
    const std::string conteudo = Ler(arquivo_);
    for (const char* trecho : {"versao=\"2\"", "<!-- notas -->", "extra=\"e\"", "texto", "<sub x=\"1\"/>",
                               "<outra y=\"2\"/>", "servidor=\"B\""}) {
        EXPECT_NE(conteudo.find(trecho), std::string::npos) << trecho << " in\n" << conteudo;
    }
}

TEST_F(XMLConfigTeste, AcentosEMarcacaoVoltamIguais) {
    struct TCaso {
        const char* chave;
        std::string valor;  // Windows-1252
    };
    const TCaso casos[] = {
        {"acentos", "S\xE3o Jos\xE9 \x96 Concei\xE7\xE3o \xC1\xC9\xCD\xD3\xDA\xFC"},
        {"euro", "\x80 100"},
        {"marcacao", "a&b<c>d\"e'f &amp; &lt;"},
        {"espacos", "  dois\tcampos\r\nlinha  "},
        {"vazio", ""},
    };
    {
        TXMLConfig cfg(arquivo_);
        for (const TCaso& c : casos) cfg.WriteString("aplicacao", c.chave, c.valor);
        cfg.WriteString("DB", "banco", "x");  // ensures a save even if every value were empty
        cfg.Save();
    }
    const std::string bruto = Ler(arquivo_);
    EXPECT_NE(bruto.find("S\xC3\xA3o Jos\xC3\xA9"), std::string::npos) << "stored as UTF-8";
    TXMLConfig relido(arquivo_);
    for (const TCaso& c : casos) {
        EXPECT_EQ(relido.ReadString("aplicacao", c.chave, "<ausente>"), c.chave == std::string("vazio")
                                                                              ? std::string("<ausente>")
                                                                              : c.valor)
            << c.chave;
    }
}

TEST_F(XMLConfigTeste, ArquivoEmLatin1DeclaradoEhLidoEReescritoEmUtf8) {
    Escrever(arquivo_,
             "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
             "<Configuration><DB banco=\"C:\\S\xE3o Paulo\\dados.fdb\"/></Configuration>\n");
    {
        TXMLConfig cfg(arquivo_);
        EXPECT_EQ(cfg.ReadString("DB", "banco", ""), "C:\\S\xE3o Paulo\\dados.fdb");
        cfg.WriteString("DB", "usuario", "jo\xE3o");
    }
    TXMLConfig relido(arquivo_);
    EXPECT_EQ(relido.ReadString("DB", "banco", ""), "C:\\S\xE3o Paulo\\dados.fdb");
    EXPECT_EQ(relido.ReadString("DB", "usuario", ""), "jo\xE3o");
}

TEST_F(XMLConfigTeste, BackupCopiaOArquivoAnterior) {
    const std::string original = "<Configuration><DB servidor=\"A\"/></Configuration>";
    Escrever(arquivo_, original);
    {
        TXMLConfig cfg(arquivo_);
        cfg.Backup = true;
        cfg.WriteString("DB", "servidor", "B");
        cfg.Save();
    }
    EXPECT_EQ(Ler(arquivo_ + ".bak"), original);
}

// ---- failures ----

// The line and the parser's reason, told in Portuguese.
TEST_F(XMLConfigTeste, ArquivoMalFormadoDaEErroXMLComALinhaENaoEhTocado) {
    struct TCaso {
        const char* nome;
        std::string conteudo;
        const char* linha;
    };
    const TCaso casos[] = {
        {"vazio", "", ", linha 1: Documento vazio"},
        {"so_espacos", "   \n\n", ", linha 3: Nenhum elemento encontrado no in\xED" "cio do documento ('<' esperado)"},
        {"tag_nao_fechada", "<?xml version=\"1.0\"?>\n<Configuration>\n  <DB servidor=\"A\">\n</Configuration>\n",
         ", linha 4: A tag de abertura DB (linha 3) n\xE3o corresponde \xE0 tag de fechamento Configuration"},
        {"aspas_faltando", "<Configuration>\n<DB servidor=A/>\n</Configuration>",
         ", linha 2: Valor de atributo sem aspas (\" ou ' esperado)"},
        {"texto_qualquer", "isto nao e xml", ", linha 1: Nenhum elemento encontrado no in\xED" "cio do documento ('<' esperado)"},
    };
    for (const TCaso& c : casos) {
        SCOPED_TRACE(c.nome);
        Escrever(arquivo_, c.conteudo);
        try {
            TXMLConfig cfg(arquivo_);
            ADD_FAILURE() << "expected EErroXML";
        } catch (const EErroXML& e) {
            const std::string msg = e.what();
            EXPECT_NE(msg.find(c.linha), std::string::npos) << msg;
            EXPECT_NE(msg.find(arquivo_), std::string::npos) << msg;
        }
        EXPECT_EQ(Ler(arquivo_), c.conteudo);
    }
}

TEST_F(XMLConfigTeste, ArquivoSomenteLeituraDaErroAoSalvarENaoEhTocado) {
    const std::string original = "<Configuration><DB servidor=\"A\"/></Configuration>";
    Escrever(arquivo_, original);
    ASSERT_EQ(chmod(arquivo_.c_str(), 0444), 0);
    {
        TXMLConfig cfg(arquivo_);
        cfg.WriteString("DB", "servidor", "B");
        EXPECT_THROW(cfg.Save(), EErro);
        EXPECT_TRUE(cfg.Modified());
    }  // the destructor tries again and must not throw
    EXPECT_EQ(Ler(arquivo_), original);
    EXPECT_EQ(ArquivosNaPasta(), 1u);
}

TEST_F(XMLConfigTeste, PastaInexistenteDaErroAoSalvar) {
    TXMLConfig cfg((pasta_ / "falta" / "config.xml").string());
    cfg.WriteString("DB", "servidor", "A");
    EXPECT_THROW(cfg.Save(), EErro);
}

TEST_F(XMLConfigTeste, NomesInvalidosEControlesSaoRecusadosSemEstragarOArquivo) {
    const std::string original = "<Configuration><DB servidor=\"A\"/></Configuration>";
    Escrever(arquivo_, original);
    {
        TXMLConfig cfg(arquivo_);
        EXPECT_THROW(cfg.WriteString("com espaco", "k", "v"), EErro);
        EXPECT_THROW(cfg.WriteString("DB", "", "v"), EErro);
        EXPECT_THROW(cfg.WriteString("DB", "a:b", "v"), EErro);
        EXPECT_THROW(cfg.WriteString("DB", "senha", std::string("a\x01" "b")), EErro);
        EXPECT_FALSE(cfg.Modified());
    }
    EXPECT_EQ(Ler(arquivo_), original);
}

// Nothing outside the file is ever read and no entity is expanded: a file
// that declares entities is refused.
TEST_F(XMLConfigTeste, EntidadesNaoSaoExpandidasNemLidasDeFora) {
    const fs::path segredo = pasta_ / "segredo.txt";
    Escrever(segredo, "CONTEUDO-SECRETO");
    const std::string ext = "file://" + segredo.string();
    struct TCaso {
        const char* nome;
        std::string conteudo;
    };
    const TCaso casos[] = {
        {"externa_no_texto", "<!DOCTYPE Configuration [<!ENTITY s SYSTEM \"" + ext +
                                 "\">]><Configuration><DB>&s;</DB></Configuration>"},
        {"externa_no_atributo", "<!DOCTYPE Configuration [<!ENTITY s SYSTEM \"" + ext +
                                    "\">]><Configuration><DB senha=\"&s;\"/></Configuration>"},
        {"parametro_externo", "<!DOCTYPE Configuration [<!ENTITY % p SYSTEM \"" + ext +
                                  "\"> %p;]><Configuration><DB senha=\"x\"/></Configuration>"},
        {"dtd_externa", "<!DOCTYPE Configuration SYSTEM \"" + ext +
                            "\"><Configuration><DB senha=\"x\"/></Configuration>"},
        {"interna", "<!DOCTYPE Configuration [<!ENTITY s \"abc\">]><Configuration><DB senha=\"&s;\"/>"
                    "</Configuration>"},
        {"bomba", "<!DOCTYPE Configuration [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
                  "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                  "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
                  "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
                  "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">"
                  "]><Configuration><DB senha=\"&i;\">&i;</DB></Configuration>"},
    };
    for (const TCaso& c : casos) {
        SCOPED_TRACE(c.nome);
        Escrever(arquivo_, c.conteudo);
        try {
            TXMLConfig cfg(arquivo_);
            const std::string senha = cfg.ReadString("DB", "senha", "");
            EXPECT_EQ(senha.find("CONTEUDO-SECRETO"), std::string::npos);
            EXPECT_LT(senha.size(), 100u);
        } catch (const EErroXML& e) {
            EXPECT_EQ(std::string(e.what()).find("CONTEUDO-SECRETO"), std::string::npos) << e.what();
        }
        EXPECT_EQ(Ler(arquivo_), c.conteudo);
    }
}

TEST_F(XMLConfigTeste, DoctypeSemEntidadesEhAceito) {
    Escrever(arquivo_, "<!DOCTYPE Configuration><Configuration><DB servidor=\"A\"/></Configuration>");
    TXMLConfig cfg(arquivo_);
    EXPECT_EQ(cfg.ReadString("DB", "servidor", ""), "A");
}

// ---- the data module's operations on config.xml in its folder ----

class DMConfigTeste : public XMLConfigTeste {
protected:
    void SetUp() override {
        XMLConfigTeste::SetUp();
        dm_ = std::make_unique<TDM>(janela_, pasta_.string() + "/");
    }
    TJanelaTeste janela_;
    std::unique_ptr<TDM> dm_;
};

TEST_F(DMConfigTeste, SemArquivoLerConfigBDDaOsPadroesENaoCriaArquivo) {
    EXPECT_EQ(dm_->LerConfigBD(), (TConfigBD{"", "", "sysdba", "brickmoss"}));
    EXPECT_EQ(dm_->LerConfigXML("aplicacao", "frequencia", "1"), "1");
    EXPECT_FALSE(fs::exists(arquivo_));
    EXPECT_TRUE(janela_.caixas.empty());
}

TEST_F(DMConfigTeste, GravarConfigBDEhLidoDeVoltaComAsChavesNaOrdem) {
    const TConfigBD cfg{"LABSERVER", "/dados/lab.fdb", "operador", "s\xEAnha&1"};
    dm_->GravarConfigBD(cfg);
    EXPECT_EQ(dm_->LerConfigBD(), cfg);
    EXPECT_EQ(Modo(), 0600u);
    EXPECT_EQ(NomeDaRaiz(), "Configuration");
    const std::string conteudo = Ler(arquivo_);
    const auto s = conteudo.find("servidor="), b = conteudo.find("banco="), u = conteudo.find("usuario="),
               p = conteudo.find("senha=");
    ASSERT_NE(p, std::string::npos);
    EXPECT_LT(s, b);
    EXPECT_LT(b, u);
    EXPECT_LT(u, p);
}

TEST_F(DMConfigTeste, GravarConfigBDComServidorVazioNaoCriaAChave) {
    dm_->GravarConfigBD(TConfigBD{"", "/dados/lab.fdb", "sysdba", "x"});
    EXPECT_EQ(Ler(arquivo_).find("servidor"), std::string::npos);
    EXPECT_EQ(dm_->LerConfigBD().Servidor, "");
}

TEST_F(DMConfigTeste, GravarConfiguracaoIgualNaoTocaOArquivo) {
    dm_->GravarConfigBD(TConfigBD{"S", "/b.fdb", "u", "p"});
    dm_->GravarConfigXML("aplicacao", "modo_processamento", "manual");
    const std::string antes = Ler(arquivo_);
    Envelhecer();
    const time_t mtime = Mtime();
    dm_->GravarConfigBD(TConfigBD{"S", "/b.fdb", "u", "p"});
    dm_->GravarConfigXML("aplicacao", "modo_processamento", "manual");
    EXPECT_EQ(Mtime(), mtime);
    EXPECT_EQ(Ler(arquivo_), antes);
}

TEST_F(DMConfigTeste, ConfigXMLDaAplicacaoSeJuntaAoDB) {
    dm_->GravarConfigBD(TConfigBD{"S", "/b.fdb", "u", "p"});
    dm_->GravarConfigXML("aplicacao", "frequencia", "15");
    dm_->GravarConfigXML("aplicacao", "data_coleta_com_data_pedido", "nao");
    EXPECT_EQ(dm_->LerConfigXML("aplicacao", "frequencia", "1"), "15");
    EXPECT_EQ(dm_->LerConfigXML("aplicacao", "data_coleta_com_data_pedido", "sim"), "nao");
    EXPECT_EQ(FilhosDaRaiz(), (std::vector<std::string>{"DB", "aplicacao"}));
    EXPECT_EQ(dm_->LerConfigBD(), (TConfigBD{"S", "/b.fdb", "u", "p"}));
}

TEST_F(DMConfigTeste, ErrosChegamAoChamadorEOArquivoFicaIntacto) {
    const std::string quebrado = "<Configuration>\n<DB servidor=\"A\">\n";
    Escrever(arquivo_, quebrado);
    EXPECT_THROW(dm_->LerConfigBD(), EErroXML);
    EXPECT_THROW(dm_->LerConfigXML("aplicacao", "frequencia", "1"), EErroXML);
    EXPECT_THROW(dm_->GravarConfigXML("aplicacao", "frequencia", "2"), EErroXML);
    EXPECT_THROW(dm_->GravarConfigBD(TConfigBD{"S", "B", "U", "P"}), EErroXML);
    EXPECT_EQ(Ler(arquivo_), quebrado);

    const std::string bom = "<Configuration><DB servidor=\"A\"/></Configuration>";
    Escrever(arquivo_, bom);
    ASSERT_EQ(chmod(arquivo_.c_str(), 0444), 0);
    EXPECT_THROW(dm_->GravarConfigXML("aplicacao", "frequencia", "2"), EErro);
    EXPECT_THROW(dm_->GravarConfigBD(TConfigBD{"B", "", "sysdba", "x"}), EErro);
    EXPECT_EQ(Ler(arquivo_), bom);
    EXPECT_TRUE(janela_.caixas.empty());
}

}  // namespace
