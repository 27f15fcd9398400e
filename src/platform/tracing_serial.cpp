#include "platform/tracing_serial.h"

#include <cstdio>

namespace axo {

std::string VisibleBytes(const char* data, std::size_t len) {
    std::string out;
    out.reserve(len);
    for (std::size_t i = 0; i < len; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        switch (c) {
            case 13:
                out += "<CR>";
                break;
            case 10:
                out += "<LF>";
                break;
            case 3:
                out += "<ETX>";
                break;
            default:
                if (c >= 32 && c < 127) {
                    out += static_cast<char>(c);
                } else {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "<%02X>", c);
                    out += hex;
                }
        }
    }
    return out;
}

TracingSerial::TracingSerial(SerialLibrary& inner, Clock& clock, std::ostream& out)
    : inner_(inner), clock_(clock), out_(out), startTick_(clock.GetTickCount()) {}

void TracingSerial::Line(int port, const std::string& text) {
    const uint32_t ms = clock_.GetTickCount() - startTick_;
    out_ << ms << " serial " << port << ' ' << text << '\n';
    out_.flush();  // a trace is read after a crash or a hang too
}

int32_t TracingSerial::sio_open(int port) {
    const int32_t r = inner_.sio_open(port);
    const std::string detail = r < 0 ? inner_.FailureDetail(port) : std::string();
    Line(port, "open -> " + std::to_string(r) + (detail.empty() ? "" : " (" + detail + ")"));
    return r;
}

int32_t TracingSerial::sio_ioctl(int port, int baud, int mode) {
    const int32_t r = inner_.sio_ioctl(port, baud, mode);
    Line(port, "ioctl " + std::to_string(baud) + " " + std::to_string(mode) + " -> " + std::to_string(r));
    return r;
}

int32_t TracingSerial::sio_putch(int port, int ch) {
    const char c = static_cast<char>(ch);
    const int32_t r = inner_.sio_putch(port, ch);
    Line(port, "putch \"" + VisibleBytes(&c, 1) + "\" -> " + std::to_string(r));
    return r;
}

int32_t TracingSerial::sio_write(int port, const char* buf, int len) {
    const int32_t r = inner_.sio_write(port, buf, len);
    Line(port, "write \"" + VisibleBytes(buf, len > 0 ? static_cast<std::size_t>(len) : 0) + "\" -> " +
                   std::to_string(r));
    return r;
}

int32_t TracingSerial::sio_read(int port, char* buf, int len) {
    const int32_t r = inner_.sio_read(port, buf, len);
    std::string text = "read -> " + std::to_string(r);
    if (r > 0) {
        text += " \"" + VisibleBytes(buf, static_cast<std::size_t>(r)) + "\"";
    }
    Line(port, text);
    return r;
}

int32_t TracingSerial::sio_flush(int port, int func) {
    const int32_t r = inner_.sio_flush(port, func);
    Line(port, "flush " + std::to_string(func) + " -> " + std::to_string(r));
    return r;
}

int32_t TracingSerial::sio_close(int port) {
    const int32_t r = inner_.sio_close(port);
    Line(port, "close -> " + std::to_string(r));
    return r;
}

}  // namespace axo
