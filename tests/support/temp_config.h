#pragma once

// A private configuration folder for one test: XDG_CONFIG_HOME points into a fresh temporary
// directory, so no test ever reads or writes the user's real Axo.ini.

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace axo::test {

class TempConfig {
public:
    TempConfig() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "axo-test-XXXXXX").string();
        root_ = mkdtemp(tmpl.data());
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old != nullptr) {
            saved_ = old;
            hadOld_ = true;
        }
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }
    ~TempConfig() {
        if (hadOld_) {
            setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TempConfig(const TempConfig&) = delete;
    TempConfig& operator=(const TempConfig&) = delete;

    std::filesystem::path Root() const { return root_; }
    std::filesystem::path Dir() const { return root_ / "axo"; }
    std::filesystem::path File(const std::string& name) const { return Dir() / name; }

    void Write(const std::string& name, const std::string& bytes) const {
        std::filesystem::create_directories(Dir());
        std::ofstream out(File(name), std::ios::binary);
        out << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t FileCount() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(Dir())) {
            ++n;
        }
        return n;
    }

private:
    std::filesystem::path root_;
    std::string saved_;
    bool hadOld_ = false;
};

// Makes every file write beyond `bytes` fail with EFBIG while it lives, even for root: the
// closest thing to a full disk that a test can arrange without mounting anything.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = saved_;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

}  // namespace axo::test
