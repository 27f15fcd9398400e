#pragma once

// The small windows around the main window: start-up progress, welcome, about, password and
// the cancel window of long hardware procedures.

#include <QDialog>

#include "interfaces/parallel/parallel_windows.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace axo {
class Operator;
class Settings;
struct RuntimeState;
}  // namespace axo

namespace axo::ui {

inline constexpr const char* kVersionText = "Axo Version 0.65b";
inline constexpr const char* kReleaseDate = "22 avril 1998";

// Shown during start-up; the interfaces write their progress into it.
class LoadWindow : public QDialog {
    Q_OBJECT
public:
    explicit LoadWindow(QWidget* parent = nullptr);
    void SetProgress(const QString& text);

private:
    QLabel* text_;
};

class WelcomeWindow : public QDialog {
    Q_OBJECT
public:
    WelcomeWindow(Settings& settings, QWidget* parent = nullptr);
};

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);
};

class PasswordWindow : public QDialog {
    Q_OBJECT
public:
    PasswordWindow(RuntimeState& state, Operator& op, QWidget* parent = nullptr);
    static bool IsPassword(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Ok();
    RuntimeState& state_;
    Operator& op_;
    QLineEdit* text_;
};

// Modeless; the procedure that shows it keeps running and polls CancelRequested().
class CancelWindow : public QDialog, public axo::CancelWindow {
    Q_OBJECT
public:
    explicit CancelWindow(QWidget* parent = nullptr);
    void Start(const QString& message);  // CancelRequested back to false, window shown
    bool CancelRequested() const override { return cancelRequested_; }
    void Open(const std::string& message) override { Start(QString::fromStdString(message)); }
    bool IsVisible() const override { return isVisible(); }
    void Hide() override { hide(); }

    // Escape and the title bar's close button are the Cancel button: a search left running
    // with its window gone could not be stopped any more.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

public:

private:
    QLabel* message_;
    bool cancelRequested_ = false;
};

}  // namespace axo::ui
