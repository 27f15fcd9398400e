#pragma once

// The table of the 21 command-pad requests, and the processor that turns each change of the
// table into at most one command, the matching button picture, and the knock-on changes of
// other slots: a direction cancels its opposite, a lock holds its direction, a stop clears a
// whole group, and the end of an Alpha move resumes tracking.

#include <array>
#include <cstdint>
#include <functional>

#include "core/codes.h"
#include "settings/settings.h"

namespace axo {

class Display;

class EventProcessor {
public:
    using CommandFn = std::function<void(int16_t code, int16_t arg)>;

    EventProcessor(const Settings& settings, Display& display, CommandFn command)
        : settings_(settings), display_(display), command_(std::move(command)) {}

    // Acts on the lowest-numbered slot whose request differs from what was last acted on.
    void ProcessEvents();

    // Writers: every write of a slot is followed by ProcessEvents.
    void SetEvent(int slot, int16_t value);
    void ToggleEvent(int slot);

    bool IsEventSet(int slot) const;
    int16_t Requested(int slot) const { return Valid(slot) ? table_[slot] : int16_t{0}; }
    int16_t Seen(int slot) const { return Valid(slot) ? seen_[slot] : int16_t{0}; }

    void StopTelescopeEvents(bool keepTracking);
    void StopDomeEvents();
    void StopAllEvents();
    // Both tables to 0; no command and no picture.
    void ClearEventTable();

private:
    static bool Valid(int slot) { return slot >= 1 && slot <= kEventSlotCount; }
    void Clear(int slot);
    void Image(int slot, bool on);
    void ApplyRule(int slot);
    void DirectionOn(int slot, int opposite, int oppositeLock, int16_t code);
    void DirectionOff(int slot, int lock, int16_t code);
    void Lock(int lockSlot, int directionSlot);

    const Settings& settings_;
    Display& display_;
    CommandFn command_;
    std::array<int16_t, kEventSlotCount + 1> table_{};  // index 0 unused
    std::array<int16_t, kEventSlotCount + 1> seen_{};
};

}  // namespace axo
