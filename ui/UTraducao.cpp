#include "ui/UTraducao.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool CarregarTraducaoQt(QCoreApplication& aplicacao) {
    auto* traducao = new QTranslator(&aplicacao);
    const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    const QString pasta = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!traducao->load(brasil, QStringLiteral("qtbase"), QStringLiteral("_"), pasta) ||
        !QCoreApplication::installTranslator(traducao)) {
        delete traducao;
        return false;
    }
    return true;
}
