#include "platform/night_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/codes.h"
#include "support/temp_config.h"

namespace axo {
namespace {

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(NightLog, ANightRunsFromNoonToNoonUtc) {
    struct Case { PcDateTime utc; const char* file; };
    const Case cases[] = {
        {{2026, 12, 6, 12, 0, 0, 0}, "axo-2026-12-06.log"},
        {{2026, 12, 6, 23, 59, 59, 0}, "axo-2026-12-06.log"},
        {{2026, 12, 7, 11, 59, 59, 0}, "axo-2026-12-06.log"},
        {{2026, 12, 7, 12, 0, 0, 0}, "axo-2026-12-07.log"},
        {{2027, 1, 1, 3, 0, 0, 0}, "axo-2026-12-31.log"},   // across the year
        {{2028, 3, 1, 6, 0, 0, 0}, "axo-2028-02-29.log"},   // leap day
        {{2026, 3, 1, 6, 0, 0, 0}, "axo-2026-02-28.log"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NightLog::NightFileName(c.utc), c.file) << c.file;
    }
}

TEST(NightLog, LinesAreStampedOneAFileAndOnDiskAtOnce) {
    test::TempConfig tmp;
    NightLog log(tmp.Root() / "state" / "axo");
    ASSERT_TRUE(log.Write({2026, 12, 6, 22, 5, 7, 0}, "Centrage Alpha +"));
    // Read back while the log is still open: nothing waits in a buffer.
    const auto first = log.CurrentFile();
    EXPECT_EQ(ReadAll(first), "2026-12-06 22:05:07  Centrage Alpha +\n");
    ASSERT_TRUE(log.Write({2026, 12, 7, 3, 0, 0, 0}, "Erreur | Réception impossible\nLa platine"));
    EXPECT_EQ(log.CurrentFile(), first);
    EXPECT_EQ(ReadAll(first),
              "2026-12-06 22:05:07  Centrage Alpha +\n2026-12-07 03:00:00  Erreur | Réception impossible La platine\n");
    ASSERT_TRUE(log.Write({2026, 12, 7, 12, 0, 1, 0}, "Suivi"));
    EXPECT_EQ(log.CurrentFile().filename(), "axo-2026-12-07.log");
}

TEST(NightLog, NightsOlderThanTheRetentionAreRemovedAndOtherFilesKept) {
    test::TempConfig tmp;
    const auto dir = tmp.Root() / "log";
    std::filesystem::create_directories(dir);
    for (const char* name : {"axo-2026-10-01.log", "axo-2026-11-05.log", "axo-2026-11-06.log", "axo-2026-12-01.log",
                             "notes.txt", "axo-2020-01-01.log.bak"}) {
        std::ofstream(dir / name) << "x\n";
    }
    NightLog log(dir, 30);
    // The night of 2026-12-06: kept from 2026-11-06 on.
    ASSERT_TRUE(log.Write({2026, 12, 6, 20, 0, 0, 0}, "Démarrage"));
    for (const char* gone : {"axo-2026-10-01.log", "axo-2026-11-05.log"}) {
        EXPECT_FALSE(std::filesystem::exists(dir / gone)) << gone;
    }
    for (const char* kept : {"axo-2026-11-06.log", "axo-2026-12-01.log", "notes.txt", "axo-2020-01-01.log.bak",
                             "axo-2026-12-06.log"}) {
        EXPECT_TRUE(std::filesystem::exists(dir / kept)) << kept;
    }
}

// Every command the pad, the dome, the focuser and the filter give is written by its meaning.
TEST(NightLog, EachCommandIsWrittenByItsMeaning) {
    struct Case { int16_t code; int16_t arg; const char* text; };
    const Case cases[] = {
        {CMD_ALPHA_PLUS, kStart, "Alpha + : départ"},   {CMD_ALPHA_PLUS, kStop, "Alpha + : arrêt"},
        {CMD_ALPHA_MINUS, kStart, "Alpha - : départ"},  {CMD_DELTA_PLUS, kStop, "Delta + : arrêt"},
        {CMD_TRACKING, kStop, "Suivi : arrêt"},         {CMD_ALPHA_MODE, SPEED_POINTING, "Vitesse Alpha : pointage"},
        {CMD_DOME_TRACKING, kStart, "Suivi coupole : marche"}, {CMD_DOME_DIR1, kStop, "Coupole sens 1 : arrêt"},
        {CMD_DOME_REST, 0, "Coupole : mise au repos"},  {CMD_FOCUS_DIR2, kStop, "Focus sens 2 : arrêt"},
        {CMD_CONTROL_MODE, 1, "Mode : commande"},       {CMD_FILTER, 0, "Filtre"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CommandLogText(c.code, c.arg), c.text);
    }
    EXPECT_EQ(CommandLogText(CMD_FILTER, 0, "Vert"), "Filtre : Vert");
    EXPECT_EQ(CommandLogText(CMD_ALPHA_PLUS, 7), "Alpha + (7)");  // an argument it never takes stays visible
    EXPECT_EQ(CommandLogText(999, 3), "Commande 999 (3)");
}

TEST(NightLog, FolderFollowsXdgStateHomeAndMayBeUnwritable) {
    const char* old = std::getenv("XDG_STATE_HOME");
    const std::string saved = old != nullptr ? old : "";
    setenv("XDG_STATE_HOME", "/var/tmp/st", 1);
    EXPECT_EQ(NightLog::DefaultDir(), std::filesystem::path("/var/tmp/st/axo"));
    setenv("XDG_STATE_HOME", "relative", 1);  // not absolute: ignored, as the convention says
    setenv("HOME", "/home/obs", 1);
    EXPECT_EQ(NightLog::DefaultDir(), std::filesystem::path("/home/obs/.local/state/axo"));
    if (old != nullptr) {
        setenv("XDG_STATE_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_STATE_HOME");
    }

    // A folder that cannot be made is reported, not fatal.
    test::TempConfig tmp;
    const auto file = tmp.Root() / "plain";
    std::ofstream(file) << "a file where the folder should be";
    NightLog log(file / "axo");
    EXPECT_FALSE(log.Write({2026, 12, 6, 20, 0, 0, 0}, "x"));
    EXPECT_FALSE(log.Write({2026, 12, 6, 20, 0, 1, 0}, "y"));  // again, without a crash
}

}  // namespace
}  // namespace axo
