#pragma once

// The hardware behind the program: which backend reaches the parallel ports (the hardware
// file's choice, or the simulated observatory), the optional trace of every port access, and
// the interface drivers registered with the core.

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/core.h"
#include "interfaces/eik120/eik_driver.h"
#include "interfaces/eik120/eik_interrupts.h"
#include "interfaces/parallel/hardware_config.h"
#include "interfaces/parallel/parallel_driver.h"
#include "interfaces/parallel/parallel_windows.h"
#include "interfaces/parallel/port_io.h"
#include "interfaces/parallel/talvene_driver.h"
#include "interfaces/parallel/tracing_port_io.h"

namespace axo::sim {
class Mount;
class SimulatedBus;
class SimulatedEikCard;
}  // namespace axo::sim

namespace axo::app {

struct HardwareOptions {
    bool simulate = false;
    std::string tracePath;  // empty: no trace
    // The simulated encoder card interrupts from a thread of its own, in real time. Tests on
    // the virtual clock turn it off and raise the interrupts themselves.
    bool realTimeCardInterrupts = true;
};

class Hardware {
public:
    // Opens the backend and registers the drivers; must come before the settings are read, so
    // that the drivers take their copies of the settings. Problems are kept for the message list.
    Hardware(Core& core, Clock& clock, const HardwareOptions& options, const ParallelWindows& windows);
    ~Hardware();

    // French lines to show once the main window is up (unusable hardware-file values, a trace
    // file that cannot be opened, the simulated observatory in use).
    const std::vector<std::string>& Notes() const { return notes_; }

    sim::SimulatedBus* Simulation() { return simulation_; }
    sim::SimulatedEikCard* SimulatedCard() { return simulatedCard_; }
    // The encoder card's driver, for its configuration window.
    EikDriver* Eik() { return eik_.get(); }

private:
    void OpenCard(Clock& clock, const HardwareOptions& options, const EikHardware& hardware);
    void StartCard(Core& core, Clock& clock, const ParallelWindows& windows);

    std::unique_ptr<PortIo> backend_;
    sim::SimulatedBus* simulation_ = nullptr;
    std::ofstream traceFile_;
    std::unique_ptr<TracingPortIo> tracer_;
    std::unique_ptr<ParallelDriver> parallel_;
    std::unique_ptr<TalveneDriver> talvene_;
    // The encoder card: its registers, its interrupt line, then the driver that uses both.
    std::unique_ptr<sim::Mount> cardMount_;  // a simulated card without the simulated bus
    std::unique_ptr<PortIo> card_;
    sim::SimulatedEikCard* simulatedCard_ = nullptr;
    std::function<std::string(uint16_t)> cardReach_;
    std::unique_ptr<EikInterruptLine> ownInterrupts_;
    EikInterruptLine* interrupts_ = nullptr;
    std::unique_ptr<TracingPortIo> cardTracer_;
    std::unique_ptr<EikDriver> eik_;
    std::vector<std::string> notes_;
};

}  // namespace axo::app
