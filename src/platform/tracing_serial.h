#pragma once

// A SerialLibrary that writes a line for every call before or after passing it on, so that a
// maintainer can see each byte sent to and read from real 6420 boxes. The lines share the
// format of the port trace (milliseconds since the trace began first):
//   "1234 serial 1 write "Y 4<CR>" -> 4"     "1400 serial 1 read -> 6 "+1234<CR>""

#include <ostream>

#include "platform/clock.h"
#include "platform/serial_library.h"

namespace axo {

class TracingSerial final : public SerialLibrary {
public:
    TracingSerial(SerialLibrary& inner, Clock& clock, std::ostream& out);

    int32_t sio_open(int port) override;
    int32_t sio_ioctl(int port, int baud, int mode) override;
    int32_t sio_putch(int port, int ch) override;
    int32_t sio_write(int port, const char* buf, int len) override;
    int32_t sio_read(int port, char* buf, int len) override;
    int32_t sio_flush(int port, int func) override;
    int32_t sio_close(int port) override;
    std::string FailureDetail(int port) const override { return inner_.FailureDetail(port); }

private:
    void Line(int port, const std::string& text);

    SerialLibrary& inner_;
    Clock& clock_;
    std::ostream& out_;
    uint32_t startTick_;
};

}  // namespace axo
