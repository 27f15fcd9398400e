#include "app/hardware.h"

#include "interfaces/parallel/direct_port_io.h"
#include "interfaces/parallel/hardware_config.h"
#include "interfaces/parallel/ppdev_port_io.h"
#include "platform/termios_serial.h"
#include "sim/parallel/simulated_bus.h"
#include "sim/serial64xx/settings_wiring.h"

namespace axo::app {

namespace {

// No parallel ports at all: every read says nothing is there.
class NoPorts final : public PortIo {
public:
    uint8_t In(uint16_t) override { return 0; }
    void Out(uint16_t, uint8_t) override {}
    void GetAddressLPT(uint16_t& a, uint16_t& b) override { a = b = 0; }
    void ResetLPT() override {}
    std::string UnavailableReason() const override {
        return "aucun port parallèle n'est configuré (hardware.ini : backend = none)";
    }
};

}  // namespace

Hardware::Hardware(Core& core, Clock& clock, const HardwareOptions& options, const ParallelWindows& windows,
                   IntervalTimer& brakeTimer) {
    bool simulatedSerial = options.simulate;
    std::array<std::string, 4> serialPorts{};
    if (options.simulate) {
        observatory_ = std::make_unique<sim::Observatory>(clock);
        auto bus = std::make_unique<sim::SimulatedBus>(*observatory_);
        simulation_ = bus.get();
        backend_ = std::move(bus);
        notes_.push_back("Observatoire simulé : les ports parallèles et les lignes des boitiers 6420 sont remplacés par une simulation.");
    } else {
        const HardwareFileResult file = ReadHardwareFile();
        simulatedSerial = file.serial.backend == SerialBackend::Simulated;
        serialPorts = file.serial.ports;
        for (const std::string& problem : file.problems) {
            notes_.push_back("!!! hardware.ini : " + problem);
        }
        switch (file.parallel.backend) {
            case ParallelBackend::Ppdev: {
                auto io = std::make_unique<PpdevPortIo>(file.parallel.commandDevice, file.parallel.dataDevice);
                io->Open();  // a failure is reported by the driver when it starts
                backend_ = std::move(io);
                break;
            }
            case ParallelBackend::Direct: {
                auto io = std::make_unique<DirectPortIo>(file.parallel.commandBase, file.parallel.dataBase);
                io->Open();
                backend_ = std::move(io);
                break;
            }
            case ParallelBackend::Simulated: {
                observatory_ = std::make_unique<sim::Observatory>(clock);
                auto bus = std::make_unique<sim::SimulatedBus>(*observatory_);
                simulation_ = bus.get();
                backend_ = std::move(bus);
                break;
            }
            case ParallelBackend::None:
                backend_ = std::make_unique<NoPorts>();
                break;
        }
    }
    if (simulatedSerial) {
        if (!observatory_) {
            observatory_ = std::make_unique<sim::Observatory>(clock);
        }
        auto boxes = std::make_unique<sim::SimulatedBoxes>(*observatory_);
        // The simulated installation is wired the way the settings say, whenever a line opens.
        boxes->SetWiringSource([&core] { return sim::WiringFromSettings(core.settings()); });
        simulatedSerial_ = boxes.get();
        serialBackend_ = std::move(boxes);
        if (!options.simulate) {
            notes_.push_back("Boitiers 6420 simulés (hardware.ini : [serial] backend = simulated).");
        }
    } else {
        serialBackend_ = std::make_unique<TermiosSerial>(std::vector<std::string>(serialPorts.begin(), serialPorts.end()));
    }
    // Whatever was opened, the program keeps no privilege beyond this point.
    DropAllCapabilities();

    PortIo* io = backend_.get();
    SerialLibrary* sio = serialBackend_.get();
    if (!options.tracePath.empty()) {
        traceFile_.open(options.tracePath, std::ios::app);
        if (traceFile_) {
            tracer_ = std::make_unique<TracingPortIo>(*backend_, clock, traceFile_);
            io = tracer_.get();
            serialTracer_ = std::make_unique<TracingSerial>(*serialBackend_, clock, traceFile_);
            sio = serialTracer_.get();
        } else {
            notes_.push_back("!!! Fichier de trace impossible à ouvrir : " + options.tracePath);
        }
    }
    parallel_ = std::make_unique<ParallelDriver>(core, *io, windows);
    parallel_->RegisterWith(core);
    talvene_ = std::make_unique<TalveneDriver>(core, windows.progress);
    talvene_->RegisterWith(core);
    serial64xx_ = std::make_unique<S64xxDriver>(core, *sio, brakeTimer, windows.progress);
    serial64xx_->RegisterWith(core);
}

Hardware::~Hardware() {
    // The drivers go before the backends they write to.
    serial64xx_.reset();
    parallel_.reset();
}

}  // namespace axo::app
