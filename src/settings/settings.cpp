#include "settings/settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>
#include <unordered_set>
#include <utility>

#include "astro/utils.h"
#include "platform/profile_file.h"
#include "settings/value_text.h"

namespace axo {

namespace {

template <std::size_t N>
void FillDefaults(std::array<std::string, N>& out, const std::array<KeyDefault, N>& keys) {
    for (std::size_t i = 0; i < N; ++i) {
        out[i] = std::string(keys[i].defaultText);
    }
}

constexpr SettingGroup kAllGroups[] = {SettingGroup::Integer, SettingGroup::Double, SettingGroup::String,
                                      SettingGroup::Long};

// The reader drops the blanks around a value and one pair of matching quotes: a text that
// starts or ends with a blank, or that is itself quoted, is written inside quotes so that it
// reads back unchanged.
bool NeedsQuotes(const std::string& v) {
    if (v.empty()) {
        return false;
    }
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return blank(v.front()) || blank(v.back()) ||
           (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front());
}

// What the program can do with an Integer value: the range it has a meaning in. A value of
// an interface setting outside the known numbers means "no interface" and is kept as such.
struct IntRule {
    int lo = -32768;
    int hi = 32767;
    bool keptOutside = false;
};

IntRule RuleFor(IntKey k) {
    using K = IntKey;
    switch (k) {
        case K::control_mode_alpha:
        case K::control_mode_delta:
            return {3, 5};
        case K::timer_value:
            return {1, 10000};  // 0 would stop the polling without a word
        case K::calibr_alpha_h:
            return {0, 23};
        case K::calibr_alpha_m:
        case K::calibr_alpha_s:
        case K::calibr_delta_m:
        case K::calibr_delta_s:
            return {0, 59};
        case K::longitude_m:
        case K::longitude_s:
        case K::latitude_m:
        case K::latitude_s:
            return {0, 32767};  // the Options dialog lets minutes past 59 add up (42° 75' is 43° 15')
        case K::calibr_delta_d:
        case K::latitude_d:
            return {-90, 90};
        case K::longitude_d:
            return {-180, 180};
        case K::NIC:
            return {};  // the dome board takes the low byte of any value
        case K::dome_rest_pos:
            return {0, 360};
        case K::interface_ra:
        case K::interface_de:
        case K::interface_dome:
        case K::interface_coders:
        case K::interface_focus:
        case K::interface_filter:
            return {0, 5, true};
        case K::altitude:
            return {-500, 9000};
        case K::S64xx_com_port_alpha:
        case K::S64xx_com_port_delta:
        case K::S64xx_RS485_com_port:
            return {0, 3};  // COM1: to COM4:
        case K::Eik120_irq:
            return {0, 15};
        case K::Eik120_timer_irq:
            return {10, 255};  // one byte to the card, 10 ms at least
        case K::Eik120_base_addr:
            return {1, 32767};  // an I/O port the card can sit at (0 is the DMA controller's)
        case K::S64xx_delta_brake_timer:
        case K::Eik120_timeout_init:
        case K::Eik120_timeout_read:
            return {0, 32767};
        default:
            break;
    }
    return {0, 1};  // every other Integer setting is a switch
}

// A value longer than this is no setting but damage (a program that wrote into the file, a
// disk block of another file): it is reported, and its line kept.
constexpr std::size_t kLongestSaneValue = 255;

// A value as it can be shown in a message: control characters as '?'.
std::string Shown(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

bool IsSettingName(const std::string& lowerCaseKey) {
    static const std::unordered_set<std::string> names = [] {
        std::unordered_set<std::string> out;
        for (SettingGroup g : kAllGroups) {
            for (std::size_t i = 0; i < Settings::Count(g); ++i) {
                std::string n(Settings::Name(g, i));
                for (char& c : n) {
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
                out.insert(std::move(n));
            }
        }
        return out;
    }();
    return names.count(lowerCaseKey) != 0;
}

std::string TwipsText(double twips) {
    // Positions are whole twips; the division by 2 can leave a half, rounded as a Long would be.
    return LongToText(static_cast<int32_t>(RoundHalfEven(twips)));
}

}  // namespace

Settings::Settings() {
    BuildSettingsTable(ScreenMetrics{});
    ResetToDefaults();
}

void Settings::BuildSettingsTable(const ScreenMetrics& screen) {
    FillDefaults(intDefaults_, kIntKeys);
    FillDefaults(doubleDefaults_, kDoubleKeys);
    FillDefaults(stringDefaults_, kStringKeys);
    FillDefaults(longDefaults_, kLongKeys);

    const double w = screen.screenWidth;
    const double h = screen.screenHeight;
    longDefaults_[Index(LongKey::Axo_top)] = TwipsText((h - screen.mainWindowHeight) / 2.0);
    longDefaults_[Index(LongKey::Axo_left)] = TwipsText((w - screen.mainWindowWidth) / 2.0);
    longDefaults_[Index(LongKey::Calibr_top)] = TwipsText(h / 10.0);
    longDefaults_[Index(LongKey::Calibr_left)] = TwipsText(w / 10.0);
    longDefaults_[Index(LongKey::Track_top)] = TwipsText(h / 5.0);
    longDefaults_[Index(LongKey::Track_left)] = TwipsText(w / 10.0);
}

void Settings::ResetToDefaults() {
    // The built-in defaults always convert; value_or only guards against a mistyped table.
    for (std::size_t i = 0; i < kIntCount; ++i) {
        ints_[i] = TextToInteger(intDefaults_[i]).value_or(0);
    }
    for (std::size_t i = 0; i < kDoubleCount; ++i) {
        doubles_[i] = TextToDouble(doubleDefaults_[i]).value_or(0.0);
    }
    for (std::size_t i = 0; i < kStringCount; ++i) {
        strings_[i] = stringDefaults_[i];
    }
    for (std::size_t i = 0; i < kLongCount; ++i) {
        longs_[i] = TextToLong(longDefaults_[i]).value_or(0);
    }
}

SettingsFileResult Settings::ReadSettings(const std::string& fileName) {
    ProfileDocument doc;
    std::string error;
    const std::filesystem::path path = ResolveProfilePath(fileName);
    const bool loaded = doc.Load(path, &error);  // when not, the empty document gives every default
    SettingsFileResult result = ReadFrom(doc, path.filename().string());
    readPath_ = path.string();
    if (!loaded) {
        result.ok = false;
        result.error = error;
    }
    for (SettingsCopyHolder* holder : copyHolders_) {
        holder->TakeSettingsCopies(*this);
    }
    return result;
}

bool Settings::SectionMissing(const ProfileDocument& doc) {
    if (doc.HasSection(kSettingsSection) || doc.IsBlank()) {
        return false;
    }
    const std::vector<ProfileKeyLine> keys = doc.KeyLines();
    return doc.Inspect().Any() ||
           std::any_of(keys.begin(), keys.end(), [](const ProfileKeyLine& k) { return IsSettingName(k.key); });
}

SettingsFileResult Settings::ReadFrom(const ProfileDocument& doc, const std::string& fileName) {
    SettingsFileResult result;
    const std::string file = fileName.empty() ? std::string(kSettingsFileName) : fileName;
    std::vector<std::string> fileProblems;  // about the file as a whole, said first
    std::vector<std::string> keyProblems;
    unused_.fill(std::nullopt);

    const ProfileDamage damage = doc.Inspect();
    if (damage.nulChars + damage.controlChars > 0) {
        fileProblems.push_back(file + " endommagé : " + std::to_string(damage.nulChars + damage.controlChars) +
                               " caractères nuls ou de contrôle");
    }
    if (damage.oddUtf16) {
        fileProblems.push_back(file + " tronqué : UTF-16 de longueur impaire");
    }
    if (!damage.unreadableLines.empty()) {
        const std::size_t first = damage.unreadableLines.front();
        fileProblems.push_back(file + " : " + std::to_string(damage.unreadableLines.size()) +
                               " ligne(s) incompréhensible(s) ignorée(s), dont la ligne " + std::to_string(first) +
                               " « " + Shown(CutToChars(doc.LineText(first), 30)) + " »");
    }
    result.sectionMissing = SectionMissing(doc);
    if (result.sectionMissing) {
        std::size_t elsewhere = 0;
        for (const ProfileKeyLine& k : doc.KeyLines()) {
            elsewhere += IsSettingName(k.key) ? 1 : 0;
        }
        fileProblems.insert(fileProblems.begin(),
                            file + " : section [Axo] introuvable" +
                                (elsewhere > 0 ? " (" + std::to_string(elsewhere) + " réglages hors de la section)"
                                               : std::string()) +
                                ", aucun réglage lu : valeurs par défaut utilisées ; le fichier ne sera pas "
                                "modifié sans votre accord");
    }

    std::vector<std::string> names;
    names.reserve(unused_.size());
    for (SettingGroup group : kAllGroups) {
        for (std::size_t i = 0; i < Count(group); ++i) {
            names.emplace_back(Name(group, i));
        }
    }
    const std::vector<std::optional<std::string>> values = doc.GetMany(kSettingsSection, names);
    std::size_t missing = 0;
    std::vector<std::string> missingNames;

    // Every key goes through here: the value read (cut to its buffer as GetPrivateProfileString
    // does), or the default; a value that cannot be used gives the default, and is reported.
    std::size_t n = 0;
    for (SettingGroup group : kAllGroups) {
        const std::size_t buffer = group == SettingGroup::Integer  ? kIntReadBuffer
                                   : group == SettingGroup::Double ? kDoubleReadBuffer
                                   : group == SettingGroup::String ? kStringReadBuffer
                                                                   : kLongReadBuffer;
        for (std::size_t i = 0; i < Count(group); ++i, ++n) {
            const std::string& def = DefaultText(group, i);
            const std::string name(Name(group, i));
            const std::optional<std::string>& raw = values[n];
            if (!raw) {
                if (doc.HasSection(kSettingsSection)) {
                    ++missing;
                    if (missingNames.size() < 3) {
                        missingNames.push_back(name);
                    }
                }
            }
            const std::string text = CutAtNul(CutToChars(raw ? *raw : def, buffer - 1));
            std::string problem;  // what is wrong with the file's value
            bool useDefault = false;
            switch (group) {
                case SettingGroup::Integer: {
                    const std::optional<int16_t> v = TextToInteger(text);
                    const IntRule rule = RuleFor(static_cast<IntKey>(i));
                    if (!v) {
                        problem = "incorrecte";
                        useDefault = true;
                    } else if (*v < rule.lo || *v > rule.hi) {
                        problem = "hors limites (" + std::to_string(rule.lo) + " à " + std::to_string(rule.hi) + ")";
                        useDefault = !rule.keptOutside;
                    }
                    ints_[i] = useDefault || !v ? TextToInteger(def).value_or(0) : *v;
                    if (!problem.empty() && rule.keptOutside) {
                        problem = "inconnue : aucune interface (1 parallèle, 2 EIK120, 3 64xx, 4 Talvene, 0 ou 5 "
                                  "aucune)";
                    }
                    break;
                }
                case SettingGroup::Double: {
                    const std::optional<double> v = TextToDouble(text);
                    // The count variables go to the boards as they are: bounds the boards take.
                    const bool alpha = i == Index(DoubleKey::count_alpha);
                    const bool count = alpha || i == Index(DoubleKey::count_delta);
                    const double limit = alpha ? kCountAlphaMax : kCountDeltaMax;
                    if (!v) {
                        problem = "incorrecte";
                        useDefault = true;
                    } else if (count && !(*v > 0.0 && *v <= limit)) {
                        problem = "hors limites (plus de 0 et au plus " + LongToText(static_cast<int32_t>(limit)) + ")";
                        useDefault = true;
                    }
                    doubles_[i] = useDefault ? TextToDouble(def).value_or(0.0) : *v;
                    break;
                }
                case SettingGroup::String:
                    strings_[i] = text;
                    break;
                case SettingGroup::Long: {
                    const std::optional<int32_t> v = TextToLong(text);
                    if (!v) {
                        problem = "incorrecte";
                        useDefault = true;
                    } else if (i == Index(LongKey::alpha_track_period) && *v < 1) {
                        problem = "hors limites (au moins 1)";
                        useDefault = true;
                    }
                    longs_[i] = useDefault ? TextToLong(def).value_or(0) : *v;
                    break;
                }
            }
            if (!raw) {
                continue;  // a missing key is counted above, its default is no fault
            }
            if (raw->size() > kLongestSaneValue) {
                keyProblems.push_back(name + " : valeur anormalement longue (" + std::to_string(raw->size()) +
                                      " octets), fichier endommagé ? " +
                                      (useDefault ? "Valeur par défaut " + def + " utilisée"
                                                  : "Seuls ses " + std::to_string(buffer - 1) +
                                                        " premiers caractères sont lus"));
                unused_[n] = ValueText(group, i);
            } else if (!problem.empty()) {
                keyProblems.push_back(name + " = " + Shown(text) + " " + problem +
                                      (useDefault ? " : valeur par défaut " + def + " utilisée" : std::string()));
                if (useDefault) {
                    unused_[n] = ValueText(group, i);
                }
            }
        }
    }
    if (missing > 0) {
        std::string list;
        for (const std::string& m : missingNames) {
            list += (list.empty() ? "" : ", ") + m;
        }
        keyProblems.push_back(file + " : " + std::to_string(missing) + " réglage(s) absent(s) de la section [Axo]" +
                              (missing > 10 ? " (fichier tronqué ?)" : "") + ", valeurs par défaut utilisées : " +
                              list + (missing > missingNames.size() ? "…" : ""));
    }

    // A handful of lines, then how many more: a file of garbage must not flood the list.
    constexpr std::size_t kShown = 5;
    std::vector<std::string> all = std::move(fileProblems);
    all.insert(all.end(), keyProblems.begin(), keyProblems.end());
    if (all.size() > kShown + 1) {
        const std::size_t rest = all.size() - kShown;
        all.resize(kShown);
        all.push_back("… et " + std::to_string(rest) + " autres problèmes dans " + file);
    }
    result.warnings = std::move(all);
    return result;
}

SettingsFileResult Settings::WriteSettings(const std::string& fileName, WindowPositionSource* windows,
                                           bool evenWithoutSection) {
    if (windows != nullptr) {
        if (const auto main = windows->MainWindowPosition()) {
            Lng(LongKey::Axo_top) = main->top;
            Lng(LongKey::Axo_left) = main->left;
        }
        if (const auto calibr = windows->CalibrationWindowPosition()) {
            Lng(LongKey::Calibr_top) = calibr->top;
            Lng(LongKey::Calibr_left) = calibr->left;
        }
        if (const auto track = windows->TrackingWindowPosition()) {
            Lng(LongKey::Track_top) = track->top;
            Lng(LongKey::Track_left) = track->left;
        }
    }
    for (SettingsCopyHolder* holder : copyHolders_) {
        holder->ReturnSettingsCopies(*this);
    }

    SettingsFileResult result;
    const std::filesystem::path path = ResolveProfilePath(fileName);
    ProfileDocument doc;
    // A file that exists but cannot be read must not be replaced by one holding only our keys.
    if (!doc.Load(path, &result.error)) {
        result.ok = false;
        return result;
    }
    // Written without asking, a file that lost its header line, or garbage, would get a section
    // of defaults appended, and what it held would be ignored for good.
    if (!evenWithoutSection && SectionMissing(doc)) {
        result.ok = false;
        result.sectionMissing = true;
        result.error = path.string() + " ne contient pas de section [Axo] (fichier endommagé ou d'un autre type) : il "
                                       "n'a pas été modifié";
        return result;
    }
    // Lines the program could not use stay as they are, in the file they were read from.
    WriteKeys(doc, path.string() == readPath_);
    std::vector<std::string> lossy;
    result.ok = doc.Save(path, &result.error, &lossy);
    if (result.ok) {
        for (const std::string& key : lossy) {
            result.warnings.push_back(key + " : caractères absents du codage Windows-1252 du fichier, écrits « ? »");
        }
    }
    return result;
}

void Settings::WriteTo(ProfileDocument& doc) const {
    WriteKeys(doc, true);
}

void Settings::WriteKeys(ProfileDocument& doc, bool keepUnused) const {
    std::vector<std::pair<std::string, std::string>> lines;
    lines.reserve(kIntCount + kDoubleCount + kStringCount + kLongCount);
    std::size_t n = 0;
    for (SettingGroup group : kAllGroups) {
        for (std::size_t i = 0; i < Count(group); ++i, ++n) {
            std::string value = ValueText(group, i);
            if (keepUnused && unused_[n] && *unused_[n] == value) {
                continue;  // still the default put in place of the file's value
            }
            if (group == SettingGroup::String && NeedsQuotes(value)) {
                value = '"' + value + '"';
            }
            lines.emplace_back(std::string(Name(group, i)), std::move(value));
        }
    }
    doc.SetMany(kSettingsSection, lines);
}

void Settings::RegisterCopyHolder(SettingsCopyHolder* holder) {
    if (holder != nullptr && std::find(copyHolders_.begin(), copyHolders_.end(), holder) == copyHolders_.end()) {
        copyHolders_.push_back(holder);
    }
}

void Settings::UnregisterCopyHolder(SettingsCopyHolder* holder) {
    copyHolders_.erase(std::remove(copyHolders_.begin(), copyHolders_.end(), holder), copyHolders_.end());
}

std::size_t Settings::Count(SettingGroup group) {
    switch (group) {
        case SettingGroup::Integer:
            return kIntCount;
        case SettingGroup::Double:
            return kDoubleCount;
        case SettingGroup::String:
            return kStringCount;
        case SettingGroup::Long:
            return kLongCount;
    }
    return 0;
}

std::string_view Settings::Name(SettingGroup group, std::size_t index) {
    switch (group) {
        case SettingGroup::Integer:
            return kIntKeys.at(index).name;
        case SettingGroup::Double:
            return kDoubleKeys.at(index).name;
        case SettingGroup::String:
            return kStringKeys.at(index).name;
        case SettingGroup::Long:
            return kLongKeys.at(index).name;
    }
    return {};
}

const std::string& Settings::DefaultText(SettingGroup group, std::size_t index) const {
    switch (group) {
        case SettingGroup::Integer:
            return intDefaults_.at(index);
        case SettingGroup::Double:
            return doubleDefaults_.at(index);
        case SettingGroup::String:
            return stringDefaults_.at(index);
        case SettingGroup::Long:
            break;
    }
    return longDefaults_.at(index);
}

std::string Settings::ValueText(SettingGroup group, std::size_t index) const {
    switch (group) {
        case SettingGroup::Integer:
            return IntegerToText(ints_.at(index));
        case SettingGroup::Double:
            return DoubleToText(doubles_.at(index));
        case SettingGroup::String:
            return strings_.at(index);
        case SettingGroup::Long:
            break;
    }
    return LongToText(longs_.at(index));
}

}  // namespace axo
