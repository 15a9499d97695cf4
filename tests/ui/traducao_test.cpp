// Qt's own texts in Brazilian Portuguese once the translations are loaded:
// the context menus of an edit and of the spin edit, under any process
// locale.
#include <memory>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "ui/UTraducao.h"

namespace {

// Texts of the menu's actions, without separators.
QStringList Textos(const QMenu& menu) {
    QStringList r;
    for (const QAction* a : menu.actions())
        if (!a->isSeparator()) r << a->text().section(QLatin1Char('\t'), 0, 0);
    return r;
}

// The menu the spin edit itself opens on a right click (built inside its
// event handler): read while it is open, then closed.
QStringList MenuAberto(QWidget& alvo) {
    QStringList textos;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            textos = Textos(*menu);
            menu->close();
        }
    });
    QContextMenuEvent evento(QContextMenuEvent::Mouse, QPoint(5, 5), alvo.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&alvo, &evento);
    return textos;
}

}  // namespace

class TesteTraducao : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The process locale does not matter: operators' machines are pt_BR,
        // but the translations are chosen by the program.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(CarregarTraducaoQt(*qApp));
    }

    void menuDoEdit() {
        QLineEdit edit(QStringLiteral("texto"));
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        const QStringList textos = Textos(*menu);
        for (const char* esperado : {"&Desfazer", "&Refazer", "&Copiar", "Selecionar tudo"})
            QVERIFY2(textos.contains(QString::fromUtf8(esperado)), qPrintable(textos.join(" | ")));
        for (const char* ingles : {"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "Delete", "Select All"})
            QVERIFY2(!textos.contains(QString::fromUtf8(ingles)), qPrintable(textos.join(" | ")));
    }

    void menuDoSpinEdit() {
        QSpinBox spin;
        spin.setRange(1, 60);
        spin.setValue(5);
        spin.show();
        QVERIFY(QTest::qWaitForWindowExposed(&spin));
        const QStringList textos = MenuAberto(spin);
        QVERIFY2(!textos.isEmpty(), "no menu opened");
        for (const char* esperado : {"&Desfazer", "&Copiar", "&Passo &abaixo"})
            QVERIFY2(textos.contains(QString::fromUtf8(esperado)), qPrintable(textos.join(" | ")));
        for (const char* ingles : {"&Undo", "&Copy", "&Paste", "Select All", "&Step up", "Step &down"})
            QVERIFY2(!textos.contains(QString::fromUtf8(ingles)), qPrintable(textos.join(" | ")));
    }
};

QTEST_MAIN(TesteTraducao)
#include "traducao_test.moc"
