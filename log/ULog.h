// The activity log: "log.txt" beside the executable, where the program notes
// the reading of request files and the codes of each imported request.
// Windows-1252 text, CR LF after every line, newest line first. Each line is
// the local time "dd/mm/yyyy hh:nn:ss", a TAB and the message; an empty
// message is an empty line. No instances: the path is the one value the unit
// keeps.
#pragma once

#include <string>

class Log {
public:
    Log() = delete;

    // Sets the log file's path (the executable's folder followed by
    // "log.txt"); called once at start-up, before anything is logged.
    static void DefinirArquivo(const std::string& caminho);
    static const std::string& Arquivo();

    // Adds the message as the file's first line; creates the file when
    // missing. Line breaks inside the message (CR LF, LF or a lone CR) start
    // lines of their own (only the first carries the time). The file is replaced as a whole through a
    // temporary file, so a failure never loses the lines already there.
    // Throws EErro (Portuguese, with the system's description) when no path
    // is set or the file cannot be read or written; the line is then lost and
    // the file keeps its previous content.
    static void Gravar(const std::string& mensagem);

private:
    static std::string arquivo_;
};
