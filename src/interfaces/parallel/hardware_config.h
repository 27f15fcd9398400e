#pragma once

// The hardware file, hardware.ini beside Axo.ini: which backend reaches the parallel ports and
// where. A missing file or key gives the defaults. Section [parallel]:
//
//   backend = ppdev | direct | simulated | none    (default ppdev)
//   command_device = /dev/parport0                 (ppdev: the command port)
//   data_device = /dev/parport1                    (ppdev: the data port)
//   command_base = 0x378                           (direct: the command port's base address)
//   data_base = 0x278                              (direct: the data port's base address)
//
// Addresses take the 0x prefix for hexadecimal, decimal otherwise.
//
// Section [serial], the lines of the 6420 boxes (MOXA port N of the settings is portN):
//
//   backend = termios | simulated                  (default termios)
//   port1 = /dev/ttyS0  ...  port4 = /dev/ttyS3    (the device of each port)
//
// Section [eik120], the encoder card (its base address is a setting of Axo.ini):
//
//   backend = direct | simulated | none            (default direct)
//   uio_device = /dev/uio0                         (the card's interrupt; empty: none)
//
// Section [link], the position link for planetarium programs (LX200 protocol over TCP):
//
//   enabled = 0 | 1                                (default 0: no link)
//   address = 127.0.0.1                            (the address it listens on; 0.0.0.0: all)
//   port = 4030                                    (the TCP port)
//   control = 0 | 1                                (default 0: read-only, stop/move/sync refused)
//   idle_timeout = 300                             (seconds of silence before a client is cut off)
//
// Section [pointing], what the go-to never crosses and where it parks (degrees, hours):
//
//   min_altitude = 10                              (lowest altitude the telescope is sent to)
//   hour_angle_east = 6, hour_angle_west = 6       (hours east / west of the meridian)
//   declination_min = -90, declination_max = 90
//   park_hour_angle = 0, park_declination = 90     (the park position)
//
// Section [simulation], honoured with --simulate only:
//
//   coast = 0.1                                    (seconds: an axis keeps turning after its
//                                                   drive stops, as a real mount's inertia does)

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/pointing_limits.h"

namespace axo {

inline constexpr const char* kHardwareFileName = "hardware.ini";

enum class ParallelBackend { Ppdev, Direct, Simulated, None };

struct ParallelHardware {
    ParallelBackend backend = ParallelBackend::Ppdev;
    std::string commandDevice = "/dev/parport0";
    std::string dataDevice = "/dev/parport1";
    uint16_t commandBase = 0x378;
    uint16_t dataBase = 0x278;
};

enum class SerialBackend { Termios, Simulated };

struct SerialHardware {
    SerialBackend backend = SerialBackend::Termios;
    std::array<std::string, 4> ports = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};
};

enum class EikBackend { Direct, Simulated, None };

struct EikHardware {
    EikBackend backend = EikBackend::Direct;
    std::string uioDevice;  // empty: the card's interrupt cannot be used
};

struct LinkHardware {
    bool enabled = false;
    std::string address = "127.0.0.1";
    uint16_t port = 4030;
    bool control = false;
    // A client that has sent nothing for this long is cut off (and its moves stopped); 0: never.
    uint32_t idleTimeoutS = 300;
};

struct SimulationHardware {
    double coastSeconds = 0.1;
};

struct HardwareFileResult {
    ParallelHardware parallel;
    SerialHardware serial;
    EikHardware eik120;
    LinkHardware link;
    PointingLimits pointing;
    SimulationHardware simulation;
    // French lines about values that could not be used (their defaults were kept).
    std::vector<std::string> problems;
};

// Every section and key the file accepts; any other is reported as unknown.
struct HardwareKey {
    const char* section;
    const char* key;
};
const std::vector<HardwareKey>& HardwareFileKeys();

// Reads `path` (hardware.ini in the settings folder when empty).
HardwareFileResult ReadHardwareFile(const std::filesystem::path& path = {});

}  // namespace axo
