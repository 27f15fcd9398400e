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
            return "L'appel à Win32 a échoué";
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

bool S64xxLines::Failed(int32_t result, int32_t port) {
    if (result >= 0) {
        return false;
    }
    // The box cannot say whether a line is missing or taken by another program; the system's
    // own words go to the message list first, for the observer who has to fix it.
    const std::string detail = sio_.FailureDetail(port);
    if (!detail.empty()) {
        display_.AddErrorMessage("!!! Port " + std::to_string(port) + " : " + detail);
    }
    ShowMoxaError(op_, result);
    return true;
}

void S64xxLines::Send(bool alpha, const std::string& command, bool pauseAfter) {
    if (settings_.Int(IntKey::S64xx_debug) == 1) {
        display_.AddErrorMessage(std::string(alpha ? "Axe alpha" : "Axe delta") + " ********** " + command);
    }
    const int32_t port = LinePort(alpha);
    if (BusMode()) {
        const std::string& address = settings_.Str(alpha ? StringKey::S64xx_RS485_alpha : StringKey::S64xx_RS485_delta);
        if (Failed(sio_.sio_write(port, address.data(), static_cast<int>(address.size())), port)) {
            return;
        }
    }
    const std::string line = command + '\r';
    if (Failed(sio_.sio_write(port, line.data(), static_cast<int>(line.size())), port)) {
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
    std::string copy = reply_;
    const int32_t port = LinePort(alpha);
    const int32_t n = sio_.sio_read(port, copy.data(), static_cast<int>(kReplySize));
    if (Failed(n, port)) {
        return;
    }
    reply_ = copy;
}

void S64xxLines::ReadAlpha() {
    Read(true);
}

void S64xxLines::ReadDelta() {
    Read(false);
}

void S64xxLines::Flush(bool alpha) {
    const int32_t port = LinePort(alpha);
    Failed(sio_.sio_flush(port, kSioFlushInput), port);
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

int32_t S64xxLines::Probe(int32_t port) {
    if (Failed(sio_.sio_putch(port, kEtx), port)) {
        return -1;
    }
    WaitMs(clock_, kProbeWaitMs);
    if (Failed(sio_.sio_write(port, " ", 1), port)) {
        return -1;
    }
    WaitMs(clock_, kProbeWaitMs);
    std::string copy = reply_;
    const int32_t n = sio_.sio_read(port, copy.data(), static_cast<int>(kReplySize));
    if (Failed(n, port)) {
        return -1;
    }
    reply_ = copy;
    return n;
}

void S64xxLines::NotAnswering(bool alpha) {
    op_.ShowMessage("Erreur", alpha ? "Le boitier 6420 Alpha ne répond pas." : "Le boitier 6420 Delta ne répond pas.",
                    MessageIcon::Exclamation, MessageButtons::Ok);
}

void S64xxLines::OpenBoxes(int16_t which) {
    if (which == 1 || which == 2) {
        const bool alpha = which == 1;
        bool& open = alpha ? alphaOpen_ : deltaOpen_;
        const int32_t port = alpha ? alphaPort_ : deltaPort_;
        open = true;
        if (Failed(sio_.sio_open(port), port) || Failed(sio_.sio_ioctl(port, kSioBaud9600, kSioMode8N1), port)) {
            open = false;
            return;
        }
        const int32_t n = Probe(port);
        if (n >= 0 && n <= 2) {
            NotAnswering(alpha);
        }
        return;
    }
    if (which != 3) {
        return;
    }
    alphaOpen_ = true;
    deltaOpen_ = true;
    const int32_t port = BusPort();
    if (Failed(sio_.sio_open(port), port) || Failed(sio_.sio_ioctl(port, kSioBaud9600, kSioMode8N1), port)) {
        alphaOpen_ = false;
        deltaOpen_ = false;
        return;
    }
    const std::string alphaCall = settings_.Str(StringKey::S64xx_RS485_alpha) + " \r\n";
    if (Failed(sio_.sio_write(port, alphaCall.data(), static_cast<int>(alphaCall.size())), port)) {
        return;
    }
    int32_t n = Probe(port);
    if (n < 0) {
        return;
    }
    if (n < 3) {
        NotAnswering(true);
    }
    const std::string& deltaAddress = settings_.Str(StringKey::S64xx_RS485_delta);
    if (Failed(sio_.sio_write(port, deltaAddress.data(), static_cast<int>(deltaAddress.size())), port)) {
        return;
    }
    n = Probe(port);
    if (n >= 0 && n <= 2) {
        NotAnswering(false);
    }
}

void S64xxLines::CloseBoxes(int16_t which) {
    switch (which) {
        case 1:
            if (alphaOpen_) {
                Failed(sio_.sio_close(alphaPort_), alphaPort_);
            }
            break;
        case 2:
            if (deltaOpen_) {
                Failed(sio_.sio_close(deltaPort_), deltaPort_);
            }
            break;
        case 3:
            if (alphaOpen_ && deltaOpen_) {
                const int32_t port = BusPort();
                Failed(sio_.sio_close(port), port);
            }
            break;
        default:
            break;
    }
}

}  // namespace axo
