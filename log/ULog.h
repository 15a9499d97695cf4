// The activity log: "log.txt" beside the executable, where the program notes
// the reading of request files and the codes of each imported request.
// Windows-1252 text, CR LF after every line, newest line first. Each line is
// the local time "dd/mm/yyyy hh:nn:ss", a TAB and the message; an empty
// message is an empty line. No instances: the path and the lines not yet on
// disk are the state the unit keeps.
//
// When the lines reach the disk. Gravar stamps its line and gathers it;
// gathered lines are written together, in one rewrite of the file, from the
// next flush point (Descarregar: the end of each file's reading, the end of
// each request's import), or half a second after the oldest of them was
// gathered, and at program end. In the background, rewrites start at least
// 0.3 s apart (lines handed over in between share one): a line is on disk
// within a second of Gravar (a rewrite of 50 MB takes about 0.1 s
// here). The file's content is always what
// writing each line on its own would have made it: the same lines, the same
// order, the same time stamps (taken by Gravar). Only the moment the bytes
// reach the disk differs.
//
// A rewrite puts the whole new content into a temporary file beside the log,
// forces it to disk (fdatasync), renames it over log.txt and forces the
// folder: after a crash or a power cut log.txt holds its old or its new
// content, never a part of either. At most the lines of the last rewrite
// (and those not yet handed over) are lost.
//
// The content of the file is kept in memory between rewrites (the file grows
// for ever: rereading it for every line is what made a large log slow); it is
// read again whenever the file on disk is not the one last written (another
// process changed, replaced or removed it), so such a change is kept.
//
// The rewrites run on one writer thread of this unit (the rest of the
// program is single-threaded): flush points hand the lines over. By default a
// flush point waits until its lines are on disk and reports the failure of
// that rewrite; with DefinirSegundoPlano(true) (the program) it returns at
// once and a failed rewrite is reported by the next flush point.
#pragma once

#include <functional>
#include <string>

#include "app/UTipos.h"

class Log {
public:
    Log() = delete;

    // Sets the log file's path (the executable's folder followed by
    // "log.txt"); called once at start-up, before anything is logged. Lines
    // gathered for an earlier path are written there first (a failure of
    // that write is not reported).
    static void DefinirArquivo(const std::string& caminho);
    static std::string Arquivo();

    // Adds the message as the file's first line (creating the file when
    // missing), at the next flush point at the latest. Line breaks inside the
    // message (CR LF, LF or a lone CR) start lines of their own (only the
    // first carries the time); so do those of an existing file written by
    // another program, which is rewritten with CR LF.
    // Checks at once that the line can be written: throws EErro (Portuguese,
    // with the system's description) when no path is set, the file is a
    // folder, read-only or unreadable, its folder is missing or not writable,
    // or the new content would not fit on the disk or under the process's
    // file size limit. The line is then lost and the file keeps its content.
    static void Gravar(const std::string& mensagem);

    // Flush point: hands the gathered lines to the writer. Waiting (the
    // default): returns when they are on disk; throws EErro when a rewrite
    // failed since the last report (the lines of that rewrite are lost, the
    // file keeps its previous content). In the background: returns at once,
    // throwing EErro for an earlier rewrite that failed and was not reported.
    static void Descarregar();

    // Flush point of work that does not depend on the log (the reading of a
    // request file): as Descarregar, but throws nothing; a failed rewrite is
    // left for the next Descarregar or Concluir to report, so that it still
    // reaches the import or the program's end.
    static void Entregar();

    // Writes every line gathered or handed over and waits for it, in either
    // mode; throws EErro as Descarregar. For program end, the benchmark and
    // tests that read the file.
    static void Concluir();

    // false (the default): flush points wait for the disk. true: flush points
    // only hand the lines over (the program, where a rewrite of a large log
    // costs more than a request's import).
    static void DefinirSegundoPlano(bool segundoPlano);

    // The source of the local time of the lines; an empty function restores
    // the machine's clock. For tests that need known time stamps.
    static void DefinirRelogio(std::function<TDataHora()> relogio);
};
