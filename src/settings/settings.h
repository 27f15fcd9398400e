#pragma once

// The settings table: every persistent setting of the program, in four typed groups
// (Integer, Double, String, Long), each key at a fixed index. It is filled with the built-in
// defaults, overlaid from the settings file at start-up and on File > Open, edited in memory
// by the windows, and written back at exit and on File > Save as.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_keys.h"

namespace axo {

class Settings;
class ProfileDocument;

inline constexpr const char* kSettingsSection = "Axo";
inline constexpr const char* kSettingsFileName = "Axo.ini";

// Read-buffer sizes of each group, terminator included: longer values are cut to size - 1.
inline constexpr std::size_t kIntReadBuffer = 8;
inline constexpr std::size_t kDoubleReadBuffer = 16;
inline constexpr std::size_t kStringReadBuffer = 8;
inline constexpr std::size_t kLongReadBuffer = 16;

// The boards take a count variable v with 0 < v <= these bounds: the maintenance window refuses
// anything else, and a file holding anything else gets the default in its place.
inline constexpr double kCountAlphaMax = 255.0;
inline constexpr double kCountDeltaMax = 31.0;

// Window positions are kept in twips (1/1440 inch); 15 twips per pixel at 96 dots per inch.
inline constexpr int32_t kTwipsPerPixel = 15;

// What the window-position defaults are computed from, in twips.
struct ScreenMetrics {
    int32_t screenWidth = 1024 * kTwipsPerPixel;
    int32_t screenHeight = 768 * kTwipsPerPixel;
    int32_t mainWindowWidth = 800 * kTwipsPerPixel;
    int32_t mainWindowHeight = 600 * kTwipsPerPixel;
};

struct WindowPosition {
    int32_t top = 0;
    int32_t left = 0;
};

// Where the windows stand when the settings are written, in twips. A window that is not
// visible gives nothing, and its stored position is kept.
class WindowPositionSource {
public:
    virtual ~WindowPositionSource() = default;
    virtual std::optional<WindowPosition> MainWindowPosition() = 0;
    virtual std::optional<WindowPosition> CalibrationWindowPosition() = 0;
    virtual std::optional<WindowPosition> TrackingWindowPosition() = 0;
};

// A module that works on its own copies of some settings (the encoder card, the dome board):
// it takes them after every read of the file and gives them back before every write, so the
// file always holds the module's latest values.
class SettingsCopyHolder {
public:
    virtual ~SettingsCopyHolder() = default;
    virtual void TakeSettingsCopies(const Settings& settings) = 0;
    virtual void ReturnSettingsCopies(Settings& settings) = 0;
};

struct SettingsFileResult {
    bool ok = true;
    std::string error;  // French, for the operator, when !ok
    // French, for the message list, one problem a line (a handful at most, then a count):
    // on reading, what was missing, damaged, unusable or out of range and what is used
    // instead; on writing, values that lost characters the file's encoding cannot hold.
    std::vector<std::string> warnings;
    // The file holds something, but no section [Axo] (its header line lost, binary garbage,
    // another kind of file): nothing of it was used, and WriteSettings leaves such a file alone
    // (ok false, this flag set) unless asked to write into it all the same.
    bool sectionMissing = false;
};

enum class SettingGroup { Integer, Double, String, Long };

class Settings {
public:
    // Names and defaults are in place and every value holds its default.
    Settings();

    // Fills the names and defaults, computing the window-position defaults from the screen.
    // The current values are not touched.
    void BuildSettingsTable(const ScreenMetrics& screen);

    // Every value back to its default.
    void ResetToDefaults();

    // Reads every key from the settings file, falling back on its default when the key is
    // missing or its value unusable; then hands the copy holders their values. A missing file
    // gives the defaults; an unreadable one too, with an error to report.
    SettingsFileResult ReadSettings(const std::string& fileName);

    // Takes the window positions and the copy holders' values into the table, then writes every
    // key in one atomic replacement of the file, keeping its other sections and keys.
    // A file whose section is missing (see SettingsFileResult) is written only when
    // `evenWithoutSection` is set: the operator has been asked.
    SettingsFileResult WriteSettings(const std::string& fileName, WindowPositionSource* windows = nullptr,
                                     bool evenWithoutSection = false);

    // The table part of ReadSettings and WriteSettings, on a document in memory: every key of
    // section Axo read in one pass (the problems found, named after `fileName`, in the result's
    // warnings), or written in one pass. A value of the file that could not be used keeps its
    // line in the document as long as the default put in its place is not changed: the file
    // never silently loses what it held, and the next start reports it again.
    SettingsFileResult ReadFrom(const ProfileDocument& doc, const std::string& fileName = kSettingsFileName);
    void WriteTo(ProfileDocument& doc) const;

    // The document holds something but no section Axo, and something says it should (keys of
    // the settings elsewhere, damage): writing would bury it under defaults.
    static bool SectionMissing(const ProfileDocument& doc);

    void RegisterCopyHolder(SettingsCopyHolder* holder);
    void UnregisterCopyHolder(SettingsCopyHolder* holder);

    int16_t& Int(IntKey k) { return ints_[Index(k)]; }
    int16_t Int(IntKey k) const { return ints_[Index(k)]; }
    double& Dbl(DoubleKey k) { return doubles_[Index(k)]; }
    double Dbl(DoubleKey k) const { return doubles_[Index(k)]; }
    std::string& Str(StringKey k) { return strings_[Index(k)]; }
    const std::string& Str(StringKey k) const { return strings_[Index(k)]; }
    int32_t& Lng(LongKey k) { return longs_[Index(k)]; }
    int32_t Lng(LongKey k) const { return longs_[Index(k)]; }

    // Addressing by group and index, for code that walks the table.
    int16_t& IntAt(std::size_t i) { return ints_.at(i); }
    double& DblAt(std::size_t i) { return doubles_.at(i); }
    std::string& StrAt(std::size_t i) { return strings_.at(i); }
    int32_t& LngAt(std::size_t i) { return longs_.at(i); }

    static std::size_t Count(SettingGroup group);
    static std::string_view Name(SettingGroup group, std::size_t index);
    const std::string& DefaultText(SettingGroup group, std::size_t index) const;

    // The value as it is written to the file.
    std::string ValueText(SettingGroup group, std::size_t index) const;

private:
    template <typename E>
    static std::size_t Index(E k) {
        return static_cast<std::size_t>(k);
    }

    std::array<std::string, kIntCount> intDefaults_;
    std::array<std::string, kDoubleCount> doubleDefaults_;
    std::array<std::string, kStringCount> stringDefaults_;
    std::array<std::string, kLongCount> longDefaults_;

    std::array<int16_t, kIntCount> ints_{};
    std::array<double, kDoubleCount> doubles_{};
    std::array<std::string, kStringCount> strings_;
    std::array<int32_t, kLongCount> longs_{};

    std::vector<SettingsCopyHolder*> copyHolders_;

    // By group then index: the text of the value put in place of one the file held but that
    // could not be used (nothing when the file's value was used), and the file it was read from.
    std::array<std::optional<std::string>, kIntCount + kDoubleCount + kStringCount + kLongCount> unused_;
    std::string readPath_;
    void WriteKeys(ProfileDocument& doc, bool keepUnused) const;
};

}  // namespace axo
