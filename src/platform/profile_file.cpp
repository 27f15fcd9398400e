#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace axo {

namespace fs = std::filesystem;

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
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

// A header line "[name]" gives the name; anything else gives nothing.
std::optional<std::string> SectionName(const std::string& line) {
    const std::string t = Trim(line);
    if (t.empty() || t.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = t.find(']');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    return Trim(t.substr(1, close - 1));
}

bool IsCommentLine(const std::string& line) {
    const std::string t = Trim(line);
    return !t.empty() && (t.front() == ';' || t.front() == '#');
}

// A key line "key=value" gives its trimmed key; other lines give nothing.
std::optional<std::string> KeyOf(const std::string& line) {
    if (IsCommentLine(line)) {
        return std::nullopt;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(0, eq));
}

std::string ValueOf(const std::string& line) {
    std::string v = Trim(line.substr(line.find('=') + 1));
    // Like the Windows reader, one pair of matching quotes around a value is not part of it.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}

// A value must stay on its line: a line break inside it would create lines nobody wrote.
std::string OneLine(const std::string& s) {
    const std::size_t cut = s.find_first_of("\r\n");
    return cut == std::string::npos ? s : s.substr(0, cut);
}

bool IsValidUtf8(const std::string& s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
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
            return false;
        }
        if (i + len > n) {
            return false;
        }
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3Fu);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            return false;
        }
        i += len;
    }
    return true;
}

std::string Latin1ToUtf8(const std::string& s) {
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::string ErrnoText(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + " : " + std::strerror(errno);
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
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

std::string DecodeProfileBytes(const std::string& bytes) {
    return IsValidUtf8(bytes) ? bytes : Latin1ToUtf8(bytes);
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
    lines_.clear();
    crlf_ = false;
    finalNewline_ = true;
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
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error != nullptr) {
            *error = ErrnoText("Lecture impossible de", path);
        }
        return false;
    }
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) {
        if (error != nullptr) {
            *error = ErrnoText("Lecture impossible de", path);
        }
        return false;
    }
    Parse(DecodeProfileBytes(buf.str()));
    return true;
}

void ProfileDocument::Parse(const std::string& text) {
    lines_.clear();
    crlf_ = false;
    finalNewline_ = true;
    if (text.empty()) {
        return;
    }
    std::size_t start = 0;
    bool firstBreak = true;
    while (start < text.size()) {
        const std::size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (nl != std::string::npos && !line.empty() && line.back() == '\r') {
            line.pop_back();
            if (firstBreak) {
                crlf_ = true;
            }
        }
        if (nl != std::string::npos) {
            firstBreak = false;
        }
        lines_.push_back(std::move(line));
        if (nl == std::string::npos) {
            finalNewline_ = false;
            break;
        }
        start = nl + 1;
    }
}

std::optional<ProfileDocument::Span> ProfileDocument::FindSection(const std::string& section) const {
    const std::string wanted = Trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (name && EqualsNoCase(*name, wanted)) {
            std::size_t end = i + 1;
            while (end < lines_.size() && !SectionName(lines_[end])) {
                ++end;
            }
            return Span{i, end};
        }
    }
    return std::nullopt;
}

std::optional<std::string> ProfileDocument::Get(const std::string& section, const std::string& key) const {
    const auto span = FindSection(section);
    if (!span) {
        return std::nullopt;
    }
    const std::string wanted = Trim(key);
    for (std::size_t i = span->begin + 1; i < span->end; ++i) {
        const auto k = KeyOf(lines_[i]);
        if (k && EqualsNoCase(*k, wanted)) {
            return ValueOf(lines_[i]);
        }
    }
    return std::nullopt;
}

std::string ProfileDocument::GetString(const std::string& section, const std::string& key,
                                       const std::string& defaultValue, std::size_t bufferSize) const {
    const auto value = Get(section, key);
    const std::size_t keep = bufferSize == 0 ? 0 : bufferSize - 1;
    return CutToChars(value ? *value : defaultValue, keep);
}

void ProfileDocument::Set(const std::string& section, const std::string& key, const std::string& value) {
    const std::string line = Trim(key) + "=" + OneLine(value);
    auto span = FindSection(section);
    if (!span) {
        if (!lines_.empty() && !Trim(lines_.back()).empty()) {
            lines_.emplace_back();
        }
        lines_.push_back("[" + Trim(section) + "]");
        lines_.push_back(line);
        return;
    }
    const std::string wanted = Trim(key);
    for (std::size_t i = span->begin + 1; i < span->end; ++i) {
        const auto k = KeyOf(lines_[i]);
        if (k && EqualsNoCase(*k, wanted)) {
            lines_[i] = line;
            return;
        }
    }
    // New keys go after the section's last non-blank line, so the blank line that separates
    // it from the next section stays where it was.
    std::size_t insertAt = span->end;
    while (insertAt > span->begin + 1 && Trim(lines_[insertAt - 1]).empty()) {
        --insertAt;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), line);
}

std::string ProfileDocument::Serialize() const {
    const char* eol = crlf_ ? "\r\n" : "\n";
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i];
        if (i + 1 < lines_.size() || finalNewline_) {
            out += eol;
        }
    }
    return out;
}

bool ProfileDocument::Save(const fs::path& requested, std::string* error) const {
    std::error_code ec;
    // Replace the file a symbolic link points at, not the link itself.
    fs::path path = requested;
    if (fs::is_symlink(requested, ec)) {
        const fs::path target = fs::read_symlink(requested, ec);
        if (!ec) {
            path = target.is_absolute() ? target : requested.parent_path() / target;
        }
    }
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string tmpl = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        if (error != nullptr) {
            *error = ErrnoText("Écriture impossible dans", dir);
        }
        return false;
    }
    const fs::path tmp(name.data());

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

    const std::string data = Serialize();
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
    } else if (!ok) {
        errno = savedErrno;
    }
    if (!ok) {
        if (error != nullptr) {
            *error = ErrnoText("Écriture impossible de", path);
        }
        ::unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable before anyone relies on the new file.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
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
                             const std::string& fileName, std::string* error) {
    const fs::path path = ResolveProfilePath(fileName);
    ProfileDocument doc;
    // A file that exists but cannot be read must not be replaced by one holding only our keys.
    if (!doc.Load(path, error)) {
        return false;
    }
    for (const auto& [k, v] : keyValues) {
        doc.Set(section, k, v);
    }
    return doc.Save(path, error);
}

}  // namespace axo
