// The request file reader: file format, log lines, conversions, encodings,
// and the refusal of files that try to reach outside themselves.
#include "inbox/ULeitor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <libxml/encoding.h>
#include <libxml/parserInternals.h>

#include "base/UErro.h"
#include "base/UErroXML.h"
#include "base/UTexto.h"
#include "inbox/UBSXML.h"
#include "log/ULog.h"
#include "tests/support/ULocalidadeTeste.h"

namespace fs = std::filesystem;

namespace {

const std::string kDados = std::string(QUORVEL_DADOS_TESTE) + "/leitor/";

std::string Ler(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

class LeitorTeste : public ::testing::Test {
protected:
    void SetUp() override {
        char modelo[] = "/tmp/leitor_test_XXXXXX";
        ASSERT_NE(mkdtemp(modelo), nullptr);
        pasta = modelo;
        Log::DefinirArquivo((pasta / "log.txt").string());
    }
    void TearDown() override { fs::remove_all(pasta); }

    // The log's messages in the order they were written (time stamps cut).
    std::vector<std::string> Log() const {
        std::vector<std::string> r;
        const std::string c = Ler(pasta / "log.txt");
        std::size_t inicio = 0;
        while (inicio < c.size()) {
            std::size_t fim = c.find("\r\n", inicio);
            if (fim == std::string::npos) fim = c.size();
            const std::string linha = c.substr(inicio, fim - inicio);
            const std::size_t tab = linha.find('\t');
            // A line without a time stamp is the rest of the message above
            // it, broken there by its CR ("...\".\rErro: ...").
            if (tab == std::string::npos && !r.empty())
                r.back() += "\r" + linha;
            else
                r.push_back(tab == std::string::npos ? linha : linha.substr(tab + 1));
            inicio = fim + 2;
        }
        std::reverse(r.begin(), r.end());
        return r;
    }

    std::string Escrever(const std::string& nome, const std::string& conteudo) const {
        const fs::path p = pasta / nome;
        std::ofstream(p, std::ios::binary) << conteudo;
        return p.string();
    }

    std::vector<std::string> Coluna(const TTabela& t, const std::string& coluna) const {
        std::vector<std::string> r;
        for (int i = 0; i < t.Contar(); ++i) r.push_back(t.TextoExibicaoEm(i, coluna));
        return r;
    }

    fs::path pasta;
    TTabelasPedido tp;
    TLeitorPedidos leitor{tp};
};

}  // namespace

TEST_F(LeitorTeste, SegundoPedidoMaisCedoFicaAtualEDetalhesSeguem) {
    const std::string arquivo = kDados + "ordem.xml";
    leitor.CarregarArquivo(arquivo);

    EXPECT_EQ(Coluna(tp.cdsPedidos, "protocolo"), (std::vector<std::string>{"A-17", "P1"}));
    EXPECT_EQ(tp.cdsPedidos.IndiceAtual(), 0);
    EXPECT_EQ(tp.cdsPedidos.Texto("data_horario"), "05/03/2009 08:30");
    EXPECT_EQ(tp.cdsPedidos.Texto("idade_paciente"), "4") << "birth date 01/03/2009 replaces the age written";
    EXPECT_EQ(tp.cdsPedidos.Texto("grupo"), "");
    EXPECT_FALSE(tp.cdsPedidos.Nulo("grupo"));
    EXPECT_EQ(tp.cdsPedidos.Texto("medico"), "");
    EXPECT_EQ(tp.cdsPedidos.Texto("nome_medico"), "");
    EXPECT_EQ(tp.cdsMedicos.Contar(), 0);
    EXPECT_EQ(Coluna(tp.cdsExames, "codigo"), (std::vector<std::string>{"GLI"}));

    tp.cdsPedidos.Proximo();
    const TTabela& p = tp.cdsPedidos;
    EXPECT_EQ(p.Texto("protocolo"), "P1");
    EXPECT_EQ(p.Texto("idade_paciente"), "40") << "no birth date: the age as written";
    EXPECT_EQ(p.Texto("paciente"), "101");
    EXPECT_EQ(p.Texto("nome_paciente"), "Concei\xE7\xE3o Dias");
    EXPECT_EQ(p.Texto("convenio_vencimento"), "12/2010");
    EXPECT_EQ(p.Texto("valor_total_exames"), "35,50");
    EXPECT_EQ(p.Texto("observacao_laudo"), "A & B \xE9");
    EXPECT_EQ(p.Texto("valor_pago_paciente"), "");
    EXPECT_EQ(tp.cdsPacientes.Texto("cidade"), "S\xE3o Paulo");
    EXPECT_EQ(tp.cdsPacientes.Texto("cep"), "01234567");
    EXPECT_EQ(Coluna(tp.cdsTelefones, "numero"), (std::vector<std::string>{"1111-1111"}));
    EXPECT_EQ(Coluna(tp.cdsConvenios, "matricula"), (std::vector<std::string>{"M-555"}));
    EXPECT_EQ(tp.cdsMedicos.Texto("conselho_sigla"), "CRM");
    EXPECT_EQ(Coluna(tp.cdsTelefonesMedicos, "descricao"), (std::vector<std::string>{"consult\xF3rio", "celular"}));
    EXPECT_EQ(Coluna(tp.cdsExames, "coleta_data_horario"), (std::vector<std::string>{"05/03/2009 09:15", ""}));
    tp.cdsExames.Proximo();
    EXPECT_TRUE(tp.cdsExames.Nulo("coleta_data"));
    EXPECT_TRUE(tp.cdsExames.Nulo("coleta_horario"));

    EXPECT_EQ(Log(), (std::vector<std::string>{
                         "Iniciando processo de leitura do arquivo " + arquivo,
                         "Lendo solicita\xE7\xE3o P1",
                         "Lendo solicita\xE7\xE3o A-17",
                         "Erro lendo \"medico/codigo\".\rErro: elemento 'medico' n\xE3o encontrado",
                         "Erro lendo \"medico/nome\".\rErro: elemento 'medico' n\xE3o encontrado",
                         "Finalizando processo de leitura do arquivo " + arquivo,
                     }));
}

TEST_F(LeitorTeste, ReleituraNaoDeixaSobras) {
    auto contagens = [&] {
        return std::vector<int>{tp.cdsPedidos.ContarTodas(),   tp.cdsPacientes.ContarTodas(),
                                tp.cdsTelefones.ContarTodas(), tp.cdsConvenios.ContarTodas(),
                                tp.cdsMedicos.ContarTodas(),   tp.cdsTelefonesMedicos.ContarTodas(),
                                tp.cdsExames.ContarTodas()};
    };
    leitor.CarregarArquivo(kDados + "ordem.xml");
    const auto primeira = contagens();
    EXPECT_EQ(primeira, (std::vector<int>{2, 2, 1, 1, 1, 2, 3}));
    leitor.CarregarArquivo(kDados + "ordem.xml");
    EXPECT_EQ(contagens(), primeira);
}

TEST_F(LeitorTeste, ConteudoMistoCDATAEComentarios) {
    const std::string arquivo = kDados + "misto.xml";
    leitor.CarregarArquivo(arquivo);
    ASSERT_EQ(tp.cdsPedidos.ContarTodas(), 1) << "a comment ends the list of requests";
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "");
    EXPECT_EQ(tp.cdsPedidos.Texto("grupo"), "") << "first child a comment";
    EXPECT_EQ(tp.cdsPacientes.Texto("nome"), "");
    EXPECT_EQ(tp.cdsPacientes.Texto("sexo"), "F") << "CDATA first: what follows is ignored";
    EXPECT_EQ(tp.cdsMedicos.Texto("codigo"), "7");
    EXPECT_EQ(Coluna(tp.cdsExames, "codigo"), (std::vector<std::string>{"A", "B"}));
    // The lines of the values this file is about (the file leaves out the
    // address and council elements, whose lookups log lines of their own).
    std::vector<std::string> linhas;
    for (const auto& l : Log())
        if (l.find("\"paciente/") != std::string::npos || l.rfind("Lendo", 0) == 0 ||
            l.find("\"protocolo\"") != std::string::npos || l.find("\"grupo\"") != std::string::npos)
            linhas.push_back(l);
    EXPECT_EQ(linhas, (std::vector<std::string>{
                          "Lendo solicita\xE7\xE3o ",
                          "Erro lendo \"paciente/nome\".\rErro: o elemento 'nome' mistura texto com outros n\xF3s",
                          "Erro lendo \"paciente/nome\".\rErro: o elemento 'nome' mistura texto com outros n\xF3s",
                      }));
}

// The master's code of a detail row is looked up below the request for each
// row, like every other value: a code that cannot be read logs one line per
// row that needs it.
TEST_F(LeitorTeste, CodigoDoMestreLidoParaCadaLinhaDeDetalhe) {
    leitor.CarregarArquivo(Escrever(
        "mestre.xml",
        "<solicitacoes><solicitacao><data>01/01/2020</data><horario>10:00</horario>"
        "<protocolo>P<b/></protocolo>"
        "<paciente><codigo>1<b/></codigo><telefones><telefone><numero>1</numero></telefone>"
        "<telefone><numero>2</numero></telefone></telefones>"
        "<convenios><convenio><nome>C</nome></convenio></convenios></paciente>"
        "<medico><codigo>2<b/></codigo><telefones><telefone><numero>3</numero></telefone>"
        "<telefone><numero>4</numero></telefone></telefones></medico>"
        "<exames><exame><codigo>A</codigo></exame><exame><codigo>B</codigo></exame></exames>"
        "</solicitacao></solicitacoes>"));
    EXPECT_EQ(tp.cdsExames.ContarTodas(), 2);
    EXPECT_EQ(tp.cdsTelefonesMedicos.ContarTodas(), 2);
    const auto log = Log();
    auto linhas = [&](const std::string& caminho) {
        return std::count_if(log.begin(), log.end(), [&](const std::string& l) {
            return l.rfind("Erro lendo \"" + caminho + "\".", 0) == 0;
        });
    };
    EXPECT_EQ(linhas("protocolo"), 4) << "the log line, the request, two exams";
    EXPECT_EQ(linhas("paciente/codigo"), 5) << "the request, the patient, two phones, one card";
    EXPECT_EQ(linhas("medico/codigo"), 4) << "the request, the doctor, two phones";
}

TEST_F(LeitorTeste, ColetaSemHorarioEncerraALeituraMantendoOAnterior) {
    const std::string arquivo = kDados + "coleta_sem_horario.xml";
    leitor.CarregarArquivo(arquivo);
    EXPECT_EQ(Coluna(tp.cdsPedidos, "protocolo"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(tp.cdsExames.ContarTodas(), 2) << "X1 and X2; the failing X3 is dropped, X4 not read";
    const auto log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Erro: Valor inv\xE1lido para o campo 'coleta_horario'");
    EXPECT_EQ(log.back(), "Finalizando processo de leitura do arquivo " + arquivo);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Lendo solicita\xE7\xE3o 3"), 0);
    // The reading stopped before the last step: no request was made current.
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "2");
}

TEST_F(LeitorTeste, FalhasQueEncerramALeitura) {
    struct Caso {
        const char* nome;
        const char* xml;
        int pedidos;
        int pacientes;
        const char* erro;  // the "Erro: " line, nullptr for none
    };
    const Caso casos[] = {
        {"raiz errada", "<pedidos><solicitacao/></pedidos>", 0, 0,
         "Erro: Elemento raiz 'solicitacoes' n\xE3o encontrado (o arquivo tem 'pedidos')"},
        {"sem solicitacao", "<solicitacoes/>", 0, 0, nullptr},
        {"sem paciente",
         "<solicitacoes><solicitacao><data>01/01/2020</data><horario>10:00</horario><protocolo>9</protocolo>"
         "<exames/></solicitacao><solicitacao/></solicitacoes>",
         1, 1, "Erro: Elemento 'paciente' n\xE3o encontrado na solicita\xE7\xE3o"},
        {"sem exames",
         "<solicitacoes><solicitacao><data>01/01/2020</data><horario>10:00</horario><protocolo>9</protocolo>"
         "<paciente><codigo>1</codigo></paciente><medico><codigo>2</codigo></medico></solicitacao></solicitacoes>",
         1, 1, "Erro: Elemento 'exames' n\xE3o encontrado na solicita\xE7\xE3o"},
        {"data vazia", "<solicitacoes><solicitacao><horario>10:00</horario></solicitacao></solicitacoes>", 0, 0,
         "Erro: Valor inv\xE1lido para o campo 'data'"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        fs::remove(pasta / "log.txt");
        const std::string arquivo = Escrever("caso.xml", c.xml);
        leitor.CarregarArquivo(arquivo);
        EXPECT_EQ(tp.cdsPedidos.ContarTodas(), c.pedidos);
        EXPECT_EQ(tp.cdsPacientes.ContarTodas(), c.pacientes);
        const auto log = Log();
        std::vector<std::string> erros;
        std::copy_if(log.begin(), log.end(), std::back_inserter(erros),
                     [](const std::string& l) { return l.rfind("Erro: ", 0) == 0; });
        if (c.erro)
            EXPECT_EQ(erros, std::vector<std::string>{c.erro});
        else
            EXPECT_TRUE(erros.empty());
        EXPECT_EQ(log.front(), "Iniciando processo de leitura do arquivo " + arquivo);
        EXPECT_EQ(log.back(), "Finalizando processo de leitura do arquivo " + arquivo);
    }
}

TEST_F(LeitorTeste, CodificacoesDeclaradas) {
    leitor.CarregarArquivo(kDados + "latin1.xml");
    EXPECT_EQ(tp.cdsPacientes.Texto("nome"), "JOS\xC9 CONCEI\xC7\xC3O");
    EXPECT_EQ(tp.cdsPacientes.Texto("cidade"), "S\xE3o Jo\xE3o");
    leitor.CarregarArquivo(kDados + "cp1252.xml");
    EXPECT_EQ(tp.cdsPacientes.Texto("nome"), "\x93" "A\xC7\xC3O\x94 \x80");
    // No declaration: UTF-8; a character Windows-1252 lacks becomes "?".
    leitor.CarregarArquivo(Escrever("u.xml", "<solicitacoes><solicitacao><data>01/01/2020</data><horario>10:00</horario>"
                                             "<paciente><nome>Jo\xC3\xA3o \xE2\x82\xAC \xE4\xB8\xAD</nome></paciente>"
                                             "<exames/></solicitacao></solicitacoes>"));
    EXPECT_EQ(tp.cdsPacientes.Texto("nome"), "Jo\xE3o \x80 ?");
}

TEST_F(LeitorTeste, ArquivoMalformadoVaiAoChamadorSemLog) {
    leitor.CarregarArquivo(kDados + "ordem.xml");
    fs::remove(pasta / "log.txt");
    try {
        leitor.CarregarArquivo(kDados + "malformado.xml");
        FAIL() << "no error";
    } catch (const EErroXML& e) {
        const std::string m = e.what();
        EXPECT_NE(m.find("linha 5"), std::string::npos) << m;
        EXPECT_NE(m.find("<paciente><nome>Ana</paciente>"), std::string::npos) << m;
    }
    EXPECT_EQ(tp.cdsPedidos.ContarTodas(), 0);
    EXPECT_EQ(tp.cdsExames.ContarTodas(), 0);
    EXPECT_FALSE(fs::exists(pasta / "log.txt"));
    EXPECT_THROW(leitor.CarregarArquivo((pasta / "nao_existe.xml").string()), EErroXML);
}

namespace {

std::string PedidoComNome(const std::string& declaracao, const std::string& nome) {
    return declaracao + "<solicitacoes><solicitacao><data>01/02/2020</data><horario>07:00</horario>"
                        "<protocolo>L1</protocolo><paciente><nome>" +
           nome + "</nome></paciente><exames/></solicitacao></solicitacoes>";
}

// UTF-16LE bytes of a Windows-1252 text without 0x80-0x9F, with its BOM.
std::string Utf16LE(const std::string& texto) {
    std::string r = "\xFF\xFE";
    for (char c : texto) {
        r += c;
        r += '\0';
    }
    return r;
}

}  // namespace

// A file labelled ISO-8859-1 is read as Windows-1252: the bytes 0x80-0x9F
// keep the euro sign, the curly quotes, the dashes and the ellipsis.
TEST_F(LeitorTeste, Latin1DeclaradoLidoComoCp1252) {
    const std::string nome = "\x93Jos\xE9\x94 \x96 \x80 5,00 \x85 \x97 \x91" "a\x92";
    for (const char* rotulo : {"ISO-8859-1", "iso-8859-1", "latin1"}) {
        SCOPED_TRACE(rotulo);
        leitor.CarregarArquivo(
            Escrever("l.xml", PedidoComNome(std::string("<?xml version=\"1.0\" encoding=\"") + rotulo + "\"?>\n", nome)));
        EXPECT_EQ(tp.cdsPacientes.Texto("nome"), nome);
    }
    // The five bytes Windows-1252 leaves undefined do not make the file
    // unreadable; each becomes "?".
    leitor.CarregarArquivo(Escrever("u.xml", PedidoComNome("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n",
                                                           "Ana \x81\xE7")));
    EXPECT_EQ(tp.cdsPacientes.Texto("nome"), "Ana ?\xE7");
}

// The parser's errors told in Portuguese, the excerpt in Windows-1252
// whatever the file's encoding.
TEST_F(LeitorTeste, ArquivoMalformadoDescritoEmPortugues) {
    struct Caso {
        const char* nome;
        std::string conteudo;
        std::string mensagem;
    };
    const Caso casos[] = {
        {"fim_prematuro", "<solicitacoes>\n<solicitacao>\n<data>01/02/2020</data>",
         "Erro de XML na linha 3: Fim prematuro dos dados na tag solicitacao (linha 2) - trecho: "
         "<data>01/02/2020</data>"},
        {"tags_trocadas", "<solicitacoes>\n  <solicitacao><protocolo>A</solicitacao>\n</solicitacoes>",
         "Erro de XML na linha 2: A tag de abertura protocolo (linha 2) n\xE3o corresponde \xE0 tag de fechamento "
         "solicitacao - trecho: <solicitacao><protocolo>A</solicitacao>"},
        {"trecho_utf8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<solicitacoes>\n<nome>S\xC3\xA3o \xE2\x80\x93</nome><</solicitacoes>",
         "Erro de XML na linha 3: Nome de elemento inv\xE1lido - trecho: <nome>S\xE3o \x96</nome><</solicitacoes>"},
        {"trecho_latin1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<solicitacoes>\n<nome>\x93S\xE3o\x94 & x</nome>",
         "Erro de XML na linha 3: Refer\xEAncia de entidade sem nome ('&' sem nome; escreva &amp;) - trecho: "
         "<nome>\x93S\xE3o\x94 & x</nome>"},
        {"trecho_utf16", Utf16LE("<solicitacoes>\n<nome>S\xE3o</nome></solicitacao>"),
         "Erro de XML na linha 2: A tag de abertura solicitacoes (linha 1) n\xE3o corresponde \xE0 tag de "
         "fechamento solicitacao - trecho: <nome>S\xE3o</nome></solicitacao>"},
        {"utf8_invalido", "<solicitacoes><nome>Jo\xC3(o</nome></solicitacoes>",
         "Erro de XML na linha 1: O conte\xFA" "do n\xE3o \xE9 UTF-8 v\xE1lido; declare a codifica\xE7\xE3o do arquivo "
         "(bytes 0xC3 0x28 0x6F 0x3C) - trecho: <solicitacoes><nome>Jo?(o</nome></solicitacoes>"},
        {"byte_fora_da_codificacao", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<solicitacoes>\n<nome>Ana \x81</nome>"
                                     "</solicitacoes>",
         "Erro de XML na linha 3: Bytes que a codifica\xE7\xE3o declarada (windows-1252) n\xE3o aceita: 0x81 0x3C 0x2F "
         "0x6E - trecho: <nome>Ana \x81</nome></solicitacoes>"},
        {"vazio", "", "Erro de XML na linha 1: Documento vazio"},
        {"conteudo_depois_do_fim", "<solicitacoes/>\n<solicitacoes/>",
         "Erro de XML na linha 2: Conte\xFA" "do extra depois do fim do documento - trecho: <solicitacoes/>"},
        {"atributo_sem_aspas", "<solicitacoes versao=1/>",
         "Erro de XML na linha 1: Valor de atributo sem aspas (\" ou ' esperado) - trecho: <solicitacoes versao=1/>"},
        // A rare error keeps the parser's English text after a Portuguese lead.
        {"raro", "<!DOCTYPE solicitacoes [<!ELEMENT solicitacoes (a|b>]><solicitacoes/>",
         "Erro de XML na linha 1: Documento mal formado (c\xF3" "digo 55): ContentDecl : ',' '|' or ')' expected - "
         "trecho: <!DOCTYPE solicitacoes [<!ELEMENT solicitacoes (a|b>]><solic"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        try {
            leitor.CarregarArquivo(Escrever(std::string(c.nome) + ".xml", c.conteudo));
            ADD_FAILURE() << "accepted";
        } catch (const EErroXML& e) {
            EXPECT_EQ(std::string(e.what()), c.mensagem);
        }
    }
}

// A file that cannot be opened: its name and the system's description in
// Windows-1252, the description in the operator's language.
TEST_F(LeitorTeste, ArquivoAusenteComNomeAcentuadoEDescricaoDoSistema) {
    const TLocalidade pt("pt_BR.UTF-8");
    if (!pt.Ok()) GTEST_SKIP() << "locale pt_BR.UTF-8 not installed";
    try {
        leitor.CarregarArquivo((pasta / "n\xC3\xA3o existe.xml").string());
        FAIL() << "no error";
    } catch (const EErroXML& e) {
        EXPECT_EQ(std::string(e.what()), "N\xE3o foi poss\xEDvel abrir o arquivo " + pasta.string() +
                                             "/n\xE3o existe.xml: Arquivo ou diret\xF3rio inexistente");
    }
}

namespace {

// Records every attempt of libxml2 to load something outside the document.
std::vector<std::string> gCargasExternas;
xmlParserInputPtr CarregadorEspiao(const char* url, const char*, xmlParserCtxtPtr) {
    gCargasExternas.push_back(url ? url : "");
    return nullptr;
}

}  // namespace

TEST_F(LeitorTeste, EntidadesEDTDExternaSaoRecusadas) {
    const std::string segredo = Escrever("segredo.txt", "SEGREDO");
    Escrever("externa.dtd", "<!ENTITY x \"SEGREDO\">");
    struct Caso {
        const char* nome;
        std::string caminho;
        const char* motivo;
    };
    const Caso casos[] = {
        {"entity bomb", kDados + "bomba.xml", "declara a entidade 'a'"},
        {"external entity",
         Escrever("externa.xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE solicitacoes [\n<!ENTITY x SYSTEM \"file://" +
                                     segredo + "\">\n]>\n<solicitacoes><solicitacao><protocolo>&x;</protocolo>"
                                               "</solicitacao></solicitacoes>"),
         "declara a entidade 'x'"},
        {"parameter entity",
         Escrever("param.xml", "<!DOCTYPE solicitacoes [<!ENTITY % p SYSTEM \"" + segredo +
                                   "\"> %p;]><solicitacoes/>"),
         "declara a entidade 'p'"},
        {"external DTD",
         Escrever("dtd.xml", "<!DOCTYPE solicitacoes SYSTEM \"" + (pasta / "externa.dtd").string() +
                                 "\"><solicitacoes><solicitacao><protocolo>&x;</protocolo></solicitacao></solicitacoes>"),
         "DTD externa"},
    };
    const xmlExternalEntityLoader anterior = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(CarregadorEspiao);
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        gCargasExternas.clear();
        try {
            leitor.CarregarArquivo(c.caminho);
            ADD_FAILURE() << "accepted";
        } catch (const EErroXML& e) {
            const std::string m = e.what();
            EXPECT_EQ(m.rfind("Arquivo recusado: ", 0), 0u) << m;
            EXPECT_NE(m.find(c.motivo), std::string::npos) << m;
        }
        EXPECT_TRUE(gCargasExternas.empty()) << gCargasExternas.front();
        EXPECT_EQ(tp.cdsPedidos.ContarTodas(), 0);
    }
    xmlSetExternalEntityLoader(anterior);
    EXPECT_FALSE(fs::exists(pasta / "log.txt"));

    // A document type declaration without entities is harmless and read.
    leitor.CarregarArquivo(Escrever("doctype.xml", "<!DOCTYPE solicitacoes><solicitacoes><solicitacao><data>01/01/2020"
                                                   "</data><horario>10:00</horario><protocolo>D &amp; &#65;</protocolo>"
                                                   "<paciente/><exames/></solicitacao></solicitacoes>"));
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "D & A");
}

TEST(CalcularIdade, DiasEntreNascimentoEPedido) {
    const TDataHora pedido = TDataHora::De(2009, 3, 5);
    struct Caso {
        const char* nascimento;
        int dias;
    };
    const Caso casos[] = {{"01/03/2009", 4}, {"05/03/2009", 1}, {"06/03/2009", -1}, {"abc", 1},
                          {"", 1},          {"31/02/2009", 1},  {"05/03/2008", 365}, {"1/3/2009", 4}};
    for (const auto& c : casos) EXPECT_EQ(TLeitorPedidos::CalcularIdade(pedido, c.nascimento), c.dias) << c.nascimento;
}

// Windows-1252 is decoded by the system's own conversion under each of its
// names, not by whatever the platform's converters offer (a Windows build of
// the parser has none for it): the same bytes refused everywhere.
TEST(CodificacoesXML, Cp1252DecodificadaPelaConversaoDoSistema) {
    PrepararCodificacoesXML();
    PrepararCodificacoesXML();  // once a process: a second call changes nothing
    for (const char* nome : {"windows-1252", "WINDOWS-1252", "cp1252", "CP1252", "x-cp1252"}) {
        SCOPED_TRACE(nome);
        xmlCharEncodingHandlerPtr h = xmlFindCharEncodingHandler(nome);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h->input, &Cp1252ParaUtf8EmPartes);
    }
}
