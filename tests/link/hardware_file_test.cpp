#include <gtest/gtest.h>

#include "interfaces/parallel/hardware_config.h"
#include "support/temp_config.h"

namespace axo {
namespace {

TEST(LinkHardwareFile, SectionLink) {
    test::TempConfig config;
    HardwareFileResult r = ReadHardwareFile();
    EXPECT_FALSE(r.link.enabled);  // off unless asked for
    EXPECT_EQ(r.link.address, "127.0.0.1");
    EXPECT_EQ(r.link.port, 4030);
    EXPECT_FALSE(r.link.control);

    EXPECT_EQ(r.link.idleTimeoutS, 300u);

    config.Write("hardware.ini", "[Link]\nEnabled=1\naddress=0.0.0.0\nport=10001\ncontrol=1\nidle_timeout=0\n");
    r = ReadHardwareFile();
    EXPECT_EQ(r.link.idleTimeoutS, 0u);  // never cut off
    EXPECT_TRUE(r.link.enabled);
    EXPECT_EQ(r.link.address, "0.0.0.0");
    EXPECT_EQ(r.link.port, 10001);
    EXPECT_TRUE(r.link.control);
    EXPECT_TRUE(r.problems.empty());

    config.Write("hardware.ini", "[link]\nenabled=yes\nport=70000\ncontrol=2\nidle_timeout=90000\n");
    r = ReadHardwareFile();
    EXPECT_FALSE(r.link.enabled);
    EXPECT_EQ(r.link.port, 4030);
    EXPECT_FALSE(r.link.control);
    EXPECT_EQ(r.link.idleTimeoutS, 300u);
    EXPECT_EQ(r.problems.size(), 4u);
    for (const char* bad : {"0", "", "4030x", "-1", "123456"}) {
        config.Write("hardware.ini", std::string("[link]\nport=") + bad + "\n");
        r = ReadHardwareFile();
        EXPECT_EQ(r.link.port, 4030) << bad;
        EXPECT_EQ(r.problems.size(), 1u) << bad;
    }
}

}  // namespace
}  // namespace axo
