#include "ui/qt_french.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace axo::ui {

bool InstallQtFrench(QTranslator& translator) {
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    if (!translator.load(QLocale(QLocale::French), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    QCoreApplication::installTranslator(&translator);
    return true;
}

}  // namespace axo::ui
