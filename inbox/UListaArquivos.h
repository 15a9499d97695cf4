// The inbox folder and its file list (cdsArquivos): the scan that lists,
// reads and validates every request file of the folder, the file list's
// notification that keeps the request tables on the current file, and the
// moves of files into the processed folder.
//
// Folders: the inbox folder is given as a path ending with "/"; the
// processed folder of a file is "processados/" inside the file's own folder.
// The window is reached only through IJanela (boxes, progress text, pending
// messages) and the two hooks below.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/UJanela.h"
#include "inbox/UGravacao.h"
#include "inbox/UIdentidadeArquivo.h"
#include "inbox/ULeitor.h"
#include "inbox/UTabelasPedido.h"
#include "inbox/UValidacao.h"

class TListaArquivos {
public:
    // Installs cdsArquivosAfterScroll as the file list's AposRolar (removed
    // again by the destructor). Every reference must outlive the object.
    TListaArquivos(TTabelasPedido& tabelas, TLeitorPedidos& leitor, TValidacao& validacao, IJanela& janela,
                   std::string diretorio);
    ~TListaArquivos();
    TListaArquivos(const TListaArquivos&) = delete;
    TListaArquivos& operator=(const TListaArquivos&) = delete;

    const std::string& Diretorio() const { return diretorio_; }

    // The guard against files still being written. Off (0 seconds) until the
    // settings in force set it: the window and the service give it
    // config.xml's segundos_arquivo_estavel (LerSegundosArquivoEstavel).
    TGuardaGravacao& Gravacao() { return gravacao_; }
    // The files the last scan left out as still being written.
    int EmGravacao() const { return emGravacao_; }

    // Shows the inbox folder's path (the window's lbDiretorio), as display
    // text in Windows-1252.
    std::function<void(const std::string&)> AoMostrarDiretorio;
    // Enables (true) or disables the buttons btnProcessarSelecionado and
    // btnProcessarTodos.
    std::function<void(bool)> AoHabilitarBotoes;

    // Scans the inbox folder and rebuilds the file list:
    // - shows the folder; lists its "*.xml" files (letter case ignored). A
    //   listing failure (EErro) goes to the caller before the list is touched;
    // - leaves out the files still being written (Gravacao(), which writes
    //   its stamp kCarimboRelogio in the folder to read the folder's clock):
    //   they are not listed, read, validated or moved, get no box and no log
    //   line, and are counted in EmGravacao();
    // - empties the list; for each file: progress "Lendo arquivo <name>", a
    //   row nome_arquivo = path, status 0, data_horario = last write, saved
    //   (which reads it); then ValidarArquivo, and status -1 when it fails.
    //   A failure there (a file that cannot be parsed) shows the error box
    //   "Arquivo: <path>" CR "<description>" (OK) and the scan goes on; the
    //   row stays "Pendente". Paths and names shown are their display text
    //   (NomeArquivoParaCp1252); the row keeps the real path. Pending
    //   window messages are handled after each saved row and after each
    //   file;
    // - goes to the first row (reads its file; an empty list empties the
    //   request tables). A first file that cannot be read is shown in an
    //   error box and the scan goes on;
    // - HabilitarBotoes; the progress text becomes the count of the files
    //   left out ("1 arquivo ainda em gravação", "N arquivos ainda em
    //   gravação"), or the empty text when there is none;
    // - when some listed file was last written before today (local
    //   midnight), asks "Existe(m) arquivos não processados de outros dias."
    //   CR LF "Deseja movê-los para a pasta de arquivos PROCESSADOS?" (Yes /
    //   No); Yes runs MoverArquivosAntigos.
    void AtualizarLista();

    // A refresh that the window starts by itself once files held back as
    // still being written may have settled (manual mode). It only brings in
    // what is new, so that the operator's work on the rows stays:
    // - shows the folder and lists it as AtualizarLista does (a listing
    //   failure goes to the caller before the list is touched; the files
    //   still being written are left out and counted in EmGravacao());
    // - a row whose file is no longer listed as settled (moved or deleted,
    //   or being written again) leaves the list, unread;
    // - a row whose file is the version it was listed with (identity, size
    //   and last write; the processing driver's reading for an import counts
    //   as the row's listing, see RegistrarVersao) keeps its place, status
    //   and erros: it is neither read nor validated again, and a file that
    //   cannot be parsed does not show its box again;
    // - a listed file changed since is read and validated again as a new
    //   version, in its row (status 0, erros emptied, data_horario of the
    //   new version, then the status of the validation), exactly as the scan
    //   lists a file, box included;
    // - a settled file not yet listed is added as the scan adds it;
    // - the row of `atual` (a path; "" for none) stays the current row when
    //   it is still listed (the first row otherwise). The request tables are
    //   read again only when some file was read or the current row changed;
    //   a file that cannot be read then shows no box (its own box was shown
    //   when its row was listed) and leaves the request tables empty;
    // - HabilitarBotoes and the progress text as AtualizarLista; the question
    //   about files of other days is not asked (the operator's own refresh
    //   asked it; a file held back was written today).
    void Reatualizar(const std::string& atual);

    // The version of the listed file at `caminho` as its row now stands for:
    // the processing driver calls it with the version it takes right before
    // reading the file for an import (none when the file could not be looked
    // at: the next Reatualizar reads the file again). Without it a file
    // rewritten between the scan and its import would be read again by the
    // next Reatualizar and lose the status its import gave it.
    void RegistrarVersao(const std::string& caminho, const std::optional<TIdentidadeArquivo>& versao);

    // The file list's notification (after its current row changed, after a
    // row was saved): nothing while a row is being added or edited; an empty
    // list empties the request tables; otherwise the current row's file is
    // read. A failure of the reading (EErroXML) goes to whoever moved or
    // saved the row - for a move by the operator, the window's error display.
    void cdsArquivosAfterScroll();

    // The status display text of the current row ("" for an empty list).
    std::string cdsArquivosstatusGetText() const { return tabelas_.cdsArquivosstatusGetText(); }

    // AoHabilitarBotoes(true) when the file list has rows, else false.
    void HabilitarBotoes();

    // Moves every listed file last written before today to the processed
    // folder (results not looked at; files are not read meanwhile), then
    // scans again.
    void MoverArquivosAntigos();

    // Moves the file into "processados/" beside it (the folder is created
    // when missing, one level). The bytes go to a temporary file in that
    // folder (a short name of its own, ".qv-XXXXXX", so that a name of the
    // full 255 bytes moves too), are flushed to disk, and the temporary file
    // is renamed to the file's name, replacing an older copy; only then is
    // the original deleted. True when the copy is in place and the original
    // is gone. False otherwise, showing nothing: a failed copy leaves the
    // original untouched, no partial file and any older copy as it was; a
    // failed deletion leaves the original and the complete copy.
    static bool MoverParaProcessados(const std::string& caminho);
    // The same, only while the file is still the version `lido` (identity,
    // size and last-write time as recorded when it was read for its import):
    // checked on the file opened for the copy, before and after copying, and
    // right before it leaves the inbox folder. A file changed since its
    // reading stays in the inbox folder (false); it is a new version, to be
    // imported.
    static bool MoverParaProcessados(const std::string& caminho, const TIdentidadeArquivo& lido);

private:
    static bool Mover(const std::string& caminho, const TIdentidadeArquivo* lido);
    // Shows the folder and lists its settled "*.xml" files (see
    // AtualizarLista).
    std::vector<TFile> ListarEstaveis();
    // Lists one file, for the scan and for Reatualizar: progress "Lendo
    // arquivo <name>", its version noted, then a new row (`linhaNova`) or the
    // current row (a new version of its file: erros emptied) with
    // nome_arquivo, status 0 and data_horario, saved (which reads the file),
    // ValidarArquivo and status -1 when it fails; a file that cannot be
    // parsed shows the box "Arquivo: <path>" CR "<description>" and its row
    // stays "Pendente". Pending window messages are handled after the saved
    // row and after the file.
    void ListarArquivo(const TFile& arquivo, bool linhaNova);
    // The end of both: HabilitarBotoes, then the count of the files left out
    // as the progress text.
    void ConcluirVarredura();

    TTabelasPedido& tabelas_;
    TLeitorPedidos& leitor_;
    TValidacao& validacao_;
    IJanela& janela_;
    std::string diretorio_;
    TGuardaGravacao gravacao_;
    int emGravacao_ = 0;
    // The version of each listed file that its row stands for (taken right
    // before the file was read for the row), by path.
    std::map<std::string, TIdentidadeArquivo> versoes_;
};
