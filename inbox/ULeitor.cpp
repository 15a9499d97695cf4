#include "inbox/ULeitor.h"

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "base/UErro.h"
#include "base/UTexto.h"
#include "inbox/UBSXML.h"
#include "log/ULog.h"

namespace {

void Registrar(const std::string& mensagem) {
    try {
        Log::Gravar(mensagem);
    } catch (const EErro&) {
        // The reading does not depend on the log being writable.
    }
}

// A column and the path of its value below the element being read.
using TMapa = std::initializer_list<std::pair<const char*, const char*>>;
// A column and a value known beforehand (the link to the master).
using TFixos = std::vector<std::pair<const char*, std::string>>;

// Adds a row: first the known values, then the values of `mapa` read below
// `elemento`, in order; saves it. A value that cannot be converted drops the
// row and goes on to the caller.
void AdicionarLinha(TTabela& tabela, const xmlNode* elemento, const TFixos& antes, TMapa mapa) {
    tabela.Inserir();
    try {
        for (const auto& [coluna, valor] : antes) tabela.DefinirTexto(coluna, valor);
        for (const auto& [coluna, caminho] : mapa) tabela.DefinirTexto(coluna, LerValorXML(elemento, caminho));
    } catch (...) {
        tabela.Cancelar();
        throw;
    }
    tabela.Gravar();
}

// The elements of the run `nome` below `pai`: from the first child of that
// name through the following siblings while each is an element of that name.
std::vector<const xmlNode*> Sequencia(const xmlNode* pai, const std::string& nome) {
    std::vector<const xmlNode*> r;
    for (const xmlNode* no = FilhoElemento(pai, nome); no && EhElemento(no, nome); no = no->next) r.push_back(no);
    return r;
}

const xmlNode* Exigir(const xmlNode* pai, const char* nome) {
    const xmlNode* no = FilhoElemento(pai, nome);
    if (!no) throw EErro(std::string("Elemento '") + nome + "' n\xE3o encontrado na solicita\xE7\xE3o");
    return no;
}

}  // namespace

void TLeitorPedidos::LimparTabelas() { tabelas_.LimparTabelas(); }

int TLeitorPedidos::CalcularIdade(const TDataHora& dataPedido, const std::string& dataNascimento) {
    std::optional<TDataHora> nascimento = LerData(dataNascimento);
    if (!nascimento) {
        if (auto dh = LerDataHora(dataNascimento)) nascimento = dh->ParteData();
    }
    if (!nascimento) return 1;
    const std::int64_t dias = (dataPedido.ParteData().Ms() - nascimento->Ms()) / TDataHora::MsPorDia;
    return dias == 0 ? 1 : static_cast<int>(dias);
}

void TLeitorPedidos::CarregarArquivo(const std::string& caminho) {
    LimparTabelas();
    const TDocumentoXML documento(caminho);  // EErroXML goes to the caller
    Registrar("Iniciando processo de leitura do arquivo " + NomeArquivoParaCp1252(caminho));
    // The request being read, for the line that says where a reading stopped.
    std::string protocolo;
    bool emSolicitacao = false;
    try {
        const xmlNode* raiz = documento.Raiz();
        if (!EhElemento(raiz, "solicitacoes"))
            throw EErro("Elemento raiz 'solicitacoes' n\xE3o encontrado (o arquivo tem '" +
                        Utf8ParaCp1252(NomeNo(raiz)) + "')");

        TTabela& pedidos = tabelas_.cdsPedidos;
        for (const xmlNode* r : Sequencia(raiz, "solicitacao")) {
            emSolicitacao = true;
            protocolo = LerValorXML(r, "protocolo");
            Registrar("Lendo solicita\xE7\xE3o " + protocolo);

            AdicionarLinha(pedidos, r, {},
                           {{"data", "data"},
                            {"horario", "horario"},
                            {"protocolo", "protocolo"},
                            {"codigo_acesso", "codigo_acesso"},
                            {"paciente", "paciente/codigo"},
                            {"idade_paciente", "idade_paciente"},
                            {"medico", "medico/codigo"},
                            {"grupo", "grupo"},
                            {"convenio_nome", "convenio/nome"},
                            {"convenio_cobertura", "convenio/cobertura"},
                            {"convenio_desconto", "convenio/desconto"},
                            {"convenio_matricula", "convenio/matricula"},
                            {"convenio_vencimento", "convenio/vencimento"},
                            {"valor_total_exames", "valorTotalExames"},
                            {"valor_cobrar_paciente", "valorCobrarPaciente"},
                            {"valor_desconto_paciente", "valorDescontoPaciente"},
                            {"valor_total_paciente", "valorTotalPaciente"},
                            {"valor_pago_paciente", "valorPagoPaciente"},
                            {"observacao_protocolo", "observacao_protocolo"},
                            {"observacao_laudo", "observacao_laudo"},
                            {"imprimir_rg", "imprimir_rg"},
                            {"imprimir_cpf", "imprimir_cpf"},
                            {"nome_paciente", "paciente/nome"},
                            {"nome_medico", "medico/nome"}});

            TTabela& pacientes = tabelas_.cdsPacientes;
            AdicionarLinha(pacientes, r, {},
                           {{"codigo", "paciente/codigo"},
                            {"tipo_pessoa", "paciente/tipo_pessoa"},
                            {"nome", "paciente/nome"},
                            {"rg", "paciente/rg"},
                            {"cpf_cnpj", "paciente/cpf_cnpj"},
                            {"cartao_nacional_saude", "paciente/cartao_nacional_saude"},
                            {"data_nascimento", "paciente/data_nascimento"},
                            {"responsavel", "paciente/responsavel"},
                            {"observacao", "paciente/observacao"},
                            {"email", "paciente/email"},
                            {"sexo", "paciente/sexo"},
                            {"logradouro", "paciente/endereco/logradouro"},
                            {"numero", "paciente/endereco/numero"},
                            {"complemento", "paciente/endereco/complemento"},
                            {"bairro", "paciente/endereco/bairro"},
                            {"cidade", "paciente/endereco/cidade"},
                            {"estado", "paciente/endereco/estado"},
                            {"cep", "paciente/endereco/cep"}});

            // The age in days replaces the age written in the file when the
            // birth date is given.
            const std::string nascimento = pacientes.Texto("data_nascimento");
            if (!nascimento.empty()) {
                pedidos.Editar();
                pedidos.DefinirTexto("idade_paciente",
                                     std::to_string(CalcularIdade(pedidos.Data("data"), nascimento)));
                pedidos.Gravar();
            }

            // The link to the master is looked up below the request for every
            // detail row, as every other value.
            const xmlNode* paciente = Exigir(r, "paciente");
            if (const xmlNode* telefones = FilhoElemento(paciente, "telefones"))
                for (const xmlNode* t : Sequencia(telefones, "telefone"))
                    AdicionarLinha(tabelas_.cdsTelefones, t, {{"paciente", LerValorXML(r, "paciente/codigo")}},
                                   {{"descricao", "descricao"}, {"numero", "numero"}});
            if (const xmlNode* convenios = FilhoElemento(paciente, "convenios"))
                for (const xmlNode* c : Sequencia(convenios, "convenio"))
                    AdicionarLinha(tabelas_.cdsConvenios, c, {{"paciente", LerValorXML(r, "paciente/codigo")}},
                                   {{"nome", "nome"}, {"matricula", "matricula"}});

            if (const xmlNode* medico = FilhoElemento(r, "medico")) {
                AdicionarLinha(tabelas_.cdsMedicos, r, {},
                               {{"codigo", "medico/codigo"},
                                {"nome", "medico/nome"},
                                {"especialidade_cbos", "medico/especialidade_cbos"},
                                {"rg", "medico/rg"},
                                {"cpf", "medico/cpf"},
                                {"data_nascimento", "medico/data_nascimento"},
                                {"conselho_sigla", "medico/conselho/sigla"},
                                {"conselho_numero", "medico/conselho/numero"},
                                {"conselho_uf", "medico/conselho/uf"},
                                {"logradouro", "medico/endereco/logradouro"},
                                {"numero", "medico/endereco/numero"},
                                {"complemento", "medico/endereco/complemento"},
                                {"bairro", "medico/endereco/bairro"},
                                {"cidade", "medico/endereco/cidade"},
                                {"estado", "medico/endereco/estado"},
                                {"cep", "medico/endereco/cep"},
                                {"email", "medico/email"},
                                {"observacao", "medico/observacao"}});
                if (const xmlNode* telefones = FilhoElemento(medico, "telefones"))
                    for (const xmlNode* t : Sequencia(telefones, "telefone"))
                        AdicionarLinha(tabelas_.cdsTelefonesMedicos, t, {{"medico", LerValorXML(r, "medico/codigo")}},
                                       {{"descricao", "descricao"}, {"numero", "numero"}});
            }

            const xmlNode* exames = Exigir(r, "exames");
            for (const xmlNode* e : Sequencia(exames, "exame")) {
                const std::string doPedido = LerValorXML(r, "protocolo");
                if (FilhoElemento(e, "coleta"))
                    AdicionarLinha(tabelas_.cdsExames, e, {{"protocolo", doPedido}},
                                   {{"codigo", "codigo"},
                                    {"nome", "nome"},
                                    {"material", "material"},
                                    {"coleta_data", "coleta/data"},
                                    {"coleta_horario", "coleta/horario"}});
                else
                    AdicionarLinha(tabelas_.cdsExames, e, {{"protocolo", doPedido}},
                                   {{"codigo", "codigo"}, {"nome", "nome"}, {"material", "material"}});
            }
        }

        pedidos.Primeiro();
        tabelas_.cdsExames.Primeiro();
    } catch (const std::exception& e) {
        Registrar(std::string("Erro: ") + e.what());
        tabelas_.LeituraInterrompida =
            emSolicitacao ? "Protocolo " + protocolo + ": a leitura do arquivo parou nesta solicita\xE7\xE3o (" +
                                e.what() + "); as solicita\xE7\xF5" "es seguintes n\xE3o foram lidas."
                          : std::string("A leitura do arquivo parou antes da primeira solicita\xE7\xE3o (") + e.what() +
                                ").";
    }
    Registrar("Finalizando processo de leitura do arquivo " + NomeArquivoParaCp1252(caminho));
    // The reading's lines go to the log file together, now; a failed write
    // is reported to the import's next flush point.
    Log::Entregar();
}
