#include "ui/night_log_window.h"

#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/form_kit.h"
#include "ui/night_log.h"

namespace axo::ui {

NightLogWindow::NightLogWindow(std::function<std::filesystem::path()> file, QWidget* parent)
    : QDialog(parent), file_(std::move(file)) {
    setObjectName("NightLog");
    setWindowTitle("Journal de la nuit");
    auto* layout = new QVBoxLayout(this);
    where_ = NamedLabel("lblNightLogFile", "", this);
    where_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(where_);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName("txtNightLog");
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setPlaceholderText("Rien n'est encore écrit pour cette nuit.");
    layout->addWidget(text_, 1);
    QPushButton* folder = NamedButton("cmdNightLogFolder", "Ouvrir le &dossier", this);
    QPushButton* close = NamedButton("cmdNightLogClose", "&Fermer", this);
    AddButtonRow(layout, {folder, close});
    connect(folder, &QPushButton::clicked, this, [] { OpenNightLogFolder(); });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    resize(760, 420);

    // A timer rather than a file watcher: the file of the night appears, changes name at noon
    // and is appended to by this very program, and a look twice a second is all it costs.
    follow_ = new QTimer(this);
    follow_->setObjectName("tmrNightLogFollow");
    follow_->setInterval(kFollowMs);
    connect(follow_, &QTimer::timeout, this, &NightLogWindow::Refresh);
}

void NightLogWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Refresh();
    follow_->start();
}

void NightLogWindow::hideEvent(QHideEvent* event) {
    follow_->stop();
    QDialog::hideEvent(event);
}

void NightLogWindow::Refresh() {
    const std::filesystem::path path = file_();
    QFile file(QString::fromStdString(path.string()));
    const bool open = file.open(QIODevice::ReadOnly);
    if (path != shown_ || (open && static_cast<std::uintmax_t>(file.size()) < read_)) {
        shown_ = path;
        read_ = 0;
        text_->clear();
        where_->setText(QString::fromStdString(path.string()));
    }
    if (!open || static_cast<std::uintmax_t>(file.size()) == read_) {
        return;
    }
    file.seek(static_cast<qint64>(read_));
    QByteArray added = file.readAll();
    // Whole lines only: a line being written is taken at the next look.
    added.truncate(added.lastIndexOf('\n') + 1);
    if (added.isEmpty()) {
        return;
    }
    read_ += static_cast<std::uintmax_t>(added.size());
    added.chop(1);
    // Following the end only while the observer is at the end: reading back up stays put.
    QScrollBar* bar = text_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor end(text_->document());
    end.movePosition(QTextCursor::End);
    if (!text_->document()->isEmpty()) {
        end.insertBlock();
    }
    end.insertText(QString::fromUtf8(added));
    if (atEnd) {
        bar->setValue(bar->maximum());
    }
}

void ShowNightLogWindow(QWidget* parent, std::function<std::filesystem::path()> file) {
    auto* window = parent != nullptr ? parent->findChild<NightLogWindow*>("NightLog", Qt::FindDirectChildrenOnly)
                                     : nullptr;
    if (window == nullptr) {
        // A window of its own beside the main one, not a part of it.
        window = new NightLogWindow(std::move(file), parent);
        window->setWindowFlag(Qt::Window);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace axo::ui
