#include "ui/night_log.h"

#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "astro/formulas.h"
#include "core/command_processor.h"
#include "core/core.h"
#include "platform/night_log.h"

namespace axo::ui {

QString NightLogFolder() {
    const QString dir = QString::fromStdString(NightLog::DefaultDir().string());
    QDir().mkpath(dir);
    return dir;
}

bool OpenNightLogFolder() {
    const QString dir = NightLogFolder();
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(dir))) {
        return true;
    }
    // No file manager: at least say where the files are.
    QMessageBox::information(nullptr, "Journal de la nuit", "Les journaux de nuit sont dans :\n" + dir);
    return false;
}

std::filesystem::path TonightsLogFile(const NightLog* log, const PcDateTime& now) {
    return (log != nullptr ? log->Dir() : NightLog::DefaultDir()) / NightLog::NightFileName(now);
}

std::string StartLogText(std::string_view version, bool simulated, const std::filesystem::path& settingsFile) {
    return "Démarrage d'Axo " + std::string(version) + (simulated ? ", observatoire simulé" : ", matériel") +
           ", configuration " + settingsFile.string();
}

std::string EndLogText(int exitCode) {
    return exitCode == 0 ? "Fin d'Axo" : "Fin d'Axo (code de sortie " + std::to_string(exitCode) + ")";
}

namespace {

std::string Hms(int16_t h, int16_t m, int16_t s) {
    return Fmt2(h) + "h" + Fmt2(m) + "m" + Fmt2(s) + "s";
}

std::string Dms(bool negative, int16_t d, int16_t m, int16_t s) {
    return std::string(negative ? "-" : "+") + Fmt2(std::abs(d)) + "°" + Fmt2(m) + "'" + Fmt2(s) + "\"";
}

}  // namespace

std::string PositionLogText(Core& core) {
    const Settings& s = core.settings();
    const Position& p = core.position();
    const int16_t coders = s.Int(IntKey::interface_coders);
    std::string ha = "--";
    if (CodersReadable(core.drivers(), coders, 1)) {
        const bool twelve = s.Int(IntKey::alpha_12) == 1;
        const int16_t h = p.HourAngleH;
        const int16_t m = p.HourAngleM;
        const int16_t sec = p.HourAngleS;
        if (twelve && (h > 12 || (h == 12 && (m > 0 || sec > 0)))) {
            // As the window shows it: the angle still to go to the meridian.
            int16_t h2 = 0;
            int16_t m2 = 0;
            int16_t s2 = 0;
            HoursToHms(24.0 - HmsToHours(h, m, sec), h2, m2, s2);
            ha = "-" + Hms(h2, m2, s2);
        } else {
            ha = (twelve ? "+" : "") + Hms(h, m, sec);
        }
    }
    std::string dec = "--";
    if (CodersReadable(core.drivers(), coders, 2) && !p.DeclinationOutOfRange) {
        dec = Dms(p.DeclinationNegative != 0, p.DeclinationD, p.DeclinationM, p.DeclinationS);
    }
    return "AH " + ha + ", Dec " + dec;
}

// ---- Settings changes ----------------------------------------------------------------------

namespace {

constexpr SettingGroup kGroups[] = {SettingGroup::Integer, SettingGroup::Double, SettingGroup::String,
                                    SettingGroup::Long};

// Each value as the file has it, without the blank the file puts before a number.
std::vector<std::string> AllValues(const Settings& s) {
    std::vector<std::string> values;
    for (SettingGroup g : kGroups) {
        for (std::size_t i = 0; i < Settings::Count(g); ++i) {
            std::string text = s.ValueText(g, i);
            const std::size_t first = text.find_first_not_of(' ');
            values.push_back(first == std::string::npos ? std::string() : text.substr(first));
        }
    }
    return values;
}

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Where the windows stand and whether they are open, and what the main window's own controls
// set (speed modes, declutch, manual mode: logged when clicked), are not the observer's options.
bool LeftOut(std::string_view name) {
    return OneOf(name, {"Axo_top", "Axo_left", "Calibr_top", "Calibr_left", "Track_top", "Track_left",
                        "calibr_display", "track_display", "control_mode_alpha", "control_mode_delta", "ungear",
                        "manual_mode"});
}

bool AlphaCalibration(std::string_view name) {
    return OneOf(name, {"calibr_alpha_h", "calibr_alpha_m", "calibr_alpha_s"});
}
bool DeltaCalibration(std::string_view name) {
    return OneOf(name, {"calibr_delta_d", "calibr_delta_m", "calibr_delta_s", "calibr_delta_neg_zero"});
}
// The fields as typed, which go with the calibration line when there is one.
bool AlphaCalibrationText(std::string_view name) {
    return name.substr(0, 18) == "calibr_alpha_text_";
}
bool DeltaCalibrationText(std::string_view name) {
    return name.substr(0, 18) == "calibr_delta_text_";
}

}  // namespace

SettingsChangeLog::SettingsChangeLog(Settings& settings, Writer write, std::function<std::string()> position)
    : settings_(settings), write_(std::move(write)), position_(std::move(position)), last_(AllValues(settings)) {
    settings_.RegisterCopyHolder(this);
}

SettingsChangeLog::~SettingsChangeLog() {
    settings_.UnregisterCopyHolder(this);
}

void SettingsChangeLog::TakeSettingsCopies(const Settings& settings) {
    // A file just read is the new reference: opening a file is not changing options.
    last_ = AllValues(settings);
}

void SettingsChangeLog::ReturnSettingsCopies(Settings& settings) {
    const std::vector<std::string> now = AllValues(settings);
    std::vector<std::pair<std::string_view, std::size_t>> changed;
    bool alpha = false;
    bool delta = false;
    std::size_t n = 0;
    for (SettingGroup g : kGroups) {
        for (std::size_t i = 0; i < Settings::Count(g); ++i, ++n) {
            const std::string_view name = Settings::Name(g, i);
            if (now[n] != last_[n] && !LeftOut(name)) {
                changed.emplace_back(name, n);
                alpha = alpha || AlphaCalibration(name);
                delta = delta || DeltaCalibration(name);
            }
        }
    }
    const std::vector<std::string> before = std::exchange(last_, now);
    const std::string where = position_ ? " (position affichée " + position_() + ")" : "";
    if (alpha) {
        write_("Calibration Alpha sur l'angle horaire " +
               Hms(settings.Int(IntKey::calibr_alpha_h), settings.Int(IntKey::calibr_alpha_m),
                   settings.Int(IntKey::calibr_alpha_s)) +
               where);
    }
    if (delta) {
        const int16_t d = settings.Int(IntKey::calibr_delta_d);
        write_("Calibration Delta sur la déclinaison " +
               Dms(d < 0 || settings.Int(IntKey::calibr_delta_neg_zero) == 1, d, settings.Int(IntKey::calibr_delta_m),
                   settings.Int(IntKey::calibr_delta_s)) +
               where);
    }
    for (const auto& [name, index] : changed) {
        const bool folded = (alpha && (AlphaCalibration(name) || AlphaCalibrationText(name))) ||
                            (delta && (DeltaCalibration(name) || DeltaCalibrationText(name)));
        if (!folded) {
            // The arrow and spaces make the line's three parts plain even with an empty value.
            write_(std::string(name) + " : " + before[index] + " → " + now[index]);
        }
    }
}

// ---- Boxes ---------------------------------------------------------------------------------

MessageAnswer LoggedOperator::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                          MessageButtons buttons) {
    const std::string box = "Boîte : " + title + " | " + text;
    if (buttons == MessageButtons::Ok) {
        if (write) {
            write(box);
        }
        return inner_.ShowMessage(title, text, icon, buttons);
    }
    const MessageAnswer answer = inner_.ShowMessage(title, text, icon, buttons);
    if (write) {
        write(box + (answer == MessageAnswer::Ok ? " → OK" : " → Annuler"));
    }
    return answer;
}

}  // namespace axo::ui
