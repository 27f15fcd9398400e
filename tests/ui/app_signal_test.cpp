// The running program ends on SIGTERM, SIGINT and SIGHUP exactly as on File > Quit: the
// settings file is written, keeping what it held besides the program's keys.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/temp_config.h"

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

}  // namespace
