#pragma once

// "Journal de la nuit": tonight's log, read-only, following the file as lines are added so
// the observer can look back at what happened without leaving the program.

#include <QDialog>
#include <filesystem>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QTimer;

namespace axo::ui {

class NightLogWindow final : public QDialog {
    Q_OBJECT
public:
    // How often the file is looked at while the window is shown.
    static constexpr int kFollowMs = 500;

    // `file` is asked at every look: the night's file changes at noon.
    NightLogWindow(std::function<std::filesystem::path()> file, QWidget* parent = nullptr);

    // Reads what was added to the file since the last look; the whole file again when it is
    // another one, or shorter than what was read (replaced).
    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::function<std::filesystem::path()> file_;
    std::filesystem::path shown_;
    std::uintmax_t read_ = 0;  // bytes of `shown_` in the view, whole lines only
    QLabel* where_;
    QPlainTextEdit* text_;
    QTimer* follow_;
};

}  // namespace axo::ui
