#pragma once

// "Interface codeurs EIK120": the settings of the encoder card. OK checks the base address, the
// interrupt timer and the ranges of the numbers (one refused: the window stays open and
// nothing changes), then stops the card, stores every field that reads well (each one that
// does not says so and keeps its value), applies the settings to the main window and starts
// the card again. Cancel stores nothing.

#include <QDialog>
#include <functional>
#include <map>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace axo {
class Core;
class EikDriver;
}  // namespace axo

namespace axo::ui {

class Eik120Window : public QDialog {
    Q_OBJECT
public:
    // `driver` holds the working copies (may be null: only the settings table is written);
    // `applySettings` is the main window's apply procedure (the debug layout).
    Eik120Window(Core& core, EikDriver* driver, std::function<void()> applySettings, QWidget* parent = nullptr);

    void Activate();
    void UseIrqClicked();
    // False when a refusal kept the window open.
    bool OkClicked();
    // Called once an OK (or a transmit) has changed settings: the window writes the file.
    std::function<void()> onSettingsChanged;
    void CancelClicked();
    void reject() override { CancelClicked(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Error(const std::string& text);

    Core& core_;
    EikDriver* driver_;
    std::function<void()> apply_;
    QCheckBox* useIrq_;
    QComboBox* irq_;
    QLabel* irqLabel_;
    QLineEdit* timer_;
    QLabel* timerLabel_;
    QLineEdit* base_;
    QRadioButton* axis1_;
    QRadioButton* axis2_;
    QLineEdit* alphaRes_;
    QLineEdit* deltaRes_;
    QLineEdit* timeoutInit_;
    QLineEdit* timeoutRead_;
    QCheckBox* debug_;
    std::map<QLineEdit*, QString> shown_;  // the range-checked fields as the activation filled them
};

}  // namespace axo::ui
