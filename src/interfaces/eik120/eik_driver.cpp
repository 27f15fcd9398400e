#include "interfaces/eik120/eik_driver.h"

#include <algorithm>
#include <cstdio>

#include "astro/mathlib.h"

namespace axo {

namespace {

// A card answers a command within microseconds; the first readings of the status are taken at
// once, then the wait sleeps a millisecond between readings so that a card that stays busy
// does not burn a core (and a virtual clock moves on).
constexpr int kReadingsBeforeSleeping = 200;

// A coder that timed out is read again after this pause, doubled at each further time-out up
// to the longest: every attempt holds the program for the whole time-out.
constexpr uint32_t kFirstRetryMs = 5000;
constexpr uint32_t kLongestRetryMs = 60000;

// Reads of channel 2 in interrupt operation before giving up on two that agree.
constexpr int kGuardedReads = 4;

const char* AxisName(int16_t axis) {
    return axis == 1 ? "Alpha" : "Delta";
}

std::string CountText(double count) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", count);
    return buf;
}

// Seconds that round to 60 carry into minutes, minutes into the next unit.
void Carry(int16_t& big, int16_t& m, int16_t& s) {
    if (s >= 60) {
        s = 0;
        ++m;
    }
    if (m >= 60) {
        m = 0;
        ++big;
    }
}

}  // namespace

bool IsEikInterruptLine(int line) {
    switch (line) {
        case 4:
        case 5:
        case 9:
        case 10:
        case 11:
        case 12:
        case 15:
            return true;
        default:
            return false;
    }
}

int32_t EikCountFromBytes(uint8_t b3, uint8_t b2, uint8_t b1, uint8_t b0) {
    const uint32_t raw = (static_cast<uint32_t>(b3) << 24) | (static_cast<uint32_t>(b2) << 16) |
                         (static_cast<uint32_t>(b1) << 8) | static_cast<uint32_t>(b0);
    return static_cast<int32_t>(raw);  // two's complement
}

EikDriver::EikDriver(Core& core, PortIo& io, EikInterruptLine* interrupts, LoadProgress* progress)
    : core_(core), settings_(core.settings()), io_(io), interrupts_(interrupts), progress_(progress) {
    TakeSettingsCopies(core.settings());
    core.settings().RegisterCopyHolder(this);
}

EikDriver::~EikDriver() {
    // The handler refers to this object: it must be gone before the object is.
    RemoveInterrupt();
    settings_.UnregisterCopyHolder(this);
}

void EikDriver::RegisterWith(Core& core) {
    core.drivers().Register(InterfaceId::Eik, [this](int16_t code, DriverParam& p) { return Handle(code, p); });
}

void EikDriver::TakeSettingsCopies(const Settings& s) {
    copies_.BaseAddress = s.Int(IntKey::Eik120_base_addr);
    copies_.AlphaOnChannel1 = s.Int(IntKey::Eik120_alpha_axis1);
    copies_.UseIrq = s.Int(IntKey::Eik120_use_irq);
    copies_.Irq = s.Int(IntKey::Eik120_irq);
    copies_.AlphaCoderRef = s.Dbl(DoubleKey::calibr_alpha_coder);
    copies_.DeltaCoderRef = s.Dbl(DoubleKey::calibr_delta_coder);
    copies_.AlphaPositionRef = s.Dbl(DoubleKey::calibr_alpha_pos);
    copies_.DeltaPositionRef = s.Dbl(DoubleKey::calibr_delta_pos);
}

void EikDriver::ReturnSettingsCopies(Settings& s) {
    s.Int(IntKey::Eik120_base_addr) = copies_.BaseAddress;
    s.Int(IntKey::Eik120_alpha_axis1) = copies_.AlphaOnChannel1;
    s.Int(IntKey::Eik120_use_irq) = copies_.UseIrq;
    s.Int(IntKey::Eik120_irq) = copies_.Irq;
    s.Dbl(DoubleKey::calibr_alpha_coder) = copies_.AlphaCoderRef;
    s.Dbl(DoubleKey::calibr_delta_coder) = copies_.DeltaCoderRef;
    s.Dbl(DoubleKey::calibr_alpha_pos) = copies_.AlphaPositionRef;
    s.Dbl(DoubleKey::calibr_delta_pos) = copies_.DeltaPositionRef;
}

int16_t EikDriver::Handle(int16_t code, DriverParam& /*param*/) {
    switch (code) {
        case CMD_READ_ALPHA:
            ReadAlpha();
            return 1;
        case CMD_READ_DELTA:
            ReadDelta();
            return 1;
        case CMD_CALIBRATE_ALPHA:
            CalibrateAlpha();
            return 1;
        case CMD_CALIBRATE_DELTA:
            CalibrateDelta();
            return 1;
        case CMD_START_INTERFACE: {
            const int16_t status = Start();
            // A card that could not be reached has no reading to show: the displays say so.
            core_.drivers().SetReadingsAvailable(InterfaceId::Eik, alphaCoderOk_ || deltaCoderOk_);
            core_.drivers().SetAxisReadingAvailable(InterfaceId::Eik, 1, !CoderFailing(1));
            core_.drivers().SetAxisReadingAvailable(InterfaceId::Eik, 2, !CoderFailing(2));
            core_.drivers().SetLink(InterfaceId::Eik, alphaCoderOk_ || deltaCoderOk_ ? LinkState::Answering
                                                                                    : LinkState::Unreachable);
            return status;
        }
        case CMD_STOP_INTERFACE:
            return Stop();
        default:
            return 1;
    }
}

void EikDriver::Box(const std::string& text) {
    core_.op().ShowMessage("Erreur", text, MessageIcon::Exclamation, MessageButtons::Ok);
}

void EikDriver::Progress(const std::string& text) {
    if (progress_ != nullptr) {
        progress_->ShowProgress(text);
    }
}

// --- the card's procedures ---------------------------------------------------------------------

EikDriver::CardWait EikDriver::WaitReady() {
    Clock& clock = core_.clock();
    const float t0 = clock.SecondsSinceMidnight();
    const auto limit = static_cast<float>(core_.settings().Int(IntKey::Eik120_timeout_init));
    for (int readings = 1;; ++readings) {
        if ((io_.In(Port(0)) & eik::kBusy) == 0) {
            return CardWait::Ready;
        }
        const float now = clock.SecondsSinceMidnight();
        // Across midnight the clock starts again from 0: the wait then ends at the latest
        // `limit` seconds after midnight.
        if (!(t0 + limit >= now && (now >= t0 || now <= limit))) {
            return CardWait::TimedOut;
        }
        if (readings >= kReadingsBeforeSleeping) {
            // The stop-all must not wait for a card that may never answer.
            if (clock.Interrupted()) {
                return CardWait::Interrupted;
            }
            clock.Pause(1);
        }
    }
}

EikDriver::CardWait EikDriver::CommandAndWait(uint8_t command) {
    io_.Out(Port(0), command);
    return WaitReady();
}

double EikDriver::ReadCountRegisters() {
    const uint8_t b3 = io_.In(Port(2));
    const uint8_t b2 = io_.In(Port(3));
    const uint8_t b1 = io_.In(Port(4));
    const uint8_t b0 = io_.In(Port(5));
    return static_cast<double>(EikCountFromBytes(b3, b2, b1, b0));
}

bool EikDriver::InitCard(int16_t target) {
    CardWait ready = CardWait::Ready;
    {
        std::lock_guard lock(card_);
        switch (target) {
            case 0:
                io_.Out(Port(0), eik::kInitCard);
                break;
            case 1:
                io_.Out(Port(0), eik::kInitChannel1);
                break;
            case 2:
                io_.Out(Port(0), eik::kInitChannel2);
                break;
            default:
                break;
        }
        ready = WaitReady();
    }
    if (ready == CardWait::TimedOut) {
        Box("Init carte Eik120 impossible (time-out axe " + std::to_string(target) + ")");
    }
    return ready == CardWait::Ready;
}

bool EikDriver::ConfigureChannel(int16_t channel) {
    CardWait clockSet = CardWait::TimedOut;
    CardWait formatSet = CardWait::TimedOut;
    {
        std::lock_guard lock(card_);
        io_.Out(Port(1), 45);
        clockSet = CommandAndWait(eik::kClockFrequency);
        if (clockSet == CardWait::Ready) {
            io_.Out(Port(1), 17);
            io_.Out(Port(2), 0);
            io_.Out(Port(3), 17);
            io_.Out(Port(4), 0);
            io_.Out(Port(5), 2);
            if (channel == 1) {
                io_.Out(Port(0), eik::kSsiFormat1);
            } else if (channel == 2) {
                io_.Out(Port(0), eik::kSsiFormat2);
            }
            formatSet = WaitReady();
        }
    }
    if (clockSet == CardWait::Interrupted || formatSet == CardWait::Interrupted) {
        return false;  // the observer stopped everything: nothing to report
    }
    if (clockSet != CardWait::Ready) {
        Box("Mise à jour fréquence horloge Eik120 impossible (time-out)");
        return false;
    }
    if (formatSet != CardWait::Ready) {
        Box("Format SSI sur Eik120 impossible (time-out axe " + std::to_string(channel) + ")");
        return false;
    }
    return true;
}

bool EikDriver::AxisOnChannel1(int16_t axis) const {
    const bool alphaOn1 = copies_.AlphaOnChannel1 == 1;
    return axis == 1 ? alphaOn1 : !alphaOn1;
}

bool EikDriver::ReadCoder(int16_t axis) {
    const CoderRead read = PollCoder(axis, true);
    return read == CoderRead::Read;
}

EikDriver::CoderRead EikDriver::PollCoder(int16_t axis, bool paced) {
    if (axis != 1 && axis != 2) {
        return CoderRead::Read;
    }
    const bool ok = axis == 1 ? alphaCoderOk_ : deltaCoderOk_;
    if (!ok) {
        CountOf(axis).store(eik::kNoCoderCount);
        ShowDebug(axis);
        return CoderRead::Read;
    }
    const Failing& f = failing_[axis - 1];
    if (paced && f.failing && core_.clock().GetTickCount() - f.sinceTick < f.pauseMs) {
        return CoderRead::Skipped;
    }
    bool otherTimedOut = false;
    const CoderRead read = ReadFromCard(axis, otherTimedOut);
    if (read == CoderRead::TimedOut) {
        CoderFailed(axis);
        return read;
    }
    if (otherTimedOut) {
        CoderFailed(axis == 1 ? 2 : 1);
    }
    if (read == CoderRead::Interrupted) {
        return read;  // the stop-all: the count keeps its value, nothing failed
    }
    CoderAnswered(axis);
    // For a trace (the handler, on its own thread, leaves the trace alone).
    io_.Note(std::string(axis == 1 ? "eik120 alpha count " : "eik120 delta count ") + CountText(CountOf(axis).load()));
    ShowDebug(axis);
    return read;
}

EikDriver::CoderRead EikDriver::ReadFromCard(int16_t axis, bool& otherTimedOut) {
    const bool onChannel1 = AxisOnChannel1(axis);
    const uint8_t command = onChannel1 ? eik::kReadChannel1 : eik::kReadChannel2;
    const auto outcome = [](CardWait w) {
        return w == CardWait::TimedOut ? CoderRead::TimedOut : CoderRead::Interrupted;
    };
    std::lock_guard lock(card_);
    // In interrupt operation the card's timer latches channel 1 into the count registers when
    // it fires, also between our read of channel 2 and our taking of its bytes. It fires far
    // less often than a read takes: two reads in a row that agree are channel 2's own count.
    const bool latchMayHit = interruptsRunning_ && !onChannel1;
    double previous = 0.0;
    for (int reads = 1;; ++reads) {
        if (const CardWait w = CommandAndWait(command); w != CardWait::Ready) {
            return outcome(w);
        }
        const double count = ReadCountRegisters();
        if (!latchMayHit || (reads > 1 && count == previous)) {
            CountOf(axis).store(count);
            break;
        }
        if (reads == kGuardedReads) {
            io_.Note("eik120 channel 2 reads never agreed; count kept");
            break;
        }
        previous = count;
    }
    if (latchMayHit) {
        // Leave channel 1's count in the registers, where the handler expects it (unless its
        // coder is failing: its read would hold the program for the whole time-out again).
        const int16_t other = axis == 1 ? 2 : 1;
        const bool otherOk = other == 1 ? alphaCoderOk_ : deltaCoderOk_;
        if (otherOk && !CoderFailing(other)) {
            const CardWait w = CommandAndWait(eik::kReadChannel1);
            if (w == CardWait::Ready) {
                CountOf(other).store(ReadCountRegisters());
            }
            otherTimedOut = w == CardWait::TimedOut;
        }
    }
    return CoderRead::Read;
}

void EikDriver::CoderFailed(int16_t axis) {
    Failing& f = failing_[axis - 1];
    const bool first = !f.failing;
    f.failing = true;
    f.pauseMs = first ? kFirstRetryMs : std::min(2 * f.pauseMs, kLongestRetryMs);
    ShowCoderHealth();
    if (first) {
        Box(std::string("Accès au codeur ") + AxisName(axis) + " impossible (time-out)");
    }
    // The pauses run from now (the box may have stayed open a long time), and those of every
    // failing coder: two failing coders must not take turns at holding every tick.
    const uint32_t now = core_.clock().GetTickCount();
    for (Failing& each : failing_) {
        if (each.failing) {
            each.sinceTick = now;
        }
    }
}

void EikDriver::CoderAnswered(int16_t axis) {
    Failing& f = failing_[axis - 1];
    if (!f.failing) {
        return;
    }
    f = Failing{};
    ShowCoderHealth();
    core_.display().AddMessage(std::string("Codeur ") + AxisName(axis) + " : lecture rétablie");
}

void EikDriver::ShowCoderHealth() {
    const bool alphaFresh = alphaCoderOk_ && !CoderFailing(1);
    const bool deltaFresh = deltaCoderOk_ && !CoderFailing(2);
    DriverRegistry& d = core_.drivers();
    d.SetReadingsAvailable(InterfaceId::Eik, alphaFresh || deltaFresh);
    // The axis of a failing coder shows "--"; the other one goes on being read and shown.
    d.SetAxisReadingAvailable(InterfaceId::Eik, 1, !CoderFailing(1));
    d.SetAxisReadingAvailable(InterfaceId::Eik, 2, !CoderFailing(2));
    const bool alphaFails = alphaCoderOk_ && CoderFailing(1);
    const bool deltaFails = deltaCoderOk_ && CoderFailing(2);
    if (alphaFails && deltaFails) {
        d.SetLink(InterfaceId::Eik, LinkState::Failing, "codeurs Alpha et Delta");
    } else if (alphaFails || deltaFails) {
        d.SetLink(InterfaceId::Eik, LinkState::Failing, alphaFails ? "codeur Alpha" : "codeur Delta");
    } else {
        d.SetLink(InterfaceId::Eik, alphaCoderOk_ || deltaCoderOk_ ? LinkState::Answering : LinkState::Unreachable);
    }
}

void EikDriver::ShowDebug(int16_t axis) {
    if (core_.settings().Int(IntKey::Eik120_debug) == 1) {
        core_.display().View().SetText(axis == 1 ? "txtEik120AlphaDebug" : "txtEik120DeltaDebug",
                                       CountText(CountOf(axis).load()));
    }
}

void EikDriver::InterruptHandler() {
    std::unique_lock lock(card_, std::try_to_lock);
    if (!lock.owns_lock()) {
        return;  // the program is talking to the card: this interrupt's count is not ours
    }
    const auto base = irqBase_.load();
    if ((io_.In(base) & eik::kBusy) != 0) {
        return;
    }
    const uint8_t b3 = io_.In(static_cast<uint16_t>(base + 2));
    const uint8_t b2 = io_.In(static_cast<uint16_t>(base + 3));
    const uint8_t b1 = io_.In(static_cast<uint16_t>(base + 4));
    const uint8_t b0 = io_.In(static_cast<uint16_t>(base + 5));
    io_.In(static_cast<uint16_t>(base + 1));  // acknowledges the card; its value says nothing here
    const double count = static_cast<double>(EikCountFromBytes(b3, b2, b1, b0));
    (irqFeedsAlpha_.load() ? alphaCount_ : deltaCount_).store(count);
    interruptCounts_.fetch_add(1);
}

// --- start and stop ------------------------------------------------------------------------------

void EikDriver::RemoveInterrupt() {
    if (interrupts_ != nullptr && interruptInstalled_) {
        interrupts_->Mask();
        interrupts_->Destroy();
    }
    interruptInstalled_ = false;
    interruptsRunning_ = false;
}

int16_t EikDriver::Start() {
    Settings& s = core_.settings();
    Operator& op = core_.op();
    if (s.Int(IntKey::interface_coders) != INTERFACE_EIK120) {
        Progress("Initialisation de l'interface EIK terminée");
        return 1;
    }
    core_.display().AddMessage("Initialisation interface EIK");
    Progress("Initialisation interface EIK");
    alphaCoderOk_ = false;
    deltaCoderOk_ = false;
    failing_[0] = Failing{};
    failing_[1] = Failing{};
    // A start without a stop before it (File > Open) must not leave a second handler behind.
    RemoveInterrupt();

    if (const std::string why = io_.UnavailableReason(); !why.empty()) {
        Box("Erreur lors de l'ouverture du driver de la carte EIK120\n" + why);
        return 0;
    }
    if (reach_) {
        if (const std::string why = reach_(static_cast<uint16_t>(copies_.BaseAddress)); !why.empty()) {
            Box("Erreur lors de l'accès au driver de la carte EIK120\n" + why);
            return 0;
        }
    }
    op.ProcessPendingEvents();
    op.ProcessPendingEvents();

    int16_t status = 1;
    if (!InitCard(0)) {
        return 0;
    }
    // Channel 1 is needed; without channel 2 the card still serves one axis.
    const bool init1 = InitCard(1);
    const bool init2 = InitCard(2);
    if (!init1 && !init2) {
        return 0;
    }
    if (!init2) {
        status = 0;
    }
    const bool conf1 = ConfigureChannel(1);
    const bool conf2 = ConfigureChannel(2);
    if (!conf1 && !conf2) {
        return 0;
    }
    if (!conf2) {
        status = 0;
    }

    for (int16_t axis : {int16_t{1}, int16_t{2}}) {
        bool& ok = axis == 1 ? alphaCoderOk_ : deltaCoderOk_;
        ok = true;
        const CoderRead read = PollCoder(axis, false);
        // A probe the stop-all cut short proves nothing: the coder is tried again at the next poll.
        if (read == CoderRead::TimedOut) {
            ok = false;
            failing_[axis - 1] = Failing{};
        }
        uint8_t readStatus = 0;
        {
            std::lock_guard lock(card_);
            readStatus = io_.In(Port(1));
        }
        if (readStatus != 1 && read == CoderRead::Read) {
            Box(axis == 1 ? "Accès au codeur Alpha impossible (accès port)" : "Accès au codeur Delta impossible (accès port)");
            ok = false;
        }
    }

    if (copies_.UseIrq == 1) {
        if (!IsEikInterruptLine(copies_.Irq)) {
            Box("Valeur de l'interruption incorrecte pour la carte EIK120");
            return 0;
        }
        // The card takes its timer as one byte.
        const int timer = std::clamp<int>(s.Int(IntKey::Eik120_timer_irq), 0, 255);
        {
            std::lock_guard lock(card_);
            io_.Out(Port(2), static_cast<uint8_t>(timer));
            io_.Out(Port(0), eik::kInterruptTimer);
        }
        irqBase_.store(static_cast<uint16_t>(copies_.BaseAddress));
        irqFeedsAlpha_.store(copies_.AlphaOnChannel1 == 1);
        if (interrupts_ != nullptr) {
            interrupts_->SetIrq(copies_.Irq, [this] { InterruptHandler(); });
            interruptInstalled_ = true;
        }
        if (interrupts_ == nullptr || !interrupts_->IsIrqSet()) {
            std::string text = "Erreur lors du positionnement de l'IRQ EIK120";
            if (interrupts_ != nullptr && !interrupts_->Problem().empty()) {
                text += "\n" + interrupts_->Problem();
            }
            RemoveInterrupt();
            Box(text);
            return 0;
        }
        interrupts_->Unmask();
        {
            std::lock_guard lock(card_);
            io_.Out(Port(1), 14);
            io_.Out(Port(0), eik::kStartInterrupts);
        }
        interruptsRunning_ = true;
        seenInterruptCount_ = interruptCounts_.load();
        seenInterruptTick_ = core_.clock().GetTickCount();
    }
    Progress("Initialisation de l'interface EIK terminée");
    return status;
}

int16_t EikDriver::Stop() {
    if (core_.settings().Int(IntKey::interface_coders) != INTERFACE_EIK120) {
        return 1;
    }
    core_.display().AddMessage("Arrêt interface EIK");
    RemoveInterrupt();
    // Nothing to close: the registers stay reachable for the next start.
    return 1;
}

// --- read-out and calibration ---------------------------------------------------------------------

void EikDriver::RefreshAxis(int16_t axis, bool paced) {
    if (interruptsRunning_ && AxisOnChannel1(axis)) {
        const uint32_t now = core_.clock().GetTickCount();
        const uint64_t counts = interruptCounts_.load();
        const bool newInterrupt = counts != seenInterruptCount_;
        if (newInterrupt) {
            seenInterruptCount_ = counts;
            seenInterruptTick_ = now;
        }
        // A few timer intervals without an interrupt: the handler no longer keeps this count
        // fresh, and showing it would show an old position as the present one.
        const auto limit = static_cast<uint32_t>(
            std::max(500, 4 * std::clamp<int>(core_.settings().Int(IntKey::Eik120_timer_irq), 1, 255)));
        if (now - seenInterruptTick_ <= limit) {
            // The card only interrupts with a count its coder gave.
            if (newInterrupt && (axis == 1 ? alphaCoderOk_ : deltaCoderOk_)) {
                CoderAnswered(axis);
            }
            ShowDebug(axis);
            return;
        }
    }
    PollCoder(axis, paced);
}

void EikDriver::ReadAlpha() {
    RefreshAxis(1, true);
    const Settings& s = core_.settings();
    const double t = (alphaCount_.load() - copies_.AlphaCoderRef) * s.Dbl(DoubleKey::Eik120_alpha_res) +
                     copies_.AlphaPositionRef;  // seconds of time
    const double degrees = t * 180.0 / 43200.0;
    Position& p = core_.position();
    double seconds = 0.0;
    D2Hms(degrees, p.HourAngleH, p.HourAngleM, seconds);
    p.HourAngleS = static_cast<int16_t>(NearestInt(seconds));
    Carry(p.HourAngleH, p.HourAngleM, p.HourAngleS);
    if (p.HourAngleH >= 24) {
        p.HourAngleH = 0;
    }
}

void EikDriver::ReadDelta() {
    RefreshAxis(2, true);
    const Settings& s = core_.settings();
    const double a = (deltaCount_.load() - copies_.DeltaCoderRef) * s.Dbl(DoubleKey::Eik120_delta_res) +
                     copies_.DeltaPositionRef;  // seconds of arc
    double degrees = a * 180.0 / 648000.0;
    Position& p = core_.position();
    if (degrees < 0) {
        degrees = -degrees;
        p.DeclinationNegative = 1;
    } else {
        p.DeclinationNegative = 0;
    }
    if (degrees > 90) {
        degrees = 90;
        p.DeclinationOutOfRange = true;
    } else {
        p.DeclinationOutOfRange = false;
    }
    double seconds = 0.0;
    D2Dms(degrees, 0, p.DeclinationD, p.DeclinationM, seconds);
    p.DeclinationS = static_cast<int16_t>(NearestInt(seconds));
    Carry(p.DeclinationD, p.DeclinationM, p.DeclinationS);
}

void EikDriver::CalibrateAlpha() {
    core_.display().AddMessage("Calibration Alpha");
    const Settings& s = core_.settings();
    copies_.AlphaPositionRef =
        s.Int(IntKey::calibr_alpha_h) * 3600.0 + s.Int(IntKey::calibr_alpha_m) * 60.0 + s.Int(IntKey::calibr_alpha_s);
    // A calibration ties the coder's present count, not the last one read before a failure.
    RefreshAxis(1, false);
    copies_.AlphaCoderRef = alphaCount_.load();
}

void EikDriver::CalibrateDelta() {
    core_.display().AddMessage("Calibration Delta");
    const Settings& s = core_.settings();
    const double d = s.Int(IntKey::calibr_delta_d);
    const double m = s.Int(IntKey::calibr_delta_m);
    const double sec = s.Int(IntKey::calibr_delta_s);
    double ref = d < 0 ? d * 3600.0 - m * 60.0 - sec : d * 3600.0 + m * 60.0 + sec;
    // A declination between 0 and -1 degree has 0 degrees and carries its sign here.
    if (s.Int(IntKey::calibr_delta_neg_zero) == 1) {
        ref = -ref;
    }
    copies_.DeltaPositionRef = ref;
    RefreshAxis(2, false);
    copies_.DeltaCoderRef = deltaCount_.load();
}

}  // namespace axo
