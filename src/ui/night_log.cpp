#include "ui/night_log.h"

#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QUrl>

#include "platform/night_log.h"

namespace axo::ui {

QString NightLogFolder() {
    const QString dir = QString::fromStdString(NightLog::DefaultDir().string());
    QDir().mkpath(dir);
    return dir;
}

bool OpenNightLogFolder() {
    const QString dir = NightLogFolder();
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(dir))) {
        return true;
    }
    // No file manager: at least say where the files are.
    QMessageBox::information(nullptr, "Journal de la nuit", "Les journaux de nuit sont dans :\n" + dir);
    return false;
}

}  // namespace axo::ui
