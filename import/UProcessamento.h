// The processing driver: imports the requests of the files of the file list
// (patient, doctor, group, insurance plan, order, in this order for each
// request), marks imported files "Finalizado" (status 1) and moves finished
// files into the processed folder, taking them off the list. These are the
// operations behind the buttons "Processar somente selecionado (F8)" and
// "Processar todos (F9)" and the automatic mode's timer.
//
// A file is imported only when its requests pass the validation right before
// the import, on the contents read at that moment: a file that cannot be read
// any more, or whose reading failed during the scan (listed "Pendente"
// without having been validated), or that was changed since the scan, is
// checked like every file and, when it fails, marked "Com erro" (status -1)
// with its messages instead of being imported.
//
// Log lines per imported request (Log::Gravar): "cli_cod = <code>",
// "med_cod = <code>", "grp_cod = <code>", "cnv_cod = <code>",
// "ped_cod = <code>".
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/UJanela.h"
#include "import/UImportarGrupoConvenio.h"
#include "import/UImportarMedico.h"
#include "import/UImportarPaciente.h"
#include "import/UImportarPedido.h"
#include "import/UMemoriaArquivos.h"
#include "inbox/ULeitor.h"
#include "inbox/UListaArquivos.h"
#include "inbox/UTabelasPedido.h"
#include "inbox/UValidacao.h"
#include "config/UConfig.h"

class TDM;

class TProcessamento {
public:
    // Every reference must outlive the object. `sorteio` draws the number of
    // a generated access code (see TImportadorPedido); empty for the default
    // pseudo-random source.
    TProcessamento(TDM& dm, TTabelasPedido& tabelas, const TConfig& config, IJanela& janela,
                   TListaArquivos& lista, TImportadorPedido::TSorteio sorteio = {});

    // Imports every request of the file of the file list's current row:
    // reads the file again and validates it (see above; a file that fails is
    // marked -1 and false is returned, nothing imported); then, for each
    // request in cdsPedidos's order, shows "Processando protocolo <p>", runs
    // the five importers and logs their codes; finally sets the row's status
    // to 1 and clears the progress text. True when the file was imported and
    // marked. When some row of a request could not be written or a search
    // failed (each shown in its box and noted by TDM::RegistrarFalha), the
    // file is not finished: status -1 with one line "Protocolo <p>: <the
    // failure>" per failure in erros, false; it stays in the inbox folder.
    // - A request whose patient, doctor, group or plan import noted a
    //   failure writes no order and no exam lines (the log line "Protocolo
    //   <p>: pedido não gravado, ..." instead of "ped_cod = ").
    // - The failures' kinds (db/UFalhaBD.h) decide what follows, remembered
    //   per version of the file (TIdentidadeArquivo, taken right before the
    //   reading) for as long as the object lives: a request whose failures
    //   all pass is tried again by the next run; a request with a failure
    //   that stays is held. When no request is left to try again the whole
    //   version is held "Com erro", and one line (activity log and
    //   IJanela::Avisar) says, the first time only, that the file stays in
    //   arquivos/ and why.
    // - In an automatic run (ProcessarTodos(true)) the requests of this
    //   version that went through in an earlier run are not imported again,
    //   and the held ones are not tried (their errors stay in erros). The
    //   operator's commands import every request.
    // The version taken before the reading is also the one the file's row
    // stands for from then on (TListaArquivos::RegistrarVersao), so that the
    // list's own refresh leaves the row as this import makes it.
    // While the file is imported the window's context (IJanela::
    // DefinirContexto) names it, and the request under way, so that the
    // service's lines say which file and protocol failed.
    // A check that could not run (TValidacao::Interrupcao)
    // leaves the file pending and is shown as an error. An error that escapes an importer or the log (a full disk, a
    // read-only log.txt) ends the run with false and the status unchanged
    // (rows written so far stay); its text is shown in an error box. Never
    // throws.
    // The connection: one that no longer answers is made again first
    // (TDM::VerificarConexao); when that fails, or when the connection stops
    // answering during the run (checked after each importer), the box "Sem
    // conexão com o banco de dados <banco>." CR "O processamento foi
    // interrompido. ..." is shown, the file keeps its status (pending) and
    // false is returned; ProcessarTodos then stops its walk.
    bool ProcessarArquivo();

    // First forgets what it remembers of files no longer listed or changed;
    // an automatic run (`silencioso`) then marks every pending file whose
    // version is held "Com erro" with its errors, unread and not imported
    // (the operator's own refresh lists it pending again, and F8 or F9 then
    // tries it on purpose).
    // Imports every pending file (status 0) of the list, each exactly once,
    // whatever place a row takes when its status changes. Without a pending
    // file: the box "Nenhum arquivo pendente encontrado." unless `silencioso`.
    // Then removes the finished files (status 1, earlier runs included): at
    // once when `silencioso`, else after Yes to "Processo finalizado.\rDeseja
    // remover arquivos processados com sucesso da lista de arquivos?". A file
    // is removed from the list only when MoverParaProcessados moved it, and
    // moved only while it is the version read for its import; one changed
    // since becomes pending again (a new version, imported by the next run)
    // with one line saying so. The others stay with status 1 and are named
    // in one error box ("Não foi possível mover para a pasta processados
    // o(s) arquivo(s):" ...). Ends with HabilitarBotoes.
    void ProcessarTodos(bool silencioso);

    // The selected file, by its status: 0 - ProcessarArquivo, and when it
    // succeeded the question "Arquivo processado com sucesso.\rDeseja
    // removê-lo da lista?"; 1 - the question "Arquivo já processado.\rDeseja
    // removê-lo da lista?"; -1 - the question "Arquivo já processado e com
    // erros encontrados.\rDeseja exibir o(s) erro(s) encontrado(s)?" and on
    // Yes the row's erros in an error box. Yes to a removal moves the file
    // and, when moved, deletes its row (else the box of a failed move).
    void btnProcessarSelecionadoClick();
    // ProcessarTodos(false).
    void btnProcessarTodosClick();

private:
    // Reads the current row's file and validates it; false after marking the
    // row "Com erro".
    bool LerEValidar();
    // The box telling that the database cannot be reached and the run
    // stopped.
    void AvisarSemConexao();
    // Status -1 on the current row, with `erros` when given.
    void MarcarComErro(const std::optional<std::string>& erros);
    // Index in the file list of the first pending row whose path is not in
    // `vistos`, or -1.
    int ProximoPendente(const std::set<std::string>& vistos) const;
    // Makes row `indice` current without reading its file.
    void MoverSemLer(int indice);
    // Moves the current row's file to the processed folder and, when moved,
    // deletes the row (without reading the file of the row that follows).
    // A file changed since it was read for its import is not moved: its row
    // becomes pending again (the new version is imported by a later run)
    // and one line says so (activity log, IJanela::Avisar).
    enum class TRemocao { Movido, Alterado, Falhou };
    TRemocao RemoverAtual();
    // Before a run: forgets what is remembered of files no longer listed
    // (or changed), and in an automatic run marks the pending rows of held
    // versions "Com erro" with their errors, unread.
    void ReterConhecidos();
    // One line for the record: the activity log and IJanela::Avisar.
    void Anotar(const std::string& linha);
    // The line, written once per hold, that a file stays in the inbox folder
    // "Com erro" and why.
    void AvisarRetido(const std::string& nome, const std::string& erros);
    // The selected file's move after the operator's Yes: the row goes when
    // the file was moved; otherwise the box of AvisarNaoMovidos.
    void RemoverSelecionado();
    // One box naming the files that could not be moved to the processed
    // folder (they stay in the inbox folder and in the list as finished).
    void AvisarNaoMovidos(const std::vector<std::string>& caminhos);
    // Reads the current row's file again after rows moved unread; a failure
    // is left for the processing of that file.
    void Ressincronizar();

    TDM& dm_;
    TTabelasPedido& tabelas_;
    IJanela& janela_;
    TListaArquivos& lista_;
    TLeitorPedidos leitor_;
    TValidacao validacao_;
    TImportadorPaciente paciente_;
    TImportadorMedico medico_;
    TImportadorGrupoConvenio grupoConvenio_;
    TImportadorPedido pedido_;
    // What is remembered of each version of a file across runs.
    TMemoriaArquivos memoria_;
    // The version of each listed file read for its last import, by path: the
    // file is moved only while it is still that version.
    std::map<std::string, TIdentidadeArquivo> lidos_;
    // The run under way is the automatic mode's (ProcessarTodos(true)).
    bool automatico_ = false;
};
