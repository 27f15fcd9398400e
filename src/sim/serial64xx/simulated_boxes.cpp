#include "sim/serial64xx/simulated_boxes.h"

#include <algorithm>

namespace axo::sim {

SimulatedBoxes::SimulatedBoxes(Observatory& observatory, const BoxWiring& wiring)
    : observatory_(observatory),
      wiring_(wiring),
      alpha_(BoxAxis::Alpha, wiring.fastOnSlave),
      delta_(BoxAxis::Delta, wiring.fastOnSlave) {
    observatory_.TheMount().Attach(MountAxis::HourAngle, &alpha_);
    observatory_.TheMount().Attach(MountAxis::Declination, &delta_);
    observatory_.AddFace(this);
}

SimulatedBoxes::~SimulatedBoxes() {
    observatory_.RemoveFace(this);
    observatory_.TheMount().Detach(&alpha_);
    observatory_.TheMount().Detach(&delta_);
}

void SimulatedBoxes::Advance(double seconds) {
    alpha_.Advance(seconds);
    delta_.Advance(seconds);
}

void SimulatedBoxes::SetWiring(const BoxWiring& wiring) {
    wiring_ = wiring;
    delta_.SetFastOnSlave(wiring.fastOnSlave);
    alpha_.SetFastOnSlave(wiring.fastOnSlave);
}

void SimulatedBoxes::VanishLine(int port, bool vanished) {
    if (!Valid(port)) {
        return;
    }
    Line& line = lines_[Index(port)];
    line.vanished = vanished;
    if (vanished) {
        line.open = false;
        line.input.clear();
    }
}

void SimulatedBoxes::Connect(int port) {
    Line& line = lines_[Index(port)];
    line.listenerCount = 0;
    line.lineStart = true;
    line.address.clear();
    line.selected = -1;
    auto add = [&line](Box6420* box) {
        line.listeners[static_cast<std::size_t>(line.listenerCount++)] = Listener{box, {}, false};
    };
    if (BusLine(port)) {
        add(&alpha_);
        add(&delta_);
        return;
    }
    if (!wiring_.rs485) {
        if (port == wiring_.alphaPort) {
            add(&alpha_);
        }
        if (port == wiring_.deltaPort) {
            add(&delta_);
        }
    }
    // A single box on its own line listens to everything.
    line.selected = line.listenerCount == 1 ? 0 : -1;
}

int32_t SimulatedBoxes::sio_open(int port) {
    observatory_.Update();
    if (!Valid(port) || lines_[Index(port)].vanished) {
        return SIO_BADPORT;
    }
    if (lines_[Index(port)].open) {
        return kSioInUse;
    }
    if (wiringSource_) {
        SetWiring(wiringSource_());
    }
    Line& line = lines_[Index(port)];
    line.open = true;
    line.configured = false;
    line.input.clear();
    Connect(port);
    return 0;
}

int32_t SimulatedBoxes::sio_ioctl(int port, int baud, int mode) {
    if (!IsOpen(port)) {
        return SIO_BADPORT;
    }
    if (baud != kSioBaud9600 || mode != kSioMode8N1) {
        return SIO_BADPARM;
    }
    lines_[Index(port)].configured = true;
    return 0;
}

int32_t SimulatedBoxes::sio_putch(int port, int ch) {
    const char c = static_cast<char>(ch);
    const int32_t r = sio_write(port, &c, 1);
    return r < 0 ? r : 0;
}

void SimulatedBoxes::Answer(Line& line, Listener& l, const std::string& answer) {
    line.input += l.box->Deliver(answer);
}

void SimulatedBoxes::Receive(Line& line, char c) {
    const bool bus = line.listenerCount == 2;
    if (c == kEtx) {
        if (line.selected >= 0) {
            Listener& l = line.listeners[static_cast<std::size_t>(line.selected)];
            l.attention = true;
            l.line.clear();
        }
        line.lineStart = false;
        return;
    }
    if (c == '\n') {
        return;
    }
    if (bus && line.lineStart) {
        line.address += c;
        line.selected = -1;
        bool prefix = false;
        const std::string* addresses[] = {&wiring_.alphaAddress, &wiring_.deltaAddress};
        for (int i = 0; i < 2; ++i) {
            if (line.address == *addresses[i]) {
                line.selected = i;
                line.lineStart = false;
                line.address.clear();
                line.listeners[static_cast<std::size_t>(i)].line.clear();
                return;
            }
            prefix = prefix || addresses[i]->rfind(line.address, 0) == 0;
        }
        if (!prefix) {
            line.lineStart = false;  // a line for nobody here: ignored up to its end
            line.address.clear();
        }
        return;
    }
    if (line.selected < 0) {
        if (c == '\r') {
            line.lineStart = true;
        }
        return;
    }
    Listener& l = line.listeners[static_cast<std::size_t>(line.selected)];
    if (c == '\r') {
        Answer(line, l, l.box->Execute(l.line));
        l.line.clear();
        l.attention = false;
        line.lineStart = true;
        return;
    }
    if (l.attention && c == ' ' && l.line.empty()) {
        Answer(line, l, l.box->ProbeAnswer());
        l.attention = false;
        line.lineStart = true;
        return;
    }
    l.attention = false;
    l.line += c;
}

int32_t SimulatedBoxes::sio_write(int port, const char* buf, int len) {
    observatory_.Update();
    if (!IsOpen(port)) {
        return SIO_BADPORT;
    }
    if (len < 0 || (len > 0 && buf == nullptr)) {
        return SIO_BADPARM;
    }
    Line& line = lines_[Index(port)];
    if (line.configured) {  // unconfigured, the boxes hear noise at the wrong speed
        for (int i = 0; i < len; ++i) {
            Receive(line, buf[i]);
        }
    }
    return len;
}

int32_t SimulatedBoxes::sio_read(int port, char* buf, int len) {
    observatory_.Update();
    if (!IsOpen(port)) {
        return SIO_BADPORT;
    }
    if (len <= 0 || buf == nullptr) {
        return SIO_BADPARM;
    }
    Line& line = lines_[Index(port)];
    const std::size_t n = std::min(line.input.size(), static_cast<std::size_t>(len));
    line.input.copy(buf, n);
    line.input.erase(0, n);
    return static_cast<int32_t>(n);
}

int32_t SimulatedBoxes::sio_flush(int port, int func) {
    if (!IsOpen(port)) {
        return SIO_BADPORT;
    }
    if (func == kSioFlushInput || func == kSioFlushBoth) {
        lines_[Index(port)].input.clear();
    } else if (func != kSioFlushOutput) {
        return SIO_BADPARM;
    }
    return 0;
}

int32_t SimulatedBoxes::sio_close(int port) {
    if (!IsOpen(port)) {
        return SIO_BADPORT;
    }
    lines_[Index(port)].open = false;
    return 0;
}

}  // namespace axo::sim
