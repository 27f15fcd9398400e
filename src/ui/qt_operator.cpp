#include "ui/qt_operator.h"

#include <QApplication>
#include <QAbstractButton>
#include <QDialog>
#include <QMessageBox>
#include <algorithm>
#include <cstdio>

namespace axo::ui {

MessageAnswer QtOperator::ShowMessage(const std::string& title, const std::string& given, MessageIcon icon,
                                      MessageButtons buttons) {
    std::string text = given;
    if (!firstErrorHint_.empty() && title.rfind("Erreur", 0) == 0) {
        text += "\n\n" + firstErrorHint_;
        firstErrorHint_.clear();
    }
    const MessageAnswer unanswered = buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
    if (quiet_) {
        std::string oneLine = text;
        std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
        std::fprintf(stderr, "axo : %s : %s\n", title.c_str(), oneLine.c_str());
        return unanswered;
    }
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    switch (icon) {
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::None:
            break;
    }
    if (buttons == MessageButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("Annuler"));
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setDefaultButton(QMessageBox::Ok);
    if (box.exec() == QMessageBox::Ok) {
        return MessageAnswer::Ok;
    }
    // Dismissed without a click (Escape, or the end of the program): an OK-only box has
    // nothing else to answer.
    return unanswered;
}

void QtOperator::EndQuietly() {
    quiet_ = true;
    // Innermost first: each modal window leaves the modal stack as soon as it is hidden, and
    // its exec() returns once control unwinds to it.
    for (int guard = 0; guard < 64; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            break;
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        if (QApplication::activeModalWidget() == modal) {
            modal->hide();
        }
    }
}

void QtOperator::Beep() {
    QApplication::beep();
}

void QtOperator::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

}  // namespace axo::ui
