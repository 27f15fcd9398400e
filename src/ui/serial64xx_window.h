#pragma once

// "Interface série 6420/6410": every setting of the 6420 boxes' interface on three tabs.
// OK stores what passes its check (a field that fails says so and keeps its setting), then
// either restarts the interface (the reverse and drive flags changed) or re-issues the
// running commands whose texts changed; Cancel stores nothing.

#include <QDialog>
#include <functional>
#include <map>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QTabWidget;

namespace axo {
class Core;
class S64xxDriver;
}  // namespace axo

namespace axo::ui {

class Serial64xxWindow : public QDialog {
    Q_OBJECT
public:
    // `driver` may be null (no 6420 interface in this build): then nothing recomputes the
    // tracking rate or the brake delay. `applyLayout` adapts the main window to the debug
    // settings.
    Serial64xxWindow(Core& core, S64xxDriver* driver, std::function<void()> applyLayout, QWidget* parent = nullptr);
    // Called once an OK (or a transmit) has changed settings: the window writes the file.
    std::function<void()> onSettingsChanged;

    // Form_Activate: every control from the settings.
    void Activate();
    void OkAction();
    void CancelAction();
    void reject() override { CancelAction(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildAlphaTab();
    QWidget* BuildDeltaTab();
    QWidget* BuildMiscTab();
    QLineEdit* Text(const char* name) const;
    QCheckBox* Check(const char* name) const;
    QComboBox* Combo(const char* name) const;
    void RS485Clicked();
    void Refuse(const std::string& title, bool integer);
    std::string Field(const char* name) const;
    bool Changed(std::initializer_list<const char*> names) const;

    Core& core_;
    S64xxDriver* driver_;
    std::function<void()> applyLayout_;
    QTabWidget* tabs_ = nullptr;
    bool rs485Locked_ = false;
    // What the rate and step boxes and the three flags showed at activation.
    std::map<std::string, std::string> remembered_;
    bool alphaReverse_ = false;
    bool deltaReverse_ = false;
    bool fastOnSlave_ = false;
};

}  // namespace axo::ui
