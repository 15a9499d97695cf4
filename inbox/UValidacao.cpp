#include "inbox/UValidacao.h"

#include <vector>

#include "db/UDM.h"
#include "inbox/UBS.h"

namespace {

std::string Substituir(std::string texto, const std::string& valor) {
    for (std::size_t p = texto.find('%'); p != std::string::npos; p = texto.find('%', p + valor.size()))
        texto.replace(p, 1, valor);
    return texto;
}

}  // namespace

bool TValidacao::ValidarArquivo() {
    interrupcao_.clear();
    TTabela& pedidos = tabelas_.cdsPedidos;
    std::vector<std::string> linhas;
    if (!tabelas_.LeituraInterrompida.empty()) linhas.push_back(tabelas_.LeituraInterrompida);
    if (pedidos.Vazia() && linhas.empty()) return false;

    try {
        if (!pedidos.Vazia()) dm_.CarregarConfiguracoes();
        for (pedidos.Primeiro(); !pedidos.Fim(); pedidos.Proximo()) {
            const std::string protocolo = pedidos.Texto("protocolo");
            janela_.MostrarProgresso("Validando dados para protocolo " + protocolo);
            const std::string prefixo = "Protocolo " + protocolo + ": ";
            auto falha = [&](const std::string& mensagem, const std::string& valor) {
                linhas.push_back(prefixo + Substituir(mensagem, valor));
            };

            const TTabela& paciente = tabelas_.cdsPacientes;
            const std::string codigo = paciente.Texto("codigo");
            const std::string nome = paciente.Texto("nome");
            const std::string sexo = paciente.Texto("sexo");
            const std::string nascimento = paciente.Texto("data_nascimento");

            if (!EhInteiro(codigo))
                falha("C\xF3" "digo inv\xE1lido para paciente no protocolo \"" + protocolo + "\". Dado = '%'", codigo);
            if (nome.empty()) falha("Nome inv\xE1lido para paciente" + nome, nome);
            if (sexo.empty()) falha("Sexo inv\xE1lido para paciente" + nome, sexo);
            if (!nascimento.empty()) {
                if (!EhData(nascimento)) falha("Idade inv\xE1lida para paciente" + nome, nascimento);
            } else {
                const std::string idade = pedidos.Texto("idade_paciente");
                if (idade.empty()) falha("Idade inv\xE1lida para paciente" + nome, idade);
            }
            const int medicos = tabelas_.cdsMedicos.Contar();
            if (medicos == 0 && dm_.BuscarConfiguracao("PED_PreencherNomeMedico", "") == "Sim")
                falha("M\xE9" "dico n\xE3o informado! O sistema est\xE1 configurado para informar o m\xE9"
                      "dico obrigatoriamente.",
                      std::to_string(medicos));
            if (pedidos.Texto("grupo").empty()) {
                const std::string padrao = dm_.BuscarGrupoPadrao();
                if (!EhInteiro(padrao))
                    falha("Grupo inv\xE1lido! Nenhum grupo informado e nenhum grupo padr\xE3o definido no sistema.",
                          padrao);
            }
        }
        janela_.MostrarProgresso("");
    } catch (const std::exception& e) {
        try {
            janela_.MostrarProgresso("");
        } catch (...) {
        }
        // A file read only in part is wrong whatever the rest of the check
        // would have found.
        if (tabelas_.LeituraInterrompida.empty()) {
            interrupcao_ = *e.what() ? e.what() : "?";
            return false;
        }
        linhas.resize(1);
    }

    if (linhas.empty()) return true;

    std::string erros;
    for (const auto& l : linhas) erros += l + "\r\n";
    TTabela& arquivos = tabelas_.cdsArquivos;
    arquivos.Editar();
    arquivos.Definir("status", -1);
    arquivos.DefinirTexto("erros", erros);  // the column keeps the first 500 characters
    arquivos.Gravar();
    return false;
}
