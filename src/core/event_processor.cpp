#include "core/event_processor.h"

#include "core/display.h"

namespace axo {

void EventProcessor::SetEvent(int slot, int16_t value) {
    if (!Valid(slot)) {
        return;
    }
    table_[slot] = value;
    ProcessEvents();
}

void EventProcessor::ToggleEvent(int slot) {
    if (!Valid(slot)) {
        return;
    }
    SetEvent(slot, table_[slot] == 1 ? int16_t{0} : int16_t{1});
}

bool EventProcessor::IsEventSet(int slot) const {
    return Valid(slot) && table_[slot] == 1;
}

void EventProcessor::ProcessEvents() {
    for (int s = 1; s <= kEventSlotCount; ++s) {
        if (seen_[s] != table_[s]) {
            seen_[s] = table_[s];
            ApplyRule(s);
            return;
        }
    }
}

void EventProcessor::Clear(int slot) {
    if (table_[slot] == 1) {
        table_[slot] = 0;
        ProcessEvents();
    }
}

void EventProcessor::Image(int slot, bool on) {
    display_.SetButtonImage(slot, on ? kTrue : kFalse);
}

void EventProcessor::DirectionOn(int slot, int opposite, int oppositeLock, int16_t code) {
    // The opposite direction is stopped (command, picture, lock) before this one starts.
    Clear(opposite);
    Clear(oppositeLock);
    Image(slot, true);
    command_(code, kStart);
}

void EventProcessor::DirectionOff(int slot, int lock, int16_t code) {
    command_(code, kStop);
    Image(slot, false);
    Clear(lock);
}

void EventProcessor::Lock(int lockSlot, int directionSlot) {
    Image(lockSlot, table_[lockSlot] == 1);
    table_[directionSlot] = table_[lockSlot];
    ProcessEvents();
}

void EventProcessor::ApplyRule(int s) {
    const bool on = table_[s] == 1;
    switch (s) {
        case EVT_TRACKING:
            if (on) {
                Image(s, true);
                const bool stopMoves = settings_.Int(IntKey::ctrl_stop_move_when_tracking) == 1;
                if (stopMoves) {
                    for (int k = EVT_ALPHA_MINUS; k <= EVT_DELTA_PLUS_LOCK; ++k) {
                        Clear(k);
                    }
                }
                // While an Alpha move runs, tracking waits for the move to end.
                if ((table_[EVT_ALPHA_MINUS] != 1 && table_[EVT_ALPHA_PLUS] != 1) || stopMoves) {
                    command_(CMD_TRACKING, kStart);
                }
            } else {
                Image(s, false);
                command_(CMD_TRACKING, kStop);
            }
            break;
        case EVT_STOP:
            table_[s] = 0;
            seen_[s] = 0;
            Clear(EVT_TRACKING);
            if (settings_.Int(IntKey::ctrl_stop_only_for_tracking) == 0) {
                for (int k = EVT_ALPHA_MINUS; k <= EVT_DELTA_PLUS_LOCK; ++k) {
                    Clear(k);
                }
            }
            break;
        case EVT_ALPHA_MINUS:
        case EVT_ALPHA_PLUS: {
            const bool minus = s == EVT_ALPHA_MINUS;
            const int16_t code = minus ? CMD_ALPHA_MINUS : CMD_ALPHA_PLUS;
            const int other = minus ? EVT_ALPHA_PLUS : EVT_ALPHA_MINUS;
            if (on) {
                DirectionOn(s, other, other + 1, code);
            } else {
                DirectionOff(s, s + 1, code);
                if (table_[other] == 0 && table_[EVT_TRACKING] == 1) {
                    command_(CMD_TRACKING, kStart);  // tracking resumes after the move
                }
            }
            break;
        }
        case EVT_DELTA_MINUS:
        case EVT_DELTA_PLUS: {
            const bool minus = s == EVT_DELTA_MINUS;
            const int16_t code = minus ? CMD_DELTA_MINUS : CMD_DELTA_PLUS;
            const int other = minus ? EVT_DELTA_PLUS : EVT_DELTA_MINUS;
            if (on) {
                DirectionOn(s, other, other + 1, code);
            } else {
                DirectionOff(s, s + 1, code);
            }
            break;
        }
        case EVT_ALPHA_MINUS_LOCK:
        case EVT_ALPHA_PLUS_LOCK:
        case EVT_DELTA_MINUS_LOCK:
        case EVT_DELTA_PLUS_LOCK:
        case EVT_DOME_DIR1_LOCK:
        case EVT_DOME_DIR2_LOCK:
        case EVT_FOCUS_DIR1_LOCK:
            Lock(s, s - 1);
            break;
        case EVT_FOCUS_DIR2_LOCK:
            // This lock issues its command before its picture changes.
            table_[EVT_FOCUS_DIR2] = table_[s];
            ProcessEvents();
            Image(s, on);
            break;
        case EVT_DOME_TRACKING:
            if (on) {
                Image(s, true);
                for (int k = EVT_DOME_DIR1; k <= EVT_DOME_DIR2_LOCK; ++k) {
                    Clear(k);
                }
                command_(CMD_DOME_TRACKING, kStart);
            } else {
                Image(s, false);
                command_(CMD_DOME_TRACKING, kStop);
            }
            break;
        case EVT_DOME_STOP:
            table_[s] = 0;
            seen_[s] = 0;
            Clear(EVT_DOME_TRACKING);
            for (int k = EVT_DOME_DIR1; k <= EVT_DOME_DIR2_LOCK; ++k) {
                Clear(k);
            }
            command_(CMD_DOME_INIT_STOP, kStop);
            break;
        case EVT_DOME_DIR1:
        case EVT_DOME_DIR2:
        case EVT_FOCUS_DIR1:
        case EVT_FOCUS_DIR2: {
            const bool first = s == EVT_DOME_DIR1 || s == EVT_FOCUS_DIR1;
            const bool dome = s == EVT_DOME_DIR1 || s == EVT_DOME_DIR2;
            const int16_t code = dome ? (first ? CMD_DOME_DIR1 : CMD_DOME_DIR2) : (first ? CMD_FOCUS_DIR1 : CMD_FOCUS_DIR2);
            const int other = first ? s + 2 : s - 2;
            if (on) {
                DirectionOn(s, other, other + 1, code);
            } else {
                DirectionOff(s, s + 1, code);
            }
            break;
        }
        case EVT_FOCUS_STOP:
            table_[s] = 0;
            seen_[s] = 0;
            for (int k = EVT_FOCUS_DIR1; k <= EVT_FOCUS_DIR2_LOCK; ++k) {
                Clear(k);
            }
            break;
        default:
            break;
    }
}

void EventProcessor::StopTelescopeEvents(bool keepTracking) {
    if (!keepTracking) {
        table_[EVT_TRACKING] = 0;
        ProcessEvents();
    }
    for (int slot : {EVT_ALPHA_MINUS, EVT_ALPHA_PLUS, EVT_DELTA_MINUS, EVT_DELTA_PLUS}) {
        table_[slot] = 0;
        ProcessEvents();
    }
}

void EventProcessor::StopDomeEvents() {
    for (int slot : {EVT_DOME_TRACKING, EVT_DOME_DIR1, EVT_DOME_DIR2}) {
        table_[slot] = 0;
        ProcessEvents();
    }
}

void EventProcessor::StopAllEvents() {
    StopTelescopeEvents(false);
    StopDomeEvents();
}

void EventProcessor::ClearEventTable() {
    table_.fill(0);
    seen_.fill(0);
}

}  // namespace axo
