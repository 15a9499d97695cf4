#include "inbox/UTabelasPedido.h"

#include "base/UTexto.h"

namespace {

// Date column plus time column as "dd/mm/yyyy hh:nn" (seconds dropped); the
// empty text when the date is absent, 00:00 when the time is.
TVariante DataEHora(const TRegistro& r, const char* colunaData, const char* colunaHora) {
    const TVariante data = r.Valor(colunaData);
    if (EhNulo(data)) return std::string();
    const TVariante hora = r.Valor(colunaHora);
    std::int64_t ms = std::get<TDataHora>(data).ParteData().Ms();
    if (!EhNulo(hora)) ms += std::get<TDataHora>(hora).ParteHora().Ms();
    return TDataHora(ms).FormatarDataHoraMinuto();
}

}  // namespace

TTabelasPedido::TTabelasPedido() {
    TTabela& p = cdsPedidos;
    p.ColunaData("data");
    p.ColunaHora("horario");
    p.ColunaTexto("protocolo", 20, "Protocolo");
    p.ColunaTexto("codigo_acesso", 10);
    p.ColunaTexto("paciente", 10);
    p.ColunaTexto("idade_paciente", 10);
    p.ColunaTexto("medico", 10);
    p.ColunaTexto("grupo", 150, "Grupo");
    p.ColunaTexto("convenio_nome", 100, "Conv\xEAnio");
    p.ColunaTexto("convenio_cobertura", 15);
    p.ColunaTexto("convenio_desconto", 15);
    p.ColunaTexto("convenio_matricula", 50);
    p.ColunaTexto("convenio_vencimento", 7);
    p.ColunaTexto("valor_total_exames", 20);
    p.ColunaTexto("valor_cobrar_paciente", 20);
    p.ColunaTexto("valor_desconto_paciente", 20);
    p.ColunaTexto("valor_total_paciente", 20);
    p.ColunaTexto("valor_pago_paciente", 20);
    p.ColunaTexto("observacao_protocolo", 100);
    p.ColunaTexto("observacao_laudo", 50);
    p.ColunaTexto("imprimir_rg", 1);
    p.ColunaTexto("imprimir_cpf", 1);
    p.ColunaTexto("nome_paciente", 100, "Paciente");
    p.ColunaTexto("nome_medico", 100, "Medico");
    p.ColunaCalculada("data_horario", 20, "Pedido em",
                      [](const TRegistro& r) { return DataEHora(r, "data", "horario"); });
    p.DefinirOrdem("cdsPedidosIndex1", {{"data", false}, {"horario", false}});

    TTabela& pa = cdsPacientes;
    pa.ColunaTexto("codigo", 10);
    pa.ColunaTexto("tipo_pessoa", 1);
    pa.ColunaTexto("nome", 100);
    pa.ColunaTexto("rg", 20);
    pa.ColunaTexto("cpf_cnpj", 14);
    pa.ColunaTexto("cartao_nacional_saude", 20);
    pa.ColunaTexto("data_nascimento", 10);
    pa.ColunaTexto("responsavel", 40);
    pa.ColunaTexto("observacao", 150);
    pa.ColunaTexto("email", 100);
    pa.ColunaTexto("sexo", 1);
    pa.ColunaTexto("logradouro", 50);
    pa.ColunaTexto("numero", 20);
    pa.ColunaTexto("complemento", 50);
    pa.ColunaTexto("bairro", 30);
    pa.ColunaTexto("cidade", 100);
    pa.ColunaTexto("estado", 2);
    pa.ColunaTexto("cep", 9);
    pa.DefinirOrdem("cdsPacientesIndex1", {{"codigo", false}});
    pa.LigarMestre(cdsPedidos, "paciente", "codigo");

    cdsTelefones.ColunaTexto("paciente", 10);
    cdsTelefones.ColunaTexto("descricao", 70);
    cdsTelefones.ColunaTexto("numero", 20);
    cdsTelefones.DefinirOrdem("cdsTelefonesIndex1", {{"paciente", false}});
    cdsTelefones.LigarMestre(cdsPacientes, "codigo", "paciente");

    cdsConvenios.ColunaTexto("paciente", 10);
    cdsConvenios.ColunaTexto("nome", 100);
    cdsConvenios.ColunaTexto("matricula", 50);
    cdsConvenios.DefinirOrdem("cdsConveniosIndex1", {{"paciente", false}});
    cdsConvenios.LigarMestre(cdsPacientes, "codigo", "paciente");

    TTabela& m = cdsMedicos;
    m.ColunaTexto("codigo", 10);
    m.ColunaTexto("nome", 100);
    m.ColunaTexto("especialidade_cbos", 100);
    m.ColunaTexto("rg", 20);
    m.ColunaTexto("cpf", 14);
    m.ColunaTexto("data_nascimento", 10);
    m.ColunaTexto("conselho_sigla", 100);
    m.ColunaTexto("conselho_numero", 10);
    m.ColunaTexto("conselho_uf", 2);
    m.ColunaTexto("logradouro", 100);
    m.ColunaTexto("numero", 20);
    m.ColunaTexto("complemento", 50);
    m.ColunaTexto("bairro", 30);
    m.ColunaTexto("cidade", 100);
    m.ColunaTexto("estado", 2);
    m.ColunaTexto("cep", 9);
    m.ColunaTexto("email", 100);
    m.ColunaTexto("observacao", 150);
    m.DefinirOrdem("cdsMedicosIndex1", {{"codigo", false}});
    m.LigarMestre(cdsPedidos, "medico", "codigo");

    cdsTelefonesMedicos.ColunaTexto("medico", 10);
    cdsTelefonesMedicos.ColunaTexto("descricao", 70);
    cdsTelefonesMedicos.ColunaTexto("numero", 20);
    cdsTelefonesMedicos.DefinirOrdem("cdsTelefonesMedicosIndex1", {{"medico", false}});
    cdsTelefonesMedicos.LigarMestre(cdsMedicos, "codigo", "medico");

    TTabela& e = cdsExames;
    e.ColunaTexto("protocolo", 20);
    e.ColunaTexto("codigo", 20, "C\xF3" "digo");
    e.ColunaTexto("nome", 150, "Descri\xE7\xE3o");
    e.ColunaTexto("material", 70, "Material");
    e.ColunaData("coleta_data");
    e.ColunaHora("coleta_horario");
    e.ColunaCalculada("coleta_data_horario", 20, "Coletado em",
                      [](const TRegistro& r) { return DataEHora(r, "coleta_data", "coleta_horario"); });
    e.DefinirOrdem("cdsExamesIndex1", {{"protocolo", false}});
    e.LigarMestre(cdsPedidos, "protocolo", "protocolo");

    TTabela& a = cdsArquivos;
    a.ColunaTexto("nome_arquivo", 4096, "Arquivo");  // a full path: never cut
    a.ColunaTexto("erros", 500);
    a.ColunaInteiro("status");
    a.ColunaDataHora("data_horario", "Criado em");
    a.DefinirExibicao("status", &TTabelasPedido::TextoStatus);
    // The path stays the file system's own bytes (the file is opened and
    // moved by it); grids show it in Windows-1252.
    a.DefinirExibicao("nome_arquivo",
                      [](const TVariante& v) { return NomeArquivoParaCp1252(VariantParaTexto(v)); });
    a.DefinirOrdem("cdsArquivosIndex1", {{"status", true}, {"nome_arquivo", false}});
}

std::string TTabelasPedido::TextoStatus(const TVariante& status) {
    if (const auto* s = std::get_if<std::int32_t>(&status)) {
        switch (*s) {
            case 0: return "Pendente";
            case -1: return "Com erro";
            case 1: return "Finalizado";
            default: break;
        }
    }
    return "";
}

void TTabelasPedido::LimparTabelas() {
    cdsPedidos.Esvaziar();
    cdsPacientes.Esvaziar();
    cdsTelefones.Esvaziar();
    cdsConvenios.Esvaziar();
    cdsMedicos.Esvaziar();
    cdsTelefonesMedicos.Esvaziar();
    cdsExames.Esvaziar();
    LeituraInterrompida.clear();
}
