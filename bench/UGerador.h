// Generates request files for the benchmark and the end-to-end test: seeded,
// so the same arguments always give the same files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TOpcoesGerador {
    int Arquivos = 200;
    int Solicitacoes = 500;       // spread over the files, at least one each
    int ExamesPorSolicitacao = 5;
    std::uint32_t Semente = 20261210;
    // No line breaks or indentation between elements, empty elements as
    // "<x/>" (the same content in fewer bytes).
    bool Compacto = false;
    // Exam visible codes to draw from (those of the catalogue).
    std::vector<std::string> Exames = {"HEMO", "GLI", "URI", "TSH", "T4L", "PCR", "CREA"};
    std::vector<std::string> Materiais = {"Sangue", "Soro", "Urina", "", "Plasma fluoretado"};
    std::vector<std::string> Convenios = {"Particular", "Unimed Vale do Paraíba", "Cassi"};
    std::vector<std::string> Grupos = {"Rotina", "Urgência", "Hospital Santa Casa"};
};

// Writes the files into `pasta` (which must exist) as UTF-8 XML named
// "bench_00001.xml", ...; returns their paths. Throws std::runtime_error when a
// file cannot be written.
std::vector<std::string> GerarArquivos(const std::string& pasta, const TOpcoesGerador& opcoes);
