// The [serial] section of the hardware file and the serial trace.

#include <gtest/gtest.h>

#include <sstream>

#include "interfaces/fake_serial.h"
#include "interfaces/parallel/hardware_config.h"
#include "platform/termios_serial.h"
#include "platform/tracing_serial.h"
#include "support/temp_config.h"

namespace axo {
namespace {

TEST(SerialHardwareFile, PortDevicesAndBackend) {
    test::TempConfig config;
    const HardwareFileResult absent = ReadHardwareFile();
    EXPECT_EQ(absent.serial.backend, SerialBackend::Termios);
    EXPECT_EQ(absent.serial.ports, (std::array<std::string, 4>{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"}));

    config.Write("hardware.ini", "[Serial]\nPort2 = /dev/ttyUSB0\nport4=/dev/ttyMI3\nport3=\nbackend=Simulated\n"
                                 "[parallel]\nbackend=none\n");
    const HardwareFileResult set = ReadHardwareFile();
    EXPECT_EQ(set.serial.backend, SerialBackend::Simulated);
    EXPECT_EQ(set.serial.ports, (std::array<std::string, 4>{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyS2", "/dev/ttyMI3"}));
    EXPECT_EQ(set.parallel.backend, ParallelBackend::None);
    EXPECT_TRUE(set.problems.empty());

    config.Write("hardware.ini", "[serial]\nbackend=usb\n");
    const HardwareFileResult bad = ReadHardwareFile();
    EXPECT_EQ(bad.serial.backend, SerialBackend::Termios);
    ASSERT_EQ(bad.problems.size(), 1u);
    EXPECT_NE(bad.problems[0].find("usb"), std::string::npos);

    TermiosSerial serial(std::vector<std::string>(set.serial.ports.begin(), set.serial.ports.end()));
    EXPECT_EQ(serial.DevicePath(2), "/dev/ttyUSB0");
    EXPECT_EQ(serial.DevicePath(5), "");
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
