#include "inbox/UGravacao.h"

#include <algorithm>
#include <set>
#include <sys/stat.h>

namespace {

using std::chrono::system_clock;

system_clock::time_point Instante(const struct timespec& t) {
    return system_clock::time_point(
        std::chrono::duration_cast<system_clock::duration>(std::chrono::seconds(t.tv_sec) +
                                                           std::chrono::nanoseconds(t.tv_nsec)));
}

int Limitar(int segundos) { return std::clamp(segundos, 0, kSegundosArquivoEstavelMaximo); }

}  // namespace

int LerSegundosArquivoEstavel(const std::string& texto) {
    const std::size_t inicio = texto.find_first_not_of(' ');
    if (inicio == std::string::npos) return kSegundosArquivoEstavelPadrao;
    const std::size_t fim = texto.find_last_not_of(' ');
    const std::string numero = texto.substr(inicio, fim - inicio + 1);
    if (numero.empty() || numero.size() > 3 ||
        !std::all_of(numero.begin(), numero.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return kSegundosArquivoEstavelPadrao;
    const int valor = std::stoi(numero);
    return valor <= kSegundosArquivoEstavelMaximo ? valor : kSegundosArquivoEstavelPadrao;
}

std::string TextoArquivosEmGravacao(int quantos) {
    if (quantos <= 0) return "";
    // "arquivo(s) ainda em gravação"
    return std::to_string(quantos) + (quantos == 1 ? " arquivo" : " arquivos") + " ainda em grava\xE7\xE3o";
}

TGuardaGravacao::TGuardaGravacao(int segundos, TRelogio relogio)
    : segundos_(Limitar(segundos)), relogio_(relogio ? std::move(relogio) : TRelogio(&system_clock::now)) {}

void TGuardaGravacao::DefinirSegundos(int segundos) { segundos_ = Limitar(segundos); }

bool TGuardaGravacao::Estavel(const std::string& caminho) {
    struct stat info {};
    if (::stat(caminho.c_str(), &info) != 0) {
        observados_.erase(caminho);
        return false;
    }
    if (segundos_ == 0) return true;
    const system_clock::time_point agora = relogio_();
    const system_clock::time_point escrita = Instante(info.st_mtim);
    const std::chrono::seconds n(segundos_);
    if (escrita <= agora) {
        observados_.erase(caminho);
        return agora - escrita >= n;
    }
    // Written in the future: settled once unchanged for N seconds.
    auto it = observados_.find(caminho);
    if (it == observados_.end() || it->second.tamanho != info.st_size || it->second.escrita != escrita) {
        observados_[caminho] = TObservacao{info.st_size, escrita, agora};
        return false;
    }
    return agora - it->second.desde >= n;
}

std::vector<TFile> TGuardaGravacao::Estaveis(const std::vector<TFile>& lista, int& emGravacao) {
    emGravacao = 0;
    std::vector<TFile> estaveis;
    std::set<std::string> listados;
    for (const TFile& arquivo : lista) {
        listados.insert(arquivo.Caminho);
        if (Estavel(arquivo.Caminho)) {
            estaveis.push_back(arquivo);
        } else {
            struct stat info {};
            if (::stat(arquivo.Caminho.c_str(), &info) == 0) ++emGravacao;
        }
    }
    for (auto it = observados_.begin(); it != observados_.end();)
        it = listados.count(it->first) ? std::next(it) : observados_.erase(it);
    return estaveis;
}
