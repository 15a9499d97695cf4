// Resolution of a request's exam and material to the laboratory's codes, and
// of the line an order already holds for them.
#pragma once

#include <cstdint>
#include <string>

class TDM;

class TBuscasExame {
public:
    // `dm` is the caller's and must outlive the object.
    explicit TBuscasExame(TDM& dm) : dm_(dm) {}

    // The exa_cod of the first exa_exames row whose exa_cod_vis equals
    // `codigo`; 0 when there is none or the search failed (shown by the
    // query builder). Exams are never created.
    std::int32_t BuscarExame(const std::string& codigo);

    // The mat_cod of the material.
    // - `material` not empty: the mat_material row with the lowest mat_cod
    //   among those whose upper(mat_dsc) equals the database's upper() of
    //   the text, so that accented letters
    //   match in any letter case (the text travels as a parameter, never inside the
    //   statement, so quotes and semicolons are plain characters). When there
    //   is none, a new material is created (mat_cod generated, mat_dsc =
    //   `material` as given), so that other workstations creating it at once
    //   end with the same one row (TBuscaOuCriacao); 0 when that save fails (shown by the row
    //   writer), or when the search failed (shown by the query builder;
    //   nothing is created, since the material may well exist).
    // - `material` empty: the material with the highest mm_mat_pri of the
    //   exam's report model with mla_pri = 1; 0 when there is none. Nothing is
    //   created.
    // Errors other than a failed search or save reach the caller.
    std::int32_t BuscarMaterial(std::int32_t exame, const std::string& material);

    // The lowest exp_cod of the order's lines for that exam and material; 0
    // when there is none or the search failed.
    std::int32_t BuscarExamePedido(std::int32_t pedido, std::int32_t exame, std::int32_t material);

private:
    TDM& dm_;
};
