// The connection settings dialog: shown once at start-up when the stored
// settings do not connect. The operator enters server, database path, user
// and password; the dialog checks them, opens a test connection of its own
// and closes with OK only when that connection opened.
#pragma once

#include <QDialog>

#include "base/UJanela.h"
#include "db/UDM.h"

class QLabel;
class QLineEdit;
class QToolButton;

class TFNovaConexao : public QDialog {
    Q_OBJECT

public:
    // `janela` shows the dialog's messages (questions and errors).
    explicit TFNovaConexao(IJanela& janela, QWidget* pai = nullptr);

    // Creates the dialog, fills it with `atual`, shows it modally and releases
    // it. Closed with OK: the four fields' texts (Servidor in upper case, the
    // others as typed). Cancelled or closed from the title bar: four empty
    // fields.
    static TConfigBD Executar(IJanela& janela, const TConfigBD& atual);

    // Fills the four fields (which runs CaminhoChange).
    void Preencher(const TConfigBD& cfg);
    // The fields as Executar returns them after OK.
    TConfigBD Resultado() const;

    // The checks of btnConfirmar, in order: an empty server asks whether to go
    // on (No ends with false); an empty path or user shows an error, moves
    // the focus there and gives false; otherwise TestarConexao's result.
    bool Validar();
    // Opens and closes a connection of its own with the typed settings
    // (database name: the path alone when the server is empty, otherwise
    // server ":" path, the server as typed). False, after a message, when it
    // does not open.
    bool TestarConexao();

    // btnConfirmar is enabled exactly when path, user and password are filled.
    void CaminhoChange();
    void btnConfirmarClick();

    QLabel* Titulo = nullptr;
    QLabel* imgFerramentas = nullptr;
    QToolButton* btnConfirmar = nullptr;
    QToolButton* btnCancelar = nullptr;
    QLineEdit* Servidor = nullptr;
    QLineEdit* Caminho = nullptr;
    QLineEdit* Usuario = nullptr;
    QLineEdit* Senha = nullptr;

protected:
    void showEvent(QShowEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;

private:
    void FormShow();

    IJanela& janela_;
};

// The recovery's dialog for the data module: runs TFNovaConexao::Executar.
class TDialogoConexaoQt : public IDialogoConexao {
public:
    explicit TDialogoConexaoQt(IJanela& janela) : janela_(janela) {}
    TConfigBD Executar(const TConfigBD& atual) override;

private:
    IJanela& janela_;
};
