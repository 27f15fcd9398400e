#include <gtest/gtest.h>

#include <sstream>

#include "interfaces/fake_port_io.h"
#include "interfaces/parallel/direct_port_io.h"
#include "interfaces/parallel/hardware_config.h"
#include "interfaces/parallel/ppdev_port_io.h"
#include "interfaces/parallel/tracing_port_io.h"
#include "support/temp_config.h"

namespace axo {
namespace {

TEST(HardwareFile, DefaultsKeysAndBadValues) {
    test::TempConfig config;
    HardwareFileResult absent = ReadHardwareFile();
    EXPECT_EQ(absent.parallel.backend, ParallelBackend::Ppdev);
    EXPECT_EQ(absent.parallel.commandDevice, "/dev/parport0");
    EXPECT_EQ(absent.parallel.dataDevice, "/dev/parport1");
    EXPECT_TRUE(absent.problems.empty());

    config.Write("hardware.ini",
                 "[serial]\nport1=/dev/ttyUSB0\n[Parallel]\nBackend = Direct\ncommand_base=0x3BC\ndata_base=632\n"
                 "data_device=/dev/parport3\n");
    HardwareFileResult direct = ReadHardwareFile();
    EXPECT_EQ(direct.parallel.backend, ParallelBackend::Direct);
    EXPECT_EQ(direct.parallel.commandBase, 0x3BC);
    EXPECT_EQ(direct.parallel.dataBase, 632);
    EXPECT_EQ(direct.parallel.dataDevice, "/dev/parport3");
    EXPECT_EQ(direct.parallel.commandDevice, "/dev/parport0");
    EXPECT_TRUE(direct.problems.empty());

    config.Write("hardware.ini", "[parallel]\nbackend=laser\ncommand_base=0xZZ\ndata_base=0\n");
    HardwareFileResult bad = ReadHardwareFile();
    EXPECT_EQ(bad.parallel.backend, ParallelBackend::Ppdev);
    EXPECT_EQ(bad.parallel.commandBase, 0x378);
    EXPECT_EQ(bad.parallel.dataBase, 0x278);
    EXPECT_EQ(bad.problems.size(), 3U);

    config.Write("hardware.ini", "[parallel]\nbackend=simulated\n");
    EXPECT_EQ(ReadHardwareFile().parallel.backend, ParallelBackend::Simulated);
}

TEST(TracingPortIo, OneLinePerWriteAndPerMessageWithTheMilliseconds) {
    VirtualClock clock;
    test::FakePortIo inner;
    std::ostringstream out;
    TracingPortIo trace(inner, clock, out);
    clock.Advance(12);
    trace.Out(0x378, 0x22);
    clock.Advance(3);
    trace.Note("message 1 La Coupole est ARRETEE sur sa Position ZERO");
    inner.SetInput(0x25);
    EXPECT_EQ(trace.In(0x379), inner.commandStatus);  // reads pass without a line
    trace.Out(0x278, 0xB6);
    EXPECT_EQ(out.str(),
              "12 out 0x378 0x22\n15 message 1 La Coupole est ARRETEE sur sa Position ZERO\n15 out 0x278 0xB6\n");
    EXPECT_EQ(inner.writes, (std::vector<test::FakePortIo::Write>{{0x378, 0x22}, {0x278, 0xB6}}));
    EXPECT_EQ(inner.notes.size(), 1U);
}

TEST(RealBackends, AMissingDeviceIsReportedInFrenchAndNeverFaults) {
    PpdevPortIo ppdev("/nonexistent/parport7", "/nonexistent/parport8");
    EXPECT_FALSE(ppdev.Open());
    EXPECT_NE(ppdev.UnavailableReason().find("Impossible d'ouvrir /nonexistent/parport7 : le port n'existe pas"),
              std::string::npos);
    EXPECT_NE(ppdev.UnavailableReason().find("/nonexistent/parport8"), std::string::npos);
    uint16_t a = 0;
    uint16_t b = 0;
    ppdev.GetAddressLPT(a, b);
    EXPECT_NE(a, b);
    EXPECT_EQ(ppdev.In(static_cast<uint16_t>(a + 1)), 0xFF);  // all lines high
    ppdev.Out(a, 0x12);
    ppdev.ResetLPT();

    EXPECT_NE(DeviceErrorText("/dev/parport0", EACCES).find("groupe lp"), std::string::npos);
    EXPECT_NE(DeviceErrorText("/dev/parport0", EBUSY).find("utilisé par un autre programme"), std::string::npos);

    // Without a successful Open, direct port I/O touches no port at all (it would fault).
    DirectPortIo direct(0x378, 0x278);
    EXPECT_EQ(direct.In(0x379), 0xFF);
    direct.Out(0x378, 0x55);
    direct.ResetLPT();
    direct.GetAddressLPT(a, b);
    EXPECT_EQ(a, 0x378);
    EXPECT_EQ(b, 0x278);
}

}  // namespace
}  // namespace axo
