// The real program keeps a shared Windows-1252 file byte for byte and removes only its own leftovers.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/temp_config.h"

namespace {

// True once the process handles `signo`, so that the signal ends it cleanly.
bool Catches(pid_t pid, int signo) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            return (std::stoull(line.substr(7), nullptr, 16) >> (signo - 1)) & 1ULL;
        }
    }
    return false;
}

// Runs the program until its main window is up, then ends it as a logout would.
void RunOnce() {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(AXO_BINARY, AXO_BINARY, "--no-welcome", static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 1000 && !Catches(pid, SIGTERM); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(Catches(pid, SIGTERM));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, SIGTERM);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 2000 && (ended = waitpid(pid, &status, WNOHANG)) == 0; ++i) {  // 20 s: an open box hangs it
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "the program did not end on SIGTERM";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

const std::string kQuiet =
    "display_welcome=0\r\ntimer_value=77\r\ninterface_ra=0\r\ninterface_de=0\r\ninterface_coders=0\r\n"
    "interface_focus=0\r\ninterface_filter=0\r\n";

TEST(RunningProgram, KeepsAWindows1252FileByteForByteAndCleansOnlyItsOwnLeftovers) {
    axo::test::TempConfig cfg;
    const std::string head = "[Observateur]\r\nnom=Arr\xEAt \x9C \x80\r\n\r\n[Axo]\r\n";
    const std::string tail = "\r\n[Pi\xE8\x63\x65s]\r\nfiltre=Rouge fonc\xE9\r\n";
    cfg.Write("Axo.ini", head + "label_dome_dir1=C\xF4t\xE9\r\n" + kQuiet + tail);
    cfg.Write(".Axo.ini.k1LLed", "[Axo]\r\nungear= 0\r\n");  // a save killed in an earlier run
    cfg.Write(".Axo.ini.notes", "not ours");
    RunOnce();
    const std::string after = cfg.Read("Axo.ini");
    EXPECT_EQ(after.rfind(head + "label_dome_dir1=C\xF4t\xE9\r\ndisplay_welcome= 0\r\ntimer_value= 77\r\n", 0), 0u)
        << after;
    EXPECT_EQ(after.substr(after.size() - tail.size()), tail);
    EXPECT_NE(after.find("\r\ncount_alpha=0,995\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(cfg.File(".Axo.ini.k1LLed")));
    EXPECT_TRUE(std::filesystem::exists(cfg.File(".Axo.ini.notes")));
    EXPECT_EQ(cfg.FileCount(), 2u);
}

}  // namespace
