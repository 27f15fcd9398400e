#pragma once

// The line layer of the 6420 boxes: one serial line per box (point to point), or one RS485
// line that both boxes share, each command then preceded by the box's bus address. It writes
// command lines, reads replies into the one reply buffer both axes share, flushes input,
// pauses, opens and probes the lines, closes them, writes the debug trace to the message list
// and shows every failure of the serial library in a box. Nothing is returned to the caller:
// each failure is shown at once and the operation in hand ends.
//
// One driver call is one action (BeginAction / EndAction): within it a line says its failure
// once, however many calls fail after the first. A line that goes away while open (an adapter
// unplugged) has its descriptor closed, and the next action opens the same port again, once,
// with the same line settings, so a line plugged back in is used again without a restart.

#include <cstdint>
#include <map>
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

// What one action did on the lines of each axis.
struct AxisActivity {
    bool used = false;    // the axis' line was used
    bool failed = false;  // and something failed on it (or its box kept silent)
};
struct LineActivity {
    AxisActivity alpha;
    AxisActivity delta;
};

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
    // What the last read brought: a byte count, 0 for nothing, -1 when it failed or was not made.
    int32_t LastReadCount() const { return lastRead_; }

    // The action of one driver call; actions may nest (a timer that fires in a box), the
    // outermost counts.
    void BeginAction();
    LineActivity EndAction();
    // The axis' line went away and has not come back yet.
    bool LineLost(bool alpha) const;
    // Records a failure of the axis that the driver found (a box that does not confirm its
    // stop), and whether the driver may report it: false when the axis' line has already said
    // something in this action.
    bool TakeReport(bool alpha);
    // Closes every line still open, before a new start opens them by the new settings.
    void ReleaseHeld();

private:
    void Send(bool alpha, const std::string& command, bool pauseAfter);
    void Read(bool alpha);
    void Flush(bool alpha);
    void Pause(bool alpha, int32_t ms);
    int32_t LinePort(bool alpha) const;
    // Axes as bits: 1 Alpha, 2 Delta.
    static int AxisBit(bool alpha) { return alpha ? 1 : 2; }
    void Note(int axes, bool failed);
    // Shows the box for a negative result (once per line and action); true when it was one. A
    // line that went away is closed here.
    bool Failed(int32_t result, int32_t port, int axes);
    // Whether `port` can be used now: a lost line is opened again, once per action.
    bool Ready(int32_t port, int axes);
    // Opens and configures `port`; false after a failure already reported.
    bool OpenLine(int32_t port, int axes);
    void CloseQuietly(int32_t port);
    // The probe of one box on `port`: ETX, a space, and whatever came back. Returns the count
    // read, or a negative result already reported.
    int32_t Probe(int32_t port, int axes);
    void NotAnswering(bool alpha);

    struct PortState {
        bool held = false;         // opened here and not closed since
        bool lost = false;         // went away while held; its descriptor is closed
        bool reopenTried = false;  // in this action
        bool reported = false;     // in this action
    };

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
    int32_t lastRead_ = -1;
    std::map<int32_t, PortState> ports_;
    int actionDepth_ = 0;
    LineActivity activity_;
};

}  // namespace axo
