#pragma once

// "Interface parallèle Pelaro": the maintenance panel of the parallel boards. It edits and
// sends the two count variables, starts the zero-coder searches and resets the boards.

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace axo {
class Core;
}

namespace axo::ui {

class PelaroWindow : public QDialog {
    Q_OBJECT
public:
    PelaroWindow(Core& core, QWidget* parent = nullptr);

    void Activate();
    void TransmitAlpha();
    void TransmitDelta();
    void CloseAction();
    void reject() override { CloseAction(); }  // Escape is "Fermer"
    // Called once an OK (or a transmit) has changed settings: the window writes the file.
    std::function<void()> onSettingsChanged;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Send(int16_t code);
    // A count variable (Alpha or Delta) checked, stored and sent to its card.
    void Transmit(bool alpha);
    // The field shows again what was last accepted, when its axis is on the parallel card.
    void RestoreText(bool alpha);

    Core& core_;
    QLineEdit* alpha_;
    QLineEdit* delta_;
    QString savedAlpha_;
    QString savedDelta_;
};

}  // namespace axo::ui
