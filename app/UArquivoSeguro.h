// Whole-file reading and crash-safe whole-file replacement, for the small
// files the program keeps beside the executable (activity log, config.xml).
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

// The whole content of the file at `caminho`; nullopt when no file exists
// there. Throws EErro (Portuguese message with the system's description) when
// the file exists but cannot be read.
std::optional<std::string> LerArquivoInteiro(const std::string& caminho);

// Replaces the content of the file at `caminho` by `conteudo`, or creates it.
// The bytes go to a temporary file in the same folder, are flushed to disk
// and the temporary file is renamed over the target, so the target holds
// either its old or its new content, never a part of either (crash, full
// disk). An existing file keeps its permission bits; a new file gets
// `modoNovo`, or 0666 less the process umask when nullopt. A file without
// any write permission bit is read-only and is not replaced (as the
// read-only attribute on Windows, also for an administrator).
// On failure throws EErro (Portuguese message with the system's description),
// removes the temporary file and leaves the target untouched.
void GravarArquivoSeguro(const std::string& caminho, const std::string& conteudo,
                         std::optional<mode_t> modoNovo = std::nullopt);

// ---- pieces shared by the writers of such files ----

// The file a path names: a symbolic link is followed (the file it names is
// what gets replaced, not the link). The path itself when it is no link or
// the link cannot be resolved.
std::string ArquivoApontado(const std::string& caminho);
// The folder of a path ("." for a bare name, "/" at the root), and its last
// component.
std::string PastaDoCaminho(const std::string& caminho);
std::string NomeDoCaminho(const std::string& caminho);
// The mkstemp template, in the file's own folder, of the temporary file that
// replaces `alvo`: "." + name + ".XXXXXX", or ".qv-XXXXXX" when that would
// pass the longest name the file system allows (255 bytes).
std::string ModeloTemporario(const std::string& alvo);
// The permission bits of a new file: 0666 less the process's umask, read
// without changing the umask (another thread may be creating files).
mode_t ModoNovoPadrao();
