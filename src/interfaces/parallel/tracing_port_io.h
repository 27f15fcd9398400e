#pragma once

// A PortIo that writes a line for every port write and every board message before passing it
// on, so that a maintainer can see each byte sent to real boards. Lines start with the
// milliseconds since the trace began:  "1234 out 0x378 0x22"  /  "1300 message 1 ...".
// Reads are passed on without a line: the waits read the lines hundreds of times a second.

#include <ostream>

#include "interfaces/parallel/port_io.h"
#include "platform/clock.h"

namespace axo {

class TracingPortIo final : public PortIo {
public:
    TracingPortIo(PortIo& inner, Clock& clock, std::ostream& out);

    uint8_t In(uint16_t port) override { return inner_.In(port); }
    void Out(uint16_t port, uint8_t value) override;
    void GetAddressLPT(uint16_t& commandBase, uint16_t& dataBase) override;
    void ResetLPT() override;
    bool EnsureOpen() override { return inner_.EnsureOpen(); }
    std::string UnavailableReason() const override { return inner_.UnavailableReason(); }
    void Note(const std::string& text) override;

private:
    void Line(const std::string& text);

    PortIo& inner_;
    Clock& clock_;
    std::ostream& out_;
    uint32_t startTick_;
};

}  // namespace axo
