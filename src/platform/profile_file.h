#pragma once

// Settings files in the Windows "private profile" (ini) format, with the semantics existing
// Axo.ini files were written under: case-insensitive section and key names, the first of
// duplicated sections or keys wins, everything the program does not touch (other sections,
// other keys, comments, blank lines, line ends, bytes in any encoding) survives a write byte
// for byte, and a write replaces the whole file atomically so that a crash or a full disk
// never leaves a truncated settings file.
//
// Encodings. The original Windows program reads and writes the file in the Western code page,
// Windows-1252; files edited on Linux are usually UTF-8, sometimes with a byte-order mark.
//  - A file that starts with the UTF-8 byte-order mark is UTF-8; the mark is kept on writing.
//    (Bytes that are not UTF-8 in such a file are read as Windows-1252.)
//  - Otherwise a file that is valid UTF-8 is UTF-8, and any other file is Windows-1252. The
//    five bytes Windows-1252 leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) stand for the control
//    characters of the same number, so every byte string decodes and encodes back unchanged.
//  - A file is written back in the encoding it was read in. In a Windows-1252 file a character
//    that code page cannot hold is written as '?', and the key is reported (Save's `lossy`).
//  - A file that starts with a UTF-16 byte-order mark (FF FE little-endian, FE FF big-endian,
//    as Windows editors save "Unicode" text) is UTF-16 and is written back in UTF-16 with the
//    same mark: a program line is never appended in another encoding. Code units that do not
//    pair up, and a last odd byte, are kept as they are.
//  - A new file, or one holding only ASCII, is written in Windows-1252 (what the Windows
//    program reads) unless a value needs a character Windows-1252 lacks; it is then UTF-8,
//    without byte-order mark (which would hide the first section from the Windows program).
//
// Line ends: LF, CR LF and a lone CR each end a line; each line keeps its own, and lines the
// program adds take the file's first one (LF in a new file).
//
// Cost: loading, looking keys up in bulk (GetMany), changing them in bulk (SetMany) and
// serialising are each linear in the size of the file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace axo {

// Resolves a settings file name: a name without a directory lives in the user's configuration
// folder ($XDG_CONFIG_HOME/axo, by default ~/.config/axo), which is created when missing.
std::filesystem::path ResolveProfilePath(const std::string& fileName);

// The folder used for names without a directory.
std::filesystem::path ProfileDirectory();

enum class ProfileEncoding {
    Ascii,        // nothing above 0x7F yet: the encoding is chosen when something needs it
    Utf8,
    Utf8Bom,
    Windows1252,
    Utf16Le,  // with its byte-order mark
    Utf16Be,
};

// What the bytes of a whole file are, by the rules above.
ProfileEncoding DetectProfileEncoding(std::string_view bytes);

// Windows-1252 bytes to UTF-8, one character per byte.
std::string DecodeWindows1252(std::string_view bytes);

// UTF-8 to Windows-1252; a character without a byte becomes '?' and sets *lossy (when given).
// Bytes that are not UTF-8 are taken as Windows-1252 already and kept.
std::string EncodeWindows1252(std::string_view utf8, bool* lossy = nullptr);

// Valid UTF-8 kept as it is; any byte that does not start a valid sequence is read as
// Windows-1252. The result is always valid UTF-8.
std::string ToValidUtf8(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

// Decodes the bytes of a whole file to UTF-8 (byte-order mark dropped) by the rules above.
std::string DecodeProfileBytes(std::string_view bytes);

// UTF-16 with a byte-order mark: FF FE (little-endian) or FE FF (big-endian).
bool StartsWithUtf16Bom(std::string_view bytes);

// Cuts `text` to at most `maxChars` characters, never splitting a UTF-8 sequence.
std::string CutToChars(const std::string& text, std::size_t maxChars);

// What in a file is not profile text. The reader skips it; the callers say so.
struct ProfileDamage {
    std::size_t nulChars = 0;      // NUL characters (a file of zeros, UTF-16 without its mark)
    std::size_t controlChars = 0;  // other control characters than tab and line ends: binary data
    bool oddUtf16 = false;         // a UTF-16 file with an odd number of bytes: cut short
    // Lines (1-based) that are neither blank, a comment, a [section] header nor key=value.
    std::vector<std::size_t> unreadableLines;
    bool Any() const { return nulChars + controlChars > 0 || oddUtf16 || !unreadableLines.empty(); }
};

// One key line of a file: its line (1-based), the section it stands in ("" before the first
// header) and its key, both in lower case.
struct ProfileKeyLine {
    std::size_t line = 0;
    std::string section;
    std::string key;
};

// One profile file held in memory: its bytes and an index of its lines, so that a write
// changes only the lines it must.
class ProfileDocument {
public:
    // Reads a file. A missing file gives an empty document and returns true; a file that exists
    // but cannot be read returns false with `error` set (the document is then empty).
    bool Load(const std::filesystem::path& path, std::string* error = nullptr);

    // Takes the raw bytes of a file.
    void Parse(std::string bytes);

    // The value of `key` in `section` (UTF-8, blanks around it and one pair of matching quotes
    // removed), or nothing when absent.
    std::optional<std::string> Get(const std::string& section, const std::string& key) const;

    // Get for many keys of one section in one pass over it.
    std::vector<std::optional<std::string>> GetMany(const std::string& section,
                                                    const std::vector<std::string>& keys) const;

    // What GetPrivateProfileString gives for this document: the value or the default, cut to
    // bufferSize - 1 characters.
    std::string GetString(const std::string& section, const std::string& key, const std::string& defaultValue,
                          std::size_t bufferSize) const;

    // Creates or replaces one key=value line (value in UTF-8, cut at a line break); a new key
    // goes after the section's last non-blank line; a missing section is created at the end.
    void Set(const std::string& section, const std::string& key, const std::string& value);

    // Set for many keys of one section in one pass over it, in order.
    void SetMany(const std::string& section, const std::vector<std::pair<std::string, std::string>>& keyValues);

    // The file's bytes. `lossy` receives the keys whose values lost characters the file's
    // encoding cannot hold.
    std::string Serialize(std::vector<std::string>* lossy = nullptr) const;

    // Writes the document to `path` through a temporary file in the same folder and a rename.
    // On failure the previous file is untouched and `error` tells why.
    bool Save(const std::filesystem::path& path, std::string* error = nullptr,
              std::vector<std::string>* lossy = nullptr) const;

    // What of the file is not profile text (linear in its size).
    ProfileDamage Inspect() const;
    // Every key line of the file, in order, whatever section it stands in.
    std::vector<ProfileKeyLine> KeyLines() const;
    bool HasSection(const std::string& section) const { return FindSection(section) != nullptr; }
    // The text of line `number` (1-based) in UTF-8, or "" past the end.
    std::string LineText(std::size_t number) const;
    // No line holds anything but blanks.
    bool IsBlank() const;

    ProfileEncoding Encoding() const { return encoding_; }
    std::size_t LineCount() const { return lines_.size(); }

private:
    enum class Eol : uint8_t { None, Lf, CrLf, Cr };
    struct Line {
        std::size_t begin = 0;  // offset in bytes_, or index in owned_ when owned
        std::size_t size = 0;
        Eol eol = Eol::None;
        bool owned = false;  // replaced by the program: UTF-8 text in owned_
    };
    struct Section {
        std::string name;                // as the program first asked for it (new sections)
        std::size_t header = SIZE_MAX;   // line of the header, SIZE_MAX for a new section
        std::size_t end = 0;             // one past its last line
        std::size_t insertAt = 0;        // where its new keys go
        std::vector<std::string> added;  // new key lines, UTF-8
    };
    // A key line: a line of the file (added == false) or one of a section's new lines.
    struct LineRef {
        bool added = false;
        std::size_t index = 0;
    };

    std::string_view RawText(const Line& line) const;
    std::string LineUtf8(const Line& line) const;
    // The key of a key line, decoded and in lower case, into `out`; false for other lines.
    bool KeyOfLine(std::string_view text, bool raw, std::string& out) const;
    const Section* FindSection(const std::string& section) const;
    Section& SectionFor(const std::string& section);
    template <typename Fn>
    void ScanKeys(const Section& sec, Fn&& onKey) const;

    std::string bytes_;
    std::vector<Line> lines_;
    std::vector<std::string> owned_;
    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> sectionIndex_;  // lower-case name -> sections_
    ProfileEncoding encoding_ = ProfileEncoding::Ascii;
    bool bom_ = false;
    std::string utf16Tail_;  // the odd last byte of a UTF-16 file
    Eol eol_ = Eol::Lf;
};

// Removes what a save of `fileName` (resolved like ResolveProfilePath, through a symbolic
// link) killed between creating its temporary file and renaming it left behind. Only files
// of the exact name a save creates, in the same folder, owned by this user, regular, and not
// locked by a save in progress (every save holds a lock on its temporary file) are removed.
// Returns how many were removed.
std::size_t RemoveStaleSaveFiles(const std::string& fileName);

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
                             const std::string& fileName, std::string* error = nullptr,
                             std::vector<std::string>* lossy = nullptr);

}  // namespace axo
