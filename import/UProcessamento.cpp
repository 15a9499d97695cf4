#include "import/UProcessamento.h"

#include <exception>
#include <functional>
#include <utility>

#include "app/UErro.h"
#include "app/UTexto.h"
#include "db/UDM.h"
#include "log/ULog.h"

namespace {

// Holds back the file list's notification (which reads the current row's
// file) while the driver moves over rows whose files it reads itself or does
// not need.
class TSemLeitura {
public:
    explicit TSemLeitura(TTabela& tabela) : tabela_(tabela), guardado_(std::exchange(tabela.AposRolar, nullptr)) {}
    ~TSemLeitura() { tabela_.AposRolar = std::move(guardado_); }
    TSemLeitura(const TSemLeitura&) = delete;
    TSemLeitura& operator=(const TSemLeitura&) = delete;

private:
    TTabela& tabela_;
    std::function<void(TTabela&)> guardado_;
};

bool Sim(IJanela& janela, const std::string& texto, TIcone icone) {
    return janela.Mensagem(texto, icone, TBotoes::SimNao) == TResposta::Sim;
}

// A message as one line of a file's errors: its line breaks become blanks.
std::string UmaLinha(const std::string& texto) {
    std::string r;
    for (char c : texto) {
        if (c == '\r' || c == '\n') {
            if (!r.empty() && r.back() != ' ') r += ' ';
        } else {
            r += c;
        }
    }
    return r;
}

// The database stopped answering during a run.
class EConexaoPerdida : public EErroBD {
public:
    EConexaoPerdida() : EErroBD("Conex\xE3o com o banco de dados perdida.") {}
};

}  // namespace

TProcessamento::TProcessamento(TDM& dm, TTabelasPedido& tabelas, const TConfig& config, IJanela& janela,
                               TListaArquivos& lista, TImportadorPedido::TSorteio sorteio)
    : dm_(dm),
      tabelas_(tabelas),
      janela_(janela),
      lista_(lista),
      leitor_(tabelas),
      validacao_(tabelas, dm, janela),
      paciente_(dm, tabelas),
      medico_(dm, tabelas),
      grupoConvenio_(dm, tabelas),
      pedido_(dm, tabelas, config, std::move(sorteio)) {}

void TProcessamento::MarcarComErro(const std::optional<std::string>& erros) {
    TTabela& arquivos = tabelas_.cdsArquivos;
    if (arquivos.Inteiro("status") == -1 && !erros) return;
    arquivos.Editar();
    arquivos.Definir("status", std::int32_t{-1});
    if (erros) arquivos.Definir("erros", *erros);
    try {
        arquivos.Gravar();
    } catch (const EErro&) {
        // The row is saved; only the reading that follows it failed.
    }
}

bool TProcessamento::LerEValidar() {
    const std::string caminho = tabelas_.cdsArquivos.Texto("nome_arquivo");
    try {
        leitor_.CarregarArquivo(caminho);
    } catch (const EErro& e) {
        MarcarComErro(std::string(e.what()));
        return false;
    }
    bool valido = false;
    try {
        valido = validacao_.ValidarArquivo();
    } catch (const EErro&) {
        // The validation recorded its lines; the reading after it failed.
    }
    if (valido) return true;
    // A check that could not run says nothing about the file: it stays
    // pending (the run stops for a lost connection; any other reason is
    // shown).
    if (!validacao_.Interrupcao().empty()) {
        if (!dm_.ConexaoAtiva()) throw EConexaoPerdida();
        throw EErro(validacao_.Interrupcao());
    }
    // The lines, when there were any, are on the row already; a file without
    // requests is refused all the same.
    MarcarComErro(std::nullopt);
    return false;
}

void TProcessamento::AvisarSemConexao() {
    janela_.MostrarProgresso("");
    janela_.Mensagem("Sem conex\xE3o com o banco de dados " + dm_.NomeBanco() +
                         ".\rO processamento foi interrompido. Os arquivos n\xE3o processados continuam na pasta "
                         "de entrada e ser\xE3o processados quando a conex\xE3o voltar.",
                     TIcone::Erro, TBotoes::OK);
}

bool TProcessamento::ProcessarArquivo() {
    TTabela& arquivos = tabelas_.cdsArquivos;
    if (arquivos.Vazia()) return false;
    // A connection lost since the last run (server restarted, connection
    // cut) is made again; without one nothing is read, checked or marked.
    if (!dm_.VerificarConexao()) {
        AvisarSemConexao();
        return false;
    }
    // After each importer: the errors of a connection that stopped answering
    // were shown, but the file must not be marked finished - it stays
    // pending, and a later run imports it again (rows already written are
    // updated in place).
    auto exigirConexao = [this] {
        if (!dm_.ConexaoAtiva()) throw EConexaoPerdida();
    };
    try {
        if (!LerEValidar()) return false;

        // Each request's rows that could not be written (a row locked by the
        // laboratory's main system, a save or a search that failed): the
        // file is then not finished but kept with these errors, and a later
        // run completes it in place.
        std::string erros;
        TTabela& pedidos = tabelas_.cdsPedidos;
        for (pedidos.Primeiro(); !pedidos.Fim(); pedidos.Proximo()) {
            dm_.LimparFalhas();
            janela_.MostrarProgresso("Processando protocolo " + pedidos.Texto("protocolo"));
            // Asked to end: the requests imported so far stay written, the
            // file stays pending (a later run updates them in place).
            if (janela_.Encerrando()) {
                janela_.MostrarProgresso("");
                return false;
            }
            const std::int32_t cliente = paciente_.ImportarPaciente();
            exigirConexao();
            Log::Gravar("cli_cod = " + std::to_string(cliente));
            const std::int32_t medico = medico_.ImportarMedico();
            exigirConexao();
            Log::Gravar("med_cod = " + std::to_string(medico));
            const std::int32_t grupo = grupoConvenio_.ImportarGrupo();
            exigirConexao();
            Log::Gravar("grp_cod = " + std::to_string(grupo));
            const std::int32_t convenio = grupoConvenio_.ImportarConvenio();
            exigirConexao();
            Log::Gravar("cnv_cod = " + std::to_string(convenio));
            const std::int32_t pedido = pedido_.ImportarPedido(cliente, medico, grupo, convenio);
            exigirConexao();
            Log::Gravar("ped_cod = " + std::to_string(pedido));
            // The request's lines go to the log file together; a rewrite
            // that failed is told naming the requests whose lines it held
            // (they are kept and written again), never as this file's failure.
            Log::Descarregar("protocolo " + pedidos.Texto("protocolo") + " do arquivo " +
                             NomeArquivoParaCp1252(arquivos.Texto("nome_arquivo")));
            for (const std::string& falha : Log::RetirarFalhas()) janela_.Mensagem(falha, TIcone::Erro, TBotoes::OK);
            for (const TFalha& falha : dm_.Falhas())
                erros += "Protocolo " + pedidos.Texto("protocolo") + ": " + UmaLinha(falha.Texto) + "\r\n";
        }
        dm_.LimparFalhas();

        if (!erros.empty()) {
            MarcarComErro(erros);  // the column keeps the first 500 characters
            janela_.MostrarProgresso("");
            return false;
        }

        arquivos.Editar();
        arquivos.Definir("status", std::int32_t{1});
        try {
            arquivos.Gravar();
        } catch (const EErro&) {
            // The row is saved as finished; only the reading that follows failed.
        }
        janela_.MostrarProgresso("");
        return true;
    } catch (const EConexaoPerdida&) {
        if (!arquivos.EmRepouso()) arquivos.Cancelar();
        AvisarSemConexao();
        return false;
    } catch (const std::exception& e) {
        if (!arquivos.EmRepouso()) arquivos.Cancelar();
        // Not swallowed: an error no importer caught (the activity log on a
        // full disk, say) would otherwise leave the file pending at every
        // run without the operator ever learning why.
        janela_.MostrarProgresso("");
        janela_.Mensagem(e.what(), TIcone::Erro, TBotoes::OK);
        return false;
    }
}

int TProcessamento::ProximoPendente(const std::set<std::string>& vistos) const {
    const TTabela& arquivos = tabelas_.cdsArquivos;
    for (int i = 0; i < arquivos.Contar(); ++i) {
        const TVariante status = arquivos.ValorEm(i, "status");
        if (status != TVariante(std::int32_t{0})) continue;
        if (!vistos.count(VariantParaTexto(arquivos.ValorEm(i, "nome_arquivo")))) return i;
    }
    return -1;
}

void TProcessamento::MoverSemLer(int indice) {
    TSemLeitura semLeitura(tabelas_.cdsArquivos);
    tabelas_.cdsArquivos.MoverPara(indice);
}

void TProcessamento::AvisarNaoMovidos(const std::vector<std::string>& caminhos) {
    if (caminhos.empty()) return;
    std::string nomes;
    for (const std::string& c : caminhos) nomes += "\r" + NomeArquivoParaCp1252(c);
    janela_.Mensagem("N\xE3o foi poss\xEDvel mover para a pasta processados o(s) arquivo(s):" + nomes +
                         "\rO(s) arquivo(s) continua(m) na pasta de entrada.",
                     TIcone::Erro, TBotoes::OK);
}

bool TProcessamento::RemoverAtual() {
    TTabela& arquivos = tabelas_.cdsArquivos;
    if (!TListaArquivos::MoverParaProcessados(arquivos.Texto("nome_arquivo"))) return false;
    TSemLeitura semLeitura(arquivos);
    arquivos.Excluir();
    return true;
}

void TProcessamento::Ressincronizar() {
    try {
        lista_.cdsArquivosAfterScroll();
    } catch (const EErro&) {
        // Left for the processing of that file, which reads it again.
    }
}

void TProcessamento::ProcessarTodos(bool silencioso) {
    TTabela& arquivos = tabelas_.cdsArquivos;
    pedido_.NovaExecucao();
    if (ProximoPendente({}) < 0) {
        if (!silencioso)
            janela_.Mensagem("Nenhum arquivo pendente encontrado.", TIcone::Informacao, TBotoes::OK);
        return;
    }

    // A row takes a new place in the list's order when its status changes (up
    // into the finished files, down into the files with errors), so the walk
    // looks for the next pending file it has not visited yet instead of
    // stepping to the next row; every pending file is reached once and the
    // walk ends when none is left.
    std::set<std::string> vistos;
    for (;;) {
        janela_.ProcessarMensagens();
        if (janela_.Encerrando()) break;
        const int i = ProximoPendente(vistos);
        if (i < 0) break;
        vistos.insert(VariantParaTexto(arquivos.ValorEm(i, "nome_arquivo")));
        MoverSemLer(i);
        // Without a connection the other files would fail the same way: they
        // wait for the next run.
        if (!ProcessarArquivo() && !dm_.ConexaoAtiva()) break;
    }

    // When ending, the question would hold the end back: unasked, the
    // finished files stay in the list as after the answer No.
    if (silencioso ||
        (!janela_.Encerrando() &&
         Sim(janela_,
             "Processo finalizado.\rDeseja remover arquivos processados com sucesso da lista de arquivos?",
             TIcone::Informacao))) {
        // Each finished row is tried once; a file that could not be moved
        // keeps its row.
        std::vector<std::string> finalizados;
        for (int i = 0; i < arquivos.Contar(); ++i)
            if (arquivos.ValorEm(i, "status") == TVariante(std::int32_t{1}))
                finalizados.push_back(VariantParaTexto(arquivos.ValorEm(i, "nome_arquivo")));
        bool removeu = false;
        std::vector<std::string> naoMovidos;
        for (const std::string& caminho : finalizados) {
            for (int i = 0; i < arquivos.Contar(); ++i) {
                if (VariantParaTexto(arquivos.ValorEm(i, "nome_arquivo")) != caminho) continue;
                MoverSemLer(i);
                if (RemoverAtual())
                    removeu = true;
                else
                    naoMovidos.push_back(caminho);
                break;
            }
        }
        if (removeu) Ressincronizar();
        AvisarNaoMovidos(naoMovidos);
    }
    lista_.HabilitarBotoes();
}

void TProcessamento::RemoverSelecionado() {
    const std::string caminho = tabelas_.cdsArquivos.Texto("nome_arquivo");
    if (RemoverAtual()) {
        Ressincronizar();
        lista_.HabilitarBotoes();
    } else {
        AvisarNaoMovidos({caminho});
    }
}

void TProcessamento::btnProcessarSelecionadoClick() {
    TTabela& arquivos = tabelas_.cdsArquivos;
    if (arquivos.Vazia()) return;
    switch (arquivos.Inteiro("status")) {
        case 0:
            pedido_.NovaExecucao();
            if (ProcessarArquivo() &&
                Sim(janela_, "Arquivo processado com sucesso.\rDeseja remov\xEA-lo da lista?", TIcone::Confirmacao))
                RemoverSelecionado();
            break;
        case 1:
            if (Sim(janela_, "Arquivo j\xE1 processado.\rDeseja remov\xEA-lo da lista?", TIcone::Confirmacao))
                RemoverSelecionado();
            break;
        case -1:
            if (Sim(janela_,
                    "Arquivo j\xE1 processado e com erros encontrados.\rDeseja exibir o(s) erro(s) encontrado(s)?",
                    TIcone::Erro))
                janela_.Mensagem(arquivos.Texto("erros"), TIcone::Erro, TBotoes::OK);
            break;
        default:
            break;
    }
}

void TProcessamento::btnProcessarTodosClick() { ProcessarTodos(false); }
