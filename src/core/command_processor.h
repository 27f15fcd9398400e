#pragma once

// Command(code, arg): the one road from the windows, the event processor and the polling
// timer to the hardware. It writes the action's line to the message list, picks the interface
// that serves the function from the settings, applies the direction swaps and calls that
// interface's driver entry. It never fails: each driver reports its own failures.

#include <cstdint>
#include <string>

#include "core/driver.h"
#include "core/state.h"
#include "settings/settings.h"

namespace axo {

class Display;
class MainView;

// "Centrage ", "Pointage ", "Déplacement ", or nothing for another mode.
std::string ModeText(int16_t mode);

// Two-digit fields: 5 -> "05", -5 -> "-05", 123 -> "123"; a double is rounded first (59.6 -> "60").
std::string Fmt2(int value);
std::string Fmt2(double value);

class CommandProcessor {
public:
    CommandProcessor(Settings& settings, RuntimeState& state, Position& position, DriverRegistry& drivers,
                     Display& display)
        : settings_(settings), state_(state), pos_(position), drivers_(drivers), display_(display) {}

    void Command(int16_t code, int16_t arg);

private:
    void AxisMotion(int16_t code, int16_t arg);
    void Tracking(int16_t arg);
    void ControlMode(int16_t arg);
    void DomeTracking(int16_t arg);
    void DomeRotation(int16_t code, int16_t arg);
    void DomeInitStop(int16_t arg);
    void Focus(int16_t code, int16_t arg);
    void Filter();
    void CallCoders(int16_t code);
    // Whether the coder interface, and the dome's, give readings (see DriverRegistry).
    bool CodersReadable(int axis = 0) const;
    bool DomeReadable() const;

    // Position read-out.
    void ReadAlpha();
    void ReadDelta();
    void ReadDome();
    void TelescopeAzimuth();

    int16_t Parallel(int16_t code, int16_t action, int16_t mode = 0);
    MainView& View();

    Settings& settings_;
    RuntimeState& state_;
    Position& pos_;
    DriverRegistry& drivers_;
    Display& display_;
};

}  // namespace axo
