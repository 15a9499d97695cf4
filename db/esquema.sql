-- The laboratory database as Quorvel CAD uses it: the tables and columns the
-- tool reads and writes, with types that accept every value it writes.
-- The database's default character set is WIN1252; every text column says so
-- too, so that the file gives the same result on a database created otherwise.
-- Yes/no columns hold "S" or "N". There are no generators: the tool creates
-- GEN_<table> itself the first time it needs a code for the table.
--
-- Statements end with ";" at the end of a line; lines starting with "--" are
-- comments.

-- Settings of the laboratory's main system.
CREATE TABLE cbd_configuracoesbd (
  cbd_dsc      VARCHAR(100) CHARACTER SET WIN1252 NOT NULL,
  cbd_vlr      VARCHAR(255) CHARACTER SET WIN1252,
  cbd_vlr_blb  BLOB SUB_TYPE TEXT CHARACTER SET WIN1252,
  CONSTRAINT pk_cbd_configuracoesbd PRIMARY KEY (cbd_dsc)
);

-- Patients.
CREATE TABLE cli_clientes (
  cli_cod      INTEGER NOT NULL,
  cli_tpo      VARCHAR(1) CHARACTER SET WIN1252,
  cli_nom      VARCHAR(100) CHARACTER SET WIN1252,
  cli_rsp      VARCHAR(40) CHARACTER SET WIN1252,
  cli_ema      VARCHAR(100) CHARACTER SET WIN1252,
  cli_lgr      VARCHAR(100) CHARACTER SET WIN1252,
  cli_num      VARCHAR(20) CHARACTER SET WIN1252,
  cli_cmp      VARCHAR(50) CHARACTER SET WIN1252,
  cli_bro      VARCHAR(30) CHARACTER SET WIN1252,
  cli_cid      VARCHAR(100) CHARACTER SET WIN1252,
  est_sig      VARCHAR(2) CHARACTER SET WIN1252,
  cli_cep      VARCHAR(9) CHARACTER SET WIN1252,
  cli_obs      VARCHAR(150) CHARACTER SET WIN1252,
  cli_dta_cad  DATE,
  CONSTRAINT pk_cli_clientes PRIMARY KEY (cli_cod)
);

CREATE TABLE cpf_clientepessoafisica (
  cli_cod          INTEGER NOT NULL,
  cpf_sex          VARCHAR(1) CHARACTER SET WIN1252,
  cpf_dta_nas      DATE,
  cpf_cpf          VARCHAR(14) CHARACTER SET WIN1252,
  cpf_rg           VARCHAR(20) CHARACTER SET WIN1252,
  cpf_car_nac_sau  VARCHAR(20) CHARACTER SET WIN1252,
  CONSTRAINT pk_cpf_clientepessoafisica PRIMARY KEY (cli_cod)
);

CREATE TABLE cpj_clientepessoajuridica (
  cli_cod      INTEGER NOT NULL,
  cpj_raz_soc  VARCHAR(100) CHARACTER SET WIN1252,
  cpj_cnp      VARCHAR(14) CHARACTER SET WIN1252,
  CONSTRAINT pk_cpj_clientepessoajuridica PRIMARY KEY (cli_cod)
);

CREATE TABLE tcl_telefonecliente (
  cli_cod  INTEGER NOT NULL,
  tcl_dsc  VARCHAR(70) CHARACTER SET WIN1252,
  tcl_num  VARCHAR(20) CHARACTER SET WIN1252 NOT NULL,
  CONSTRAINT pk_tcl_telefonecliente PRIMARY KEY (cli_cod, tcl_num)
);

-- Insurance plans; cnv_tvl "R" = prices in money, else units x cnv_vch.
CREATE TABLE cnv_convenios (
  cnv_cod          INTEGER NOT NULL,
  cnv_nom          VARCHAR(100) CHARACTER SET WIN1252,
  tab_cod          INTEGER,
  cnv_tvl          VARCHAR(1) CHARACTER SET WIN1252,
  cnv_vch          DOUBLE PRECISION,
  cnv_usa_vlr_cmp  CHAR(1) CHARACTER SET WIN1252,
  cnv_usa_fat      CHAR(1) CHARACTER SET WIN1252,
  cnv_usa_tiss     CHAR(1) CHARACTER SET WIN1252,
  cnv_atv          CHAR(1) CHARACTER SET WIN1252,
  CONSTRAINT pk_cnv_convenios PRIMARY KEY (cnv_cod)
);

-- A patient's insurance link: one row per patient.
CREATE TABLE cnc_convenioscliente (
  cli_cod  INTEGER NOT NULL,
  cnv_cod  INTEGER,
  cnc_mat  VARCHAR(50) CHARACTER SET WIN1252,
  CONSTRAINT pk_cnc_convenioscliente PRIMARY KEY (cli_cod)
);

-- Doctors.
CREATE TABLE med_medicos (
  med_cod      INTEGER NOT NULL,
  cpr_cod      VARCHAR(100) CHARACTER SET WIN1252,
  med_num_cpr  VARCHAR(10) CHARACTER SET WIN1252,
  med_cpr_uf   VARCHAR(2) CHARACTER SET WIN1252,
  med_nom      VARCHAR(100) CHARACTER SET WIN1252,
  med_lgr      VARCHAR(100) CHARACTER SET WIN1252,
  med_num      VARCHAR(20) CHARACTER SET WIN1252,
  med_cmp      VARCHAR(50) CHARACTER SET WIN1252,
  med_bai      VARCHAR(30) CHARACTER SET WIN1252,
  med_cid      VARCHAR(100) CHARACTER SET WIN1252,
  est_sig      VARCHAR(2) CHARACTER SET WIN1252,
  med_cep      VARCHAR(9) CHARACTER SET WIN1252,
  med_ema      VARCHAR(100) CHARACTER SET WIN1252,
  med_obs      VARCHAR(150) CHARACTER SET WIN1252,
  med_rg       VARCHAR(20) CHARACTER SET WIN1252,
  med_cpf      VARCHAR(14) CHARACTER SET WIN1252,
  med_dta_nas  DATE,
  cbo_cod      VARCHAR(100) CHARACTER SET WIN1252,
  CONSTRAINT pk_med_medicos PRIMARY KEY (med_cod)
);

CREATE TABLE tfm_telefonemedico (
  med_cod  INTEGER NOT NULL,
  tfm_dsc  VARCHAR(70) CHARACTER SET WIN1252,
  tfm_num  VARCHAR(20) CHARACTER SET WIN1252 NOT NULL,
  CONSTRAINT pk_tfm_telefonemedico PRIMARY KEY (med_cod, tfm_num)
);

CREATE TABLE grp_grupos (
  grp_cod      INTEGER NOT NULL,
  grp_cod_vis  VARCHAR(150) CHARACTER SET WIN1252,
  grp_dsc      VARCHAR(150) CHARACTER SET WIN1252,
  CONSTRAINT pk_grp_grupos PRIMARY KEY (grp_cod)
);

-- Exams; exa_tpo_prz "D" = exa_dia_ent business days, else hours.
CREATE TABLE exa_exames (
  exa_cod      INTEGER NOT NULL,
  exa_cod_vis  VARCHAR(20) CHARACTER SET WIN1252,
  exa_dsc      VARCHAR(150) CHARACTER SET WIN1252,
  exa_tpo_prz  VARCHAR(1) CHARACTER SET WIN1252,
  exa_dia_ent  INTEGER,
  CONSTRAINT pk_exa_exames PRIMARY KEY (exa_cod)
);

-- Price rows of the price tables.
CREATE TABLE eta_examestabela (
  tab_cod      INTEGER NOT NULL,
  exa_cod      INTEGER NOT NULL,
  eta_vlr      DOUBLE PRECISION,
  eta_vlr_cmp  DOUBLE PRECISION,
  eta_qch      DOUBLE PRECISION,
  CONSTRAINT pk_eta_examestabela PRIMARY KEY (tab_cod, exa_cod)
);

-- A plan's own code for an exam.
CREATE TABLE cnvexa (
  exa_cod     INTEGER NOT NULL,
  cnv_cod     INTEGER NOT NULL,
  ce_cod_vis  VARCHAR(20) CHARACTER SET WIN1252,
  CONSTRAINT pk_cnvexa PRIMARY KEY (cnv_cod, exa_cod)
);

CREATE TABLE mat_material (
  mat_cod  INTEGER NOT NULL,
  mat_dsc  VARCHAR(70) CHARACTER SET WIN1252,
  CONSTRAINT pk_mat_material PRIMARY KEY (mat_cod)
);

-- Report models of the exams (mla_pri = 1: the one the tool uses).
CREATE TABLE mla_modelolaudo (
  mla_cod  INTEGER NOT NULL,
  exa_cod  INTEGER,
  mla_pri  INTEGER,
  CONSTRAINT pk_mla_modelolaudo PRIMARY KEY (mla_cod)
);

-- Materials of a report model; the highest mm_mat_pri is preferred.
CREATE TABLE mla_mat (
  mla_cod     INTEGER NOT NULL,
  mat_cod     INTEGER NOT NULL,
  mm_mat_pri  INTEGER,
  CONSTRAINT pk_mla_mat PRIMARY KEY (mla_cod, mat_cod)
);

-- Orders.
CREATE TABLE ped_pedidos (
  ped_cod              INTEGER NOT NULL,
  ped_cod_vis          VARCHAR(20) CHARACTER SET WIN1252,
  ped_dat              DATE,
  ped_hor              TIME,
  ped_ida              VARCHAR(10) CHARACTER SET WIN1252,
  ped_orc              CHAR(1) CHARACTER SET WIN1252,
  cli_cod              INTEGER,
  ped_vlr_tot_exa      NUMERIC(15,2),
  ped_vlr_cob_cli      NUMERIC(15,2),
  ped_vlr_des_cli      NUMERIC(15,2),
  ped_vlr_tot_cli      NUMERIC(15,2),
  ped_vlr_pgo          NUMERIC(15,2),
  cnv_cod              INTEGER,
  grp_cod              INTEGER,
  ped_mat_cnv          VARCHAR(50) CHARACTER SET WIN1252,
  ped_vnc_cnv          VARCHAR(7) CHARACTER SET WIN1252,
  med_cod              INTEGER,
  ped_obs              VARCHAR(100) CHARACTER SET WIN1252,
  ped_fat              CHAR(1) CHARACTER SET WIN1252,
  ped_cod_ace          VARCHAR(10) CHARACTER SET WIN1252,
  ped_obs_lau          VARCHAR(50) CHARACTER SET WIN1252,
  ped_cnv_cob          VARCHAR(15) CHARACTER SET WIN1252,
  ped_cnv_des          VARCHAR(15) CHARACTER SET WIN1252,
  ped_num_prn          VARCHAR(20) CHARACTER SET WIN1252,
  ped_vlr_tot_cmp      NUMERIC(15,2),
  ped_pub_web          CHAR(1) CHARACTER SET WIN1252,
  ped_opc_lau_imp_rg   CHAR(1) CHARACTER SET WIN1252,
  ped_opc_lau_imp_cpf  CHAR(1) CHARACTER SET WIN1252,
  CONSTRAINT pk_ped_pedidos PRIMARY KEY (ped_cod)
);

-- Exam lines of the orders.
CREATE TABLE exp_examespedidos (
  exp_cod      INTEGER NOT NULL,
  ped_cod      INTEGER NOT NULL,
  exa_cod      INTEGER NOT NULL,
  mat_cod      INTEGER NOT NULL,
  exp_cod_tab  VARCHAR(20) CHARACTER SET WIN1252,
  exp_vlr      NUMERIC(15,2),
  exp_vlr_cmp  NUMERIC(15,2),
  exp_mat      CHAR(1) CHARACTER SET WIN1252,
  exp_col_dat  DATE,
  exp_col_hor  TIME,
  exp_dat_ent  TIMESTAMP,
  exp_sta      VARCHAR(2) CHARACTER SET WIN1252,
  exp_imp_mtr  CHAR(1) CHARACTER SET WIN1252,
  exp_lib      CHAR(1) CHARACTER SET WIN1252,
  CONSTRAINT pk_exp_examespedidos PRIMARY KEY (exp_cod)
);

-- Holidays by day and month; each row recurs every year.
CREATE TABLE FER_FERIADOS (
  FER_DIA  INTEGER NOT NULL,
  FER_MES  INTEGER NOT NULL,
  FER_DSC  VARCHAR(100) CHARACTER SET WIN1252
);
