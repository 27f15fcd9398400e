#pragma once

// The hardware behind the program: which backend reaches the parallel ports (the hardware
// file's choice, or the simulated observatory), the optional trace of every port access, and
// the interface drivers registered with the core.

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/core.h"
#include "interfaces/parallel/parallel_driver.h"
#include "interfaces/parallel/parallel_windows.h"
#include "interfaces/parallel/port_io.h"
#include "interfaces/parallel/talvene_driver.h"
#include "interfaces/parallel/tracing_port_io.h"

namespace axo::sim {
class Observatory;
class SimulatedBus;
}

namespace axo::app {

struct HardwareOptions {
    bool simulate = false;
    std::string tracePath;  // empty: no trace
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
    sim::Observatory* SimulatedObservatory() { return observatory_.get(); }

private:
    std::unique_ptr<sim::Observatory> observatory_;
    std::unique_ptr<PortIo> backend_;
    sim::SimulatedBus* simulation_ = nullptr;
    std::ofstream traceFile_;
    std::unique_ptr<TracingPortIo> tracer_;
    std::unique_ptr<ParallelDriver> parallel_;
    std::unique_ptr<TalveneDriver> talvene_;
    std::vector<std::string> notes_;
};

}  // namespace axo::app
