// What the processing driver remembers of each version of a request file
// (TIdentidadeArquivo) from one run to the next - the automatic mode's
// cycles, the operator's commands - for as long as the program runs:
// - the requests that went through, which a later run of the same version
//   does not import again (that would undo what the laboratory did since);
// - the requests that failed for a reason that stays (db/UFalhaBD.h), with
//   their error lines, which no automatic run tries again;
// - whether the whole version is held "Com erro": no automatic run imports
//   it again until the file changes (a changed file is another version).
// A request is named by its protocol and, for a protocol that the file
// repeats, its occurrence (see ChavePedido).
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "inbox/UIdentidadeArquivo.h"

class TMemoriaArquivos {
public:
    // The name of the `ocorrencia`-th (from 1) request of the file with that
    // protocol.
    static std::string ChavePedido(const std::string& protocolo, int ocorrencia);

    bool Concluido(const TIdentidadeArquivo& versao, const std::string& pedido) const;
    // The request went through: no longer held either.
    void Concluir(const TIdentidadeArquivo& versao, const std::string& pedido);

    // The error lines of a request held for a failure that stays; none when
    // it is not held.
    std::optional<std::string> ErrosRetidos(const TIdentidadeArquivo& versao, const std::string& pedido) const;
    void ReterPedido(const TIdentidadeArquivo& versao, const std::string& pedido, std::string erros);

    // Holds the whole version with its errors (replacing those of an earlier
    // hold). True when it was not held before - the time to say so, once.
    bool Reter(const TIdentidadeArquivo& versao, std::string erros);
    // The errors of a held version; none when it is not held.
    std::optional<std::string> Retido(const TIdentidadeArquivo& versao) const;
    // The version is no longer held (its requests all went through).
    void Soltar(const TIdentidadeArquivo& versao);

    // Forgets the version (its file left the inbox folder).
    void Esquecer(const TIdentidadeArquivo& versao);
    // Forgets every version not in `presentes` (files gone or changed), so
    // that what is remembered never outgrows the inbox folder.
    void ManterSomente(const std::vector<TIdentidadeArquivo>& presentes);
    bool Vazia() const { return versoes_.empty(); }

private:
    struct TVersao {
        std::set<std::string> concluidos;
        std::map<std::string, std::string> retidos;
        std::optional<std::string> erros;  // held as a whole
    };
    std::map<TIdentidadeArquivo, TVersao> versoes_;
};
