#include <gtest/gtest.h>

#include <sstream>

#include "interfaces/fake_serial.h"
#include "platform/tracing_serial.h"

namespace axo {
namespace {

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
