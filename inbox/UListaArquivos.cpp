#include "inbox/UListaArquivos.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "base/UArquivoSeguro.h"
#include "base/UDescritor.h"
#include "base/UErro.h"
#include "base/UTexto.h"
#include "inbox/UBS.h"

namespace {

std::string NomeSemPasta(const std::string& caminho) {
    const std::size_t barra = caminho.find_last_of('/');
    return barra == std::string::npos ? caminho : caminho.substr(barra + 1);
}

std::string PastaDe(const std::string& caminho) {
    const std::size_t barra = caminho.find_last_of('/');
    return barra == std::string::npos ? std::string() : caminho.substr(0, barra + 1);
}

// Copies `origem` to a new temporary file in `pasta`, flushed to disk, with
// the original's permission bits and last-write time. With `lido`, only
// while the file opened is that version, before and after the copy. Returns
// its path, or "" after removing whatever was written.
std::string CopiarParaTemporario(const std::string& origem, const std::string& pasta,
                                 const TIdentidadeArquivo* lido) {
    TDescritor entrada(::open(origem.c_str(), O_RDONLY | O_CLOEXEC));
    if (entrada.Fd() < 0) return "";
    struct stat info {};
    if (::fstat(entrada.Fd(), &info) != 0 || !S_ISREG(info.st_mode)) return "";
    if (lido && TIdentidadeArquivo::De(info) != *lido) return "";

    // A short name of its own: "." + the file's name + a suffix would pass
    // the 255 bytes a name may have when the file's name is near that size.
    std::string modelo = ModeloTemporarioCurto(pasta);
    std::vector<char> nome(modelo.begin(), modelo.end());
    nome.push_back('\0');
    TDescritor saida(::mkstemp(nome.data()));
    if (saida.Fd() < 0) return "";
    const std::string temporario = nome.data();

    bool ok = true;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t lido = ::read(entrada.Fd(), buffer.data(), buffer.size());
        if (lido < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (lido == 0) break;
        if (!EscreverTudo(saida.Fd(), std::string_view(buffer.data(), static_cast<std::size_t>(lido)))) {
            ok = false;
            break;
        }
    }
    if (ok) ok = ::fchmod(saida.Fd(), info.st_mode & 07777) == 0;
    if (ok) {
        const struct timespec tempos[2] = {info.st_atim, info.st_mtim};
        ok = ::futimens(saida.Fd(), tempos) == 0;
    }
    if (ok) ok = ::fsync(saida.Fd()) == 0;
    if (ok && lido) {
        // Rewritten in place while it was copied: the copy is of no version.
        struct stat depois {};
        ok = ::fstat(entrada.Fd(), &depois) == 0 && TIdentidadeArquivo::De(depois) == *lido;
    }
    if (saida.Fechar() != 0) ok = false;
    if (!ok) {
        ::unlink(temporario.c_str());
        return "";
    }
    return temporario;
}

// Holds back the file list's notification (which reads the current row's
// file) while rows are moved over or deleted whose files need no reading.
struct TSemLeitura {
    TTabela& t;
    std::function<void(TTabela&)> guardado = std::exchange(t.AposRolar, nullptr);
    ~TSemLeitura() { t.AposRolar = std::move(guardado); }
};

}  // namespace

TListaArquivos::TListaArquivos(TTabelasPedido& tabelas, TLeitorPedidos& leitor, TValidacao& validacao,
                               IJanela& janela, std::string diretorio)
    : tabelas_(tabelas), leitor_(leitor), validacao_(validacao), janela_(janela), diretorio_(std::move(diretorio)) {
    tabelas_.cdsArquivos.AposRolar = [this](TTabela&) { cdsArquivosAfterScroll(); };
}

TListaArquivos::~TListaArquivos() { tabelas_.cdsArquivos.AposRolar = nullptr; }

void TListaArquivos::cdsArquivosAfterScroll() {
    const TTabela& arquivos = tabelas_.cdsArquivos;
    if (!arquivos.EmRepouso()) return;
    if (arquivos.Vazia()) {
        leitor_.LimparTabelas();
        return;
    }
    leitor_.CarregarArquivo(arquivos.Texto("nome_arquivo"));
}

void TListaArquivos::HabilitarBotoes() {
    if (AoHabilitarBotoes) AoHabilitarBotoes(!tabelas_.cdsArquivos.Vazia());
}

std::vector<TFile> TListaArquivos::ListarEstaveis() {
    if (AoMostrarDiretorio) AoMostrarDiretorio(NomeArquivoParaCp1252(diretorio_));
    // Files still being written wait for a later scan: not listed, read,
    // validated or moved, no box and no log line. (The guard's stamp is no
    // "*.xml" file: never listed.)
    return gravacao_.Estaveis(diretorio_, ListarArquivos(diretorio_, "*.xml"), emGravacao_);
}

void TListaArquivos::ListarArquivo(const TFile& arquivo, bool linhaNova) {
    TTabela& arquivos = tabelas_.cdsArquivos;
    const std::string caminho = arquivo.Caminho;
    try {
        janela_.MostrarProgresso("Lendo arquivo " + NomeArquivoParaCp1252(NomeSemPasta(caminho)));
        // Taken before the reading: a file rewritten meanwhile is another
        // version at the next Reatualizar.
        RegistrarVersao(caminho, TIdentidadeArquivo::De(caminho));
        if (linhaNova) {
            arquivos.Inserir();
            arquivos.DefinirTexto("nome_arquivo", caminho);
        } else {
            arquivos.Editar();
            arquivos.Definir("erros", TVariante{});  // those of the old version
        }
        arquivos.Definir("status", 0);
        arquivos.Definir("data_horario", arquivo.DataHora);
        arquivos.Gravar();  // reads the file
        janela_.ProcessarMensagens();
        // A check that could not run (the database unreachable before the
        // settings were read) leaves the file pending.
        if (!validacao_.ValidarArquivo() && validacao_.Interrupcao().empty()) {
            arquivos.Editar();
            arquivos.Definir("status", -1);
            arquivos.Gravar();
        }
    } catch (const std::exception& e) {
        // A row left unsaved does not stand for this version. (A reading that
        // failed after the save leaves the row saved, "Pendente".)
        if (!arquivos.EmRepouso()) versoes_.erase(caminho);
        arquivos.Cancelar();
        janela_.Mensagem("Arquivo: " + NomeArquivoParaCp1252(caminho) + "\r" + e.what(), TIcone::Erro,
                         TBotoes::OK);
    }
    janela_.ProcessarMensagens();
}

void TListaArquivos::ConcluirVarredura() {
    HabilitarBotoes();
    janela_.MostrarProgresso(TextoArquivosEmGravacao(emGravacao_));
}

void TListaArquivos::RegistrarVersao(const std::string& caminho, const std::optional<TIdentidadeArquivo>& versao) {
    if (versao)
        versoes_[caminho] = *versao;
    else
        versoes_.erase(caminho);
}

void TListaArquivos::AtualizarLista() {
    const std::vector<TFile> lista = ListarEstaveis();

    TTabela& arquivos = tabelas_.cdsArquivos;
    arquivos.Esvaziar();
    versoes_.clear();
    int antigos = 0;
    const TDataHora inicioDoDia = TDataHora::Hoje();
    for (const TFile& arquivo : lista) {
        if (janela_.Encerrando()) break;  // the files not reached are not listed
        if (inicioDoDia > arquivo.DataHora) ++antigos;
        ListarArquivo(arquivo, true);
    }

    try {
        arquivos.Primeiro();
    } catch (const std::exception& e) {
        // The first file cannot be read: the request tables stay empty and
        // the scan still finishes (buttons, question).
        janela_.Mensagem(e.what(), TIcone::Erro, TBotoes::OK);
    }
    ConcluirVarredura();

    if (antigos > 0 && !janela_.Encerrando() &&
        janela_.Mensagem("Existe(m) arquivos n\xE3o processados de outros dias.\r\n"
                         "Deseja mov\xEA-los para a pasta de arquivos PROCESSADOS?",
                         TIcone::Confirmacao, TBotoes::SimNao) == TResposta::Sim)
        MoverArquivosAntigos();
}

void TListaArquivos::Reatualizar(const std::string& atual) {
    const std::vector<TFile> lista = ListarEstaveis();

    // The settled files with their version now; one that vanished since the
    // listing has left the folder.
    std::map<std::string, TIdentidadeArquivo> presentes;
    for (const TFile& arquivo : lista)
        if (const auto versao = TIdentidadeArquivo::De(arquivo.Caminho)) presentes.emplace(arquivo.Caminho, *versao);

    TTabela& arquivos = tabelas_.cdsArquivos;
    auto indiceDe = [&arquivos](const std::string& caminho) {
        for (int i = 0; i < arquivos.Contar(); ++i)
            if (VariantParaTexto(arquivos.ValorEm(i, "nome_arquivo")) == caminho) return i;
        return -1;
    };

    // Rows whose file left the folder (or is being written again) go,
    // unread.
    {
        TSemLeitura semLeitura{arquivos};
        for (int i = arquivos.Contar() - 1; i >= 0; --i) {
            if (presentes.count(VariantParaTexto(arquivos.ValorEm(i, "nome_arquivo")))) continue;
            arquivos.MoverPara(i);
            arquivos.Excluir();
        }
    }
    std::erase_if(versoes_, [&](const auto& par) { return presentes.count(par.first) == 0; });

    // New files and new versions are listed as the scan lists them; rows of
    // the version they stand for are left as the operator's work made them.
    bool leu = false;
    for (const TFile& arquivo : lista) {
        if (janela_.Encerrando()) break;  // the files not reached wait for the next refresh
        const auto presente = presentes.find(arquivo.Caminho);
        if (presente == presentes.end()) continue;
        const int linha = indiceDe(arquivo.Caminho);
        if (linha >= 0) {
            const auto versao = versoes_.find(arquivo.Caminho);
            if (versao != versoes_.end() && versao->second == presente->second) continue;
            TSemLeitura semLeitura{arquivos};
            arquivos.MoverPara(linha);
        }
        ListarArquivo(arquivo, linha < 0);
        leu = true;
    }

    // Back to the operator's row. The request tables are read again only
    // when they may show another file; a file that cannot be read showed
    // its box when its row was listed, and the tables stay empty.
    int destino = indiceDe(atual);
    const bool mesmaLinha = !atual.empty() && destino >= 0;
    if (destino < 0 && !arquivos.Vazia()) destino = 0;
    if (destino >= 0) {
        TSemLeitura semLeitura{arquivos};
        arquivos.MoverPara(destino);
    }
    if (leu || !mesmaLinha) {
        try {
            cdsArquivosAfterScroll();
        } catch (const std::exception&) {
            // Told when its row was listed (or when the operator selects it).
        }
    }
    ConcluirVarredura();
}

void TListaArquivos::MoverArquivosAntigos() {
    TTabela& arquivos = tabelas_.cdsArquivos;
    // The walk only needs the paths: the files are not read on the way (the
    // scan that follows reads them again).
    {
        arquivos.Congelar();
        TSemLeitura semLeitura{arquivos};
        const TDataHora inicioDoDia = TDataHora::Hoje();
        for (arquivos.Primeiro(); !arquivos.Fim(); arquivos.Proximo())
            if (arquivos.Data("data_horario") < inicioDoDia) MoverParaProcessados(arquivos.Texto("nome_arquivo"));
        arquivos.Descongelar();
    }
    AtualizarLista();
}

bool TListaArquivos::MoverParaProcessados(const std::string& caminho) { return Mover(caminho, nullptr); }

bool TListaArquivos::MoverParaProcessados(const std::string& caminho, const TIdentidadeArquivo& lido) {
    return Mover(caminho, &lido);
}

bool TListaArquivos::Mover(const std::string& caminho, const TIdentidadeArquivo* lido) {
    const std::string pasta = PastaDe(caminho) + "processados/";
    const std::string destino = pasta + NomeSemPasta(caminho);
    struct stat info {};
    // A failure to create it shows in the copy. A new folder is an entry of
    // the inbox folder: forced to disk with it, or the moved file could lose
    // its folder in a power cut.
    if (::stat(pasta.c_str(), &info) != 0 && ::mkdir(pasta.c_str(), 0777) == 0) ForcarPastaAoDisco(PastaDe(caminho));

    const std::string temporario = CopiarParaTemporario(caminho, pasta, lido);
    if (temporario.empty()) return false;
    if (::rename(temporario.c_str(), destino.c_str()) != 0) {
        ::unlink(temporario.c_str());
        return false;
    }
    // The copy's name first, then the removal from the inbox folder: after a
    // power cut the file lies in one folder or in both, never in neither, and
    // once both are on disk it does not come back.
    ForcarPastaAoDisco(pasta);
    // Replaced (by rename) or rewritten since the copy: the new version stays
    // to be imported; the copy of the version imported stays in processados/.
    if (lido && TIdentidadeArquivo::De(caminho) != *lido) return false;
    if (::unlink(caminho.c_str()) != 0) return false;
    ForcarPastaAoDisco(PastaDe(caminho));
    return true;
}
