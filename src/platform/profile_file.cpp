#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/write_all.h"

namespace axo {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Windows-1252 0x80..0x9F. The five bytes the code page leaves undefined map to the control
// characters of the same number, so that any byte decodes and encodes back to itself.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void LowerInPlace(std::string& s) {
    for (char& c : s) {
        c = AsciiLower(c);
    }
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlank(s[b])) {
        ++b;
    }
    while (e > b && IsBlank(s[e - 1])) {
        --e;
    }
    return s.substr(b, e - b);
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A header line "[name]" gives the name; anything else gives nothing.
std::optional<std::string_view> SectionName(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = t.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(t.substr(1, close - 1));
}

bool IsCommentLine(std::string_view line) {
    const std::string_view t = Trim(line);
    return !t.empty() && (t.front() == ';' || t.front() == '#');
}

std::string ValueOf(std::string_view line) {
    std::string_view v = Trim(line.substr(line.find('=') + 1));
    // Like the Windows reader, one pair of matching quotes around a value is not part of it.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(v);
}

// A value must stay on its line: a line break inside it would create lines nobody wrote.
std::string_view OneLine(std::string_view s) {
    const std::size_t cut = s.find_first_of("\r\n");
    return cut == std::string_view::npos ? s : s.substr(0, cut);
}

// How a section or key name is compared: valid UTF-8, one line, no blanks around, lower case.
std::string NormalName(std::string_view name) {
    std::string out = ToValidUtf8(OneLine(Trim(name)));
    LowerInPlace(out);
    return out;
}

// Length of the valid UTF-8 sequence at s[i], or 0 when none starts there.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07u;
    } else {
        return 0;
    }
    if (i + len > s.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (cc & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        return 0;
    }
    return len;
}

char32_t DecodeUtf8At(std::string_view s, std::size_t i, std::size_t len) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (len == 1) {
        return c;
    }
    char32_t cp = c & (len == 2 ? 0x1Fu : len == 3 ? 0x0Fu : 0x07u);
    for (std::size_t k = 1; k < len; ++k) {
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    }
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

char32_t Cp1252ToCodePoint(unsigned char b) {
    return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b;
}

std::optional<unsigned char> CodePointToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<unsigned char>(cp);
    }
    for (unsigned i = 0; i < 32; ++i) {
        if (kCp1252High[i] == cp) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

bool FitsWindows1252(std::string_view utf8) {
    bool lossy = false;
    EncodeWindows1252(utf8, &lossy);
    return !lossy;
}

std::string ErrnoText(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + " : " + std::strerror(errno);
}

// The file a save of `requested` replaces: the target of a symbolic link, not the link.
fs::path SaveTarget(const fs::path& requested) {
    std::error_code ec;
    if (fs::is_symlink(requested, ec)) {
        const fs::path target = fs::read_symlink(requested, ec);
        if (!ec) {
            return target.is_absolute() ? target : requested.parent_path() / target;
        }
    }
    return requested;
}

fs::path FolderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// The temporary files of a save of `path` are named ".NAME.XXXXXX" (mkstemp's six letters).
std::string SaveTempPrefix(const fs::path& path) {
    return "." + path.filename().string() + ".";
}

bool IsSaveTempName(const std::string& name, const std::string& prefix) {
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int FlockRetry(int fd, int op) {
    int rc = 0;
    do {
        rc = ::flock(fd, op);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// Creates the temporary file of a save and locks it, so that RemoveStaleSaveFiles run by
// another instance never takes it for a leftover. That cleaner may still catch the file in
// the instant between its creation and the lock; the name then no longer leads to our file,
// and we start again with a new one.
int CreateLockedTemp(const fs::path& dir, const std::string& prefix, std::string& nameOut) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string tmpl = (dir / (prefix + "XXXXXX")).string();
        const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
        if (fd < 0) {
            return -1;
        }
        // On a file system without locks the cleaner cannot lock the file either, and leaves it.
        const bool locked = FlockRetry(fd, LOCK_EX) == 0;
        (void)locked;
        struct stat mine {};
        struct stat named {};
        if (::fstat(fd, &mine) == 0 && ::lstat(tmpl.c_str(), &named) == 0 && SameFile(mine, named)) {
            nameOut = tmpl;
            return fd;
        }
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    errno = EAGAIN;
    return -1;
}


bool IsUtf16(ProfileEncoding e) {
    return e == ProfileEncoding::Utf16Le || e == ProfileEncoding::Utf16Be;
}

// UTF-16 (after its mark) to UTF-8. A code unit that does not pair up is written as the
// three-byte form of its value, so that the way back gives the very same bytes; the reader
// sees those bytes as any other invalid UTF-8. An odd last byte goes to `tail`.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian, std::string& tail) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    auto unitAt = [&](std::size_t k) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[2 * k]);
        const auto b = static_cast<unsigned char>(bytes[2 * k + 1]);
        return bigEndian ? static_cast<char32_t>((a << 8) | b) : static_cast<char32_t>((b << 8) | a);
    };
    for (std::size_t k = 0; k < units; ++k) {
        const char32_t u = unitAt(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const char32_t low = unitAt(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        AppendUtf8(out, u);
    }
    tail.assign(bytes.substr(units * 2));
    return out;
}

// The way back: UTF-8, including the three-byte forms of unpaired code units, to UTF-16.
std::string Utf8ToUtf16(std::string_view utf8, bool bigEndian) {
    std::string out;
    out.reserve(utf8.size() * 2);
    auto put = [&](char32_t unit) {
        const auto hi = static_cast<char>((unit >> 8) & 0xFF);
        const auto lo = static_cast<char>(unit & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    };
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (const std::size_t len = Utf8SequenceAt(utf8, i)) {
            cp = DecodeUtf8At(utf8, i, len);
            i += len;
        } else if (c == 0xED && i + 2 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xE0) == 0xA0 &&
                   (static_cast<unsigned char>(utf8[i + 2]) & 0xC0) == 0x80) {
            cp = 0xD000 | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            i += 3;
        } else {
            cp = Cp1252ToCodePoint(c);
            ++i;
        }
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

}  // namespace

fs::path ProfileDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    fs::path base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home != nullptr && home[0] != '\0' ? home : ".") / ".config";
    }
    return base / "axo";
}

fs::path ResolveProfilePath(const std::string& fileName) {
    if (fileName.find('/') != std::string::npos) {
        return fs::path(fileName);
    }
    const fs::path dir = ProfileDirectory();
    std::error_code ec;
    fs::create_directories(dir, ec);  // a failure shows up as a read default or a write error
    return dir / fileName;
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t len = Utf8SequenceAt(s, i);
        if (len == 0) {
            return false;
        }
        i += len;
    }
    return true;
}

bool StartsWithUtf16Bom(std::string_view bytes) {
    return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF";
}

ProfileEncoding DetectProfileEncoding(std::string_view bytes) {
    if (StartsWithUtf16Bom(bytes)) {
        return bytes[0] == '\xFF' ? ProfileEncoding::Utf16Le : ProfileEncoding::Utf16Be;
    }
    if (bytes.substr(0, kBom.size()) == kBom) {
        return ProfileEncoding::Utf8Bom;
    }
    if (IsAscii(bytes)) {
        return ProfileEncoding::Ascii;
    }
    return IsValidUtf8(bytes) ? ProfileEncoding::Utf8 : ProfileEncoding::Windows1252;
}

std::string DecodeWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char ch : bytes) {
        AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(ch)));
    }
    return out;
}

std::string EncodeWindows1252(std::string_view utf8, bool* lossy) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t len = Utf8SequenceAt(utf8, i);
        if (len == 0) {
            out.push_back(utf8[i++]);  // already a single byte of the code page
            continue;
        }
        if (const auto b = CodePointToCp1252(DecodeUtf8At(utf8, i, len))) {
            out.push_back(static_cast<char>(*b));
        } else {
            out.push_back('?');
            if (lossy != nullptr) {
                *lossy = true;
            }
        }
        i += len;
    }
    return out;
}

std::string ToValidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t len = Utf8SequenceAt(bytes, i);
        if (len == 0) {
            AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(bytes[i])));
            ++i;
        } else {
            out.append(bytes.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::string DecodeProfileBytes(std::string_view bytes) {
    const ProfileEncoding encoding = DetectProfileEncoding(bytes);
    if (IsUtf16(encoding)) {
        std::string tail;
        return ToValidUtf8(Utf16ToUtf8(bytes.substr(2), encoding == ProfileEncoding::Utf16Be, tail) + tail);
    }
    switch (encoding) {
        case ProfileEncoding::Utf16Le:
        case ProfileEncoding::Utf16Be:
            break;
        case ProfileEncoding::Utf8Bom:
            return ToValidUtf8(bytes.substr(kBom.size()));
        case ProfileEncoding::Windows1252:
            return DecodeWindows1252(bytes);
        case ProfileEncoding::Ascii:
        case ProfileEncoding::Utf8:
            break;
    }
    return std::string(bytes);
}

std::string CutToChars(const std::string& text, std::size_t maxChars) {
    std::size_t chars = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (chars == maxChars) {
            return text.substr(0, i);
        }
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
            ++i;  // continuation bytes belong to the character just counted
        }
        ++chars;
    }
    return text;
}

bool ProfileDocument::Load(const fs::path& path, std::string* error) {
    Parse(std::string());
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        return true;
    }
    if (!fs::is_regular_file(path, ec)) {
        if (error != nullptr) {
            *error = "Lecture impossible de " + path.string() + " : ce n'est pas un fichier";
        }
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error != nullptr) {
            *error = ErrnoText("Lecture impossible de", path);
        }
        return false;
    }
    // Read straight into the buffer, sized from the file, growing it if the file grows.
    std::string bytes;
    struct stat st {};
    std::size_t capacity = 65536;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        capacity = static_cast<std::size_t>(st.st_size) + 1;
    }
    std::size_t used = 0;
    bytes.resize(capacity);
    for (;;) {
        if (used == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            if (error != nullptr) {
                *error = ErrnoText("Lecture impossible de", path);
            }
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    ::close(fd);
    Parse(std::move(bytes));
    return true;
}

void ProfileDocument::Parse(std::string bytes) {
    lines_.clear();
    owned_.clear();
    sections_.clear();
    sectionIndex_.clear();
    utf16Tail_.clear();
    encoding_ = DetectProfileEncoding(bytes);
    // A UTF-16 file is held as UTF-8, so that its lines are found and changed as any other's;
    // it goes back to UTF-16 as a whole when written.
    bytes_ = IsUtf16(encoding_)
                 ? Utf16ToUtf8(std::string_view(bytes).substr(2), encoding_ == ProfileEncoding::Utf16Be, utf16Tail_)
                 : std::move(bytes);
    bom_ = encoding_ == ProfileEncoding::Utf8Bom;
    eol_ = Eol::Lf;

    const std::string_view all(bytes_);
    lines_.reserve(static_cast<std::size_t>(std::count(all.begin(), all.end(), '\n')) + 1);
    bool firstBreak = true;
    std::size_t pos = bom_ ? kBom.size() : 0;
    std::string name;
    Section* current = nullptr;
    std::size_t lastNonBlank = 0;
    auto closeSection = [&](std::size_t end) {
        if (current != nullptr) {
            current->end = end;
            current->insertAt = lastNonBlank + 1;
        }
    };
    while (pos < all.size()) {
        const std::size_t cut = all.find_first_of("\r\n", pos);
        Line line;
        line.begin = pos;
        if (cut == std::string_view::npos) {
            line.size = all.size() - pos;
            pos = all.size();
        } else {
            line.size = cut - pos;
            if (all[cut] == '\n') {
                line.eol = Eol::Lf;
                pos = cut + 1;
            } else if (cut + 1 < all.size() && all[cut + 1] == '\n') {
                line.eol = Eol::CrLf;
                pos = cut + 2;
            } else {
                line.eol = Eol::Cr;
                pos = cut + 1;
            }
            if (firstBreak) {
                eol_ = line.eol;
                firstBreak = false;
            }
        }
        const std::size_t index = lines_.size();
        lines_.push_back(line);
        const std::string_view text = all.substr(line.begin, line.size);
        if (const auto header = SectionName(text)) {
            closeSection(index);
            current = nullptr;
            name = encoding_ == ProfileEncoding::Windows1252 ? DecodeWindows1252(*header) : ToValidUtf8(*header);
            LowerInPlace(name);
            // Only the first of duplicated sections counts; the others are plain lines.
            if (sectionIndex_.emplace(name, sections_.size()).second) {
                Section sec;
                sec.header = index;
                sections_.push_back(std::move(sec));
                current = &sections_.back();
                lastNonBlank = index;
            }
        } else if (current != nullptr && !Trim(text).empty()) {
            lastNonBlank = index;
        }
    }
    closeSection(lines_.size());
}

std::string_view ProfileDocument::RawText(const Line& line) const {
    if (line.owned) {
        return owned_[line.begin];
    }
    return std::string_view(bytes_).substr(line.begin, line.size);
}

// The text of a line in UTF-8: lines the program wrote are UTF-8 already; lines of the file
// are decoded from its encoding.
std::string ProfileDocument::LineUtf8(const Line& line) const {
    const std::string_view text = RawText(line);
    if (line.owned) {
        return std::string(text);
    }
    switch (encoding_) {
        case ProfileEncoding::Windows1252:
            return DecodeWindows1252(text);
        case ProfileEncoding::Utf8Bom:
        case ProfileEncoding::Utf16Le:
        case ProfileEncoding::Utf16Be:
            return ToValidUtf8(text);
        case ProfileEncoding::Ascii:
        case ProfileEncoding::Utf8:
            break;
    }
    return std::string(text);
}

bool ProfileDocument::KeyOfLine(std::string_view text, bool raw, std::string& out) const {
    if (IsCommentLine(text)) {
        return false;
    }
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    const std::string_view key = Trim(text.substr(0, eq));
    if (raw && encoding_ == ProfileEncoding::Windows1252 && !IsAscii(key)) {
        out = DecodeWindows1252(key);
    } else if (raw && (encoding_ == ProfileEncoding::Utf8Bom || IsUtf16(encoding_)) && !IsAscii(key)) {
        out = ToValidUtf8(key);
    } else {
        out.assign(key);
    }
    LowerInPlace(out);
    return true;
}

const ProfileDocument::Section* ProfileDocument::FindSection(const std::string& section) const {
    const auto it = sectionIndex_.find(NormalName(section));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

ProfileDocument::Section& ProfileDocument::SectionFor(const std::string& section) {
    const auto [it, fresh] = sectionIndex_.emplace(NormalName(section), sections_.size());
    if (fresh) {
        Section sec;
        sec.name = ToValidUtf8(OneLine(Trim(section)));
        sections_.push_back(std::move(sec));
    }
    return sections_[it->second];
}

// Calls onKey(lowerCaseKey, ref) for every key line of the section, file lines first, then
// the lines the program added, in order.
template <typename Fn>
void ProfileDocument::ScanKeys(const Section& sec, Fn&& onKey) const {
    std::string key;
    if (sec.header != SIZE_MAX) {
        for (std::size_t i = sec.header + 1; i < sec.end; ++i) {
            if (KeyOfLine(RawText(lines_[i]), !lines_[i].owned, key)) {
                onKey(key, LineRef{false, i});
            }
        }
    }
    for (std::size_t i = 0; i < sec.added.size(); ++i) {
        if (KeyOfLine(sec.added[i], false, key)) {
            onKey(key, LineRef{true, i});
        }
    }
}

std::vector<std::optional<std::string>> ProfileDocument::GetMany(const std::string& section,
                                                                 const std::vector<std::string>& keys) const {
    std::vector<std::optional<std::string>> values(keys.size());
    const Section* sec = FindSection(section);
    if (sec == nullptr || keys.empty()) {
        return values;
    }
    std::unordered_map<std::string, std::vector<std::size_t>> wanted;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        wanted[NormalName(keys[k])].push_back(k);
    }
    std::size_t missing = wanted.size();
    ScanKeys(*sec, [&](const std::string& key, LineRef ref) {
        if (missing == 0) {
            return;
        }
        const auto it = wanted.find(key);
        if (it == wanted.end() || it->second.empty()) {
            return;
        }
        const std::string value =
            ref.added ? ValueOf(sec->added[ref.index]) : ValueOf(LineUtf8(lines_[ref.index]));
        for (std::size_t k : it->second) {
            values[k] = value;
        }
        it->second.clear();  // the first of duplicated keys wins
        --missing;
    });
    return values;
}

std::optional<std::string> ProfileDocument::Get(const std::string& section, const std::string& key) const {
    return GetMany(section, {key}).front();
}

std::string ProfileDocument::GetString(const std::string& section, const std::string& key,
                                       const std::string& defaultValue, std::size_t bufferSize) const {
    const auto value = Get(section, key);
    const std::size_t keep = bufferSize == 0 ? 0 : bufferSize - 1;
    return CutToChars(value ? *value : defaultValue, keep);
}

ProfileDamage ProfileDocument::Inspect() const {
    ProfileDamage damage;
    for (char c : bytes_) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0) {
            ++damage.nulChars;
        } else if ((b < 0x20 && c != '\t' && c != '\r' && c != '\n') || b == 0x7F) {
            ++damage.controlChars;
        }
    }
    damage.oddUtf16 = !utf16Tail_.empty();
    std::string key;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view text = RawText(lines_[i]);
        if (Trim(text).empty() || IsCommentLine(text) || SectionName(text)) {
            continue;
        }
        if (!KeyOfLine(text, !lines_[i].owned, key) || key.empty()) {
            damage.unreadableLines.push_back(i + 1);
        }
    }
    return damage;
}

std::vector<ProfileKeyLine> ProfileDocument::KeyLines() const {
    std::vector<ProfileKeyLine> out;
    std::string section;
    std::string key;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view text = RawText(lines_[i]);
        if (const auto header = SectionName(text)) {
            section = NormalName(encoding_ == ProfileEncoding::Windows1252 ? DecodeWindows1252(*header)
                                                                           : std::string(*header));
        } else if (KeyOfLine(text, !lines_[i].owned, key) && !key.empty()) {
            out.push_back(ProfileKeyLine{i + 1, section, key});
        }
    }
    return out;
}

std::string ProfileDocument::LineText(std::size_t number) const {
    return number >= 1 && number <= lines_.size() ? LineUtf8(lines_[number - 1]) : std::string();
}

bool ProfileDocument::IsBlank() const {
    return std::all_of(lines_.begin(), lines_.end(), [this](const Line& l) { return Trim(RawText(l)).empty(); }) &&
           utf16Tail_.empty();
}

void ProfileDocument::SetMany(const std::string& section,
                              const std::vector<std::pair<std::string, std::string>>& keyValues) {
    if (keyValues.empty()) {
        return;
    }
    Section& sec = SectionFor(section);
    std::unordered_map<std::string, std::optional<LineRef>> where;
    for (const auto& kv : keyValues) {
        where.emplace(NormalName(kv.first), std::nullopt);
    }
    ScanKeys(sec, [&](const std::string& key, LineRef ref) {
        const auto it = where.find(key);
        if (it != where.end() && !it->second) {
            it->second = ref;  // the first of duplicated keys is the one replaced
        }
    });
    for (const auto& [key, value] : keyValues) {
        std::string line = ToValidUtf8(OneLine(Trim(key)));
        line += '=';
        line += ToValidUtf8(OneLine(value));
        std::optional<LineRef>& ref = where[NormalName(key)];
        if (!ref) {
            sec.added.push_back(std::move(line));
            ref = LineRef{true, sec.added.size() - 1};
        } else if (ref->added) {
            sec.added[ref->index] = std::move(line);
        } else {
            Line& target = lines_[ref->index];
            if (target.owned) {
                owned_[target.begin] = std::move(line);
            } else {
                target.owned = true;
                target.begin = owned_.size();
                owned_.push_back(std::move(line));
            }
        }
    }
}

void ProfileDocument::Set(const std::string& section, const std::string& key, const std::string& value) {
    SetMany(section, {{key, value}});
}

std::string ProfileDocument::Serialize(std::vector<std::string>* lossy) const {
    // Lines the program wrote are UTF-8; they go out in the file's encoding. A file with no
    // encoding yet takes Windows-1252 when that holds everything, UTF-8 otherwise.
    ProfileEncoding target = encoding_;
    if (target == ProfileEncoding::Ascii) {
        bool fits = true;
        for (const std::string& s : owned_) {
            fits = fits && FitsWindows1252(s);
        }
        for (const Section& sec : sections_) {
            fits = fits && FitsWindows1252(sec.name);
            for (const std::string& s : sec.added) {
                fits = fits && FitsWindows1252(s);
            }
        }
        target = fits ? ProfileEncoding::Windows1252 : ProfileEncoding::Utf8;
    }
    auto encode = [&](const std::string& utf8) -> std::string {
        if (target != ProfileEncoding::Windows1252 || IsAscii(utf8)) {
            return utf8;
        }
        bool lost = false;
        std::string bytes = EncodeWindows1252(utf8, &lost);
        if (lost && lossy != nullptr) {
            lossy->emplace_back(Trim(std::string_view(utf8).substr(0, utf8.find('='))));
        }
        return bytes;
    };
    auto eolText = [](Eol e) -> std::string_view {
        switch (e) {
            case Eol::Lf:
                return "\n";
            case Eol::CrLf:
                return "\r\n";
            case Eol::Cr:
                return "\r";
            case Eol::None:
                break;
        }
        return "";
    };

    std::string out;
    out.reserve(bytes_.size() + 64 * 128);
    if (bom_) {
        out += kBom;
    }
    bool openLine = false;  // the last line written has no line end yet
    bool lastBlank = true;  // nothing written, or the last line is blank
    auto emit = [&](std::string_view text, Eol eol) {
        if (openLine) {
            out += eolText(eol_);
        }
        out += text;
        out += eolText(eol);
        openLine = eol == Eol::None;
        lastBlank = Trim(text).empty();
    };

    // New keys of existing sections, by the line they go before.
    std::vector<std::pair<std::size_t, const Section*>> inserts;
    for (const Section& sec : sections_) {
        if (sec.header != SIZE_MAX && !sec.added.empty()) {
            inserts.emplace_back(sec.insertAt, &sec);
        }
    }
    std::sort(inserts.begin(), inserts.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    auto next = inserts.begin();
    auto flushInserts = [&](std::size_t before) {
        for (; next != inserts.end() && next->first == before; ++next) {
            for (const std::string& line : next->second->added) {
                emit(encode(line), eol_);
            }
        }
    };
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        flushInserts(i);
        const Line& line = lines_[i];
        if (line.owned) {
            emit(encode(owned_[line.begin]), line.eol);
        } else {
            emit(RawText(line), line.eol);
        }
    }
    flushInserts(lines_.size());

    for (const Section& sec : sections_) {
        if (sec.header != SIZE_MAX || sec.added.empty()) {
            continue;
        }
        if (!lastBlank) {
            emit("", eol_);
        }
        emit(encode("[" + sec.name + "]"), eol_);
        for (const std::string& line : sec.added) {
            emit(encode(line), eol_);
        }
    }
    if (IsUtf16(encoding_)) {
        const bool be = encoding_ == ProfileEncoding::Utf16Be;
        return (be ? std::string("\xFE\xFF") : std::string("\xFF\xFE")) + Utf8ToUtf16(out, be) + utf16Tail_;
    }
    return out;
}

bool ProfileDocument::Save(const fs::path& requested, std::string* error, std::vector<std::string>* lossy) const {
    const fs::path path = SaveTarget(requested);
    const fs::path dir = FolderOf(path);
    std::string tmpName;
    const int fd = CreateLockedTemp(dir, SaveTempPrefix(path), tmpName);
    if (fd < 0) {
        if (error != nullptr) {
            *error = ErrnoText("Écriture impossible dans", dir);
        }
        return false;
    }
    const fs::path tmp(tmpName);

    // Keep the permissions of the file being replaced; a new file gets the usual 0666 & ~umask.
    struct stat st {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    const std::string data = Serialize(lossy);
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
    int savedErrno = errno;
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
    }
    // Closing releases the lock, after the rename: until then the temporary name is ours.
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        errno = savedErrno;
        if (error != nullptr) {
            *error = ErrnoText("Écriture impossible de", path);
        }
        return false;
    }
    // Make the rename itself durable before anyone relies on the new file.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

std::size_t RemoveStaleSaveFiles(const std::string& fileName) {
    const fs::path path = SaveTarget(ResolveProfilePath(fileName));
    const fs::path dir = FolderOf(path);
    const std::string prefix = SaveTempPrefix(path);
    std::size_t removed = 0;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) {
        return 0;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            break;
        }
        const std::string name = it->path().filename().string();
        if (!IsSaveTempName(name, prefix)) {
            continue;
        }
        const fs::path candidate = dir / name;
        const int fd = ::open(candidate.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat held {};
        struct stat named {};
        // A save in progress holds the lock; a save that was killed has released it.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() && held.st_nlink == 1 &&
            FlockRetry(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(candidate.c_str(), &named) == 0 &&
            SameFile(held, named) && ::unlink(candidate.c_str()) == 0) {
            ++removed;
        }
        ::close(fd);
    }
    return removed;
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t bufferSize,
                                    const std::string& fileName) {
    ProfileDocument doc;
    doc.Load(ResolveProfilePath(fileName));
    return doc.GetString(section, key, defaultValue, bufferSize);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& fileName, std::string* error) {
    return WritePrivateProfileKeys(section, {{key, value}}, fileName, error);
}

bool WritePrivateProfileKeys(const std::string& section,
                             const std::vector<std::pair<std::string, std::string>>& keyValues,
                             const std::string& fileName, std::string* error, std::vector<std::string>* lossy) {
    const fs::path path = ResolveProfilePath(fileName);
    ProfileDocument doc;
    // A file that exists but cannot be read must not be replaced by one holding only our keys.
    if (!doc.Load(path, error)) {
        return false;
    }
    doc.SetMany(section, keyValues);
    return doc.Save(path, error, lossy);
}

}  // namespace axo
