#pragma once

// "Pointer un objet": the observer picks a target (by name from the built-in list, or typed as
// right ascension and declination), sees where it stands now and whether the telescope may go
// there, and sends the telescope to it or to its park position. The go-to itself, its limits
// and its stops live in the core; this window only asks and shows.

#include <QComboBox>
#include <QDialog>
#include <array>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace axo {
class Core;
struct CatalogueEntry;
}  // namespace axo

namespace axo::ui {

// The built-in targets in one editable list, grouped under the stars, the Messier objects and
// the planets with the Moon. Typing completes on any part of a name; Enter takes what FindTarget
// recognises ("vega", "m 31", "Épi"). Used by the go-to window and the calibration window.
class TargetList : public QComboBox {
    Q_OBJECT
public:
    explicit TargetList(const char* name, QWidget* parent = nullptr);
    // The entry chosen, null when the text names none.
    const CatalogueEntry* Chosen() const { return chosen_; }
    // Chooses by id or name, as if typed; false when nothing matches (the choice is cleared).
    bool Choose(const QString& idOrName);

signals:
    void targetChosen();

private:
    void TakeText();
    const CatalogueEntry* chosen_ = nullptr;
};

// Where a target is at the site now, for the go-to window.
struct TargetPlace {
    double raRad = 0.0;  // of date
    double decRad = 0.0;
    double hourAngleH = 0.0;  // signed, east negative
    double altitudeDeg = 0.0;
    double azimuthDeg = 0.0;
    std::string outside;  // "" inside the limits, else why not
};

class GotoWindow : public QDialog {
    Q_OBJECT
public:
    GotoWindow(Core& core, QWidget* parent = nullptr);

    // Reads the target, the core's state and the go-to's progress again; also done every second.
    void Refresh();
    void StartGoto();
    void StartPark();
    void StopGoto();
    void CloseAction();
    std::function<void()> onClosed;
    void reject() override { CloseAction(); }  // Escape is "Fermer"

    // The target as the window reads it: its name and its place of date, or why there is none.
    bool ReadTarget(std::string& name, double& raRad, double& decRad, std::string& problem) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ShowTarget();
    void ShowProgress();
    void ShowRefusal(const std::string& what, const std::string& reason);
    TargetPlace PlaceOf(double raRad, double decRad) const;

    Core& core_;
    QTimer* refresh_;
    bool awaitingOutcome_ = false;  // a go-to started here, its end not shown yet
    QRadioButton* byName_;
    QRadioButton* byCoordinates_;
    TargetList* list_;
    std::array<QLineEdit*, 6> fields_{};  // RA h m s, Dec ° ' "
    QComboBox* equinox_;
    QLabel* hourAngle_;
    QLabel* altitude_;
    QLabel* azimuth_;
    QLabel* airMass_;
    QLabel* equatorial_;
    QLabel* limits_;
    QLabel* state_;
    std::array<QLabel*, 2> left_{};
    std::array<QLabel*, 2> speed_{};
    QLabel* timeLeft_;
    QLabel* result_;
    QCheckBox* track_;
    QPushButton* start_;
    QPushButton* park_;
    QPushButton* stop_;
};

}  // namespace axo::ui
