#pragma once

// Settings files in the Windows "private profile" (ini) format, with the semantics existing
// Axo.ini files were written under: case-insensitive section and key names, the first of
// duplicated sections or keys wins, everything the program does not touch (other sections,
// other keys, comments, blank lines) survives a write, and a write replaces the whole file
// atomically so that a crash or a full disk never leaves a truncated settings file.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace axo {

// Resolves a settings file name: a name without a directory lives in the user's configuration
// folder ($XDG_CONFIG_HOME/axo, by default ~/.config/axo), which is created when missing.
std::filesystem::path ResolveProfilePath(const std::string& fileName);

// The folder used for names without a directory.
std::filesystem::path ProfileDirectory();

// Decodes file bytes as UTF-8, or as Latin-1 when they are not valid UTF-8 (files written by
// the original Windows program use a single-byte Western code page).
std::string DecodeProfileBytes(const std::string& bytes);

// Cuts `text` to at most `maxChars` characters, never splitting a UTF-8 sequence.
std::string CutToChars(const std::string& text, std::size_t maxChars);

// One profile file held in memory, line by line, so that a write changes only the lines it must.
class ProfileDocument {
public:
    // Reads a file. A missing file gives an empty document and returns true; a file that exists
    // but cannot be read returns false with `error` set (the document is then empty).
    bool Load(const std::filesystem::path& path, std::string* error = nullptr);

    void Parse(const std::string& utf8Text);

    // The value of `key` in `section`, blanks around it removed, or nothing when absent.
    std::optional<std::string> Get(const std::string& section, const std::string& key) const;

    // What GetPrivateProfileString gives for this document: the value or the default, cut to
    // bufferSize - 1 characters.
    std::string GetString(const std::string& section, const std::string& key, const std::string& defaultValue,
                          std::size_t bufferSize) const;

    // Creates or replaces one key=value line; creates the section at the end when missing.
    void Set(const std::string& section, const std::string& key, const std::string& value);

    std::string Serialize() const;

    // Writes the document to `path` through a temporary file in the same folder and a rename.
    // On failure the previous file is untouched and `error` tells why.
    bool Save(const std::filesystem::path& path, std::string* error = nullptr) const;

    const std::vector<std::string>& Lines() const { return lines_; }

private:
    struct Span {
        std::size_t begin = 0;  // index of the section header line
        std::size_t end = 0;    // one past the last line of the section
    };
    std::optional<Span> FindSection(const std::string& section) const;

    std::vector<std::string> lines_;
    bool crlf_ = false;
    bool finalNewline_ = true;
};

// GetPrivateProfileString: the value or `defaultValue`, cut to bufferSize - 1 characters.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t bufferSize,
                                    const std::string& fileName);

// WritePrivateProfileString: creates or replaces one key=value line. Returns false (with
// `error`) when the file could not be written; the previous file is then kept.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& fileName,
                               std::string* error = nullptr);

// Writes many keys of one section in a single atomic replacement of the file.
bool WritePrivateProfileKeys(const std::string& section,
                             const std::vector<std::pair<std::string, std::string>>& keyValues,
                             const std::string& fileName, std::string* error = nullptr);

}  // namespace axo
