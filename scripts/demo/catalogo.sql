-- Demo laboratory catalogue: exams, price tables, insurance plans, report
-- models with their materials, holidays and the database settings the tool
-- reads. Loaded once, into a fresh database created from db/esquema.sql.

insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr, cbd_vlr_blb) values ('GER_DiasNaoUteis', '1,7', null);
insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr, cbd_vlr_blb) values ('PED_GRUPOPADRAO', '1', null);
insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr, cbd_vlr_blb) values ('PED_PreencherNomeMedico', 'Não', null);

insert into grp_grupos (grp_cod, grp_cod_vis, grp_dsc) values (1, 'Rot', 'Rotina');
insert into grp_grupos (grp_cod, grp_cod_vis, grp_dsc) values (2, 'Urg', 'Urgência');

-- Exams: deadline in business days ("D") or in hours ("H").
insert into exa_exames (exa_cod, exa_cod_vis, exa_dsc, exa_tpo_prz, exa_dia_ent) values (1, 'HEMO', 'Hemograma completo', 'D', 1);
insert into exa_exames (exa_cod, exa_cod_vis, exa_dsc, exa_tpo_prz, exa_dia_ent) values (2, 'GLI', 'Glicose', 'H', 6);
insert into exa_exames (exa_cod, exa_cod_vis, exa_dsc, exa_tpo_prz, exa_dia_ent) values (3, 'URI', 'Urina tipo I', 'D', 2);
insert into exa_exames (exa_cod, exa_cod_vis, exa_dsc, exa_tpo_prz, exa_dia_ent) values (4, 'TSH', 'Hormônio tireoestimulante (TSH)', 'D', 3);
insert into exa_exames (exa_cod, exa_cod_vis, exa_dsc, exa_tpo_prz, exa_dia_ent) values (5, 'T4L', 'Tiroxina livre (T4L)', 'D', 3);
insert into exa_exames (exa_cod, exa_cod_vis, exa_dsc, exa_tpo_prz, exa_dia_ent) values (6, 'PCR', 'Proteína C reativa', 'H', 24);
insert into exa_exames (exa_cod, exa_cod_vis, exa_dsc, exa_tpo_prz, exa_dia_ent) values (7, 'CREA', 'Creatinina', 'D', 1);

-- Price table 1: values in money. Price table 2: units (CH).
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 1, 18.50, 2.00, 0);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 2, 9.80, 1.00, 0);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 3, 12.00, 1.50, 0);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 4, 35.00, 4.00, 0);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 5, 32.00, 4.00, 0);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 6, 21.00, 2.50, 0);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 7, 8.90, 1.00, 0);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (2, 1, 0, 0, 30);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (2, 2, 0, 0, 15);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (2, 3, 0, 0, 20);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (2, 4, 0, 0, 60);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (2, 7, 0, 0, 15);

-- Insurance plans: money ("R"), units ("C") and one with its own exam codes.
insert into cnv_convenios (cnv_cod, cnv_nom, tab_cod, cnv_tvl, cnv_vch, cnv_usa_vlr_cmp, cnv_usa_fat, cnv_usa_tiss, cnv_atv)
  values (1, 'Particular', 1, 'R', 0, 'N', 'N', 'N', 'S');
insert into cnv_convenios (cnv_cod, cnv_nom, tab_cod, cnv_tvl, cnv_vch, cnv_usa_vlr_cmp, cnv_usa_fat, cnv_usa_tiss, cnv_atv)
  values (2, 'Unimed Vale do Paraíba', 2, 'C', 0.62, 'N', 'S', 'S', 'S');
insert into cnv_convenios (cnv_cod, cnv_nom, tab_cod, cnv_tvl, cnv_vch, cnv_usa_vlr_cmp, cnv_usa_fat, cnv_usa_tiss, cnv_atv)
  values (3, 'Cassi', 1, 'R', 0, 'S', 'S', 'S', 'S');
insert into cnvexa (exa_cod, cnv_cod, ce_cod_vis) values (1, 3, '40304361');
insert into cnvexa (exa_cod, cnv_cod, ce_cod_vis) values (6, 3, '40308391');

-- Materials and report models (the preferred material has the highest mm_mat_pri).
insert into mat_material (mat_cod, mat_dsc) values (1, 'Sangue');
insert into mat_material (mat_cod, mat_dsc) values (2, 'Soro');
insert into mat_material (mat_cod, mat_dsc) values (3, 'Urina');
insert into mat_material (mat_cod, mat_dsc) values (4, 'Plasma fluoretado');
insert into mla_modelolaudo (mla_cod, exa_cod, mla_pri) values (1, 1, 1);
insert into mla_modelolaudo (mla_cod, exa_cod, mla_pri) values (2, 2, 1);
insert into mla_modelolaudo (mla_cod, exa_cod, mla_pri) values (3, 3, 1);
insert into mla_modelolaudo (mla_cod, exa_cod, mla_pri) values (4, 6, 1);
insert into mla_modelolaudo (mla_cod, exa_cod, mla_pri) values (5, 6, 0);
insert into mla_mat (mla_cod, mat_cod, mm_mat_pri) values (1, 1, 1);
insert into mla_mat (mla_cod, mat_cod, mm_mat_pri) values (2, 2, 1);
insert into mla_mat (mla_cod, mat_cod, mm_mat_pri) values (2, 4, 2);
insert into mla_mat (mla_cod, mat_cod, mm_mat_pri) values (3, 3, 1);
insert into mla_mat (mla_cod, mat_cod, mm_mat_pri) values (4, 2, 2);
insert into mla_mat (mla_cod, mat_cod, mm_mat_pri) values (4, 1, 1);
insert into mla_mat (mla_cod, mat_cod, mm_mat_pri) values (5, 4, 9);

-- National holidays (day and month; they recur every year).
insert into FER_FERIADOS (FER_DIA, FER_MES, FER_DSC) values (1, 1, 'Confraternização Universal');
insert into FER_FERIADOS (FER_DIA, FER_MES, FER_DSC) values (21, 4, 'Tiradentes');
insert into FER_FERIADOS (FER_DIA, FER_MES, FER_DSC) values (1, 5, 'Dia do Trabalho');
insert into FER_FERIADOS (FER_DIA, FER_MES, FER_DSC) values (7, 9, 'Independência do Brasil');
insert into FER_FERIADOS (FER_DIA, FER_MES, FER_DSC) values (12, 10, 'Nossa Senhora Aparecida');
insert into FER_FERIADOS (FER_DIA, FER_MES, FER_DSC) values (2, 11, 'Finados');
insert into FER_FERIADOS (FER_DIA, FER_MES, FER_DSC) values (15, 11, 'Proclamação da República');
insert into FER_FERIADOS (FER_DIA, FER_MES, FER_DSC) values (20, 11, 'Dia Nacional de Zumbi e da Consciência Negra');
insert into FER_FERIADOS (FER_DIA, FER_MES, FER_DSC) values (25, 12, 'Natal');

commit;
