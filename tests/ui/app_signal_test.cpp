// The running program ends on SIGTERM, SIGINT and SIGHUP exactly as on File > Quit: the
// settings file is written, keeping what it held besides the program's keys.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <fstream>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>
#include <thread>

#include "support/temp_config.h"
#include "support/xvfb.h"

namespace {

// True once the process has a handler for `signo` (so the signal will not kill it outright).
bool Catches(pid_t pid, int signo) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (signo - 1)) & 1ULL;
        }
    }
    return false;
}

TEST(RunningProgram, EndsCleanlyOnTerminationSignals) {
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        axo::test::TempConfig cfg;
        cfg.Write("Axo.ini", "[Observateur]\nnom=Nuit\n\n[Axo]\ndisplay_welcome=0\ntimer_value=77\ninterface_ra=0\n"
                             "interface_de=0\ninterface_coders=0\ninterface_focus=0\ninterface_filter=0\n");
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            execl(AXO_BINARY, AXO_BINARY, static_cast<char*>(nullptr));
            _exit(127);
        }
        bool ready = false;
        for (int i = 0; i < 1000 && !ready; ++i) {  // at most 10 s for the program to start
            ready = Catches(pid, signo);
            if (!ready) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        ASSERT_TRUE(ready) << "signal " << signo;
        kill(pid, signo);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status)) << "signal " << signo;
        EXPECT_EQ(WEXITSTATUS(status), 0) << "signal " << signo;
        const std::string ini = cfg.Read("Axo.ini");
        EXPECT_EQ(ini.rfind("[Observateur]\nnom=Nuit\n", 0), 0u) << ini;
        EXPECT_NE(ini.find("\ntimer_value= 77\n"), std::string::npos) << ini;
        EXPECT_NE(ini.find("\ncount_alpha=0,995\n"), std::string::npos) << ini;
    }
}

// Starts the real program with `args`, standard error into `errFile`, and waits until it
// catches SIGTERM. Returns its pid. Offscreen, or on the X server `display` when one is given.
pid_t Launch(const std::vector<std::string>& args, const std::string& errFile, const std::string& display = "") {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", display.empty() ? "offscreen" : "xcb", 1);
        if (!display.empty()) {
            setenv("DISPLAY", display.c_str(), 1);
        }
        const int fd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 2);
        }
        std::vector<char*> argv{const_cast<char*>(AXO_BINARY)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(AXO_BINARY, argv.data());
        _exit(127);
    }
    for (int i = 0; i < 1000 && pid > 0 && !Catches(pid, SIGTERM); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pid;
}

// Waits at most `seconds` for the process to end; kills it when it does not.
bool EndsWithin(pid_t pid, double seconds, int& status) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < limit) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return false;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The program on the simulated observatory, every function on the boards, its night log in the
// configuration folder and the moment its window is shown written to `errFile`.
pid_t LaunchSimulated(const axo::test::TempConfig& cfg, const std::string& errFile, const std::string& display = "",
                      const std::string& ini = "[Axo]\ndisplay_welcome=0\ninterface_ra=1\ninterface_de=1\n"
                                               "interface_dome=1\ninterface_coders=1\ninterface_focus=1\n"
                                               "interface_filter=1\n",
                      std::vector<std::string> args = {}) {
    cfg.Write("Axo.ini", ini);
    setenv("XDG_STATE_HOME", (cfg.Root() / "state").c_str(), 1);
    setenv("AXO_STARTUP_REPORT", "1", 1);
    args.insert(args.begin(), "--simulate");
    const pid_t pid = Launch(args, errFile, display);
    unsetenv("XDG_STATE_HOME");
    unsetenv("AXO_STARTUP_REPORT");
    return pid;
}

// Every night-log file of LaunchSimulated's program (none yet: nothing logged yet).
std::string NightLogText(const axo::test::TempConfig& cfg) {
    std::string all;
    std::error_code none;
    for (const auto& entry : std::filesystem::directory_iterator(cfg.Root() / "state" / "axo", none)) {
        all += ReadAll(entry.path());
    }
    return all;
}

// The ports of a machine without them: the start-up opens its error box and waits there.
constexpr const char* kNoPorts = "[parallel]\nbackend=ppdev\ncommand_device=/nonexistent/parport0\n"
                                 "data_device=/nonexistent/parport1\n";

TEST(RunningProgram, ASignalEndsItPromptlyWhileABoxIsOpen) {
    axo::test::TempConfig cfg;
    cfg.Write("Axo.ini", "[Observateur]\nnom=Nuit\n\n[Axo]\ndisplay_welcome=1\ntimer_value=77\n");
    cfg.Write("hardware.ini", kNoPorts);
    const std::string err = (cfg.Root() / "stderr.txt").string();
    const pid_t pid = Launch({}, err);
    ASSERT_GT(pid, 0);
    // Long enough for the start-up to stand in front of its box.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_TRUE(EndsWithin(pid, 5.0, status)) << "still running 5 s after SIGTERM\n" << ReadAll(err);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The settings had been read: the shut-down wrote them back, keeping the rest of the file.
    const std::string ini = cfg.Read("Axo.ini");
    EXPECT_EQ(ini.rfind("[Observateur]\nnom=Nuit\n", 0), 0u) << ini;
    EXPECT_NE(ini.find("\ntimer_value= 77\n"), std::string::npos) << ini;
}

TEST(RunningProgram, ASettingsWriteThatFailsOnASignalIsReportedNotAsked) {
    axo::test::TempConfig cfg;
    std::filesystem::create_directories(cfg.File("Axo.ini"));  // cannot be read nor replaced
    cfg.Write("hardware.ini", kNoPorts);
    const std::string err = (cfg.Root() / "stderr.txt").string();
    const pid_t pid = Launch({"--no-welcome"}, err);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(pid, SIGHUP);
    int status = 0;
    ASSERT_TRUE(EndsWithin(pid, 5.0, status)) << "still running 5 s after SIGHUP\n" << ReadAll(err);
    EXPECT_NE(ReadAll(err).find("La configuration n'a pas pu être enregistrée"), std::string::npos) << ReadAll(err);
    EXPECT_TRUE(std::filesystem::is_directory(cfg.File("Axo.ini")));
}

// A crash or a power-off loses nothing of the night log already written: the program killed
// outright leaves every line of its start-up in the night's file.
TEST(RunningProgram, TheNightLogHoldsWhatWasWrittenBeforeASigkill) {
    axo::test::TempConfig cfg;
    const std::string err = (cfg.Root() / "stderr.txt").string();
    const pid_t pid = LaunchSimulated(cfg, err);
    ASSERT_GT(pid, 0);
    bool shown = false;
    for (int i = 0; i < 500 && !shown; ++i) {  // at most 10 s for the window to be shown
        shown = ReadAll(err).find("axo-shown") != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(shown) << ReadAll(err);
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string log = NightLogText(cfg);
    EXPECT_NE(log.find("  Calibration coupole\n"), std::string::npos) << log;
    // Every line carries its UTC date and time.
    std::istringstream lines(log);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_EQ(line.size() > 21 && line[4] == '-' && line[10] == ' ' && line[13] == ':' && line[19] == ' ', true)
            << line;
    }
    EXPECT_GT(count, 1);
}

// Runs xdotool on `display`, for at most 10 s (`search --sync` waits for the window it names).
bool Xdotool(const std::string& display, const std::string& args) {
    const std::string command = "DISPLAY=" + display + " timeout 10 xdotool " + args;
    return std::system(command.c_str()) == 0;
}

// Waits at most 10 s for `text` to be in what `read` returns.
template <typename Read>
bool Appears(const std::string& text, Read read) {
    for (int i = 0; i < 500; ++i) {
        if (read().find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A failed step must not leave the program running.
struct Reaper {
    pid_t pid;
    ~Reaper() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

// A power cut right after the observer changed an option loses neither the change nor the night
// log: the program, driven with the keyboard on an X server of its own as an observer would, is
// killed outright once the Options dialog's OK has been pressed.
TEST(RunningProgram, AnOptionsChangeAndTheNightLogOutliveASigkill) {
    ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0) << "xdotool is missing (package xdotool)";
    axo::test::Xvfb xvfb;
    const std::string display = xvfb.Display();
    ASSERT_FALSE(display.empty()) << "Xvfb could not be started (package xvfb)";
    axo::test::TempConfig cfg;
    const std::string err = (cfg.Root() / "stderr.txt").string();
    const pid_t pid = LaunchSimulated(cfg, err, display);
    ASSERT_GT(pid, 0);
    Reaper reaper{pid};
    auto log = [&cfg] { return NightLogText(cfg); };
    // Keys go through the X server's test extension to the window that has the focus, as
    // from a keyboard.
    const std::string pidText = std::to_string(pid);
    auto keys = [&](const char* window, const std::string& sequence) {
        return Xdotool(display, "search --all --sync --onlyvisible --pid " + pidText + " --name '" + window +
                                    "' windowfocus --sync") &&
               Xdotool(display, "key --delay 100 " + sequence);
    };
    ASSERT_TRUE(Appears("axo-shown", [&err] { return ReadAll(err); })) << ReadAll(err);
    // Edition > Options..., the Système tab, back from OK to the polling interval, 250, Enter.
    ASSERT_TRUE(keys("^Axo", "alt+e o")) << ReadAll(err);
    ASSERT_TRUE(keys("^Options$", "alt+s shift+Tab ctrl+a 2 5 0 Return")) << ReadAll(err);
    ASSERT_TRUE(Appears("\ntimer_value= 250\n", [&cfg] { return cfg.Read("Axo.ini"); })) << cfg.Read("Axo.ini");
    // The stop-all key: a command and a message logged just before the end.
    ASSERT_TRUE(keys("^Axo", "F12"));
    ASSERT_TRUE(Appears("  Arrêt général\n", log)) << log();

    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    reaper.pid = -1;
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const std::string ini = cfg.Read("Axo.ini");
    EXPECT_NE(ini.find("\ntimer_value= 250\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\nAxo_left="), std::string::npos) << ini;  // the whole file, as at exit
    EXPECT_EQ(cfg.FileCount(), 1u);                                // and no half-written copy beside it
    const std::string lines = log();
    const std::size_t startUp = lines.find("  Calibration coupole\n");
    const std::size_t stop = lines.find("  Arrêt général\n");
    EXPECT_NE(startUp, std::string::npos) << lines;
    EXPECT_TRUE(stop != std::string::npos && stop > startUp) << lines;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) {
        ++n;
    }
    return n;
}

// The stop-all from a modal window of the running program, as an observer at the telescope
// would use it: the Alpha box slewing on a locked move, the Options dialog open, then the dome
// Init confirmation box; F12 in the first, a click on the toolbar's stop button in the second
// (a modal window blocks the clicks on the main window). The stop must be on the serial line at
// once (one polling tick plus the wait in progress), said in the message list and the night log,
// and the window that was open must still be there to be answered.
TEST(RunningProgram, TheStopAllKeyWorksWhileAModalWindowIsOpen) {
    ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0) << "xdotool is missing (package xdotool)";
    axo::test::Xvfb xvfb;
    const std::string display = xvfb.Display();
    ASSERT_FALSE(display.empty()) << "Xvfb could not be started (package xvfb)";
    axo::test::TempConfig cfg;
    const std::string err = (cfg.Root() / "stderr.txt").string();
    const std::string trace = (cfg.Root() / "trace.txt").string();
    const pid_t pid = LaunchSimulated(cfg, err, display,
                                      "[Axo]\ndisplay_welcome=0\ninterface_ra=3\ninterface_de=3\ninterface_dome=1\n"
                                      "interface_coders=1\ninterface_focus=1\ninterface_filter=1\ncontrol_mode_alpha=5\n",
                                      {"--trace", trace});
    ASSERT_GT(pid, 0);
    Reaper reaper{pid};
    ASSERT_TRUE(Appears("axo-shown", [&err] { return ReadAll(err); })) << ReadAll(err);
    const std::string report = ReadAll(err);
    auto at = [&report](const std::string& name) {
        const std::size_t p = report.find("axo-at " + name + " ");
        std::istringstream in(p == std::string::npos ? std::string() : report.substr(p + name.size() + 8));
        int x = -1;
        int y = -1;
        in >> x >> y;
        return std::to_string(x) + " " + std::to_string(y);
    };
    const std::string pidText = std::to_string(pid);
    auto focus = [&](const char* window) {
        return Xdotool(display, "search --all --sync --onlyvisible --pid " + pidText + " --name '" + window +
                                    "' windowfocus --sync");
    };
    auto stopsOnTheLine = [&trace] { return Count(ReadAll(trace), "write \"S"); };
    auto log = [&cfg] { return NightLogText(cfg); };
    struct Modal {
        const char* window;
        std::string open;  // xdotool arguments that open it from the main window
        std::string stop;  // and those that ask for the stop-all
    };
    const Modal modals[] = {
        {"^Options$", "key alt+e o", "key F12"},
        {"^Initialisation de la coupole$", "mousemove " + at("cmdDomeInit") + " click 1",
         "mousemove " + at("StopAll") + " click 1"}};
    std::size_t stopsSeen = 0;
    for (const Modal& m : modals) {
        SCOPED_TRACE(m.window);
        ASSERT_TRUE(focus("^Axo"));
        const std::size_t moves = Count(log(), "Déplacement Alpha +\n");
        ASSERT_TRUE(Xdotool(display, "mousemove " + at("picAlphaPlusLock") + " click 1")) << ReadAll(err);
        ASSERT_TRUE(Appears("yes", [&] { return Count(log(), "Déplacement Alpha +\n") > moves ? std::string("yes") : std::string(); })) << log();
        ASSERT_TRUE(Xdotool(display, m.open));
        ASSERT_TRUE(focus(m.window)) << ReadAll(err);
        const std::size_t before = stopsOnTheLine();
        const auto pressed = std::chrono::steady_clock::now();
        ASSERT_TRUE(Xdotool(display, m.stop));
        bool stopped = false;
        while (!stopped && std::chrono::steady_clock::now() - pressed < std::chrono::seconds(10)) {
            stopped = stopsOnTheLine() > before;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed);
        ASSERT_TRUE(stopped) << "no stop on the Alpha line\n" << ReadAll(trace).substr(0, 4000);
        // xdotool's own start-up is in this figure; the program's part is one tick (50 ms) and
        // the box's short exchange.
        EXPECT_LT(took.count(), 1500) << "the stop took " << took.count() << " ms";
        ++stopsSeen;
        ASSERT_TRUE(Appears("yes", [&] { return Count(log(), "  Arrêt général\n") >= stopsSeen ? std::string("yes") : std::string(); })) << log();
        // The window that was open is still there, and answers its keys.
        EXPECT_TRUE(Xdotool(display, "search --all --onlyvisible --pid " + pidText + " --name '" + m.window + "'"));
        ASSERT_TRUE(Xdotool(display, "key Escape"));
        bool closed = false;
        for (int i = 0; i < 250 && !closed; ++i) {
            closed = !Xdotool(display, "search --all --onlyvisible --pid " + pidText + " --name '" + m.window + "' 2>/dev/null");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(closed);
    }
}

}  // namespace

namespace {

// Under a window manager that gives the window a title bar, the position written at the end is
// the one the next start puts the window at: three starts in a row leave it where it was.
TEST(RunningProgram, TheWindowStaysWhereItWasFromOneStartToTheNext) {
    ASSERT_EQ(std::system("command -v openbox >/dev/null"), 0) << "openbox is missing (package openbox)";
    axo::test::Xvfb xvfb;
    const std::string display = xvfb.Display();
    ASSERT_FALSE(display.empty()) << "Xvfb could not be started (package xvfb)";
    const pid_t wm = fork();
    if (wm == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("openbox", "openbox", static_cast<char*>(nullptr));
        _exit(127);
    }
    Reaper wmReaper{wm};
    axo::test::TempConfig cfg;
    const std::string err = (cfg.Root() / "stderr.txt").string();
    std::string ini = "[Axo]\ndisplay_welcome=0\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\n"
                      "interface_coders=1\ninterface_focus=1\ninterface_filter=1\nAxo_left=1500\nAxo_top=1875\n";
    auto key = [](const std::string& text, const std::string& name) {
        const std::size_t p = text.find("\n" + name + "=");
        if (p == std::string::npos) {
            return std::string();
        }
        std::string value = text.substr(p + name.size() + 2, text.find('\n', p + 1) - p - name.size() - 2);
        value.erase(0, value.find_first_not_of(' '));
        return value;
    };
    std::vector<std::string> tops;
    for (int run = 0; run < 3; ++run) {
        const pid_t pid = LaunchSimulated(cfg, err, display, ini);
        ASSERT_GT(pid, 0);
        Reaper reaper{pid};
        ASSERT_TRUE(Appears("axo-shown", [&err] { return ReadAll(err); })) << ReadAll(err);
        // The window manager has framed the window by the time its title can be found.
        ASSERT_TRUE(Xdotool(display, "search --sync --onlyvisible --name '^Axo' >/dev/null"));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(pid, SIGTERM);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        reaper.pid = -1;
        ini = cfg.Read("Axo.ini");
        tops.push_back(key(ini, "Axo_left") + "," + key(ini, "Axo_top"));
    }
    // The first start may move it onto the screen (the window is nearly as tall as this one);
    // after that it stays.
    EXPECT_EQ(tops, (std::vector<std::string>{tops[0], tops[0], tops[0]}));
    EXPECT_EQ(tops[0].rfind("1500,", 0), 0u) << tops[0];
}

}  // namespace
