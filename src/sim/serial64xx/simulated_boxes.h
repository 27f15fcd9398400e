#pragma once

// The serial face of the simulated observatory: the Alpha and Delta 6420 boxes on the lines
// of a four-port card, as a SerialLibrary the program cannot tell from the real one. The Alpha
// box turns the mount's hour-angle axis, the Delta box its declination axis.
//
// Wiring: point to point, the Alpha box on one port and the Delta box on another; or both on
// one RS485 line, where each box takes only the lines that start with its address. The
// wiring is read from a wiring source each time a line is opened, so a simulated installation
// can follow the program's own settings.
//
// Faults: a box can be silent, answer two bytes, or answer garbage (Box6420); a line can
// vanish, after which every call on it fails as on an unplugged adapter.

#include <array>
#include <functional>
#include <string>

#include "platform/serial_library.h"
#include "sim/observatory/observatory.h"
#include "sim/serial64xx/box.h"

namespace axo::sim {

struct BoxWiring {
    int alphaPort = 1;
    int deltaPort = 2;
    bool rs485 = false;
    int busPort = 4;
    std::string alphaAddress = "a";
    std::string deltaAddress = "b";
    bool fastOnSlave = true;  // the fast Delta drive is the 6410 slave's
};

class SimulatedBoxes final : public SerialLibrary, public ObservatoryFace {
public:
    static constexpr int kPorts = 4;

    explicit SimulatedBoxes(Observatory& observatory, const BoxWiring& wiring = {});
    ~SimulatedBoxes() override;
    SimulatedBoxes(const SimulatedBoxes&) = delete;
    SimulatedBoxes& operator=(const SimulatedBoxes&) = delete;

    int32_t sio_open(int port) override;
    int32_t sio_ioctl(int port, int baud, int mode) override;
    int32_t sio_putch(int port, int ch) override;
    int32_t sio_write(int port, const char* buf, int len) override;
    int32_t sio_read(int port, char* buf, int len) override;
    int32_t sio_flush(int port, int func) override;
    int32_t sio_close(int port) override;

    void Advance(double seconds) override;

    void SetWiring(const BoxWiring& wiring);
    void SetWiringSource(std::function<BoxWiring()> source) { wiringSource_ = std::move(source); }
    const BoxWiring& Wiring() const { return wiring_; }

    Box6420& AlphaBox() { return alpha_; }
    Box6420& DeltaBox() { return delta_; }
    // A vanished line fails every call until it comes back (and is opened again).
    void VanishLine(int port, bool vanished);
    bool IsOpen(int port) const { return Valid(port) && lines_[Index(port)].open; }

private:
    struct Listener {
        Box6420* box = nullptr;
        std::string line;
        bool attention = false;  // after ETX: a lone space is the probe
    };
    struct Line {
        bool open = false;
        bool vanished = false;
        bool configured = false;
        std::string input;  // bytes waiting for the host's read
        // Bus parsing: at the start of a line the bytes are an address.
        bool lineStart = true;
        std::string address;
        int selected = -1;  // index in listeners, -1 none
        std::array<Listener, 2> listeners{};
        int listenerCount = 0;
    };

    static bool Valid(int port) { return port >= 1 && port <= kPorts; }
    static std::size_t Index(int port) { return static_cast<std::size_t>(port - 1); }
    void Connect(int port);
    void Receive(Line& line, char c);
    void Answer(Line& line, Listener& l, const std::string& answer);
    bool BusLine(int port) const { return wiring_.rs485 && port == wiring_.busPort; }

    Observatory& observatory_;
    BoxWiring wiring_;
    std::function<BoxWiring()> wiringSource_;
    Box6420 alpha_;
    Box6420 delta_;
    std::array<Line, kPorts> lines_{};
};

}  // namespace axo::sim
