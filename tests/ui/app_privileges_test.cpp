// Privileges: the grants and the drop of every capability happen before any thread exists, and
// the running program, on the X11 platform and offscreen, holds no capability in any thread.
// Run as root (as CI does) the program starts with every capability, which makes the check
// meaningful; when the test can, it also gives a copy of the program the raw-I/O file
// capability and runs it as an ordinary user, the way direct port I/O is meant to be set up.

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
#include <sstream>
#include <thread>

#include "app/hardware.h"
#include "app/privileges.h"
#include "interfaces/parallel/direct_port_io.h"
#include "support/temp_config.h"
#include "support/xvfb.h"

namespace axo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool HasCapabilities() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("CapEff:", 0) == 0) {
            return line.find_first_not_of("0\t ", 7) != std::string::npos;
        }
    }
    return false;
}

// Runs `body` in a child process (the capability sets of this test process stay as they are)
// and returns its exit status.
template <typename Body>
int InChild(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(PrivilegedStart, RangesComeFromTheHardwareFile) {
    test::TempConfig cfg;
    cfg.Write("Axo.ini", "[Axo]\nEik120_base_addr=760\n");
    HardwareFileResult file;
    // By default the parallel ports go through ppdev (no range) and the encoder card is read by
    // direct port I/O at the base address of the settings file: its six registers.
    auto ranges = app::IoRangesToGrant(file, false);
    ASSERT_EQ(ranges.size(), 1U);
    EXPECT_EQ(ranges[0].first, 760);
    EXPECT_EQ(ranges[0].count, 6);
    file.eik120.backend = EikBackend::None;
    EXPECT_TRUE(app::IoRangesToGrant(file, false).empty());
    file.parallel.backend = ParallelBackend::Direct;
    file.parallel.commandBase = 0x3BC;
    ranges = app::IoRangesToGrant(file, false);
    ASSERT_EQ(ranges.size(), 2U);
    EXPECT_EQ(ranges[0].first, 0x3BC);
    EXPECT_EQ(ranges[0].count, 3);
    EXPECT_EQ(ranges[1].first, 0x278);
    EXPECT_EQ(ranges[1].count, 3);
    file.eik120.backend = EikBackend::Direct;
    EXPECT_TRUE(app::IoRangesToGrant(file, true).empty());  // the simulation touches no port
}

TEST(PrivilegedStart, DropsEverythingAndChecksEveryThread) {
    if (!HasCapabilities()) {
        GTEST_SKIP() << "this test process holds no capability (run as root to check the drop)";
    }
    // Alone: every capability gone, the granted range usable, the result says so.
    EXPECT_EQ(InChild([] {
                  const app::PrivilegedStart s = app::RunPrivilegedStart({{0x378, 3, "port"}});
                  std::string error;
                  const bool clean = app::ThreadsHoldingCapabilities(&error).empty() && error.empty();
                  if (!s.capabilitiesDropped || !s.dropProblem.empty() || !clean || !s.runningAsRoot) {
                      return 1;
                  }
                  // Root with CAP_SYS_RAWIO gets the range (a container may refuse it: then the
                  // reason must say so).
                  const app::IoGrant* g = s.Grant(0x378);
                  if (g == nullptr || (!g->granted && g->reason.find("0x378") == std::string::npos)) {
                      return 2;
                  }
                  if (app::PrivilegeWarnings(s).size() != 2U) {  // the root warning pair only
                      return 3;
                  }
                  // A program it starts (as root) gets no capability back, nor any way to gain one.
                  const int child = std::system(
                      "grep -qE '^CapEff:[[:space:]]+0+$' /proc/self/status && "
                      "grep -qE '^CapPrm:[[:space:]]+0+$' /proc/self/status && "
                      "grep -qE '^CapBnd:[[:space:]]+0+$' /proc/self/status && "
                      "grep -qE '^NoNewPrivs:[[:space:]]+1$' /proc/self/status");
                  return child == 0 ? 0 : 4;
              }),
              0);

    // With a thread started before: it keeps its capabilities, and the check finds it.
    EXPECT_EQ(InChild([] {
                  bool stop = false;
                  std::thread early([&stop] {
                      while (!__atomic_load_n(&stop, __ATOMIC_ACQUIRE)) {
                          std::this_thread::sleep_for(std::chrono::milliseconds(1));
                      }
                  });
                  const app::PrivilegedStart s = app::RunPrivilegedStart({});
                  __atomic_store_n(&stop, true, __ATOMIC_RELEASE);
                  early.join();
                  const std::vector<std::string> warnings = app::PrivilegeWarnings(s);
                  const bool reported =
                      !s.capabilitiesDropped && s.dropProblem.find("capacités encore détenues") != std::string::npos &&
                      warnings.size() == 4U && warnings[2] == "!!! Les privilèges n'ont pas pu être abandonnés.";
                  return reported ? 0 : 1;
              }),
              0);
}

TEST(PrivilegedStart, TheDirectBackendUsesWhatWasGranted) {
    DirectPortIo direct(0x378, 0x278);
    EXPECT_FALSE(direct.EnsureOpen());  // nothing granted
    EXPECT_NE(direct.UnavailableReason().find("non accordé"), std::string::npos);
    EXPECT_EQ(direct.In(0x379), 0xFF);  // and no port touched
    direct.SetAccess(false, "Accès direct aux ports 0x378 refusé : l'exécutable doit avoir la capacité CAP_SYS_RAWIO");
    EXPECT_FALSE(direct.EnsureOpen());
    EXPECT_NE(direct.UnavailableReason().find("CAP_SYS_RAWIO"), std::string::npos);
}

TEST(TraceFile, RootNeverWritesIntoAnotherUsersFile) {
    test::TempConfig cfg;
    const fs::path mine = cfg.Root() / "mine.trace";
    const fs::path theirs = cfg.Root() / "theirs.trace";
    const fs::path link = cfg.Root() / "link.trace";
    std::ofstream(theirs.string()) << "someone's\n";
    fs::create_symlink(mine, link);
    const bool canChown = chown(theirs.c_str(), 65534, 65534) == 0;

    std::string problem;
    auto buf = app::OpenTraceFile(mine.string(), true, problem);
    ASSERT_NE(buf, nullptr) << problem;
    std::ostream(buf.get()) << "12 out 0x378 0x22\n";
    buf.reset();
    std::ifstream in(mine);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "12 out 0x378 0x22");

    EXPECT_EQ(app::OpenTraceFile(link.string(), true, problem), nullptr);
    EXPECT_NE(problem.find("lien symbolique refusé sous le compte root"), std::string::npos) << problem;
    EXPECT_NE(app::OpenTraceFile(link.string(), false, problem), nullptr);  // an ordinary user may
    if (canChown) {
        EXPECT_EQ(app::OpenTraceFile(theirs.string(), true, problem), nullptr);
        EXPECT_EQ(problem, "Fichier de trace refusé : " + theirs.string() +
                               " appartient à un autre utilisateur et Axo est lancé sous le compte root");
        std::ifstream again(theirs);
        std::getline(again, line);
        EXPECT_EQ(line, "someone's");
    }
}

// --- The real program ----------------------------------------------------------------------

struct ProgramRun {
    std::string stderrText;
    std::vector<std::string> threads;  // "tid CapPrm=... CapEff=..." for every thread
    std::vector<std::string> holders;  // the threads that hold any capability
    int exitStatus = -1;
    bool shown = false;
};

// One field of a thread's status file.
std::string Field(const std::string& status, const std::string& name) {
    std::istringstream in(status);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            return line.substr(line.find_first_not_of("\t ", name.size() + 1));
        }
    }
    return "?";
}

// Starts `binary` with `env`, waits for its main window, reads every thread's capabilities,
// then ends it with SIGTERM. `uid` other than -1: the program runs as that user.
ProgramRun RunProgram(const std::string& binary, const std::vector<std::string>& env, int uid) {
    ProgramRun run;
    int err[2];
    if (pipe(err) != 0) {
        return run;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(err[1], STDERR_FILENO);
        close(err[0]);
        close(err[1]);
        for (const std::string& e : env) {
            putenv(const_cast<char*>(e.c_str()));
        }
        if (uid >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(uid)) != 0 ||
                         setuid(static_cast<uid_t>(uid)) != 0)) {
            _exit(126);
        }
        execl(binary.c_str(), binary.c_str(), "--no-welcome", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(err[1]);
    fcntl(err[0], F_SETFL, O_NONBLOCK);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    char buf[4096];
    while (!run.shown && Clock::now() < deadline) {
        const ssize_t n = read(err[0], buf, sizeof buf);
        if (n > 0) {
            run.stderrText.append(buf, static_cast<std::size_t>(n));
            run.shown = run.stderrText.find("axo-shown ") != std::string::npos;
        } else if (n == 0 || waitpid(pid, nullptr, WNOHANG) == pid) {
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (run.shown) {
        // Give the platform's late threads (D-Bus, the X11 event queue) time to exist.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const fs::path tasks = "/proc/" + std::to_string(pid) + "/task";
        for (const auto& t : fs::directory_iterator(tasks)) {
            std::ifstream in(t.path() / "status");
            std::stringstream status;
            status << in.rdbuf();
            const std::string s = status.str();
            const std::string line = t.path().filename().string() + " " + Field(s, "Name") + " CapInh=" +
                                     Field(s, "CapInh") + " CapPrm=" + Field(s, "CapPrm") + " CapEff=" +
                                     Field(s, "CapEff") + " CapAmb=" + Field(s, "CapAmb");
            run.threads.push_back(line);
            for (const char* f : {"CapInh", "CapPrm", "CapEff", "CapAmb"}) {
                if (Field(s, f).find_first_not_of('0') != std::string::npos) {
                    run.holders.push_back(line);
                    break;
                }
            }
        }
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    for (ssize_t n; (n = read(err[0], buf, sizeof buf)) > 0;) {
        run.stderrText.append(buf, static_cast<std::size_t>(n));
    }
    close(err[0]);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

std::string Lines(const std::vector<std::string>& v) {
    std::string out;
    for (const std::string& s : v) {
        out += s + "\n";
    }
    return out;
}

TEST(RunningProgram, NoThreadHoldsACapabilityOnX11OrOffscreen) {
    test::Xvfb xvfb;
    if (xvfb.Display().empty()) {
        ADD_FAILURE() << "Xvfb could not be started (package xvfb)";
    }
    const bool root = geteuid() == 0;

    // Who runs it: the current user (root in CI: every capability at start); and, when this
    // test may set it up, an ordinary user with a copy of the program that has the raw-I/O
    // file capability.
    struct Who {
        std::string what;
        std::string binary;
        int uid;
    };
    std::vector<Who> runners{{root ? "root" : "this user", AXO_BINARY, -1}};
    test::TempConfig scratch;
    const fs::path copy = scratch.Root() / "bin" / "axo";
    struct statvfs vfs {};
    if (root && statvfs(scratch.Root().c_str(), &vfs) == 0 && (vfs.f_flag & ST_NOSUID) == 0) {
        fs::create_directories(copy.parent_path());
        fs::copy_file(AXO_BINARY, copy);
        chmod(scratch.Root().c_str(), 0755);
        chmod(copy.parent_path().c_str(), 0755);
        const std::string setcap = "setcap cap_sys_rawio+p " + copy.string() + " 2>/dev/null";
        if (std::system(setcap.c_str()) == 0) {
            runners.push_back({"nobody with cap_sys_rawio+p", copy.string(), 65534});
        }
    }
    if (runners.size() == 1) {
        std::printf("note: the file-capability case needs root, setcap (libcap2-bin) and a suid-capable /tmp\n");
    }

    for (const Who& who : runners) {
        for (const std::string platform : {"xcb", "offscreen"}) {
            if (platform == "xcb" && xvfb.Display().empty()) {
                continue;
            }
            SCOPED_TRACE(who.what + ", " + platform);
            // Its own configuration: no box can hold the start, direct port I/O chosen so that the
            // privileged step has ranges to grant (no function uses them: no port is touched).
            test::TempConfig cfg;
            cfg.Write("Axo.ini", "[Axo]\ndisplay_welcome=0\ninterface_ra=0\ninterface_de=0\ninterface_dome=0\n"
                                 "interface_coders=0\ninterface_focus=0\ninterface_filter=0\n");
            cfg.Write("hardware.ini", "[parallel]\nbackend=direct\n");
            if (who.uid >= 0) {
                for (const auto& e : fs::recursive_directory_iterator(cfg.Root())) {
                    (void)chown(e.path().c_str(), static_cast<uid_t>(who.uid), static_cast<gid_t>(who.uid));
                }
                (void)chown(cfg.Root().c_str(), static_cast<uid_t>(who.uid), static_cast<gid_t>(who.uid));
            }
            std::vector<std::string> env{"XDG_CONFIG_HOME=" + cfg.Root().string(), "HOME=" + cfg.Root().string(),
                                         "AXO_STARTUP_REPORT=1", "QT_QPA_PLATFORM=" + platform,
                                         "XDG_RUNTIME_DIR=" + cfg.Root().string()};
            if (platform == "xcb") {
                env.push_back("DISPLAY=" + xvfb.Display());
            }
            const ProgramRun run = RunProgram(who.binary, env, who.uid);
            ASSERT_TRUE(run.shown) << run.stderrText;
            std::printf("checked: %s on %s, %zu threads\n", who.what.c_str(), platform.c_str(), run.threads.size());
            if (platform == "xcb") {
                // The X11 platform runs its event queue in a thread of its own: the case that was wrong.
                EXPECT_GE(run.threads.size(), 2U) << Lines(run.threads);
            }
            EXPECT_TRUE(run.holders.empty()) << Lines(run.holders) << "all threads:\n" << Lines(run.threads);
            EXPECT_EQ(run.stderrText.find("privilèges n'ont pas pu"), std::string::npos) << run.stderrText;
            const bool warned = run.stderrText.find("Axo est lancé sous le compte root : il ne doit pas l'être.") !=
                                std::string::npos;
            EXPECT_EQ(warned, who.uid < 0 && root) << run.stderrText;
            EXPECT_EQ(run.exitStatus, 0) << run.stderrText;
        }
    }
}

}  // namespace
}  // namespace axo
