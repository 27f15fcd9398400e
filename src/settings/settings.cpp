#include "settings/settings.h"

#include <algorithm>
#include <cmath>
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
    auto read = [&](std::string_view key, const std::string& def, std::size_t buffer) {
        return CutAtNul(doc.GetString(kSettingsSection, std::string(key), def, buffer));
    };

    // A value that does not convert (text, an overflow of the key's type) gives the key's
    // default: one damaged line must not stop the telescope program.
    for (std::size_t i = 0; i < kIntCount; ++i) {
        ints_[i] = TextToInteger(read(kIntKeys[i].name, intDefaults_[i], kIntReadBuffer))
                       .value_or(TextToInteger(intDefaults_[i]).value_or(0));
    }
    for (std::size_t i = 0; i < kDoubleCount; ++i) {
        doubles_[i] = TextToDouble(read(kDoubleKeys[i].name, doubleDefaults_[i], kDoubleReadBuffer))
                          .value_or(TextToDouble(doubleDefaults_[i]).value_or(0.0));
    }
    for (std::size_t i = 0; i < kStringCount; ++i) {
        strings_[i] = read(kStringKeys[i].name, stringDefaults_[i], kStringReadBuffer);
    }
    for (std::size_t i = 0; i < kLongCount; ++i) {
        longs_[i] = TextToLong(read(kLongKeys[i].name, longDefaults_[i], kLongReadBuffer))
                        .value_or(TextToLong(longDefaults_[i]).value_or(0));
    }

    for (SettingsCopyHolder* holder : copyHolders_) {
        holder->TakeSettingsCopies(*this);
    }
    return result;
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

    std::vector<std::pair<std::string, std::string>> lines;
    lines.reserve(kIntCount + kDoubleCount + kStringCount + kLongCount);
    for (SettingGroup group : {SettingGroup::Integer, SettingGroup::Double, SettingGroup::String, SettingGroup::Long}) {
        for (std::size_t i = 0; i < Count(group); ++i) {
            lines.emplace_back(std::string(Name(group, i)), ValueText(group, i));
        }
    }
    SettingsFileResult result;
    result.ok = WritePrivateProfileKeys(kSettingsSection, lines, fileName, &result.error);
    return result;
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
