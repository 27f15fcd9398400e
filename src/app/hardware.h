#pragma once

// The hardware behind the program: which backends reach the parallel ports and the serial
// lines of the 6420 boxes (the hardware file's choice, or the simulated observatory), the
// optional trace of every port access and serial exchange, and the interface drivers
// registered with the core.

#include <ostream>
#include <streambuf>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/privileges.h"
#include "core/core.h"
#include "core/interval_timer.h"
#include "interfaces/eik120/eik_driver.h"
#include "interfaces/eik120/eik_interrupts.h"
#include "interfaces/parallel/hardware_config.h"
#include "interfaces/parallel/parallel_driver.h"
#include "interfaces/parallel/parallel_windows.h"
#include "interfaces/parallel/port_io.h"
#include "interfaces/parallel/talvene_driver.h"
#include "interfaces/parallel/tracing_port_io.h"
#include "interfaces/serial64xx/s64xx_driver.h"
#include "platform/serial_library.h"
#include "platform/tracing_serial.h"

namespace axo::sim {
class Mount;
class Observatory;
class SimulatedBus;
class SimulatedBoxes;
class SimulatedEikCard;
}  // namespace axo::sim

namespace axo::app {

struct HardwareOptions {
    bool simulate = false;
    std::string tracePath;  // empty: no trace
    // The hardware file as main() read it before the privileged step; read here when null.
    const HardwareFileResult* file = nullptr;
    // What the privileged step granted; null: no direct port I/O was granted.
    const PrivilegedStart* privileged = nullptr;
    // The simulated encoder card interrupts from a thread of its own, in real time. Tests on
    // the virtual clock turn it off and raise the interrupts themselves.
    bool realTimeCardInterrupts = true;
};

class Hardware {
public:
    // Chooses the backends and registers the drivers; must come before the settings are read, so
    // that the drivers take their copies of the settings. No device is opened here: a backend
    // opens its device when the interface that uses it starts. Problems are kept for the
    // message list. `brakeTimer` is the Delta brake delay of the 6420 boxes (a toolkit timer in
    // the program).
    Hardware(Core& core, Clock& clock, const HardwareOptions& options, const ParallelWindows& windows,
             IntervalTimer& brakeTimer);
    ~Hardware();

    // French lines to show once the main window is up (unusable hardware-file values, a trace
    // file that cannot be opened or is refused, the simulated observatory in use).
    const std::vector<std::string>& Notes() const { return notes_; }

    sim::SimulatedBus* Simulation() { return simulation_; }
    sim::Observatory* SimulatedObservatory() { return observatory_.get(); }
    sim::SimulatedBoxes* SimulatedSerial() { return simulatedSerial_; }
    S64xxDriver* Serial64xx() { return serial64xx_.get(); }
    sim::SimulatedEikCard* SimulatedCard() { return simulatedCard_; }
    // The encoder card's driver, for its configuration window.
    EikDriver* Eik() { return eik_.get(); }

private:
    std::unique_ptr<sim::Observatory> observatory_;
    void OpenCard(Clock& clock, const HardwareOptions& options, const EikHardware& hardware);
    void StartCard(Core& core, Clock& clock, const ParallelWindows& windows);

    std::unique_ptr<PortIo> backend_;
    sim::SimulatedBus* simulation_ = nullptr;
    std::unique_ptr<std::streambuf> traceBuffer_;
    std::unique_ptr<std::ostream> traceFile_;
    std::unique_ptr<TracingPortIo> tracer_;
    std::unique_ptr<ParallelDriver> parallel_;
    std::unique_ptr<TalveneDriver> talvene_;
    std::unique_ptr<SerialLibrary> serialBackend_;
    sim::SimulatedBoxes* simulatedSerial_ = nullptr;
    std::unique_ptr<TracingSerial> serialTracer_;
    std::unique_ptr<S64xxDriver> serial64xx_;
    // The encoder card: its registers, its interrupt line, then the driver that uses both.
    std::unique_ptr<PortIo> card_;
    sim::SimulatedEikCard* simulatedCard_ = nullptr;
    std::function<std::string(uint16_t)> cardReach_;
    std::unique_ptr<EikInterruptLine> ownInterrupts_;
    EikInterruptLine* interrupts_ = nullptr;
    std::unique_ptr<TracingPortIo> cardTracer_;
    std::unique_ptr<EikDriver> eik_;
    std::vector<std::string> notes_;
};

// Opens `path` for appending a trace. Run as root, a file owned by another user, or a symbolic
// link, is refused: root would write wherever that user points it. Null with `problem` set (in
// French) when the file cannot be used.
std::unique_ptr<std::streambuf> OpenTraceFile(const std::string& path, bool runningAsRoot, std::string& problem);

}  // namespace axo::app
