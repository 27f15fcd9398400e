#pragma once

// The "Options" dialog. Its check boxes act at once; OK applies the text fields and the site,
// unless one holds a value out of its range (said in a box; the dialog then stays open);
// Cancel puts back the texts, the site and the three display boxes as they were at opening
// (the other boxes' changes stay, as they have already acted).

#include <QDialog>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace axo {
class Core;
class SystemTimer;
}  // namespace axo

namespace axo::ui {

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    OptionsDialog(Core& core, SystemTimer& timer, QWidget* parent = nullptr);

    // Called when the +-12 h display changes, so an open calibration window can follow.
    std::function<void()> onHourAngleRangeChanged;
    // Called once an OK (or a transmit) has changed settings: the window writes the file.
    std::function<void()> onSettingsChanged;

    void Ok();
    void CancelAction();
    void reject() override { CancelAction(); }  // Escape and the close button are "Annuler"

private:
    void Fill();
    void TakeSnapshot();
    void CheckBoxAction(QCheckBox* box);
    void ApplyTextsToSettings(bool withSite);
    void ChooseSite(int index);
    // Says why a value is refused and puts `fields` back as they were at the opening.
    bool Refuse(const std::string& error, std::initializer_list<QLineEdit*> fields);
    QCheckBox* Box(const char* name, const QString& text, QWidget* parent);

    Core& core_;
    SystemTimer& timer_;
    QTabWidget* tabs_;
    std::map<QCheckBox*, int> boxSetting_;  // IntKey of the plain boxes
    std::vector<QCheckBox*> boxes_;
    std::map<QCheckBox*, bool> boxSnapshot_;
    std::vector<QLineEdit*> labels_;
    std::vector<QLineEdit*> site_;  // LonD, LonM, LonS, LatD, LatM, LatS, Altitude
    std::map<QLineEdit*, QString> textSnapshot_;
    QRadioButton* east_;
    QRadioButton* west_;
    QRadioButton* south_;
    QRadioButton* north_;
    bool eastSnapshot_ = true;
    bool southSnapshot_ = false;
    QComboBox* predef_;
    int predefSnapshot_ = 0;
    QLineEdit* interval_;
    QLineEdit* restAzimuth_;
    bool filling_ = false;
    QLineEdit* firstRefused_ = nullptr;  // where the focus goes after a refused OK
};

}  // namespace axo::ui
