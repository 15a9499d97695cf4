#include "ui/UFonte.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

QString Familia() {
    static const QString familia = [] {
        const QStringList preferidas = {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                                        QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                        QStringLiteral("DejaVu Sans")};
        const QStringList instaladas = QFontDatabase::families();
        for (const QString& f : preferidas) {
            if (instaladas.contains(f, Qt::CaseInsensitive)) return f;
        }
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return familia;
}

}  // namespace

QFont FonteJanela(int pontos, bool negrito, bool italico) {
    QFont fonte(Familia());
    fonte.setStyleHint(QFont::SansSerif);
    fonte.setPixelSize((pontos * 96 + 36) / 72);  // 8 pt -> 11 px, 9 pt -> 12 px
    fonte.setBold(negrito);
    fonte.setItalic(italico);
    return fonte;
}
