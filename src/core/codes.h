#pragma once

// The numbers that the windows, the command processor and every interface driver share.

#include <cstdint>

namespace axo {

// Command codes: one code space for Command(code, arg) and every driver entry.
enum CommandCode : int16_t {
    CMD_TRACKING = 1,
    CMD_DELTA_PLUS = 2,
    CMD_DELTA_MINUS = 3,
    CMD_ALPHA_PLUS = 4,
    CMD_ALPHA_MINUS = 5,
    CMD_ALPHA_MODE = 6,
    CMD_DELTA_MODE = 7,
    CMD_POLL_64XX = 8,
    CMD_DOME_TRACKING = 101,
    CMD_DOME_DIR1 = 102,
    CMD_DOME_DIR2 = 103,
    CMD_DOME_REST = 104,
    CMD_DOME_INIT = 105,
    CMD_DOME_INIT_STOP = 106,
    CMD_FOCUS_DIR1 = 201,
    CMD_FOCUS_DIR2 = 202,
    CMD_READ_ALPHA = 301,
    CMD_READ_DELTA = 302,
    CMD_READ_DOME = 303,
    CMD_TELESCOPE_AZIMUTH = 304,
    CMD_DOME_REST_STEP = 305,
    CMD_DOME_TRACK_STEP = 306,
    CMD_CONTROL_MODE = 401,
    CMD_POLL_BOARDS = 402,
    CMD_CALIBRATE_ALPHA = 1001,
    CMD_CALIBRATE_DELTA = 1002,
    CMD_START_INTERFACE = 1101,
    CMD_STOP_INTERFACE = 1102,
    CMD_SEND_COUNT_ALPHA = 1201,
    CMD_SEND_COUNT_DELTA = 1202,
    CMD_ZERO_CODER_ALPHA = 1203,
    CMD_ZERO_CODER_DELTA = 1204,
    CMD_RESET_ALPHA = 1205,
    CMD_RESET_DELTA = 1206,
    CMD_RESET_DOME = 1207,
    CMD_FILTER = 1301,
};

// Start and stop arguments of the start/stop codes.
constexpr int16_t kStart = 1;
constexpr int16_t kStop = 2;

// Event slots of the command pad, 1 to 21.
enum EventSlot : int16_t {
    EVT_TRACKING = 1,
    EVT_STOP = 2,
    EVT_ALPHA_MINUS = 3,
    EVT_ALPHA_MINUS_LOCK = 4,
    EVT_ALPHA_PLUS = 5,
    EVT_ALPHA_PLUS_LOCK = 6,
    EVT_DELTA_MINUS = 7,
    EVT_DELTA_MINUS_LOCK = 8,
    EVT_DELTA_PLUS = 9,
    EVT_DELTA_PLUS_LOCK = 10,
    EVT_DOME_TRACKING = 11,
    EVT_DOME_STOP = 12,
    EVT_DOME_DIR1 = 13,
    EVT_DOME_DIR1_LOCK = 14,
    EVT_DOME_DIR2 = 15,
    EVT_DOME_DIR2_LOCK = 16,
    EVT_FOCUS_STOP = 17,
    EVT_FOCUS_DIR1 = 18,
    EVT_FOCUS_DIR1_LOCK = 19,
    EVT_FOCUS_DIR2 = 20,
    EVT_FOCUS_DIR2_LOCK = 21,
};
constexpr int kEventSlotCount = 21;

// The slots of the padlocks, each holding the direction just below it.
constexpr bool IsLockSlot(int slot) {
    return slot == EVT_ALPHA_MINUS_LOCK || slot == EVT_ALPHA_PLUS_LOCK || slot == EVT_DELTA_MINUS_LOCK ||
           slot == EVT_DELTA_PLUS_LOCK || slot == EVT_DOME_DIR1_LOCK || slot == EVT_DOME_DIR2_LOCK ||
           slot == EVT_FOCUS_DIR1_LOCK || slot == EVT_FOCUS_DIR2_LOCK;
}

// Values of the interface_* settings.
enum InterfaceNumber : int16_t {
    INTERFACE_PARALLEL = 1,
    INTERFACE_EIK120 = 2,
    INTERFACE_64XX = 3,
    INTERFACE_TALVENE = 4,
};

// Speed modes of the axes.
enum SpeedMode : int16_t {
    SPEED_CENTERING = 3,
    SPEED_POINTING = 4,
    SPEED_MOVING = 5,
};

// Booleans that travel as 16-bit integers keep the convention True = -1.
constexpr int16_t kTrue = -1;
constexpr int16_t kFalse = 0;

}  // namespace axo
