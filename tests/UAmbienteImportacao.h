// What the import tests share: a fresh laboratory database, a temporary
// folder with the inbox "arquivos" and the activity log, the request tables,
// the inbox scan and the processing driver wired as the main window wires
// them, and readers of the database rows and of the driver's log lines.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/UTexto.h"
#include "db/UDM.h"
#include "import/UProcessamento.h"
#include "log/ULog.h"
#include "tests/support/UBancoTeste.h"

namespace importacao_teste {

namespace fs = std::filesystem;

inline const std::string kDados = std::string(QUORVEL_DADOS_TESTE) + "/importacao/";

// A small catalogue: default group 1, one exam (HEMO), one plan priced in
// money, one material.
inline const char* const kCatalogoMinimo = R"(
insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('PED_GRUPOPADRAO', '1');
insert into grp_grupos (grp_cod, grp_cod_vis, grp_dsc) values (1, 'Rot', 'Rotina');
insert into exa_exames (exa_cod, exa_cod_vis, exa_tpo_prz, exa_dia_ent) values (10, 'HEMO', 'H', 4);
insert into cnv_convenios (cnv_cod, cnv_nom, tab_cod, cnv_tvl, cnv_vch, cnv_usa_vlr_cmp) values (1, 'Particular', 1, 'R', 0, 'N');
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 10, 18.50, 0, 0);
insert into mat_material (mat_cod, mat_dsc) values (1, 'Sangue');
)";

inline std::string Cp(const std::string& utf8) { return Utf8ParaCp1252(utf8); }

inline std::string LerArquivo(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A temporary folder with the inbox folder "arquivos" inside.
inline fs::path NovaRaiz() {
    char modelo[] = "/tmp/importacao_test_XXXXXX";
    if (!mkdtemp(modelo)) throw std::runtime_error("mkdtemp");
    fs::create_directory(fs::path(modelo) / "arquivos");
    return modelo;
}

class AmbienteImportacao : public ::testing::Test {
protected:
    // `catalogo`: statements run on the fresh database before the test.
    explicit AmbienteImportacao(const std::string& catalogo) { t.banco.Executar(catalogo); }

    void SetUp() override { Log::DefinirArquivo((raiz / "log.txt").string()); }
    void TearDown() override { fs::remove_all(raiz); }

    // Writes a request file of the test's own into the inbox folder.
    void Escrever(const std::string& nome, const std::string& bytes) {
        std::ofstream(entrada / nome, std::ios::binary) << bytes;
    }

    // What the automatic mode does at each tick: scan, then process every
    // pending file without asking. Every box is answered OK.
    void Ciclo() {
        t.janela.ResponderSempre(TResposta::OK);
        lista.AtualizarLista();
        proc.ProcessarTodos(true);
    }

    std::string Valor(const std::string& sql) { return t.banco.Valor(sql); }

    void Copiar(const std::string& fixture, const std::string& nome) {
        fs::copy_file(kDados + fixture, entrada / nome, fs::copy_options::overwrite_existing);
    }
    std::string Caminho(const std::string& nome) const { return (entrada / nome).string(); }

    // Every row of the statement, each as its columns' texts joined by "|"
    // (NULL as "<null>").
    std::vector<std::string> Linhas(const std::string& sql) {
        auto q = t.dm->NovaQuery(true);
        q->DefinirSQL(sql);
        q->Abrir();
        std::vector<std::string> r;
        for (q->Primeiro(); !q->Fim(); q->Proximo()) {
            std::string linha;
            for (std::size_t i = 0; i < q->Campos().size(); ++i) {
                const TVariante v = q->Campo(i);
                if (i) linha += "|";
                linha += EhNulo(v) ? "<null>" : VariantParaTexto(v);
            }
            r.push_back(linha);
        }
        return r;
    }

    // The driver's lines of the activity log, oldest first.
    std::vector<std::string> LinhasDoProcessamento() const {
        std::vector<std::string> r;
        std::istringstream in(LerArquivo(raiz / "log.txt"));
        std::string linha;
        while (std::getline(in, linha)) {
            if (!linha.empty() && linha.back() == '\r') linha.pop_back();
            const auto tab = linha.find('\t');
            if (tab == std::string::npos) continue;
            const std::string msg = linha.substr(tab + 1);
            for (const char* p : {"cli_cod = ", "med_cod = ", "grp_cod = ", "cnv_cod = ", "ped_cod = "})
                if (msg.rfind(p, 0) == 0) r.push_back(msg);
        }
        std::reverse(r.begin(), r.end());
        return r;
    }

    // The file list as "name status-text", in the list's order.
    std::vector<std::string> Lista() const {
        std::vector<std::string> r;
        const TTabela& a = tp.cdsArquivos;
        for (int i = 0; i < a.Contar(); ++i)
            r.push_back(fs::path(a.TextoExibicaoEm(i, "nome_arquivo")).filename().string() + " " +
                        a.TextoExibicaoEm(i, "status"));
        return r;
    }
    // Index of the file's row in the list, -1 when absent.
    int Indice(const std::string& nome) const {
        const TTabela& a = tp.cdsArquivos;
        for (int i = 0; i < a.Contar(); ++i)
            if (VariantParaTexto(a.ValorEm(i, "nome_arquivo")) == Caminho(nome)) return i;
        return -1;
    }
    // Names of the files in a folder, sorted.
    static std::vector<std::string> Arquivos(const fs::path& pasta) {
        std::vector<std::string> r;
        if (fs::exists(pasta))
            for (const auto& e : fs::directory_iterator(pasta))
                if (e.is_regular_file()) r.push_back(e.path().filename().string());
        std::sort(r.begin(), r.end());
        return r;
    }
    // Texts of the boxes shown since the last Limpar.
    std::vector<std::string> Caixas() const {
        std::vector<std::string> r;
        for (const auto& c : t.janela.caixas) r.push_back(c.texto);
        return r;
    }

    fs::path raiz = NovaRaiz();
    fs::path entrada = raiz / "arquivos";
    TDMTeste t;
    TTabelasPedido tp;
    TLeitorPedidos leitor{tp};
    TValidacao validacao{tp, *t.dm, t.janela};
    TListaArquivos lista{tp, leitor, validacao, t.janela, entrada.string() + "/"};
    TConfig config;
    int sorteado = 7;
    TProcessamento proc{*t.dm, tp, config, t.janela, lista, [this] { return sorteado; }};
};

}  // namespace importacao_teste
