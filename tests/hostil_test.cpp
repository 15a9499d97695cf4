// Hostile input: request files and config.xml files built to hurt - entity
// bombs, entities and DTDs naming local files, very deep nesting, 100 MB
// files, byte sequences the declared encoding does not allow, characters
// Windows-1252 cannot hold, SQL metacharacters in every text field. Each must
// be refused with a clear reason or stored literally; nothing is executed,
// nothing read from outside the file, no file lost, no crash.
//
// Request files go the whole way the automatic mode takes them: the inbox
// scan, then the silent processing into a real laboratory database.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/UErro.h"
#include "base/UTexto.h"
#include "base/UXMLConfig.h"
#include "inbox/UBSXML.h"
#include "tests/UAmbienteImportacao.h"

namespace {

using namespace importacao_teste;

// A complete request; every {CAMPO} is replaced before use.
const char* const kModelo = R"(<?xml version="1.0" encoding="UTF-8"?>
<solicitacoes>
  <solicitacao>
    <data>10/03/2026</data>
    <horario>08:00</horario>
    <protocolo>{T}</protocolo>
    <codigo_acesso>{T}</codigo_acesso>
    <idade_paciente>30</idade_paciente>
    <grupo>{T}</grupo>
    <convenio>
      <nome>{T}</nome>
      <cobertura>100</cobertura>
      <desconto>0</desconto>
      <matricula>{T}</matricula>
      <vencimento>{T}</vencimento>
    </convenio>
    <valorTotalExames>0</valorTotalExames>
    <valorCobrarPaciente>0</valorCobrarPaciente>
    <valorDescontoPaciente>0</valorDescontoPaciente>
    <valorTotalPaciente>0</valorTotalPaciente>
    <valorPagoPaciente>0</valorPagoPaciente>
    <observacao_protocolo>{T}</observacao_protocolo>
    <observacao_laudo>{T}</observacao_laudo>
    <imprimir_rg>{T}</imprimir_rg>
    <imprimir_cpf>{T}</imprimir_cpf>
    <paciente>
      <codigo>5001</codigo>
      <tipo_pessoa>F</tipo_pessoa>
      <nome>{NOME}</nome>
      <rg>{T}</rg>
      <cpf_cnpj>{T}</cpf_cnpj>
      <cartao_nacional_saude>{T}</cartao_nacional_saude>
      <data_nascimento></data_nascimento>
      <responsavel>{T}</responsavel>
      <observacao>{T}</observacao>
      <email>{T}</email>
      <sexo>F</sexo>
      <endereco>
        <logradouro>{T}</logradouro>
        <numero>{T}</numero>
        <complemento>{T}</complemento>
        <bairro>{T}</bairro>
        <cidade>{T}</cidade>
        <estado>{T}</estado>
        <cep>{T}</cep>
      </endereco>
      <telefones><telefone><descricao>{T}</descricao><numero>{T}</numero></telefone></telefones>
      <convenios><convenio><nome>{T}</nome><matricula>{T}</matricula></convenio></convenios>
    </paciente>
    <medico>
      <codigo>301</codigo>
      <nome>{T}</nome>
      <especialidade_cbos>{T}</especialidade_cbos>
      <rg>{T}</rg>
      <cpf>{T}</cpf>
      <data_nascimento></data_nascimento>
      <conselho><sigla>{T}</sigla><numero>{T}</numero><uf>{T}</uf></conselho>
      <endereco>
        <logradouro>{T}</logradouro>
        <numero>{T}</numero>
        <complemento>{T}</complemento>
        <bairro>{T}</bairro>
        <cidade>{T}</cidade>
        <estado>{T}</estado>
        <cep>{T}</cep>
      </endereco>
      <email>{T}</email>
      <observacao>{T}</observacao>
      <telefones><telefone><descricao>{T}</descricao><numero>{T}</numero></telefone></telefones>
    </medico>
    <exames>
      <exame>
        <codigo>HEMO</codigo>
        <nome>{T}</nome>
        <material>{T}</material>
        <coleta><data>10/03/2026</data><horario>08:00</horario></coleta>
      </exame>
    </exames>
  </solicitacao>
</solicitacoes>
)";

std::string Substituir(std::string texto, const std::string& de, const std::string& para) {
    for (std::size_t p = texto.find(de); p != std::string::npos; p = texto.find(de, p + para.size()))
        texto.replace(p, de.size(), para);
    return texto;
}

// The request with `texto` (UTF-8, already escaped for XML) in every text
// field and `nome` as the patient's name.
std::string Pedido(const std::string& texto, const std::string& nome) {
    return Substituir(Substituir(kModelo, "{T}", texto), "{NOME}", nome);
}

class Hostil : public AmbienteImportacao {
protected:
    Hostil() : AmbienteImportacao(kCatalogoMinimo) {}


    // Everything the operator or the log could show.
    std::string TudoQueFoiMostrado() const {
        std::string r;
        for (const auto& c : t.janela.caixas) r += c.texto + "\n";
        for (const auto& p : t.janela.progressos) r += p + "\n";
        if (fs::exists(raiz / "log.txt")) r += LerArquivo(raiz / "log.txt");
        const TTabela& a = tp.cdsArquivos;
        for (int i = 0; i < a.Contar(); ++i) r += a.TextoExibicaoEm(i, "erros") + "\n";
        return r;
    }
};

// A file that names this file's content must never get hold of it.
const std::string kSegredo = "SEGREDO-QUE-NAO-PODE-VAZAR";

struct TRecusado {
    const char* nome;
    std::function<std::string(const std::string& segredo)> conteudo;
    const char* motivo;  // a piece of the reason the operator is given
};

// 10,000 elements each inside the one before, inside a request.
std::string Aninhados(int n) {
    std::string s = "<?xml version=\"1.0\"?>\n<solicitacoes><solicitacao><protocolo>1</protocolo><paciente>";
    for (int i = 0; i < n; ++i) s += "<a>";
    for (int i = 0; i < n; ++i) s += "</a>";
    return s + "</paciente><exames/></solicitacao></solicitacoes>\n";
}

const std::vector<TRecusado> kRecusados = {
    {"bomba.xml",
     [](const std::string&) { return LerArquivo(std::string(QUORVEL_DADOS_TESTE) + "/leitor/bomba.xml"); },
     "declara a entidade"},
    {"entidade_externa.xml",
     [](const std::string& s) {
         return "<?xml version=\"1.0\"?>\n<!DOCTYPE solicitacoes [<!ENTITY x SYSTEM \"file://" + s +
                "\">]>\n<solicitacoes><solicitacao><protocolo>&x;</protocolo></solicitacao></solicitacoes>\n";
     },
     "declara a entidade 'x'"},
    {"entidade_parametro.xml",
     [](const std::string& s) {
         return "<?xml version=\"1.0\"?>\n<!DOCTYPE solicitacoes [<!ENTITY % p SYSTEM \"" + s +
                "\"> %p;]>\n<solicitacoes/>\n";
     },
     "declara a entidade 'p'"},
    {"dtd_externa.xml",
     [](const std::string& s) {
         return "<?xml version=\"1.0\"?>\n<!DOCTYPE solicitacoes SYSTEM \"" + s + "\">\n<solicitacoes/>\n";
     },
     "DTD externa"},
    {"aninhados.xml", [](const std::string&) { return Aninhados(10000); }, "Profundidade excessiva"},
    {"utf8_invalido.xml",
     [](const std::string&) {
         return Pedido("x", "Jo\xC3\x28o");  // 0xC3 must start a two-byte sequence
     },
     "UTF-8"},
    {"utf8_truncado.xml",
     [](const std::string&) {
         return Pedido("x", "Ana \xE2\x82");  // the euro sign without its last byte
     },
     "UTF-8"},
    {"cp1252_byte_indefinido.xml",  // 0x81 has no character in Windows-1252
     [](const std::string&) {
         return Substituir(Pedido("x", "Ana \x81"), "encoding=\"UTF-8\"", "encoding=\"windows-1252\"");
     },
     "linha 29: Bytes que a codifica\xE7\xE3o declarada (windows-1252) n\xE3o aceita: 0x81"},
    {"codificacao_desconhecida.xml",
     [](const std::string&) { return Substituir(Pedido("x", "Ana"), "UTF-8", "x-nao-existe"); },
     "Codifica\xE7\xE3o n\xE3o suportada: x-nao-existe"},
    {"utf16_declarado.xml",
     [](const std::string&) { return Substituir(Pedido("x", "Ana"), "UTF-8", "UTF-16"); },
     "UTF-16"},
    {"byte_nulo.xml", [](const std::string&) { return Pedido("x", std::string("An\0a", 4)); }, "0x0"},
    {"referencia_invalida.xml", [](const std::string&) { return Pedido("x", "Ana &#xD800;"); },
     "caractere n\xE3o permitido (valor 55296)"},
    {"referencia_nula.xml", [](const std::string&) { return Pedido("x", "Ana &#0;"); },
     "caractere n\xE3o permitido (valor 0)"},
};

// Every refused file: nothing written to the database, the file stays in the
// inbox folder byte for byte, the operator is told why (the scan's box and
// the file's errors), and nothing of the local file it names shows up
// anywhere.
TEST_F(Hostil, ArquivosRecusadosNaoGravamNadaEFicamNaEntrada) {
    const fs::path segredo = raiz / "segredo.txt";
    std::ofstream(segredo) << kSegredo << "\n";

    for (const TRecusado& caso : kRecusados) Escrever(caso.nome, caso.conteudo(segredo.string()));
    Ciclo();

    EXPECT_EQ(Valor("select count(*) from ped_pedidos"), "0");
    EXPECT_EQ(Valor("select count(*) from cli_clientes"), "0");
    EXPECT_EQ(Valor("select count(*) from med_medicos"), "0");
    EXPECT_TRUE(Arquivos(entrada / "processados").empty());

    const std::string mostrado = TudoQueFoiMostrado();
    EXPECT_EQ(mostrado.find(kSegredo), std::string::npos) << mostrado;
    for (const TRecusado& caso : kRecusados) {
        SCOPED_TRACE(caso.nome);
        EXPECT_EQ(LerArquivo(entrada / caso.nome), caso.conteudo(segredo.string())) << "arquivo alterado";
        const int i = Indice(caso.nome);
        ASSERT_GE(i, 0) << "arquivo fora da lista";
        EXPECT_EQ(tp.cdsArquivos.TextoExibicaoEm(i, "status"), "Com erro");
        const std::string erros = tp.cdsArquivos.TextoExibicaoEm(i, "erros");
        EXPECT_NE(erros, "");
        EXPECT_NE(erros.find(caso.motivo), std::string::npos) << erros;
        bool avisado = false;
        for (const auto& c : t.janela.caixas)
            if (c.texto.rfind("Arquivo: " + Caminho(caso.nome) + "\r", 0) == 0) {
                avisado = true;
                EXPECT_NE(c.texto.find(caso.motivo), std::string::npos) << c.texto;
            }
        EXPECT_TRUE(avisado) << "a varredura n\xE3o mostrou o motivo";
    }

    // The next tick neither imports them nor loses them.
    t.janela.Limpar();
    Ciclo();
    EXPECT_EQ(Valor("select count(*) from ped_pedidos"), "0");
    EXPECT_EQ(Arquivos(entrada).size(), kRecusados.size());
}

// 100 MB request files, one a single value and one a run of some forty
// thousand requests: refused before they are parsed (the reading does not
// take their size in memory), listed "Com erro" with the reason, left in the
// inbox folder. A file of exactly the limit is still read and imported.
TEST_F(Hostil, ArquivosDe100MBSaoRecusadosEOLimiteAindaEhLido) {
    const std::size_t kCemMB = 100u * 1024 * 1024;
    {
        // One request whose patient remark is 100 MB long.
        const std::string modelo = Pedido("x", "Ana");
        const std::size_t p = modelo.find("<observacao>x</observacao>") + 12;
        std::ofstream f(entrada / "valor_100mb.xml", std::ios::binary);
        f << modelo.substr(0, p);
        const std::string bloco(1024 * 1024, 'a');
        for (std::size_t n = 0; n < 100; ++n) f << bloco;
        f << modelo.substr(p + 1);
    }
    {
        // Requests, one after the other, up to 100 MB.
        const std::string modelo = Pedido("x", "Ana");
        const std::size_t ini = modelo.find("<solicitacao>");
        const std::size_t fim = modelo.find("</solicitacoes>");
        const std::string um = modelo.substr(ini, fim - ini);
        std::ofstream f(entrada / "pedidos_100mb.xml", std::ios::binary);
        f << modelo.substr(0, ini);
        std::size_t escritos = ini;
        while (escritos < kCemMB) {
            f << um;
            escritos += um.size();
        }
        f << modelo.substr(fim);
    }
    // A valid request padded with comments after the root to exactly the
    // limit, and the same with one byte more.
    const std::string pedido = Pedido("x", "Ana");
    auto preenchido = [&](std::size_t tamanho) {
        std::string s = pedido;
        const std::string comentario = "<!--" + std::string(1017, '-').replace(0, 1017, 1017, 'c') + "-->\n";
        while (s.size() + comentario.size() <= tamanho) s += comentario;
        s += "<!--" + std::string(tamanho - s.size() - 7, 'c') + "-->";
        return s;
    };
    Escrever("no_limite.xml", preenchido(TDocumentoXML::TamanhoMaximo));
    Escrever("acima_do_limite.xml", preenchido(TDocumentoXML::TamanhoMaximo + 1));
    ASSERT_EQ(fs::file_size(entrada / "no_limite.xml"), TDocumentoXML::TamanhoMaximo);
    ASSERT_EQ(fs::file_size(entrada / "acima_do_limite.xml"), TDocumentoXML::TamanhoMaximo + 1);
    const auto tamanhoValor = fs::file_size(entrada / "valor_100mb.xml");
    const auto tamanhoPedidos = fs::file_size(entrada / "pedidos_100mb.xml");
    ASSERT_GE(tamanhoValor, kCemMB);
    ASSERT_GE(tamanhoPedidos, kCemMB);

    Ciclo();

    EXPECT_EQ(Lista(), (std::vector<std::string>{"acima_do_limite.xml Com erro", "pedidos_100mb.xml Com erro",
                                                 "valor_100mb.xml Com erro"}));
    for (const char* nome : {"acima_do_limite.xml", "pedidos_100mb.xml", "valor_100mb.xml"}) {
        SCOPED_TRACE(nome);
        const std::string erros = tp.cdsArquivos.TextoExibicaoEm(Indice(nome), "erros");
        EXPECT_NE(erros.find("mais de 10 MB"), std::string::npos) << erros;
    }
    // Only the file at the limit was imported; the others are all there.
    EXPECT_EQ(Valor("select count(*) from ped_pedidos"), "1");
    EXPECT_EQ(Arquivos(entrada),
              (std::vector<std::string>{"acima_do_limite.xml", "pedidos_100mb.xml", "valor_100mb.xml"}));
    EXPECT_EQ(fs::file_size(entrada / "valor_100mb.xml"), tamanhoValor);
    EXPECT_EQ(fs::file_size(entrada / "pedidos_100mb.xml"), tamanhoPedidos);
    EXPECT_EQ(Arquivos(entrada / "processados"), std::vector<std::string>{"no_limite.xml"});
}

// Characters that Windows-1252 cannot hold become "?" (one for each
// character, whatever its length in UTF-8); the ones it holds, also those in
// 0x80-0x9F such as the euro sign, are kept. The request is imported.
TEST_F(Hostil, CaracteresForaDoWindows1252ViramInterrogacao) {
    // Zoë Łódź 中文 😀 € — and a character reference to 中
    const std::string nome = "Zo\xC3\xAB \xC5\x81\xC3\xB3" "d\xC5\xBA \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 "
                             "\xE2\x82\xAC &#x4E2D;";
    const std::string esperado = "Zo\xEB ?\xF3" "d? ?? ? \x80 ?";
    Escrever("caracteres.xml", Substituir(Pedido("x", nome), "<protocolo>x</protocolo>",
                                          "<protocolo>P\xE2\x82\xAC\xE4\xB8\xAD</protocolo>"));
    Ciclo();

    EXPECT_TRUE(Lista().empty());
    EXPECT_EQ(Arquivos(entrada / "processados"), std::vector<std::string>{"caracteres.xml"});
    EXPECT_EQ(Valor("select cli_nom from cli_clientes where cli_cod = 5001"), esperado);
    EXPECT_EQ(Valor("select ped_cod_vis from ped_pedidos"), "P\x80?");
    const std::string log = LerArquivo(raiz / "log.txt");
    EXPECT_NE(log.find("\tLendo solicita\xE7\xE3o P\x80?\r\n"), std::string::npos) << log;
}

// SQL metacharacters in every text field of a request: every value reaches
// the database as data (bound parameters), cut to its column at most, and no
// statement of it runs.
TEST_F(Hostil, MetacaracteresSQLSaoGravadosLiteralmente) {
    const std::string kSql = "O'Brien\"; delete from cbd_configuracoesbd; -- ' or '1'='1; drop table ped_pedidos";
    std::string escapado = Substituir(kSql, "&", "&amp;");
    Escrever("sql.xml", Pedido(escapado, escapado));
    Ciclo();

    // Nothing was executed: the settings row and every table are there.
    EXPECT_EQ(Valor("select count(*) from cbd_configuracoesbd"), "1");
    EXPECT_EQ(Valor("select count(*) from rdb$relations where rdb$relation_name = 'PED_PEDIDOS'"), "1");
    EXPECT_EQ(Valor("select count(*) from ped_pedidos"), "1");
    EXPECT_EQ(Arquivos(entrada / "processados"), std::vector<std::string>{"sql.xml"});
    for (const auto& c : t.janela.caixas) ADD_FAILURE() << "caixa: " << c.texto;

    // The text columns the request fills, each holding the text (cut).
    const std::vector<std::pair<std::string, std::string>> colunas = {
        {"cli_clientes", "cli_nom"},   {"cli_clientes", "cli_rsp"}, {"cli_clientes", "cli_ema"},
        {"cli_clientes", "cli_lgr"},   {"cli_clientes", "cli_cmp"}, {"cli_clientes", "cli_bro"},
        {"cli_clientes", "cli_cid"},   {"cli_clientes", "cli_obs"}, {"cpf_clientepessoafisica", "cpf_rg"},
        {"tcl_telefonecliente", "tcl_dsc"}, {"tcl_telefonecliente", "tcl_num"},
        {"cnc_convenioscliente", "cnc_mat"}, {"med_medicos", "med_nom"}, {"med_medicos", "med_lgr"},
        {"med_medicos", "med_obs"},    {"med_medicos", "med_ema"},  {"tfm_telefonemedico", "tfm_dsc"},
        {"grp_grupos", "grp_dsc"},     {"ped_pedidos", "ped_cod_vis"}, {"ped_pedidos", "ped_obs"},
        {"ped_pedidos", "ped_obs_lau"}, {"ped_pedidos", "ped_mat_cnv"}, {"ped_pedidos", "ped_cod_ace"}};
    for (const auto& [tabela, coluna] : colunas) {
        SCOPED_TRACE(tabela + "." + coluna);
        std::vector<std::string> valores = Linhas("select " + coluna + " from " + tabela + " where " + coluna +
                                                  " containing 'O''B'");
        ASSERT_FALSE(valores.empty()) << "o texto n\xE3o chegou a " << tabela << "." << coluna;
        for (const std::string& v : valores) EXPECT_EQ(kSql.rfind(v, 0), 0u) << v;
    }
    // The new plan and the new material carry the text as their names.
    EXPECT_EQ(kSql.rfind(Valor("select max(cnv_nom) from cnv_convenios where cnv_cod <> 1"), 0), 0u);
    EXPECT_EQ(MaiusculasAZ(kSql).rfind(MaiusculasAZ(Valor("select max(mat_dsc) from mat_material where mat_cod <> 1")), 0), 0u);
}

// config.xml built to hurt: refused with the reason and the file untouched,
// or (a DTD named but never loaded) read without it; nothing of the local
// file it names is ever read.
TEST_F(Hostil, ConfigXmlHostilEhRecusadoSemTocarNoArquivo) {
    const fs::path segredo = raiz / "segredo.txt";
    std::ofstream(segredo) << kSegredo << "\n";
    const std::string bomba = LerArquivo(std::string(QUORVEL_DADOS_TESTE) + "/leitor/bomba.xml");
    std::string aninhado = "<Configuration>";
    for (int i = 0; i < 10000; ++i) aninhado += "<DB>";
    for (int i = 0; i < 10000; ++i) aninhado += "</DB>";
    aninhado += "</Configuration>";
    std::string atributoGrande = "<Configuration><DB servidor=\"";
    atributoGrande += std::string(100u * 1024 * 1024, 'S');
    atributoGrande += "\"/></Configuration>";

    struct TCaso {
        std::string nome;
        std::string conteudo;
        bool recusado;
    };
    const std::vector<TCaso> casos = {
        {"bomba", bomba, true},
        {"entidade externa",
         "<!DOCTYPE Configuration [<!ENTITY x SYSTEM \"file://" + segredo.string() +
             "\">]><Configuration><DB servidor=\"&x;\"/></Configuration>",
         true},
        {"10000 aninhados", aninhado, true},
        {"UTF-8 inv\xE1lido", "<Configuration><DB servidor=\"\xC3\x28\"/></Configuration>", true},
        {"atributo de 100 MB", atributoGrande, true},
        // Named, never loaded: the file's own values are read.
        {"DTD externa",
         "<!DOCTYPE Configuration SYSTEM \"" + segredo.string() +
             "\"><Configuration><DB servidor=\"S1\"/></Configuration>",
         false},
    };
    const fs::path arquivo = raiz / "config.xml";
    for (const TCaso& caso : casos) {
        SCOPED_TRACE(caso.nome);
        std::ofstream(arquivo, std::ios::binary | std::ios::trunc) << caso.conteudo;
        std::string erro;
        try {
            TXMLConfig config(arquivo.string());
            EXPECT_FALSE(caso.recusado) << "aceito";
            EXPECT_EQ(config.ReadString("DB", "servidor", ""), "S1");
            config.WriteString("aplicacao", "frequencia", "5");
            config.Save();
            EXPECT_EQ(TXMLConfig(arquivo.string()).ReadString("aplicacao", "frequencia", ""), "5");
            EXPECT_EQ(LerArquivo(arquivo).find(kSegredo), std::string::npos);
        } catch (const EErroXML& e) {
            erro = e.what();
            EXPECT_TRUE(caso.recusado) << erro;
            EXPECT_NE(erro.find("Erro no arquivo de configura\xE7\xE3o " + arquivo.string()), std::string::npos)
                << erro;
            EXPECT_EQ(erro.find(kSegredo), std::string::npos) << erro;
            EXPECT_TRUE(LerArquivo(arquivo) == caso.conteudo) << "arquivo alterado";
        }
    }
}

}  // namespace
