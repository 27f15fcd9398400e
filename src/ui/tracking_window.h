#pragma once

// The "Suivi" window: where the telescope points, in equatorial and local coordinates, with
// the time base of the conversion. The clock tick and the polling steps write its labels.

#include <QDialog>
#include <functional>

namespace axo::ui {

class TrackingWindow : public QDialog {
    Q_OBJECT
public:
    explicit TrackingWindow(QWidget* parent = nullptr);
    // Run by "Fermer" and by the toolbar: hide, then tell the main window.
    void CloseAction();
    std::function<void()> onClosed;
    void reject() override { CloseAction(); }  // Escape is "Fermer"

protected:
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace axo::ui
