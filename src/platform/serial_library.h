#pragma once

// The serial seam of the 6420 boxes: the calls of the multi-port card's serial library, with
// its numbering of ports from 1 and its negative result codes. The program only needs open,
// configure, send one character, write, read what has arrived, flush the input and close.
// Backends: termios on a device path (the program), the simulated boxes in process (the
// simulated observatory, tests), and a recording fake (tests).

#include <cstdint>
#include <string>

namespace axo {

// Results below zero; 0 or more is success (a byte count for write and read).
enum SioCode : int32_t {
    SIO_BADPORT = -1,          // port not open, or no such port
    SIO_OUTCONTROL = -2,       // the card cannot be controlled
    SIO_NODATA = -4,           // nothing to read or to write
    SIO_BADPARM = -7,          // wrong parameter
    SIO_WIN32FAIL = -8,        // the system call failed
    SIO_BOARDNOTSUPPORT = -9,  // no card
};

// A line this program, or another one, already holds: the card's library only says that its
// system call failed; FailureDetail tells which.
constexpr int32_t kSioInUse = SIO_WIN32FAIL;

// Arguments the program passes.
constexpr int kSioBaud9600 = 12;
constexpr int kSioMode8N1 = 3;  // 8 data bits, 1 stop bit, no parity
constexpr int kSioFlushInput = 0;
constexpr int kSioFlushOutput = 1;
constexpr int kSioFlushBoth = 2;
constexpr char kEtx = 3;

class SerialLibrary {
public:
    virtual ~SerialLibrary() = default;

    // Opening a port that is already open fails with kSioInUse: two users of one line would
    // mix their commands on it.
    virtual int32_t sio_open(int port) = 0;
    virtual int32_t sio_ioctl(int port, int baud, int mode) = 0;
    virtual int32_t sio_putch(int port, int ch) = 0;
    // The number of bytes written.
    virtual int32_t sio_write(int port, const char* buf, int len) = 0;
    // Never waits: the number of bytes that had arrived, 0 when nothing is waiting.
    virtual int32_t sio_read(int port, char* buf, int len) = 0;
    virtual int32_t sio_flush(int port, int func) = 0;
    virtual int32_t sio_close(int port) = 0;

    // What the system said about the last failure on `port` (device path and reason), in
    // French, or empty. The result codes alone cannot tell "busy" from "missing".
    virtual std::string FailureDetail(int /*port*/) const { return {}; }
};

// Bytes as a maintainer wants to read them in a trace: printable characters as they are,
// carriage return, line feed and ETX by name, any other byte in hexadecimal: "Y 0<CR>".
std::string VisibleBytes(const char* data, std::size_t len);
inline std::string VisibleBytes(const std::string& s) { return VisibleBytes(s.data(), s.size()); }

}  // namespace axo
