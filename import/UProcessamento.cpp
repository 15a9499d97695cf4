#include "import/UProcessamento.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <map>
#include <utility>

#include "base/UErro.h"
#include "base/UTexto.h"
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

// The file's name without its folder.
std::string NomeSemPasta(const std::string& caminho) {
    const std::size_t barra = caminho.find_last_of('/');
    return barra == std::string::npos ? caminho : caminho.substr(barra + 1);
}

// The window's context (IJanela::DefinirContexto) while a file is imported;
// cleared when the import ends, however it ends.
class TContexto {
public:
    TContexto(IJanela& janela, const std::string& contexto) : janela_(janela) { janela_.DefinirContexto(contexto); }
    ~TContexto() { janela_.DefinirContexto(""); }
    TContexto(const TContexto&) = delete;
    TContexto& operator=(const TContexto&) = delete;
    void Definir(const std::string& contexto) { janela_.DefinirContexto(contexto); }

private:
    IJanela& janela_;
};

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
    janela_.DefinirContexto("");  // the run's message, not the file's
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
    const std::string caminho = arquivos.Texto("nome_arquivo");
    const std::string nome = NomeArquivoParaCp1252(NomeSemPasta(caminho));
    // The version read for this import (taken before the reading: a file
    // rewritten meanwhile is then a version of its own at the move).
    const std::optional<TIdentidadeArquivo> versao = TIdentidadeArquivo::De(caminho);
    if (versao)
        lidos_[caminho] = *versao;
    else
        lidos_.erase(caminho);
    // The row now stands for this version: the list's own refresh leaves it
    // as this import makes it (a file rewritten after the scan and imported
    // here is not read again as new).
    lista_.RegistrarVersao(caminho, versao);
    TContexto contexto(janela_, "Arquivo " + nome);
    try {
        if (!LerEValidar()) return false;

        // Each request's rows that could not be written (a row locked by the
        // laboratory's main system, a save or a search that failed): the
        // file is then not finished but kept with these errors. A failure
        // that passes leaves the request to the next run; one that stays
        // holds it until the file changes (no automatic run tries it again).
        std::string erros;
        bool passageira = false;
        std::map<std::string, int> ocorrencias;
        TTabela& pedidos = tabelas_.cdsPedidos;
        for (pedidos.Primeiro(); !pedidos.Fim(); pedidos.Proximo()) {
            dm_.LimparFalhas();
            const std::string protocolo = pedidos.Texto("protocolo");
            const std::string chave = TMemoriaArquivos::ChavePedido(protocolo, ++ocorrencias[protocolo]);
            // An automatic run does not write again what went through in an
            // earlier run of this version (that could undo the laboratory's
            // work since), nor try a request held for a failure that stays.
            // The operator's own commands import every request.
            if (versao && automatico_) {
                if (memoria_.Concluido(*versao, chave)) continue;
                if (const auto retido = memoria_.ErrosRetidos(*versao, chave)) {
                    erros += *retido;
                    continue;
                }
            }
            janela_.MostrarProgresso("Processando protocolo " + protocolo);
            // Asked to end: the requests imported so far stay written, the
            // file stays pending (a later run imports the others).
            if (janela_.Encerrando()) {
                janela_.MostrarProgresso("");
                return false;
            }
            contexto.Definir("Arquivo " + nome + ", protocolo " + protocolo);
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
            // An order needs its patient, doctor, group and plan: without
            // one of them it would be written pointing at no row (code 0) or
            // at the wrong one. It waits for the request's next try.
            if (dm_.Falhas().empty()) {
                const std::int32_t pedido = pedido_.ImportarPedido(cliente, medico, grupo, convenio);
                exigirConexao();
                Log::Gravar("ped_cod = " + std::to_string(pedido));
            } else {
                Log::Gravar("Protocolo " + protocolo +
                            ": pedido n\xE3o gravado, pois paciente, m\xE9" "dico, grupo ou conv\xEAnio n\xE3o foi "
                            "gravado; o protocolo ser\xE1 tentado de novo com o arquivo.");
            }
            // The request's lines go to the log file together; a rewrite
            // that failed is told naming the requests whose lines it held
            // (they are kept and written again), never as this file's failure.
            Log::Descarregar("protocolo " + protocolo + " do arquivo " + NomeArquivoParaCp1252(caminho));
            contexto.Definir("Arquivo " + nome);
            for (const std::string& falha : Log::RetirarFalhas()) janela_.Mensagem(falha, TIcone::Erro, TBotoes::OK);
            std::string linhas;
            for (const TFalha& falha : dm_.Falhas())
                linhas += "Protocolo " + protocolo + ": " + UmaLinha(falha.Texto) + "\r\n";
            erros += linhas;
            if (!versao) {
                passageira = passageira || !linhas.empty();  // nothing to hold it by: tried again
            } else if (linhas.empty()) {
                memoria_.Concluir(*versao, chave);
            } else if (SoPassageiras(dm_.Falhas())) {
                passageira = true;
            } else {
                memoria_.ReterPedido(*versao, chave, linhas);
            }
        }
        dm_.LimparFalhas();

        if (!erros.empty()) {
            MarcarComErro(erros);  // the column keeps the first 500 characters
            janela_.MostrarProgresso("");
            // Only failures that stay are left: the file is held "Com erro"
            // until it changes, and says so once.
            if (versao && !passageira && memoria_.Reter(*versao, erros)) AvisarRetido(nome, erros);
            return false;
        }
        if (versao) memoria_.Soltar(*versao);

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

void TProcessamento::Anotar(const std::string& linha) {
    try {
        Log::Gravar(linha);
        Log::Descarregar();
    } catch (const std::exception&) {
        // The log's own failure is told by its next flush point.
    }
    janela_.Avisar(linha);
}

void TProcessamento::AvisarRetido(const std::string& nome, const std::string& erros) {
    Anotar("Arquivo " + nome +
           " com erro: continua na pasta arquivos/ e n\xE3o ser\xE1 importado de novo pelo modo autom\xE1tico "
           "enquanto n\xE3o for alterado. Motivo: " +
           UmaLinha(erros));
}

TProcessamento::TRemocao TProcessamento::RemoverAtual() {
    TTabela& arquivos = tabelas_.cdsArquivos;
    const std::string caminho = arquivos.Texto("nome_arquivo");
    const auto lido = lidos_.find(caminho);
    // Moved only while it is the version that was imported: a file rewritten
    // since its reading (a corrected request) is a new version, which stays
    // to be imported.
    const bool movido = lido == lidos_.end() ? TListaArquivos::MoverParaProcessados(caminho)
                                             : TListaArquivos::MoverParaProcessados(caminho, lido->second);
    if (!movido) {
        if (lido == lidos_.end() || TIdentidadeArquivo::De(caminho) == lido->second) return TRemocao::Falhou;
        memoria_.Esquecer(lido->second);
        lidos_.erase(lido);
        Anotar("Arquivo " + NomeArquivoParaCp1252(NomeSemPasta(caminho)) +
               " alterado depois de lido para a importa\xE7\xE3o: continua na pasta arquivos/ e ser\xE1 importado "
               "de novo como nova vers\xE3o.");
        TSemLeitura semLeitura(arquivos);
        arquivos.Editar();
        arquivos.Definir("status", std::int32_t{0});
        arquivos.Gravar();
        return TRemocao::Alterado;
    }
    if (lido != lidos_.end()) {
        memoria_.Esquecer(lido->second);
        lidos_.erase(lido);
    }
    TSemLeitura semLeitura(arquivos);
    arquivos.Excluir();
    return TRemocao::Movido;
}

void TProcessamento::ReterConhecidos() {
    TTabela& arquivos = tabelas_.cdsArquivos;
    std::vector<TIdentidadeArquivo> presentes;
    std::set<std::string> listados;
    std::vector<std::pair<std::string, std::string>> retidos;  // path, errors
    for (int i = 0; i < arquivos.Contar(); ++i) {
        const std::string caminho = VariantParaTexto(arquivos.ValorEm(i, "nome_arquivo"));
        listados.insert(caminho);
        const auto versao = TIdentidadeArquivo::De(caminho);
        if (!versao) continue;
        presentes.push_back(*versao);
        if (arquivos.ValorEm(i, "status") != TVariante(std::int32_t{0})) continue;
        if (const auto erros = memoria_.Retido(*versao)) retidos.emplace_back(caminho, *erros);
    }
    // What is remembered never outgrows the listed files. (The version read
    // of a listed file is kept even when the file changed since: its move
    // is checked against it.)
    memoria_.ManterSomente(presentes);
    std::erase_if(lidos_, [&](const auto& par) { return listados.count(par.first) == 0; });
    if (!automatico_) return;
    for (const auto& [caminho, erros] : retidos)
        for (int i = 0; i < arquivos.Contar(); ++i) {
            if (VariantParaTexto(arquivos.ValorEm(i, "nome_arquivo")) != caminho) continue;
            MoverSemLer(i);
            TSemLeitura semLeitura(arquivos);
            arquivos.Editar();
            arquivos.Definir("status", std::int32_t{-1});
            arquivos.Definir("erros", erros);
            arquivos.Gravar();
            break;
        }
    if (!retidos.empty()) Ressincronizar();
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
    // The silent run is the automatic mode's: it passes over what is held.
    struct TModo {
        bool& automatico;
        ~TModo() { automatico = false; }
    } modo{automatico_};
    automatico_ = silencioso;
    ReterConhecidos();
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
                switch (RemoverAtual()) {
                    case TRemocao::Movido: removeu = true; break;
                    case TRemocao::Falhou: naoMovidos.push_back(caminho); break;
                    case TRemocao::Alterado: break;  // pending again, a new version
                }
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
    switch (RemoverAtual()) {
        case TRemocao::Movido:
            Ressincronizar();
            lista_.HabilitarBotoes();
            break;
        case TRemocao::Falhou: AvisarNaoMovidos({caminho}); break;
        case TRemocao::Alterado: Ressincronizar(); break;
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
