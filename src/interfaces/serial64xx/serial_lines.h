#pragma once

// The line layer of the 6420 boxes: one serial line per box (point to point), or one RS485
// line that both boxes share, each command then preceded by the box's bus address. It writes
// command lines, reads replies into the one reply buffer both axes share, flushes input,
// pauses, opens and probes the lines, closes them, writes the debug trace to the message list
// and shows every failure of the serial library in a box. Nothing is returned to the caller:
// each failure is shown at once and the operation in hand ends.

#include <cstdint>
#include <string>

#include "core/display.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/serial_library.h"
#include "settings/settings.h"

namespace axo {

// The text shown under "Erreur de communication." for a result code of the serial library.
std::string MoxaErrorText(int32_t code);

// The modal box of a failed serial call.
void ShowMoxaError(Operator& op, int32_t code);

enum class BoxLine : int16_t { Alpha = 1, Delta = 2, Bus = 3 };

class S64xxLines {
public:
    static constexpr std::size_t kReplySize = 256;

    S64xxLines(SerialLibrary& sio, Clock& clock, const Settings& settings, Display& display, Operator& op);

    void SendAlpha(const std::string& command, bool pauseAfter);
    void SendDelta(const std::string& command, bool pauseAfter);
    void ReadAlpha();
    void ReadDelta();
    void FlushAlpha();
    void FlushDelta();
    void PauseAlpha(int32_t ms);
    void PauseDelta(int16_t ms);
    // which: 1 the Alpha line, 2 the Delta line, 3 the bus.
    void OpenBoxes(int16_t which);
    void CloseBoxes(int16_t which);

    // MOXA port numbers, counted from 1 (set at each start of the interface).
    void SetPorts(int32_t alphaPort, int32_t deltaPort) {
        alphaPort_ = alphaPort;
        deltaPort_ = deltaPort;
    }
    int32_t AlphaPort() const { return alphaPort_; }
    int32_t DeltaPort() const { return deltaPort_; }
    bool AlphaPortOpen() const { return alphaOpen_; }
    bool DeltaPortOpen() const { return deltaOpen_; }
    // The port of the RS485 line, from the settings at each call.
    int32_t BusPort() const;
    bool BusMode() const;

    // The last bytes read from either box; 256 characters, the tail kept from earlier reads.
    const std::string& ReplyBuffer() const { return reply_; }

private:
    void Send(bool alpha, const std::string& command, bool pauseAfter);
    void Read(bool alpha);
    void Flush(bool alpha);
    void Pause(bool alpha, int32_t ms);
    int32_t LinePort(bool alpha) const;
    // Shows the box for a negative result; true when it was one.
    bool Failed(int32_t result, int32_t port);
    // The probe of one box on `port`: ETX, a space, and whatever came back. Returns the count
    // read, or a negative result already reported.
    int32_t Probe(int32_t port);
    void NotAnswering(bool alpha);

    SerialLibrary& sio_;
    Clock& clock_;
    const Settings& settings_;
    Display& display_;
    Operator& op_;
    int32_t alphaPort_ = 1;
    int32_t deltaPort_ = 2;
    bool alphaOpen_ = false;
    bool deltaOpen_ = false;
    std::string reply_;
};

}  // namespace axo
