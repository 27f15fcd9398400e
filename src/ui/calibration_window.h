#pragma once

// The "Calibration" window: the operator centres a known star and types its right ascension
// (or hour angle) and declination, or picks it by name from the built-in list, which fills its
// right ascension and declination of date; the checks and the calibration itself live in the core.

#include <QDialog>
#include <array>
#include <functional>
#include <string>

class QGridLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace axo {
class Core;
struct CalibrationCheck;
}

namespace axo::ui {

class TargetList;

class CalibrationWindow : public QDialog {
    Q_OBJECT
public:
    CalibrationWindow(Core& core, QWidget* parent = nullptr);

    // Fields from the settings (on every showing).
    void Activate();
    // The hours field takes a minus sign under the +-12 h display.
    void ApplyHourAngleRange();
    void CalibrateAlpha();
    void CalibrateDelta();
    void CloseAction();
    std::function<void()> onClosed;
    // Called once an OK (or a transmit) has changed settings: the window writes the file.
    std::function<void()> onSettingsChanged;
    void reject() override { CloseAction(); }  // Escape is "Fermer"
    // The hour-angle range changed: the hours field's length and the three Alpha fields.
    void ReloadAlphaFields();
    // The star chosen in the list: its right ascension and declination of date now, in the fields.
    void FillFromList();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct FieldSpec {
        const char* field;
        const char* unitName;
        const char* unit;
    };
    // Three fields with their units, then the axis's calibration button below them.
    QPushButton* FieldRow(QGridLayout* grid, int row, std::size_t first, const FieldSpec& a, const FieldSpec& b,
                          const FieldSpec& c, const char* buttonName, const QString& buttonText, QWidget* parent);
    void Restore(int first);
    // One axis's three fields (from `first`) through `calibrate`: accepted, or refused with a
    // box and put back as last accepted.
    using CalibrateFn = CalibrationCheck (*)(Core&, const std::string&, const std::string&, const std::string&);
    void Calibrate(std::size_t first, CalibrateFn calibrate);
    // What a field takes, for the message of one that holds no number ("de 0 à 59").
    std::string RangeOf(std::size_t field) const;

    Core& core_;
    std::array<QLineEdit*, 6> fields_{};  // RAh, RAm, RAs, DEd, DEm, DEs
    std::array<QString, 6> accepted_;
    QRadioButton* hourAngle_;
    QRadioButton* rightAscension_;
    TargetList* targets_;
};

}  // namespace axo::ui
