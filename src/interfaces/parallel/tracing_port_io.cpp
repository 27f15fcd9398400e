#include "interfaces/parallel/tracing_port_io.h"

#include <cstdio>

namespace axo {

TracingPortIo::TracingPortIo(PortIo& inner, Clock& clock, std::ostream& out)
    : inner_(inner), clock_(clock), out_(out), startTick_(clock.GetTickCount()) {}

void TracingPortIo::Line(const std::string& text) {
    const uint32_t ms = clock_.GetTickCount() - startTick_;
    out_ << ms << ' ' << text << '\n';
    out_.flush();  // a trace is read after a crash or a hang too
}

void TracingPortIo::Out(uint16_t port, uint8_t value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "out 0x%03X 0x%02X", port, value);
    Line(buf);
    inner_.Out(port, value);
}

void TracingPortIo::GetAddressLPT(uint16_t& commandBase, uint16_t& dataBase) {
    inner_.GetAddressLPT(commandBase, dataBase);
    char buf[64];
    std::snprintf(buf, sizeof buf, "ports 0x%03X 0x%03X", commandBase, dataBase);
    Line(buf);
}

void TracingPortIo::ResetLPT() {
    Line("reset ports");
    inner_.ResetLPT();
}

void TracingPortIo::Note(const std::string& text) {
    Line(text);
    inner_.Note(text);
}

}  // namespace axo
