// Whole-file reading and crash-safe whole-file replacement, for the small
// files the program keeps beside the executable (activity log, config.xml),
// the forcing of a folder's entries to disk, and the removal of the hidden
// temporary files a crash left behind.
#pragma once

#include <functional>
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
// disk). An existing file keeps its permission bits, and its owner and group
// where the process may set them (ManterDono); a new file gets `modoNovo`, or
// 0666 less the process umask when nullopt. A file without
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
// The mkstemp template of the moves' temporary copies in the processed folder
// `pasta` (ending with a separator): pasta + ".qv-XXXXXX".
std::string ModeloTemporarioCurto(const std::string& pasta);
// The permission bits of a new file: 0666 less the process's umask, read
// without changing the umask (another thread may be creating files).
mode_t ModoNovoPadrao();
// Gives the open temporary file `fd` the owner and group of the file `info`
// describes, before it replaces that file. Where the process may not give the
// owner (not root), the group alone is tried (a group the process belongs
// to); what the system refuses with EPERM is left as it is. false with errno
// set for any other failure.
bool ManterDono(int fd, const struct stat& info);

// Forces the entries of the folder `pasta` (a rename into it, a file created
// or removed there) to disk: fsync of the folder. Every such forcing of the
// program goes through here. Failures are not reported: the change itself is
// made already, and only its durability across a power cut is at stake.
void ForcarPastaAoDisco(const std::string& pasta);
// For tests: `observador` is called with the folder of each later
// ForcarPastaAoDisco, before the folder is forced (from whatever thread
// forces it); an empty function removes it.
void DefinirObservadorPastas(std::function<void(const std::string& pasta)> observador);

// ---- leftovers of a crash ----

// Whether `nome` (a bare file name) is a file that mkstemp made from the
// template `modelo` (a bare name ending in "XXXXXX"): the same text with the
// six X replaced by six letters or digits.
bool EhTemporarioDoModelo(const std::string& nome, const std::string& modelo);
// Whether `nome` is one of the program's own temporary files in the processed
// folder: the moves' ".qv-XXXXXX", or the "." + name + ".XXXXXX" of a replaced
// request file ("*.xml", any letter case).
bool EhTemporarioDeMovimento(const std::string& nome);
// Removes the hidden temporary files that a crash or a power cut left in the
// program folder `pasta` (ending with a separator): those of the rewrites of
// log.txt and config.xml beside them (beside the files they name, when they
// are symbolic links), and those of the moves in arquivos/processados/. Only
// regular files whose names match the program's own templates exactly are
// removed; anything else is left alone. To be called at start, while the
// folder's one-instance lock is held and before the process writes any of
// these files itself (a rewrite under way would lose its temporary file).
// Returns how many files were removed; never throws.
int RemoverTemporariosAbandonados(const std::string& pasta);
