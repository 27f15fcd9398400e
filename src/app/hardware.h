#pragma once

// The hardware behind the program: which backends reach the parallel ports and the serial
// lines of the 6420 boxes (the hardware file's choice, or the simulated observatory), the
// optional trace of every port access and serial exchange, and the interface drivers
// registered with the core.

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/interval_timer.h"
#include "interfaces/parallel/parallel_driver.h"
#include "interfaces/parallel/parallel_windows.h"
#include "interfaces/parallel/port_io.h"
#include "interfaces/parallel/talvene_driver.h"
#include "interfaces/parallel/tracing_port_io.h"
#include "interfaces/serial64xx/s64xx_driver.h"
#include "platform/serial_library.h"
#include "platform/tracing_serial.h"

namespace axo::sim {
class Observatory;
class SimulatedBus;
class SimulatedBoxes;
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
    // `brakeTimer` is the Delta brake delay of the 6420 boxes (a toolkit timer in the program).
    Hardware(Core& core, Clock& clock, const HardwareOptions& options, const ParallelWindows& windows,
             IntervalTimer& brakeTimer);
    ~Hardware();

    // French lines to show once the main window is up (unusable hardware-file values, a trace
    // file that cannot be opened, the simulated observatory in use).
    const std::vector<std::string>& Notes() const { return notes_; }

    sim::SimulatedBus* Simulation() { return simulation_; }
    sim::Observatory* SimulatedObservatory() { return observatory_.get(); }
    sim::SimulatedBoxes* SimulatedSerial() { return simulatedSerial_; }
    S64xxDriver* Serial64xx() { return serial64xx_.get(); }

private:
    std::unique_ptr<sim::Observatory> observatory_;
    std::unique_ptr<PortIo> backend_;
    sim::SimulatedBus* simulation_ = nullptr;
    std::ofstream traceFile_;
    std::unique_ptr<TracingPortIo> tracer_;
    std::unique_ptr<ParallelDriver> parallel_;
    std::unique_ptr<TalveneDriver> talvene_;
    std::unique_ptr<SerialLibrary> serialBackend_;
    sim::SimulatedBoxes* simulatedSerial_ = nullptr;
    std::unique_ptr<TracingSerial> serialTracer_;
    std::unique_ptr<S64xxDriver> serial64xx_;
    std::vector<std::string> notes_;
};

}  // namespace axo::app
