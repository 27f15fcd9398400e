#include <gtest/gtest.h>

#include "interfaces/parallel/hardware_config.h"
#include "support/temp_config.h"

namespace axo {
namespace {

// The [Link] section: every key as read, and what a bad value falls back to.
void ExpectLink(const HardwareFileResult& r, bool enabled, const std::string& address, int port, bool control,
                unsigned idleTimeoutS, std::size_t problems) {
    EXPECT_EQ(r.link.enabled, enabled);
    EXPECT_EQ(r.link.address, address);
    EXPECT_EQ(r.link.port, port);
    EXPECT_EQ(r.link.control, control);
    EXPECT_EQ(r.link.idleTimeoutS, idleTimeoutS);
    EXPECT_EQ(r.problems.size(), problems);
}

TEST(LinkHardwareFile, SectionLink) {
    test::TempConfig config;
    ExpectLink(ReadHardwareFile(), false, "127.0.0.1", 4030, false, 300, 0);  // off unless asked for
    config.Write("hardware.ini", "[Link]\nEnabled=1\naddress=0.0.0.0\nport=10001\ncontrol=1\nidle_timeout=0\n");
    ExpectLink(ReadHardwareFile(), true, "0.0.0.0", 10001, true, 0, 0);  // a zero time-out: never cut off
    config.Write("hardware.ini", "[link]\nenabled=yes\nport=70000\ncontrol=2\nidle_timeout=90000\n");
    ExpectLink(ReadHardwareFile(), false, "127.0.0.1", 4030, false, 300, 4);
    for (const char* bad : {"0", "", "4030x", "-1", "123456"}) {
        SCOPED_TRACE(bad);
        config.Write("hardware.ini", std::string("[link]\nport=") + bad + "\n");
        ExpectLink(ReadHardwareFile(), false, "127.0.0.1", 4030, false, 300, 1);
    }
}

// Whatever the reader skips is said, as the file's other mistakes are.
TEST(HardwareFile, DamageIsReported) {
    const auto utf16 = [](const std::string& ascii, bool mark) {
        std::string out = mark ? "\xFF\xFE" : "";
        for (char c : ascii) {
            out += std::string{c, '\0'};
        }
        return out;
    };
    struct Case { std::string what, file; std::vector<std::string> says; ParallelBackend backend; };  // says: in order
    const Case cases[] = {
        {"UTF-16", utf16("[parallel]\r\nbackend=direct\r\n", true), {}, ParallelBackend::Direct},
        {"UTF-16 sans marque", utf16("[parallel]\r\nbackend=direct\r\n", false),
         {"endommagé : 28 caractères nuls", "Ligne 2 incompréhensible", "Ligne 4 incompréhensible",
          "Ligne 5 incompréhensible"},
         ParallelBackend::Ppdev},
        {"binaire", std::string("\x7F" "ELF\x02\x01\x01\0\0", 9), {"endommagé", "Ligne 1 incompréhensible"},
         ParallelBackend::Ppdev},
        {"tronqué", "[parallel]\nbackend=direct\ncommand_ba", {"Ligne 3 incompréhensible"}, ParallelBackend::Direct},
        {"hors section", "backend=simulated\n[serial]\nport1=/dev/ttyUSB0\n",
         {"Clé backend hors de toute section"}, ParallelBackend::Ppdev},
        {"clé inconnue, limite hors bornes", "[pointing]\nmin_altitud=5\nhour_angle_west=13\n[Parallel]\nBackend=none\n",
         {"Valeur hour_angle_west incorrecte", "Clé inconnue [pointing] min_altitud"}, ParallelBackend::None},
    };
    test::TempConfig config;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        config.Write("hardware.ini", c.file);
        const HardwareFileResult r = ReadHardwareFile();
        EXPECT_EQ(r.parallel.backend, c.backend);
        std::string all;
        for (const std::string& p : r.problems) {
            all += p + "\n";
        }
        EXPECT_EQ(r.problems.size(), c.says.size()) << all;
        for (std::size_t i = 0; i < r.problems.size() && i < c.says.size(); ++i) {
            EXPECT_NE(r.problems[i].find(c.says[i]), std::string::npos) << r.problems[i];
        }
    }
}

}  // namespace
}  // namespace axo
