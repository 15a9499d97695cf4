// The laboratory order of the request being processed: the ped_pedidos row
// found by protocol (ped_cod_vis) or inserted, one exp_examespedidos line per
// exam the laboratory knows (updated in place when the order already holds a
// line for the same exam and material), and the order's totals.
#pragma once

#include <cstdint>
#include <functional>

#include "inbox/UTabelasPedido.h"
#include "config/UConfig.h"

class TDM;

class TImportadorPedido {
public:
    // Draws the number 0 to 999 of a generated access code.
    using TSorteio = std::function<int()>;

    // Reads the current row of tabelas.cdsPedidos and the request's rows of
    // cdsExames; `config.DataColetaComDataPedido` is read at every import.
    // All three are the caller's and must outlive the importer. Without
    // `sorteio` the access code comes from a std::mt19937 seeded from
    // std::random_device.
    TImportadorPedido(TDM& dm, TTabelasPedido& tabelas, const TConfig& config, TSorteio sorteio = {});

    // Writes the order and its lines (each row committed on its own):
    // 1. the order found by ped_cod_vis = protocolo is updated in every column
    //    of the first write but the laboratory's flags ped_fat and
    //    ped_pub_web, which only a new order gets ("N"); none found, a new
    //    one is inserted with a new ped_cod. med_cod is NULL when `medico` is
    //    not above 0; ped_cod_ace is codigo_acesso, or when empty a
    //    pseudo-random 0 to 999 padded with "0" to four digits - except that
    //    an order found keeps the access code it holds when the request gives
    //    none (the code was handed to the patient: a new import, a retry
    //    above all, must not change it).
    // 2. For each exam of the request whose code exa_exames knows: its
    //    material (TBuscasExame::BuscarMaterial), its price for `convenio`
    //    (TDM::BuscarValorExame), its collection date and time (the request's
    //    when DataColetaComDataPedido is set, else the exam's; both NULL when
    //    the date or the time is missing or zero, midnight included) and its
    //    due date (TDM::CalcularDataEntrega from the collection date and
    //    time; NULL without a collection); the line is saved under the code
    //    of the order's line for the same exam and material, or a new one.
    //    Only a new line gets exp_sta "2", exp_imp_mtr "N" and exp_lib "N": a
    //    line found keeps the laboratory's progress (status, label printed,
    //    result released).
    //    Unknown exams get no line and are not reported; an exam whose
    //    material could not be looked up or created gets no line either (the
    //    failure is noted, so the file is tried again).
    //    Prices are stored rounded to cents.
    // 3. ped_vlr_tot_exa and ped_vlr_tot_cmp = the sums of exp_vlr and
    //    exp_vlr_cmp, as stored, over the lines saved by this import.
    // Returns the order's ped_cod; the code found by protocol (0 when none)
    // when the order row was not saved (no line is written then). A failed
    // search for the order ends the import at once with 0 (nothing is
    // inserted: the order may well exist). Failed searches and saves are
    // shown by the query builder and the row writer; a due date that cannot
    // be counted (EErroDataEntrega) is shown in an error box once per run
    // (see NovaExecucao); these and any other error end the import (lines
    // saved so far stay, totals are not written) with the code set by then,
    // and are noted on the data module (TDM::RegistrarFalha) so that the
    // file is not taken as finished. Never throws.
    std::int32_t ImportarPedido(std::int32_t cliente, std::int32_t medico, std::int32_t grupo,
                                std::int32_t convenio);

    // Starts a run of the driver: the next due-date error is shown again.
    void NovaExecucao();

private:
    TDM& dm_;
    TTabelasPedido& tabelas_;
    const TConfig& config_;
    TSorteio sorteio_;
    bool avisouDataEntrega_ = false;
};
