#include "app/hardware.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ext/stdio_filebuf.h>

#include "interfaces/eik120/eik_direct_port_io.h"
#include "interfaces/eik120/eik_uio_interrupts.h"
#include "interfaces/parallel/direct_port_io.h"
#include "interfaces/parallel/ppdev_port_io.h"
#include "platform/termios_serial.h"
#include "sim/parallel/simulated_bus.h"
#include "sim/serial64xx/settings_wiring.h"
#include "sim/eik120/simulated_eik_card.h"

namespace axo::app {

namespace {

// No parallel ports at all: every read says nothing is there.
class NoPorts final : public PortIo {
public:
    bool EnsureOpen() override { return false; }
    uint8_t In(uint16_t) override { return 0; }
    void Out(uint16_t, uint8_t) override {}
    void GetAddressLPT(uint16_t& a, uint16_t& b) override { a = b = 0; }
    void ResetLPT() override {}
    std::string UnavailableReason() const override {
        return "aucun port parallèle n'est configuré (hardware.ini : backend = none)";
    }
};

// The outcome of the privileged step for both direct ports: granted only when both were.
void ApplyGrants(DirectPortIo& io, const ParallelHardware& hw, const PrivilegedStart* privileged) {
    if (privileged == nullptr) {
        io.SetAccess(false, "Accès direct aux ports non accordé au démarrage");
        return;
    }
    for (uint16_t base : {hw.commandBase, hw.dataBase}) {
        const IoGrant* grant = privileged->Grant(base);
        if (grant == nullptr) {
            io.SetAccess(false, "Accès direct aux ports non accordé au démarrage");
            return;
        }
        if (!grant->granted) {
            io.SetAccess(false, grant->reason);
            return;
        }
    }
    io.SetAccess(true, {});
}

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

}  // namespace

std::unique_ptr<std::streambuf> OpenTraceFile(const std::string& path, bool runningAsRoot, std::string& problem) {
    // Non-blocking so that a named pipe without a reader cannot hang the start; no link
    // followed as root.
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (runningAsRoot ? O_NOFOLLOW : 0);
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        const int err = errno;
        problem = "Fichier de trace impossible à ouvrir : " + path + " (" +
                  (err == ELOOP && runningAsRoot ? std::string("lien symbolique refusé sous le compte root")
                                                 : std::string(std::strerror(err))) +
                  ")";
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || (runningAsRoot && st.st_uid != 0)) {
        ::close(fd);
        problem = "Fichier de trace refusé : " + path +
                  " appartient à un autre utilisateur et Axo est lancé sous le compte root";
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::make_unique<__gnu_cxx::stdio_filebuf<char>>(fd, std::ios::out | std::ios::app);
}

void Hardware::OpenCard(Clock& clock, const HardwareOptions& options, const EikHardware& hardware) {
    EikBackend backend = options.simulate ? EikBackend::Simulated : hardware.backend;
    switch (backend) {
        case EikBackend::Direct: {
            auto io = std::make_unique<EikDirectPortIo>(CardBaseFromSettingsFile());
            // Granted (or not) in the privileged phase, before any thread and before the drop;
            // a failure is reported by the card's start.
            const IoGrant* grant = options.privileged != nullptr ? options.privileged->Grant(io->GrantedBase()) : nullptr;
            io->SetAccess(grant != nullptr && grant->granted,
                          grant != nullptr ? grant->reason : std::string("Accès direct aux ports non accordé au démarrage"));
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
            // The card's coders follow the same simulated mount as every other face.
            if (!observatory_) {
                observatory_ = std::make_unique<sim::Observatory>(clock);
            }
            sim::Observatory* observatory = observatory_.get();
            auto card = std::make_unique<sim::SimulatedEikCard>(clock, observatory->TheMount());
            card->SetBeforeSample([observatory] { observatory->Update(); });
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
        cardTracer_ = std::make_unique<TracingPortIo>(*card_, clock, *traceFile_);
        io = cardTracer_.get();
    }
    eik_ = std::make_unique<EikDriver>(core, *io, interrupts_, windows.progress);
    if (cardReach_) {
        eik_->SetReachCheck(cardReach_);
    }
    eik_->RegisterWith(core);
}

Hardware::Hardware(Core& core, Clock& clock, const HardwareOptions& options, const ParallelWindows& windows,
                   IntervalTimer& brakeTimer) {
    // Read even with --simulate, so that its mistakes are reported whichever backend runs.
    const HardwareFileResult file = options.file != nullptr ? *options.file : ReadHardwareFile();
    for (const std::string& problem : file.problems) {
        notes_.push_back("!!! hardware.ini : " + problem);
    }
    const bool simulatedSerial = options.simulate || file.serial.backend == SerialBackend::Simulated;
    if (options.simulate) {
        observatory_ = std::make_unique<sim::Observatory>(clock);
        auto bus = std::make_unique<sim::SimulatedBus>(*observatory_);
        simulation_ = bus.get();
        backend_ = std::move(bus);
        notes_.push_back("Observatoire simulé : les ports parallèles et les lignes des boitiers 6420 sont remplacés par une simulation.");
    } else {
        // Nothing is opened here: the parallel interface opens its ports when it starts, after
        // the configuration has been checked and only when a function uses it.
        switch (file.parallel.backend) {
            case ParallelBackend::Ppdev:
                backend_ = std::make_unique<PpdevPortIo>(file.parallel.commandDevice, file.parallel.dataDevice);
                break;
            case ParallelBackend::Direct: {
                auto io = std::make_unique<DirectPortIo>(file.parallel.commandBase, file.parallel.dataBase);
                ApplyGrants(*io, file.parallel, options.privileged);
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
        // Lines are opened when the interface starts, never before the configuration is checked.
        serialBackend_ = std::make_unique<TermiosSerial>(std::vector<std::string>(file.serial.ports.begin(), file.serial.ports.end()));
    }
    OpenCard(clock, options, file.eik120);
    if (observatory_) {
        observatory_->TheMount().SetCoastSeconds(file.simulation.coastSeconds);
    }
    // The limits protect the installation, simulated or not: the go-to honours them everywhere.
    core.pointing().SetLimits(file.pointing);

    PortIo* io = backend_.get();
    SerialLibrary* sio = serialBackend_.get();
    if (!options.tracePath.empty()) {
        std::string problem;
        traceBuffer_ = OpenTraceFile(options.tracePath, getuid() == 0 || geteuid() == 0, problem);
        if (traceBuffer_) {
            traceFile_ = std::make_unique<std::ostream>(traceBuffer_.get());
            tracer_ = std::make_unique<TracingPortIo>(*backend_, clock, *traceFile_);
            io = tracer_.get();
            serialTracer_ = std::make_unique<TracingSerial>(*serialBackend_, clock, *traceFile_);
            sio = serialTracer_.get();
        } else {
            std::fprintf(stderr, "axo : %s\n", problem.c_str());
            notes_.push_back("!!! " + problem);
        }
    }
    parallel_ = std::make_unique<ParallelDriver>(core, *io, windows);
    parallel_->RegisterWith(core);
    talvene_ = std::make_unique<TalveneDriver>(core, windows.progress);
    talvene_->RegisterWith(core);
    serial64xx_ = std::make_unique<S64xxDriver>(core, *sio, brakeTimer, windows.progress);
    serial64xx_->RegisterWith(core);
    StartCard(core, clock, windows);
}

Hardware::~Hardware() {
    // The drivers go before the backends they write to; the card's driver takes its handler
    // off the interrupt line before the line and the card go.
    eik_.reset();
    serial64xx_.reset();
    parallel_.reset();
}

}  // namespace axo::app
