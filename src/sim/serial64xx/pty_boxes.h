#pragma once

// The simulated 6420 boxes behind pseudo-terminals, so that the program's real serial code
// (termios on a device path) talks to them as to boxes on real lines. Each of the four ports
// is a pty pair; a thread of its own serves the boxes on the master sides, with its own
// observatory on the real clock. The program opens the slave sides, whose paths
// DevicePaths() gives. The thread shares nothing with the program but the pty file
// descriptors and a few atomics.
//
// Given a folder, the lines are reached through symbolic links in it, as a udev rule names
// an adapter: a line unplugged loses its link, and plugged back (a new pseudo-terminal) gets
// it again at the same path.

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "sim/serial64xx/simulated_boxes.h"

namespace axo::sim {

class PtyBoxes {
public:
    explicit PtyBoxes(const BoxWiring& wiring = {}, std::string linkDir = {});
    ~PtyBoxes();
    PtyBoxes(const PtyBoxes&) = delete;
    PtyBoxes& operator=(const PtyBoxes&) = delete;

    // False when the pseudo-terminals could not be made (no /dev/ptmx).
    bool Ok() const { return ok_; }
    // Slave device of MOXA port 1 to 4.
    std::vector<std::string> DevicePaths() const;

    // Unplugs the line: its master side is closed, the program's reads and writes fail.
    void VanishLine(int port);
    // Plugs a vanished line back in, behind its link (with a link folder only).
    void ReplugLine(int port);
    void SetFault(BoxAxis axis, BoxFault fault);
    // Commands the boxes received and the Alpha box's rate, for tests.
    int Commands(BoxAxis axis) const;
    double AlphaStepsPerSecond() const { return alphaSpeed_.load(); }

private:
    void Serve();
    bool OpenPty(std::size_t i);
    std::string LinkPath(std::size_t i) const;

    struct Pty {
        int master = -1;
        int slave = -1;
        std::string path;
    };
    BoxWiring wiring_;
    std::string linkDir_;
    std::array<Pty, SimulatedBoxes::kPorts> ptys_{};
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> vanish_{0};  // bit per port to close
    std::atomic<int> replug_{0};  // bit per port to open again
    std::atomic<int> alphaFault_{0};
    std::atomic<int> deltaFault_{0};
    std::atomic<int> alphaCommands_{0};
    std::atomic<int> deltaCommands_{0};
    std::atomic<double> alphaSpeed_{0.0};
    std::thread thread_;
};

}  // namespace axo::sim
