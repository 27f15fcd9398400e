// The real program: signals, a SIGKILL, the stop-all under a modal window, capabilities per thread.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_config.h"
#include "support/xvfb.h"

namespace {

namespace fs = std::filesystem;
using axo::test::TempConfig;
using namespace std::chrono_literals;
constexpr auto npos = std::string::npos;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Polls `done` every 10 ms for at most `seconds`.
bool Eventually(const std::function<bool()>& done, double seconds = 10) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    bool ok = false;
    while (!(ok = done()) && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(10ms);
    }
    return ok;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != npos; p = text.find(what, p + 1)) {
        ++n;
    }
    return n;
}

// The first group of `pattern` in `text`, empty when it is not there.
std::string Match(const std::string& text, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? m.str(1) : std::string();
}

// Every function on the simulated boards, no welcome box.
constexpr const char* kAllFunctions = "[Axo]\ndisplay_welcome=0\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\n"
                                      "interface_coders=1\ninterface_focus=1\ninterface_filter=1\n";
// No function on any board: nothing can hold the start-up.
constexpr const char* kNoFunction = "interface_ra=0\ninterface_de=0\ninterface_dome=0\ninterface_coders=0\n"
                                    "interface_focus=0\ninterface_filter=0\n";
// The ports of a machine without them: the start-up opens its error box and waits there.
constexpr const char* kNoPorts = "[parallel]\nbackend=ppdev\ncommand_device=/nonexistent/parport0\n"
                                 "data_device=/nonexistent/parport1\n";

// The real program (offscreen, or on the X server `display`) at home in the configuration's folder.
class Program {
public:
    // `uid` other than -1: run as that user.
    Program(const TempConfig& cfg, std::vector<std::string> args, const std::string& display = "",
            std::string binary = AXO_BINARY, int uid = -1)
        : err_(cfg.Root() / "stderr.txt") {
        pid_ = fork();
        if (pid_ == 0) {
            setenv("QT_QPA_PLATFORM", display.empty() ? "offscreen" : "xcb", 1);
            if (!display.empty()) {
                setenv("DISPLAY", display.c_str(), 1);
            }
            setenv("HOME", cfg.Root().c_str(), 1);
            setenv("XDG_RUNTIME_DIR", cfg.Root().c_str(), 1);
            setenv("XDG_STATE_HOME", (cfg.Root() / "state").c_str(), 1);
            setenv("AXO_STARTUP_REPORT", "1", 1);
            dup2(::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
            std::vector<char*> argv{binary.data()};
            for (std::string& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            if (uid >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(uid)) != 0 ||
                             setuid(static_cast<uid_t>(uid)) != 0)) {
                _exit(126);
            }
            execv(binary.c_str(), argv.data());
            _exit(127);
        }
        Eventually([this] { return Catches(SIGTERM) && Catches(SIGINT) && Catches(SIGHUP); });
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    pid_t pid() const { return pid_; }
    std::string Err() const { return ReadAll(err_); }
    // The main window is on the screen.
    bool Shown() const { return Eventually([this] { return Err().find("axo-shown") != npos; }, 20); }
    // Sends `signo`: the exit code, 128 + the ending signal, or -1 when it still runs 5 s later.
    int End(int signo) {
        int status = 0;
        if (pid_ <= 0 || kill(pid_, signo) != 0 ||
            !Eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 5)) {
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    // A handler is installed for `signo` (so the signal will not kill it outright).
    bool Catches(int signo) const {
        const std::string mask = Match(ReadAll("/proc/" + std::to_string(pid_) + "/status"), "SigCgt:\\s*(\\w+)");
        return !mask.empty() && ((std::stoull(mask, nullptr, 16) >> (signo - 1)) & 1ULL);
    }

    fs::path err_;
    pid_t pid_ = -1;
};

// Written as on File > Quit, other sections kept, even with the start-up's error box open.
TEST(RunningProgram, EndsCleanlyOnTerminationSignals) {
    struct Case { int signo; bool boxOpen; };
    for (const Case c : {Case{SIGTERM, false}, Case{SIGINT, false}, Case{SIGHUP, false}, Case{SIGTERM, true}}) {
        SCOPED_TRACE("signal " + std::to_string(c.signo) + (c.boxOpen ? ", box open" : ""));
        TempConfig cfg;
        cfg.Write("Axo.ini", std::string("[Observateur]\nnom=Nuit\n\n[Axo]\ntimer_value=77\n") +
                                 (c.boxOpen ? "display_welcome=1\n" : std::string("display_welcome=0\n") + kNoFunction));
        if (c.boxOpen) {
            cfg.Write("hardware.ini", kNoPorts);
        }
        Program p(cfg, {});
        if (c.boxOpen) {
            std::this_thread::sleep_for(1500ms);  // long enough to stand in front of the box
        }
        ASSERT_EQ(p.End(c.signo), 0) << p.Err();
        const std::string ini = cfg.Read("Axo.ini");
        EXPECT_EQ(ini.rfind("[Observateur]\nnom=Nuit\n", 0), 0u) << ini;
        EXPECT_NE(ini.find("\ntimer_value= 77\n"), npos) << ini;
        EXPECT_NE(ini.find("\ncount_alpha=0,995\n"), npos) << ini;
    }
}

TEST(RunningProgram, ASettingsWriteThatFailsOnASignalIsReportedNotAsked) {
    TempConfig cfg;
    fs::create_directories(cfg.File("Axo.ini"));  // cannot be read nor replaced
    cfg.Write("hardware.ini", kNoPorts);
    Program p(cfg, {"--no-welcome"});
    std::this_thread::sleep_for(1500ms);
    ASSERT_NE(p.End(SIGHUP), -1) << p.Err();
    EXPECT_NE(p.Err().find("La configuration n'a pas pu être enregistrée"), npos) << p.Err();
    EXPECT_TRUE(fs::is_directory(cfg.File("Axo.ini")));
}

// The program on the simulated observatory and an X server of its own, driven as an observer would.
class RunningProgramOnX : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0) << "xdotool is missing (package xdotool)";
        ASSERT_FALSE(xvfb_.Display().empty()) << "Xvfb could not be started (package xvfb)";
    }
    std::unique_ptr<Program> Start(const std::string& ini, const std::vector<std::string>& args = {"--simulate"}) {
        cfg_.Write("Axo.ini", ini);
        return std::make_unique<Program>(cfg_, args, xvfb_.Display());
    }
    // xdotool for at most 10 s (`search --sync` waits for the window it names).
    bool Xdo(const std::string& args) const {
        return std::system(("DISPLAY=" + xvfb_.Display() + " timeout 10 xdotool " + args).c_str()) == 0;
    }
    bool Visible(const Program& p, const std::string& title) const {
        return Xdo("search --all --onlyvisible --pid " + std::to_string(p.pid()) + " --name '" + title +
                   "' >/dev/null 2>&1");
    }
    // Gives the focus to the window, then types `keys` there.
    bool Keys(const Program& p, const std::string& title, const std::string& keys = "") const {
        return Xdo("search --all --sync --onlyvisible --pid " + std::to_string(p.pid()) + " --name '" + title +
                   "' windowfocus --sync") &&
               (keys.empty() || Xdo("key --delay 100 " + keys));
    }
    // Every night-log file (none before anything is logged).
    std::string Log() const {
        std::string all;
        std::error_code none;
        for (const auto& entry : fs::directory_iterator(cfg_.Root() / "state" / "axo", none)) {
            all += ReadAll(entry.path());
        }
        return all;
    }
    bool LogGets(const std::string& line, std::size_t times = 1) const {
        return Eventually([&] { return Count(Log(), line) >= times; });
    }

    axo::test::Xvfb xvfb_;
    TempConfig cfg_;
};

// A power cut right after an Options change and a stop-all loses neither the change nor the night log.
TEST_F(RunningProgramOnX, AnOptionsChangeAndTheNightLogOutliveASigkill) {
    const auto p = Start(kAllFunctions);
    ASSERT_TRUE(p->Shown()) << p->Err();
    // Edition > Options..., the Système tab, back from OK to the polling interval, 250, Enter.
    ASSERT_TRUE(Keys(*p, "^Axo", "alt+e o")) << p->Err();
    ASSERT_TRUE(Keys(*p, "^Options$", "alt+s shift+Tab ctrl+a 2 5 0 Return")) << p->Err();
    ASSERT_TRUE(Eventually([&] { return cfg_.Read("Axo.ini").find("\ntimer_value= 250\n") != npos; }))
        << cfg_.Read("Axo.ini");
    ASSERT_TRUE(Keys(*p, "^Axo", "F12"));
    ASSERT_TRUE(LogGets("  Arrêt général\n")) << Log();

    ASSERT_EQ(p->End(SIGKILL), 128 + SIGKILL);
    const std::string ini = cfg_.Read("Axo.ini");
    EXPECT_NE(ini.find("\ntimer_value= 250\n"), npos) << ini;
    EXPECT_NE(ini.find("\nAxo_left="), npos) << ini;  // the whole file, as at exit
    EXPECT_EQ(cfg_.FileCount(), 1u);                 // and no half-written copy beside it
    const std::string log = Log();
    const std::size_t startUp = log.find("  Calibration coupole\n");
    EXPECT_NE(startUp, npos) << log;
    EXPECT_TRUE(log.find("  Arrêt général\n") != npos && log.find("  Arrêt général\n") > startUp) << log;
    std::istringstream lines(log);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {  // each with its UTC date and time
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d .+)"))) << line;
    }
    EXPECT_GT(count, 1);
}

// F12 in Options, a click on the stop under the dome Init box: the slewing box stops at once, the window stays.
TEST_F(RunningProgramOnX, TheStopAllKeyWorksWhileAModalWindowIsOpen) {
    const std::string trace = (cfg_.Root() / "trace.txt").string();
    const auto p = Start("[Axo]\ndisplay_welcome=0\ninterface_ra=3\ninterface_de=3\ninterface_dome=1\n"
                         "interface_coders=1\ninterface_focus=1\ninterface_filter=1\ncontrol_mode_alpha=5\n",
                         {"--simulate", "--trace", trace});
    ASSERT_TRUE(p->Shown()) << p->Err();
    const std::string report = p->Err();
    auto at = [&report](const std::string& name) {
        return "mousemove " + Match(report, "axo-at " + name + " (-?[0-9]+ -?[0-9]+)\n") + " click 1";
    };
    auto stopsOnTheLine = [&trace] { return Count(ReadAll(trace), "write \"S"); };
    struct Modal {
        const char* window;
        std::string open;  // xdotool arguments that open it from the main window
        std::string stop;  // and those that ask for the stop-all
    };
    const Modal modals[] = {{"^Options$", "key alt+e o", "key F12"},
                            {"^Initialisation de la coupole$", at("cmdDomeInit"), at("StopAll")}};
    std::size_t stopsSeen = 0;
    for (const Modal& m : modals) {
        SCOPED_TRACE(m.window);
        ASSERT_TRUE(Keys(*p, "^Axo"));
        const std::size_t moves = Count(Log(), "Déplacement Alpha +\n");
        ASSERT_TRUE(Xdo(at("picAlphaPlusLock"))) << p->Err();
        ASSERT_TRUE(LogGets("Déplacement Alpha +\n", moves + 1)) << Log();
        ASSERT_TRUE(Xdo(m.open));
        ASSERT_TRUE(Keys(*p, m.window)) << p->Err();
        const std::size_t before = stopsOnTheLine();
        const auto pressed = std::chrono::steady_clock::now();
        ASSERT_TRUE(Xdo(m.stop));
        ASSERT_TRUE(Eventually([&] { return stopsOnTheLine() > before; }))
            << "no stop on the Alpha line\n" << ReadAll(trace).substr(0, 4000);
        // xdotool's own start-up is in this figure; the program's part is one tick and the box's exchange.
        EXPECT_LT((std::chrono::steady_clock::now() - pressed) / 1ms, 1500) << "ms for the stop";
        ASSERT_TRUE(LogGets("  Arrêt général\n", ++stopsSeen)) << Log();
        EXPECT_TRUE(Visible(*p, m.window));
        ASSERT_TRUE(Xdo("key Escape"));
        EXPECT_TRUE(Eventually([&] { return !Visible(*p, m.window); }, 5));
    }
}

// Under a window manager's title bar, three starts in a row leave the window where it was.
TEST_F(RunningProgramOnX, TheWindowStaysWhereItWasFromOneStartToTheNext) {
    ASSERT_EQ(std::system("command -v openbox >/dev/null"), 0) << "openbox is missing (package openbox)";
    // It ends with the X server.
    ASSERT_EQ(std::system(("DISPLAY=" + xvfb_.Display() + " openbox >/dev/null 2>&1 &").c_str()), 0);
    std::string ini = std::string(kAllFunctions) + "Axo_left=1500\nAxo_top=1875\n";
    std::vector<std::string> tops;
    for (int run = 0; run < 3; ++run) {
        const auto p = Start(ini);
        ASSERT_TRUE(p->Shown()) << p->Err();
        // The window manager has framed the window by the time its title can be found.
        ASSERT_TRUE(Xdo("search --sync --onlyvisible --name '^Axo' >/dev/null"));
        std::this_thread::sleep_for(500ms);
        ASSERT_EQ(p->End(SIGTERM), 0) << p->Err();
        ini = cfg_.Read("Axo.ini");
        tops.push_back(Match(ini, "\nAxo_left= *([^\n]*)") + "," + Match(ini, "\nAxo_top= *([^\n]*)"));
    }
    // The first start may move it onto the screen (the window is nearly as tall as it); then it stays.
    EXPECT_EQ(tops, (std::vector<std::string>{tops[0], tops[0], tops[0]}));
    EXPECT_EQ(tops[0].rfind("1500,", 0), 0u) << tops[0];
}

// As root (as CI runs), and when it can as nobody running a copy with the raw-I/O file capability.
TEST(RunningProgram, NoThreadHoldsACapabilityOnX11OrOffscreen) {
    axo::test::Xvfb xvfb;
    ASSERT_FALSE(xvfb.Display().empty()) << "Xvfb could not be started (package xvfb)";
    const bool root = geteuid() == 0;
    struct Who { std::string what, binary; int uid; };
    std::vector<Who> runners{{root ? "root" : "this user", AXO_BINARY, -1}};
    TempConfig scratch;
    const fs::path copy = scratch.Root() / "axo-rawio";
    struct statvfs vfs {};
    if (root && statvfs(scratch.Root().c_str(), &vfs) == 0 && (vfs.f_flag & ST_NOSUID) == 0 &&
        fs::copy_file(AXO_BINARY, copy) && chmod(scratch.Root().c_str(), 0755) == 0 &&
        std::system(("setcap cap_sys_rawio+p " + copy.string() + " 2>/dev/null").c_str()) == 0) {
        runners.push_back({"nobody with cap_sys_rawio+p", copy.string(), 65534});
    }
    for (const Who& who : runners) {
        for (const std::string platform : {"xcb", "offscreen"}) {
            SCOPED_TRACE(who.what + ", " + platform);
            // Direct port I/O gives the privileged step ranges to grant; no function touches a port.
            TempConfig cfg;
            cfg.Write("Axo.ini", std::string("[Axo]\ndisplay_welcome=0\n") + kNoFunction);
            cfg.Write("hardware.ini", "[parallel]\nbackend=direct\n");
            const std::string chown = "chown -R " + std::to_string(who.uid) + ":" + std::to_string(who.uid) + " ";
            ASSERT_TRUE(who.uid < 0 || std::system((chown + cfg.Root().string()).c_str()) == 0);
            Program p(cfg, {"--no-welcome"}, platform == "xcb" ? xvfb.Display() : "", who.binary, who.uid);
            ASSERT_TRUE(p.Shown()) << p.Err();
            std::this_thread::sleep_for(300ms);  // for the platform's late threads (D-Bus, the X11 queue)
            std::string threads, holders;  // "tid name CapInh=... CapAmb=..." of each thread; of those holding any
            for (const auto& t : fs::directory_iterator("/proc/" + std::to_string(p.pid()) + "/task")) {
                const std::string s = ReadAll(t.path() / "status");
                std::string line = t.path().filename().string() + " " + Match(s, "Name:\\s*(.*)");
                for (const std::string f : {"CapInh", "CapPrm", "CapEff", "CapAmb"}) {
                    line += " " + f + "=" + Match(s, f + ":\\s*(\\w+)");
                }
                threads += line + "\n";
                holders += std::regex_search(line, std::regex("=0*[1-9a-f]")) ? line + "\n" : "";
            }
            const std::size_t count = Count(threads, "\n");
            const int exitCode = p.End(SIGTERM);
            std::printf("checked: %s on %s, %zu threads\n", who.what.c_str(), platform.c_str(), count);
            // The X11 platform runs its event queue in a thread of its own: the case that was wrong.
            EXPECT_TRUE(platform != "xcb" || count >= 2U) << threads;
            EXPECT_EQ(holders, "") << "all threads:\n" << threads;
            EXPECT_EQ(p.Err().find("privilèges n'ont pas pu"), npos) << p.Err();
            EXPECT_EQ(p.Err().find("Axo est lancé sous le compte root : il ne doit pas l'être.") != npos,
                      who.uid < 0 && root) << p.Err();
            EXPECT_EQ(exitCode, 0) << p.Err();
        }
    }
}

}  // namespace
