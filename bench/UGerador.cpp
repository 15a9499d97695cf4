#include "bench/UGerador.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace {

const char* const Nomes[] = {"Maria", "José", "Ana", "João", "Antônio", "Francisca", "Luíza", "Sérgio",
                             "Conceição", "Raimundo", "Fátima", "Gonçalo", "Letícia", "Márcio"};
const char* const Sobrenomes[] = {"da Silva", "Gonçalves", "Araújo", "Simões", "Peçanha", "Brandão",
                                  "de Souza", "Conceição", "Lourenço", "Müller", "Assunção"};

std::string Dois(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

}  // namespace

std::vector<std::string> GerarArquivos(const std::string& pasta, const TOpcoesGerador& o) {
    std::mt19937 rng(o.Semente);
    auto sorteio = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::vector<std::string> caminhos;
    int protocolo = 500000;
    const int arquivos = o.Arquivos < 1 ? 1 : o.Arquivos;
    for (int a = 0; a < arquivos; ++a) {
        // Spread the requests evenly; the first files take the remainder.
        int nesta = o.Solicitacoes / arquivos + (a < o.Solicitacoes % arquivos ? 1 : 0);
        if (nesta < 1) nesta = 1;
        std::ostringstream x;
        x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<solicitacoes>\n";
        for (int s = 0; s < nesta; ++s) {
            ++protocolo;
            const int paciente = 10000 + sorteio(5000);
            const int medico = sorteio(4) == 0 ? 0 : 300 + sorteio(40);
            const int dia = 1 + sorteio(28), mes = 1 + sorteio(12);
            const std::string data = Dois(dia) + "/" + Dois(mes) + "/2026";
            const std::string hora = Dois(6 + sorteio(12)) + ":" + Dois(sorteio(60));
            const std::string nome = std::string(Nomes[sorteio(14)]) + " " + Sobrenomes[sorteio(11)] + " " +
                                     Sobrenomes[sorteio(11)];
            const std::string convenio = o.Convenios[sorteio(static_cast<int>(o.Convenios.size()))];
            x << "  <solicitacao>\n"
              << "    <data>" << data << "</data>\n    <horario>" << hora << "</horario>\n"
              << "    <protocolo>" << protocolo << "</protocolo>\n    <codigo_acesso></codigo_acesso>\n"
              << "    <idade_paciente></idade_paciente>\n"
              << "    <grupo>" << o.Grupos[sorteio(static_cast<int>(o.Grupos.size()))] << "</grupo>\n"
              << "    <convenio><nome>" << convenio << "</nome><cobertura>100</cobertura><desconto>0</desconto>"
              << "<matricula>" << paciente << "77</matricula><vencimento>12/2027</vencimento></convenio>\n"
              << "    <valorTotalExames>0,00</valorTotalExames><valorCobrarPaciente>0,00</valorCobrarPaciente>"
              << "<valorDescontoPaciente>0,00</valorDescontoPaciente><valorTotalPaciente>0,00</valorTotalPaciente>"
              << "<valorPagoPaciente>0,00</valorPagoPaciente>\n"
              << "    <observacao_protocolo></observacao_protocolo><observacao_laudo></observacao_laudo>"
              << "<imprimir_rg>N</imprimir_rg><imprimir_cpf>S</imprimir_cpf>\n"
              << "    <paciente>\n      <codigo>" << paciente << "</codigo><tipo_pessoa>F</tipo_pessoa>"
              << "<nome>" << nome << "</nome><rg></rg><cpf_cnpj>" << 10000000000LL + paciente * 7919LL
              << "</cpf_cnpj><cartao_nacional_saude></cartao_nacional_saude>"
              << "<data_nascimento>" << Dois(1 + sorteio(28)) << "/" << Dois(1 + sorteio(12)) << "/"
              << 1940 + sorteio(80) << "</data_nascimento><responsavel></responsavel>"
              << "<observacao></observacao><email></email><sexo>" << (sorteio(2) ? "F" : "M") << "</sexo>\n"
              << "      <endereco><logradouro>Rua " << Sobrenomes[sorteio(11)] << "</logradouro><numero>"
              << sorteio(2000) << "</numero><complemento></complemento><bairro>Centro</bairro>"
              << "<cidade>São José dos Campos</cidade><estado>SP</estado><cep>12245520</cep></endereco>\n"
              << "      <telefones><telefone><descricao>Celular</descricao><numero>(12) 9" << 80000000 + paciente
              << "</numero></telefone></telefones>\n"
              << "      <convenios><convenio><nome>" << convenio << "</nome><matricula>" << paciente
              << "77</matricula></convenio></convenios>\n    </paciente>\n";
            if (medico > 0) {
                x << "    <medico><codigo>" << medico << "</codigo><nome>Dr. " << Nomes[sorteio(14)] << " "
                  << Sobrenomes[sorteio(11)] << "</nome><especialidade_cbos>225125</especialidade_cbos>"
                  << "<rg></rg><cpf></cpf><data_nascimento></data_nascimento>"
                  << "<conselho><sigla>CRM</sigla><numero>" << medico * 31 << "</numero><uf>SP</uf></conselho>"
                  << "<endereco><logradouro>Av. Central</logradouro><numero>1</numero><complemento></complemento>"
                  << "<bairro>Centro</bairro><cidade>Taubaté</cidade><estado>SP</estado><cep>12020000</cep></endereco>"
                  << "<email></email><observacao></observacao>"
                  << "<telefones><telefone><descricao>Consultório</descricao><numero>(12) 3622-" << 1000 + medico
                  << "</numero></telefone></telefones></medico>\n";
            }
            x << "    <exames>\n";
            for (int e = 0; e < o.ExamesPorSolicitacao; ++e) {
                const std::string& exame = o.Exames[sorteio(static_cast<int>(o.Exames.size()))];
                x << "      <exame><codigo>" << exame << "</codigo><nome>Exame " << exame << "</nome><material>"
                  << o.Materiais[sorteio(static_cast<int>(o.Materiais.size()))] << "</material>"
                  << "<coleta><data>" << data << "</data><horario>" << Dois(6 + sorteio(12)) << ":"
                  << Dois(1 + sorteio(58)) << "</horario></coleta></exame>\n";
            }
            x << "    </exames>\n  </solicitacao>\n";
        }
        x << "</solicitacoes>\n";
        char nomeArquivo[32];
        std::snprintf(nomeArquivo, sizeof nomeArquivo, "bench_%05d.xml", a + 1);
        const std::string caminho = pasta + (pasta.empty() || pasta.back() == '/' ? "" : "/") + nomeArquivo;
        std::string texto = x.str();
        if (o.Compacto) {
            std::string enxuto;
            enxuto.reserve(texto.size());
            for (std::size_t i = 0; i < texto.size(); ++i) {
                // Blanks between one element's '>' and the next '<' go.
                if ((texto[i] == '\n' || texto[i] == ' ') && !enxuto.empty() && enxuto.back() == '>') {
                    std::size_t j = i;
                    while (j < texto.size() && (texto[j] == '\n' || texto[j] == ' ')) ++j;
                    if (j < texto.size() && texto[j] == '<') {
                        i = j - 1;
                        continue;
                    }
                }
                enxuto += texto[i];
            }
            // An empty element "<x></x>" is written "<x/>".
            texto.clear();
            for (std::size_t i = 0; i < enxuto.size(); ++i) {
                texto += enxuto[i];
                if (enxuto[i] != '>' || enxuto.compare(i + 1, 2, "</") != 0) continue;
                const std::size_t abre = texto.rfind('<');
                const std::size_t fecha = enxuto.find('>', i + 1);
                const std::string nome = texto.substr(abre + 1, texto.size() - abre - 2);
                if (abre == std::string::npos || fecha == std::string::npos || nome.empty() || nome[0] == '/' ||
                    enxuto.compare(i + 3, fecha - i - 3, nome) != 0 || fecha - i - 3 != nome.size())
                    continue;
                texto.back() = '/';
                texto += '>';
                i = fecha;
            }
        }
        std::ofstream f(caminho, std::ios::binary);
        f << texto;
        if (!f.good()) throw std::runtime_error("não foi possível gravar " + caminho);
        caminhos.push_back(caminho);
    }
    return caminhos;
}
