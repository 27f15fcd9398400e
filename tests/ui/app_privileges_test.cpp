// Port grants and the capability drop before any thread exists; trace files root may not write.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/hardware.h"
#include "app/privileges.h"
#include "interfaces/parallel/direct_port_io.h"
#include "support/temp_config.h"

namespace axo {
namespace {

namespace fs = std::filesystem;

bool HasCapabilities() { return std::system("grep -qE '^CapEff:[[:space:]]+0+$' /proc/self/status") != 0; }

// Runs `body` in a child process (ours keeps its capabilities) and returns its exit status.
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
    auto ranges = [](const HardwareFileResult& file, bool simulate) {  // "first+count " each
        std::string out;
        for (const app::IoRange& r : app::IoRangesToGrant(file, simulate)) {
            out += std::to_string(r.first) + "+" + std::to_string(r.count) + " ";
        }
        return out;
    };
    HardwareFileResult file;
    // By default: parallel ports through ppdev (no range), the card's six registers at the settings' base.
    EXPECT_EQ(ranges(file, false), "760+6 ");
    file.eik120.backend = EikBackend::None;
    EXPECT_EQ(ranges(file, false), "");
    file.parallel.backend = ParallelBackend::Direct;
    file.parallel.commandBase = 0x3BC;
    EXPECT_EQ(ranges(file, false), "956+3 632+3 ");  // 0x3BC, and the data port's 0x278
    file.eik120.backend = EikBackend::Direct;
    EXPECT_EQ(ranges(file, true), "");  // the simulation touches no port
}

TEST(PrivilegedStart, DropsEverythingAndChecksEveryThread) {
    if (!HasCapabilities()) {
        GTEST_SKIP() << "this test process holds no capability (run as root to check the drop)";
    }
    // Alone: no capability left, nor for a program it starts; the range granted or refused by its name.
    EXPECT_EQ(InChild([] {
                  const app::PrivilegedStart s = app::RunPrivilegedStart({{0x378, 3, "port"}});
                  const app::IoGrant* g = s.Grant(0x378);
                  const bool clean = s.capabilitiesDropped && s.runningAsRoot && app::PrivilegeWarnings(s).size() == 2U &&
                                     app::ThreadsHoldingCapabilities(nullptr).empty() && g != nullptr &&
                                     (g->granted || g->reason.find("0x378") != std::string::npos);
                  const std::string children = "test $(grep -cE '^(CapEff|CapPrm|CapBnd):[[:space:]]+0+$|"
                                               "^NoNewPrivs:[[:space:]]+1$' /proc/self/status) = 4";
                  return !clean ? 1 : std::system(children.c_str()) == 0 ? 0 : 2;
              }),
              0);
    // A thread started before keeps its capabilities, and the check finds it.
    EXPECT_EQ(InChild([] {
                  std::atomic<bool> stop{false};
                  std::thread early([&stop] {
                      while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                  });
                  const app::PrivilegedStart s = app::RunPrivilegedStart({});
                  stop = true;
                  early.join();
                  const std::vector<std::string> w = app::PrivilegeWarnings(s);
                  return !s.capabilitiesDropped && s.dropProblem.find("capacités encore détenues") != std::string::npos &&
                                 w.size() == 4U && w[2] == "!!! Les privilèges n'ont pas pu être abandonnés."
                             ? 0
                             : 1;
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
    const fs::path mine = cfg.File("mine.trace");
    const fs::path theirs = cfg.File("theirs.trace");
    const fs::path link = cfg.File("link.trace");
    cfg.Write("theirs.trace", "someone's\n");
    fs::create_symlink(mine, link);
    const bool canChown = chown(theirs.c_str(), 65534, 65534) == 0;

    std::string problem;
    auto buf = app::OpenTraceFile(mine.string(), true, problem);
    ASSERT_NE(buf, nullptr) << problem;
    std::ostream(buf.get()) << "12 out 0x378 0x22\n";
    buf.reset();
    EXPECT_EQ(cfg.Read("mine.trace"), "12 out 0x378 0x22\n");

    EXPECT_EQ(app::OpenTraceFile(link.string(), true, problem), nullptr);
    EXPECT_NE(problem.find("lien symbolique refusé sous le compte root"), std::string::npos) << problem;
    EXPECT_NE(app::OpenTraceFile(link.string(), false, problem), nullptr);  // an ordinary user may
    if (canChown) {
        EXPECT_EQ(app::OpenTraceFile(theirs.string(), true, problem), nullptr);
        EXPECT_EQ(problem, "Fichier de trace refusé : " + theirs.string() +
                               " appartient à un autre utilisateur et Axo est lancé sous le compte root");
        EXPECT_EQ(cfg.Read("theirs.trace"), "someone's\n");
    }
}

}  // namespace
}  // namespace axo
