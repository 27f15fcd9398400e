#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
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
    SettingsFileResult result;
    ProfileDocument doc;
    if (!doc.Load(ResolveProfilePath(fileName), &result.error)) {
        result.ok = false;  // the empty document below gives every default
    }
    ReadFrom(doc, &result.warnings);
    for (SettingsCopyHolder* holder : copyHolders_) {
        holder->TakeSettingsCopies(*this);
    }
    return result;
}

void Settings::ReadFrom(const ProfileDocument& doc, std::vector<std::string>* warnings) {
    std::vector<std::string> names;
    names.reserve(kIntCount + kDoubleCount + kStringCount + kLongCount);
    for (SettingGroup group : kAllGroups) {
        for (std::size_t i = 0; i < Count(group); ++i) {
            names.emplace_back(Name(group, i));
        }
    }
    const std::vector<std::optional<std::string>> values = doc.GetMany(kSettingsSection, names);
    std::size_t n = 0;
    // The value or the default, cut to the read buffer as GetPrivateProfileString does.
    auto read = [&](const std::string& def, std::size_t buffer) {
        const std::optional<std::string>& value = values[n++];
        return CutAtNul(CutToChars(value ? *value : def, buffer - 1));
    };

    // A value that does not convert (text, an overflow of the key's type) gives the key's
    // default: one damaged line must not stop the telescope program.
    for (std::size_t i = 0; i < kIntCount; ++i) {
        ints_[i] = TextToInteger(read(intDefaults_[i], kIntReadBuffer))
                       .value_or(TextToInteger(intDefaults_[i]).value_or(0));
    }
    for (std::size_t i = 0; i < kDoubleCount; ++i) {
        const bool inFile = values[n].has_value();
        const std::string text = read(doubleDefaults_[i], kDoubleReadBuffer);
        const std::optional<double> value = TextToDouble(text);
        doubles_[i] = value.value_or(TextToDouble(doubleDefaults_[i]).value_or(0.0));
        // The count variables go to the boards as they are: one the boards cannot take is
        // reported, and the default sent instead.
        const bool alpha = i == Index(DoubleKey::count_alpha);
        if (!inFile || !(alpha || i == Index(DoubleKey::count_delta))) {
            continue;
        }
        const double limit = alpha ? kCountAlphaMax : kCountDeltaMax;
        std::string problem;
        if (!value) {
            problem = "incorrecte";
        } else if (!(*value > 0.0 && *value <= limit)) {
            problem = "hors limites (plus de 0 et au plus " + LongToText(static_cast<int32_t>(limit)) + ")";
            doubles_[i] = TextToDouble(doubleDefaults_[i]).value_or(0.0);
        }
        if (!problem.empty() && warnings != nullptr) {
            warnings->push_back(std::string(kDoubleKeys[i].name) + " = " + text + " " + problem +
                                " : valeur par défaut " + doubleDefaults_[i] + " utilisée");
        }
    }
    for (std::size_t i = 0; i < kStringCount; ++i) {
        strings_[i] = read(stringDefaults_[i], kStringReadBuffer);
    }
    for (std::size_t i = 0; i < kLongCount; ++i) {
        longs_[i] = TextToLong(read(longDefaults_[i], kLongReadBuffer))
                        .value_or(TextToLong(longDefaults_[i]).value_or(0));
    }
}

SettingsFileResult Settings::WriteSettings(const std::string& fileName, WindowPositionSource* windows) {
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
    WriteTo(doc);
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
    std::vector<std::pair<std::string, std::string>> lines;
    lines.reserve(kIntCount + kDoubleCount + kStringCount + kLongCount);
    for (SettingGroup group : kAllGroups) {
        for (std::size_t i = 0; i < Count(group); ++i) {
            std::string value = ValueText(group, i);
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
