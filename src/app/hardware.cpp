#include "app/hardware.h"

#include "interfaces/eik120/eik_direct_port_io.h"
#include "interfaces/eik120/eik_uio_interrupts.h"
#include "interfaces/parallel/direct_port_io.h"
#include "interfaces/parallel/hardware_config.h"
#include "interfaces/parallel/ppdev_port_io.h"
#include "sim/eik120/simulated_eik_card.h"
#include "sim/simulated_bus.h"

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

// hardware.ini says there is no encoder card.
class NoCard final : public PortIo {
public:
    uint8_t In(uint16_t) override { return 0xFF; }
    void Out(uint16_t, uint8_t) override {}
    void GetAddressLPT(uint16_t& a, uint16_t& b) override { a = b = 0; }
    void ResetLPT() override {}
    std::string UnavailableReason() const override {
        return "aucune carte EIK120 n'est configurée (hardware.ini : [eik120] backend = none)";
    }
};

// The card's base address as the settings file holds it: the ports must be granted before the
// privileges go, long before the settings are read for the windows.
uint16_t CardBaseFromSettingsFile() {
    Settings settings;
    settings.ReadSettings(kSettingsFileName);
    return static_cast<uint16_t>(settings.Int(IntKey::Eik120_base_addr));
}

}  // namespace

void Hardware::OpenCard(Clock& clock, const HardwareOptions& options, const EikHardware& hardware) {
    EikBackend backend = options.simulate ? EikBackend::Simulated : hardware.backend;
    switch (backend) {
        case EikBackend::Direct: {
            auto io = std::make_unique<EikDirectPortIo>(CardBaseFromSettingsFile());
            io->GrantAccess();  // a failure is reported by the card's start
            EikDirectPortIo* direct = io.get();
            cardReach_ = [direct](uint16_t base) { return direct->ReachProblem(base); };
            card_ = std::move(io);
            if (hardware.uioDevice.empty()) {
                ownInterrupts_ = std::make_unique<NoInterruptLine>(
                    "Aucun périphérique d'interruption n'est configuré (hardware.ini, section [eik120], uio_device)");
            } else {
                ownInterrupts_ = std::make_unique<UioInterruptLine>(hardware.uioDevice);
            }
            interrupts_ = ownInterrupts_.get();
            break;
        }
        case EikBackend::Simulated: {
            const sim::Mount* mount = nullptr;
            if (simulation_ != nullptr) {
                mount = &simulation_->TheMount();
            } else {
                cardMount_ = std::make_unique<sim::Mount>();
                mount = cardMount_.get();
            }
            auto card = std::make_unique<sim::SimulatedEikCard>(clock, *mount);
            if (simulation_ != nullptr) {
                sim::SimulatedBus* bus = simulation_;
                card->SetBeforeSample([bus] { bus->Update(); });
            }
            if (options.realTimeCardInterrupts) {
                card->StartInterruptThread();
            }
            simulatedCard_ = card.get();
            interrupts_ = &card->Interrupts();
            card_ = std::move(card);
            break;
        }
        case EikBackend::None:
            card_ = std::make_unique<NoCard>();
            break;
    }
}

void Hardware::StartCard(Core& core, Clock& clock, const ParallelWindows& windows) {
    PortIo* io = card_.get();
    if (tracer_) {  // the parallel ports' trace file takes the card's lines too
        cardTracer_ = std::make_unique<TracingPortIo>(*card_, clock, traceFile_);
        io = cardTracer_.get();
    }
    eik_ = std::make_unique<EikDriver>(core, *io, interrupts_, windows.progress);
    if (cardReach_) {
        eik_->SetReachCheck(cardReach_);
    }
    eik_->RegisterWith(core);
}

Hardware::Hardware(Core& core, Clock& clock, const HardwareOptions& options, const ParallelWindows& windows) {
    EikHardware cardHardware;
    if (options.simulate) {
        auto bus = std::make_unique<sim::SimulatedBus>(clock);
        simulation_ = bus.get();
        backend_ = std::move(bus);
        notes_.push_back("Observatoire simulé : les ports parallèles sont remplacés par une simulation.");
    } else {
        const HardwareFileResult file = ReadHardwareFile();
        cardHardware = file.eik120;
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
                auto bus = std::make_unique<sim::SimulatedBus>(clock);
                simulation_ = bus.get();
                backend_ = std::move(bus);
                break;
            }
            case ParallelBackend::None:
                backend_ = std::make_unique<NoPorts>();
                break;
        }
    }
    OpenCard(clock, options, cardHardware);
    // Whatever was opened, the program keeps no privilege beyond this point.
    DropAllCapabilities();

    PortIo* io = backend_.get();
    if (!options.tracePath.empty()) {
        traceFile_.open(options.tracePath, std::ios::app);
        if (traceFile_) {
            tracer_ = std::make_unique<TracingPortIo>(*backend_, clock, traceFile_);
            io = tracer_.get();
        } else {
            notes_.push_back("!!! Fichier de trace impossible à ouvrir : " + options.tracePath);
        }
    }
    parallel_ = std::make_unique<ParallelDriver>(core, *io, windows);
    parallel_->RegisterWith(core);
    talvene_ = std::make_unique<TalveneDriver>(core, windows.progress);
    talvene_->RegisterWith(core);
    StartCard(core, clock, windows);
}

Hardware::~Hardware() {
    // The driver takes its handler off the interrupt line before the line and the card go.
    eik_.reset();
}

}  // namespace axo::app
