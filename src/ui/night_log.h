#pragma once

// The night log as the windows reach it: where its folder is and how the observer opens it,
// what the log says of the program's start and end, of the position, of the settings an OK
// changed and of the answers given to the boxes, and the window that shows tonight's log.

#include <QString>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/operator.h"
#include "settings/settings.h"

class QWidget;

namespace axo {
class Core;
class NightLog;
}  // namespace axo

namespace axo::ui {

// The folder of the night logs ($XDG_STATE_HOME/axo), created if needed.
QString NightLogFolder();
// Opens the folder in the desktop's file manager; false when no program could open it.
bool OpenNightLogFolder();

// The file of the night `now` belongs to, in the folder of `log` (the default folder without one).
std::filesystem::path TonightsLogFile(const NightLog* log, const PcDateTime& now);

// Vue > Journal de la nuit: the log window of `parent` (made on the first call), shown and
// raised. `file` tells which file to show; it is asked again at every look, so the window
// goes on to the next night's file at noon.
void ShowNightLogWindow(QWidget* parent, std::function<std::filesystem::path()> file);

// The first and last lines of a run. A night without the last line of a run is one where the
// program was killed or the power went.
std::string StartLogText(std::string_view version, bool simulated, const std::filesystem::path& settingsFile);
std::string EndLogText(int exitCode);

// The telescope's hour angle and declination as the main window shows them, from the last
// reading of the coders ("--" for an axis that cannot be read):
// "AH 01h02m03s, Dec +12°34'56\"".
std::string PositionLogText(Core& core);

// Writes "key : old → new" for every setting changed since the settings file was last read or
// written, each time it is written (every OK of a dialog writes it). It takes part in every
// write as the modules holding copies do, so no window has to say what it changed. A new
// calibration is one line with the position shown at that moment. The window positions and
// what the main window's own controls change (logged when they are clicked) are left out.
class SettingsChangeLog final : public SettingsCopyHolder {
public:
    using Writer = std::function<void(const std::string&)>;
    // Registered with `settings` from now on; `position` gives the position text for a
    // calibration line (none: the line has no position).
    SettingsChangeLog(Settings& settings, Writer write, std::function<std::string()> position = {});
    ~SettingsChangeLog() override;
    SettingsChangeLog(const SettingsChangeLog&) = delete;
    SettingsChangeLog& operator=(const SettingsChangeLog&) = delete;

    void TakeSettingsCopies(const Settings& settings) override;
    void ReturnSettingsCopies(Settings& settings) override;

private:
    Settings& settings_;
    Writer write_;
    std::function<std::string()> position_;
    std::vector<std::string> last_;  // every value's text, all groups in file order
};

// The operator as the night log sees it: every box, and the observer's answer to a question.
// An information or error box is written as it opens (a crash while it is open loses
// nothing); an OK/Cancel box once answered: "Boîte : title | text → OK" or "→ Annuler".
class LoggedOperator final : public Operator {
public:
    explicit LoggedOperator(Operator& inner) : inner_(inner) {}
    std::function<void(const std::string&)> write;

    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    void Beep() override { inner_.Beep(); }
    void ProcessPendingEvents() override { inner_.ProcessPendingEvents(); }

private:
    Operator& inner_;
};

}  // namespace axo::ui
