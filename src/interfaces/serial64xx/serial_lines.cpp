#include "interfaces/serial64xx/serial_lines.h"

#include <algorithm>

namespace axo {

std::string MoxaErrorText(int32_t code) {
    switch (code) {
        case SIO_BADPORT:
            return "Port non ouvert ou inexistant";
        case SIO_OUTCONTROL:
            return "Contrôle de la carte MOXA impossible";
        case SIO_NODATA:
            return "Pas de données à lire ou à écrire";
        case SIO_BADPARM:
            return "Paramètre incorrect";
        case SIO_WIN32FAIL:
            return "L'appel au système a échoué";
        case SIO_BOARDNOTSUPPORT:
            return "Pas de carte MOXA";
        default:
            return "";
    }
}

void ShowMoxaError(Operator& op, int32_t code) {
    op.ShowMessage("Erreur", "Erreur de communication.\n" + MoxaErrorText(code), MessageIcon::Exclamation,
                   MessageButtons::Ok);
}

namespace {
constexpr int32_t kCommandPauseMs = 50;
constexpr int32_t kProbeWaitMs = 300;
}  // namespace

S64xxLines::S64xxLines(SerialLibrary& sio, Clock& clock, const Settings& settings, Display& display, Operator& op)
    : sio_(sio), clock_(clock), settings_(settings), display_(display), op_(op), reply_(kReplySize, '\0') {}

bool S64xxLines::BusMode() const {
    return settings_.Int(IntKey::S64xx_RS485) == 1;
}

int32_t S64xxLines::BusPort() const {
    return settings_.Int(IntKey::S64xx_RS485_com_port) + 1;
}

int32_t S64xxLines::LinePort(bool alpha) const {
    if (BusMode()) {
        return BusPort();
    }
    return alpha ? alphaPort_ : deltaPort_;
}

void S64xxLines::BeginAction() {
    if (actionDepth_++ > 0) {
        return;
    }
    activity_ = {};
    for (auto& [port, state] : ports_) {
        state.reopenTried = false;
        state.reported = false;
    }
}

LineActivity S64xxLines::EndAction() {
    if (actionDepth_ > 0) {
        --actionDepth_;
    }
    return activity_;
}

void S64xxLines::Note(int axes, bool failed) {
    for (AxisActivity* a : {(axes & 1) != 0 ? &activity_.alpha : nullptr, (axes & 2) != 0 ? &activity_.delta : nullptr}) {
        if (a != nullptr) {
            a->used = true;
            a->failed = a->failed || failed;
        }
    }
}

bool S64xxLines::LineLost(bool alpha) const {
    const auto it = ports_.find(LinePort(alpha));
    return it != ports_.end() && it->second.lost;
}

bool S64xxLines::TakeReport(bool alpha) {
    Note(AxisBit(alpha), true);
    PortState& state = ports_[LinePort(alpha)];
    if (actionDepth_ > 0 && state.reported) {
        return false;
    }
    state.reported = true;
    return true;
}

void S64xxLines::CloseQuietly(int32_t port) {
    // Only the descriptor goes; what the library says about a line already gone is no news.
    sio_.sio_close(port);
    ports_[port].held = false;
}

void S64xxLines::ReleaseHeld() {
    for (auto& [port, state] : ports_) {
        if (state.held) {
            CloseQuietly(port);
        }
    }
    ports_.clear();
}

bool S64xxLines::Failed(int32_t result, int32_t port, int axes) {
    if (result >= 0) {
        Note(axes, false);
        return false;
    }
    Note(axes, true);
    PortState& state = ports_[port];
    if (result == SIO_BADPORT && state.held) {
        // The line went away under us (an adapter unplugged): keeping its descriptor would
        // keep failing even once it is back. The next action opens it again.
        CloseQuietly(port);
        state.lost = true;
        state.reopenTried = true;
    }
    if (actionDepth_ > 0 && state.reported) {
        return true;  // this line has said what is wrong with it in this action already
    }
    state.reported = true;
    // The box cannot say whether a line is missing or taken by another program; the system's
    // own words go to the message list first, for the observer who has to fix it.
    const std::string detail = sio_.FailureDetail(port);
    if (!detail.empty()) {
        display_.AddErrorMessage("!!! Port " + std::to_string(port) + " : " + detail);
    }
    ShowMoxaError(op_, result);
    return true;
}

bool S64xxLines::OpenLine(int32_t port, int axes) {
    if (Failed(sio_.sio_open(port), port, axes)) {
        return false;
    }
    ports_[port].held = true;
    if (Failed(sio_.sio_ioctl(port, kSioBaud9600, kSioMode8N1), port, axes)) {
        CloseQuietly(port);
        return false;
    }
    ports_[port].lost = false;
    return true;
}

bool S64xxLines::Ready(int32_t port, int axes) {
    PortState& state = ports_[port];
    if (!state.lost) {
        return true;
    }
    if (actionDepth_ > 0 && state.reopenTried) {
        Note(axes, true);
        return false;
    }
    state.reopenTried = true;
    return OpenLine(port, axes);
}

void S64xxLines::Send(bool alpha, const std::string& command, bool pauseAfter) {
    if (settings_.Int(IntKey::S64xx_debug) == 1) {
        display_.AddErrorMessage(std::string(alpha ? "Axe alpha" : "Axe delta") + " ********** " + command);
    }
    const int32_t port = LinePort(alpha);
    const int axes = AxisBit(alpha);
    if (!Ready(port, axes)) {
        return;
    }
    if (BusMode()) {
        const std::string& address = settings_.Str(alpha ? StringKey::S64xx_RS485_alpha : StringKey::S64xx_RS485_delta);
        if (Failed(sio_.sio_write(port, address.data(), static_cast<int>(address.size())), port, axes)) {
            return;
        }
    }
    const std::string line = command + '\r';
    if (Failed(sio_.sio_write(port, line.data(), static_cast<int>(line.size())), port, axes)) {
        return;
    }
    if (pauseAfter) {
        Pause(alpha, kCommandPauseMs);
    }
}

void S64xxLines::SendAlpha(const std::string& command, bool pauseAfter) {
    Send(true, command, pauseAfter);
}

void S64xxLines::SendDelta(const std::string& command, bool pauseAfter) {
    Send(false, command, pauseAfter);
}

void S64xxLines::Read(bool alpha) {
    // The library writes over the start of a copy; what it did not reach keeps the bytes of
    // earlier replies.
    lastRead_ = -1;
    const int32_t port = LinePort(alpha);
    if (!Ready(port, AxisBit(alpha))) {
        return;
    }
    std::string copy = reply_;
    const int32_t n = sio_.sio_read(port, copy.data(), static_cast<int>(kReplySize));
    if (Failed(n, port, AxisBit(alpha))) {
        return;
    }
    reply_ = copy;
    lastRead_ = n;
}

void S64xxLines::ReadAlpha() {
    Read(true);
}

void S64xxLines::ReadDelta() {
    Read(false);
}

void S64xxLines::Flush(bool alpha) {
    const int32_t port = LinePort(alpha);
    if (Ready(port, AxisBit(alpha))) {
        Failed(sio_.sio_flush(port, kSioFlushInput), port, AxisBit(alpha));
    }
}

void S64xxLines::FlushAlpha() {
    Flush(true);
}

void S64xxLines::FlushDelta() {
    Flush(false);
}

void S64xxLines::Pause(bool alpha, int32_t ms) {
    WaitMs(clock_, ms);
    if (settings_.Int(IntKey::S64xx_debug) == 1) {
        display_.AddErrorMessage(std::string(alpha ? "Axe alpha" : "Axe delta") + " ********** pause de " +
                                 std::to_string(ms) + " ms");
    }
}

void S64xxLines::PauseAlpha(int32_t ms) {
    Pause(true, ms);
}

void S64xxLines::PauseDelta(int16_t ms) {
    Pause(false, ms);
}

int32_t S64xxLines::Probe(int32_t port, int axes) {
    if (Failed(sio_.sio_putch(port, kEtx), port, axes)) {
        return -1;
    }
    WaitMs(clock_, kProbeWaitMs);
    if (Failed(sio_.sio_write(port, " ", 1), port, axes)) {
        return -1;
    }
    WaitMs(clock_, kProbeWaitMs);
    std::string copy = reply_;
    const int32_t n = sio_.sio_read(port, copy.data(), static_cast<int>(kReplySize));
    if (Failed(n, port, axes)) {
        return -1;
    }
    reply_ = copy;
    return n;
}

void S64xxLines::NotAnswering(bool alpha) {
    Note(AxisBit(alpha), true);
    op_.ShowMessage("Erreur", alpha ? "Le boitier 6420 Alpha ne répond pas." : "Le boitier 6420 Delta ne répond pas.",
                    MessageIcon::Exclamation, MessageButtons::Ok);
}

void S64xxLines::OpenBoxes(int16_t which) {
    if (which == 1 || which == 2) {
        const bool alpha = which == 1;
        bool& open = alpha ? alphaOpen_ : deltaOpen_;
        const int32_t port = alpha ? alphaPort_ : deltaPort_;
        open = OpenLine(port, AxisBit(alpha));
        if (!open) {
            return;
        }
        const int32_t n = Probe(port, AxisBit(alpha));
        if (n >= 0 && n <= 2) {
            NotAnswering(alpha);
        }
        return;
    }
    if (which != 3) {
        return;
    }
    const int both = AxisBit(true) | AxisBit(false);
    const int32_t port = BusPort();
    alphaOpen_ = deltaOpen_ = OpenLine(port, both);
    if (!alphaOpen_) {
        return;
    }
    const std::string alphaCall = settings_.Str(StringKey::S64xx_RS485_alpha) + " \r\n";
    if (Failed(sio_.sio_write(port, alphaCall.data(), static_cast<int>(alphaCall.size())), port, both)) {
        return;
    }
    int32_t n = Probe(port, both);
    if (n < 0) {
        return;
    }
    if (n < 3) {
        NotAnswering(true);
    }
    const std::string& deltaAddress = settings_.Str(StringKey::S64xx_RS485_delta);
    if (Failed(sio_.sio_write(port, deltaAddress.data(), static_cast<int>(deltaAddress.size())), port, both)) {
        return;
    }
    n = Probe(port, both);
    if (n >= 0 && n <= 2) {
        NotAnswering(false);
    }
}

void S64xxLines::CloseBoxes(int16_t which) {
    int32_t port = 0;
    int axes = 0;
    switch (which) {
        case 1:
            if (alphaOpen_) {
                port = alphaPort_;
                axes = AxisBit(true);
            }
            break;
        case 2:
            if (deltaOpen_) {
                port = deltaPort_;
                axes = AxisBit(false);
            }
            break;
        case 3:
            if (alphaOpen_ && deltaOpen_) {
                port = BusPort();
                axes = AxisBit(true) | AxisBit(false);
            }
            break;
        default:
            break;
    }
    if (port == 0) {
        return;
    }
    PortState& state = ports_[port];
    if (state.lost) {
        state.lost = false;  // its descriptor went with the line
        return;
    }
    Failed(sio_.sio_close(port), port, axes);
    ports_[port].held = false;
}

}  // namespace axo
