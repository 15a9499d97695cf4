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
// gathered, and at program end. The file's content is always what writing
// each line on its own would have made it: the same lines, the same order,
// the same time stamps (taken by Gravar). Only the moment the bytes reach the
// disk differs.
//
// Spacing. A rewrite writes the whole file again, so its cost grows with the
// file. In the background a rewrite starts no sooner than the larger of 0.3 s
// and nine times the duration of the previous rewrite after that rewrite
// ended (lines handed over in between share one rewrite): rewrites keep the
// disk busy a tenth of the time at most, whatever the size of the log. How
// late a line may reach the disk therefore grows with the file: at most half
// a second (until it is handed over), plus the rewrite under way, the spacing
// after it and its own rewrite - about 0.5 s + max(0.3 s, 9 d) + 2 d for
// rewrites of d seconds: about 1 s for a small log, 1.6 s for 50 MB on the
// benchmark's disk (d = 0.1 s), 3 to 8 s for 200 MB (d = 0.2 to 0.7 s, the
// disk shared with other work), and on a disk of 100 MB/s 6 s for 50 MB and
// 23 s for 200 MB. The writer runs at a lower processor priority (nice 10)
// and sends a rewrite to the disk in pieces of 8 MB as it writes them, so
// that a database forcing its own file meanwhile waits behind a piece of the
// log, not the whole of it. Flush points that wait (program end, Concluir,
// the waiting mode) start their rewrite at once and return only when the
// lines are on disk.
//
// A rewrite puts the whole new content into a temporary file beside the log,
// forces it to disk (fdatasync), renames it over log.txt and forces the
// folder: after a crash or a power cut log.txt holds its old or its new
// content, never a part of either. The temporary file keeps the owner, group
// and mode of log.txt where the process may give them. A crash during a
// rewrite leaves that hidden temporary file (".log.txt.XXXXXX"), which the
// program removes at its next start (RemoverTemporariosAbandonados).
//
// Lines are never dropped while the program runs. A rewrite that fails keeps
// its lines, which go into the next rewrite, at the next flush point, with
// the lines handed over since, in their order. Each flush point may name
// whose lines it hands over (`origem`, e.g. the request and its file); the
// failure is then reported, once, naming the origins of the lines that
// rewrite held (RetirarFalhas), never as the failure of a later flush point.
//
// The content of the file is kept in memory between rewrites (the file grows
// for ever: rereading it for every line is what made a large log slow); it is
// read again whenever the file on disk is not the one last written (another
// process changed, replaced or removed it), so such a change is kept.
//
// The rewrites run on one writer thread of this unit (the rest of the
// program is single-threaded): flush points hand the lines over. By default a
// flush point waits until its lines are on disk or their rewrite failed;
// with DefinirSegundoPlano(true) (the program) it returns at once.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/UTipos.h"

class Log {
public:
    Log() = delete;

    // Sets the log file's path (the executable's folder followed by
    // "log.txt"); called once at start-up, before anything is logged. Lines
    // gathered for an earlier path are written there first (lines that
    // cannot be written there are dropped, with the failures not yet taken
    // by RetirarFalhas).
    static void DefinirArquivo(const std::string& caminho);
    static std::string Arquivo();

    // Adds the message as the file's first line (creating the file when
    // missing), at the next flush point at the latest. Line breaks inside the
    // message (CR LF, LF or a lone CR) start lines of their own (only the
    // first carries the time); so do those of an existing file written by
    // another program, which is rewritten with CR LF.
    // Checks at once that the line can be written: throws EErro (Portuguese,
    // with the system's description) when no path is set, the file is a
    // folder, read-only or unreadable, its folder is missing or cannot take
    // the rewrite's temporary file (not writable, also when log.txt itself
    // is), or the new content would not fit on the disk or under the
    // process's file size limit. The line is then not taken and the file
    // keeps its content.
    static void Gravar(const std::string& mensagem);

    // Flush point: hands the gathered lines to the writer, and with them the
    // lines of a rewrite that failed, which are tried again. `origem` names
    // whose lines these are (Windows-1252, e.g. "protocolo 123 do arquivo
    // /lab/arquivos/p1.xml") for the report of their failure; it may be
    // empty. Waiting (the default): returns when that rewrite is over - on
    // disk, or failed and reported to RetirarFalhas. In the background:
    // returns at once. Throws nothing: a failure is never thrown at a flush
    // point, whose own lines may well be fine.
    static void Descarregar(const std::string& origem = {});

    // Flush point of work that does not depend on the log (the reading of a
    // request file): the same as Descarregar without an origin.
    static void Entregar();

    // The failures of rewrites since the last call, oldest first, each
    // reported once: "Não foi possível gravar o arquivo ...: <reason>", a CR,
    // and the origins whose lines that rewrite held for the first time
    // ("As linhas de <origem>; <origem> ficam guardadas para a próxima
    // tentativa."). Lines held by an earlier failure are not named again.
    static std::vector<std::string> RetirarFalhas();

    // Writes every line gathered, handed over or held, and waits for it, in
    // either mode. Throws EErro (the failure's text) when lines are still not
    // on disk afterwards; they are kept for a later flush point. For program
    // end, the benchmark and tests that read the file.
    static void Concluir();

    // false (the default): flush points wait for the disk. true: flush points
    // only hand the lines over (the program, where a rewrite of a large log
    // costs more than a request's import).
    static void DefinirSegundoPlano(bool segundoPlano);

    // The source of the local time of the lines; an empty function restores
    // the machine's clock. For tests that need known time stamps.
    static void DefinirRelogio(std::function<TDataHora()> relogio);

    // One rewrite as the writer saw it, on the steady clock: `fim` is empty
    // when it is starting.
    struct TReescrita {
        std::chrono::steady_clock::time_point inicio;
        std::optional<std::chrono::steady_clock::time_point> fim;
        bool falhou = false;
    };
    // Called on the writer thread at the start and at the end of every later
    // rewrite (its time is part of the rewrite's); an empty function removes
    // it. For the benchmark (the log's share of a run) and tests.
    static void DefinirObservador(std::function<void(const TReescrita&)> observador);

    // The least time from the end of a rewrite that took `duracao` to the
    // start of the next one in the background.
    static std::chrono::steady_clock::duration Espaco(std::chrono::steady_clock::duration duracao);
};
