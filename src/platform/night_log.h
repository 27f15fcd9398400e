#pragma once

// The night log: every message-list line, every error box and every command the observer
// gave, with its UTC date and time, in one file a night under $XDG_STATE_HOME/axo/ (default
// ~/.local/state/axo/). A night runs from noon to noon UTC, so one observing session stays in
// one file. Each line goes to the kernel as it is written, so a crash of the program loses
// nothing already logged; files older than the retention are removed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace axo {

// What a command someone gave means, in the log's words: "Alpha + : départ" rather than its
// code and argument. `detail` completes a command whose meaning lies elsewhere (the colour
// chosen in the filter list). A code the program does not know keeps its numbers.
std::string CommandLogText(int16_t code, int16_t arg, std::string_view detail = {});

class NightLog {
public:
    static constexpr int kDefaultRetentionDays = 30;

    explicit NightLog(std::filesystem::path dir, int retentionDays = kDefaultRetentionDays);
    ~NightLog();
    NightLog(const NightLog&) = delete;
    NightLog& operator=(const NightLog&) = delete;

    // $XDG_STATE_HOME/axo, or ~/.local/state/axo when it is unset or not absolute.
    static std::filesystem::path DefaultDir();
    // "axo-YYYY-MM-DD.log", the date of the noon that began the night of `utc`.
    static std::string NightFileName(const PcDateTime& utc);

    // One line "YYYY-MM-DD HH:MM:SS  text". False when the file cannot be written (said once
    // on standard error; the program goes on without its log).
    bool Write(const PcDateTime& utc, std::string_view text);

    const std::filesystem::path& Dir() const { return dir_; }
    // The file of the night last written to (empty before the first line).
    const std::filesystem::path& CurrentFile() const { return currentPath_; }

    // Removes the night files of ours older than the retention, counted from `utc`'s night.
    // Other files in the folder are left alone. Returns how many were removed.
    int RemoveOldNights(const PcDateTime& utc);

private:
    bool OpenNight(const PcDateTime& utc);

    std::filesystem::path dir_;
    int retentionDays_;
    int fd_ = -1;
    std::string currentName_;
    std::filesystem::path currentPath_;
    bool failureSaid_ = false;
};

}  // namespace axo
