#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>

#include "interfaces/fake_port_io.h"
#include "interfaces/fake_serial.h"
#include "interfaces/parallel/direct_port_io.h"
#include "interfaces/parallel/hardware_config.h"
#include "interfaces/parallel/ppdev_port_io.h"
#include "interfaces/parallel/tracing_port_io.h"
#include "platform/termios_serial.h"
#include "platform/tracing_serial.h"
#include "support/temp_config.h"

namespace axo {
namespace {

TEST(HardwareFile, DefaultsKeysAndBadValuesOfEverySection) {
    test::TempConfig config;
    const HardwareFileResult absent = ReadHardwareFile();
    EXPECT_EQ(absent.parallel.backend, ParallelBackend::Ppdev);
    EXPECT_EQ(absent.parallel.commandDevice, "/dev/parport0");
    EXPECT_EQ(absent.parallel.dataDevice, "/dev/parport1");
    EXPECT_EQ(absent.serial.backend, SerialBackend::Termios);
    EXPECT_EQ(absent.serial.ports, (std::array<std::string, 4>{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"}));
    EXPECT_EQ(absent.eik120.backend, EikBackend::Direct);
    EXPECT_EQ(absent.eik120.uioDevice, "");
    EXPECT_TRUE(absent.problems.empty());

    // Section and key names in any case, spaces around the '=', numbers in hex or decimal.
    config.Write("hardware.ini", "[Serial]\nPort2 = /dev/ttyUSB0\nport4=/dev/ttyMI3\nport3=\nbackend=Simulated\n"
                                 "[Parallel]\nBackend = Direct\ncommand_base=0x3BC\ndata_base=632\n"
                                 "data_device=/dev/parport3\n[EIK120]\nbackend=Simulated\nuio_device=/dev/uio3\n");
    const HardwareFileResult set = ReadHardwareFile();
    EXPECT_EQ(set.parallel.backend, ParallelBackend::Direct);
    EXPECT_EQ(set.parallel.commandBase, 0x3BC);
    EXPECT_EQ(set.parallel.dataBase, 632);
    EXPECT_EQ(set.parallel.dataDevice, "/dev/parport3");
    EXPECT_EQ(set.parallel.commandDevice, "/dev/parport0");
    EXPECT_EQ(set.serial.backend, SerialBackend::Simulated);
    EXPECT_EQ(set.serial.ports, (std::array<std::string, 4>{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyS2", "/dev/ttyMI3"}));
    EXPECT_EQ(set.eik120.backend, EikBackend::Simulated);
    EXPECT_EQ(set.eik120.uioDevice, "/dev/uio3");
    EXPECT_TRUE(set.problems.empty());
    TermiosSerial serial(std::vector<std::string>(set.serial.ports.begin(), set.serial.ports.end()));
    EXPECT_EQ(serial.DevicePath(2), "/dev/ttyUSB0");
    EXPECT_EQ(serial.DevicePath(5), "");

    // A bad value keeps its default and is named in its own problem line.
    config.Write("hardware.ini", "[parallel]\nbackend=laser\ncommand_base=0xZZ\ndata_base=0\n[serial]\nbackend=usb\n"
                                 "[eik120]\nbackend=isa\n");
    const HardwareFileResult bad = ReadHardwareFile();
    EXPECT_EQ(bad.parallel.backend, ParallelBackend::Ppdev);
    EXPECT_EQ(bad.parallel.commandBase, 0x378);
    EXPECT_EQ(bad.parallel.dataBase, 0x278);
    EXPECT_EQ(bad.serial.backend, SerialBackend::Termios);
    EXPECT_EQ(bad.eik120.backend, EikBackend::Direct);
    ASSERT_EQ(bad.problems.size(), 5U);
    for (const std::string word : {"laser", "0xZZ", "usb", "EIK120"}) {
        EXPECT_EQ(std::count_if(bad.problems.begin(), bad.problems.end(),
                                [&](const std::string& p) { return p.find(word) != std::string::npos; }),
                  1)
            << word;
    }

    for (const auto& [text, backend] : std::vector<std::pair<std::string, ParallelBackend>>{
             {"simulated", ParallelBackend::Simulated}, {"none", ParallelBackend::None}}) {
        config.Write("hardware.ini", "[parallel]\nbackend=" + text + "\n");
        EXPECT_EQ(ReadHardwareFile().parallel.backend, backend) << text;
    }
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

TEST(SerialTrace, EveryCallWithItsTimeItsPortAndItsBytesMadeVisible) {
    test::Log log;
    VirtualClock clock;
    test::FakeSerial inner(log, clock);
    inner.replies[2] = {std::string("+12\r\x01", 5)};
    std::ostringstream out;
    TracingSerial trace(inner, clock, out);
    clock.Advance(5);
    trace.sio_open(2);
    trace.sio_ioctl(2, kSioBaud9600, kSioMode8N1);
    trace.sio_putch(2, kEtx);
    clock.Advance(300);
    trace.sio_write(2, "a \r\n", 4);
    char buf[256];
    trace.sio_read(2, buf, 256);
    trace.sio_read(2, buf, 256);
    inner.Fail("flush", 2, SIO_BADPORT);
    trace.sio_flush(2, 0);
    trace.sio_close(2);
    EXPECT_EQ(out.str(),
              "5 serial 2 open -> 0\n"
              "5 serial 2 ioctl 12 3 -> 0\n"
              "5 serial 2 putch \"<ETX>\" -> 0\n"
              "305 serial 2 write \"a <CR><LF>\" -> 4\n"
              "305 serial 2 read -> 5 \"+12<CR><01>\"\n"
              "305 serial 2 read -> 0\n"
              "305 serial 2 flush 0 -> -1\n"
              "305 serial 2 close -> 0\n");
}

}  // namespace
}  // namespace axo
