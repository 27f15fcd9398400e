#pragma once

// The one privileged moment of the program. Direct port I/O needs the I/O ports granted with
// ioperm, which takes CAP_SYS_RAWIO; both the grant and the capability sets belong to a thread,
// and a thread inherits them from the thread that creates it. So the grants and the drop of
// every capability happen here, on the main thread, before QApplication (or anything else)
// starts a thread: afterwards no thread of the program holds a capability, and every thread
// created later inherits the grants.
//
// Granting a range touches no hardware: the first in/out happens when the interface that owns
// the range starts (code 1101).
//
// To give another device direct port access (an encoder card, say): add its ranges in
// IoRangesToGrant() from the hardware file, and let its backend ask PrivilegedStart::Grant()
// for the outcome when it is built. Nothing else is privileged.

#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/parallel/hardware_config.h"

namespace axo::app {

// Consecutive I/O addresses one device needs.
struct IoRange {
    uint16_t first = 0;
    uint16_t count = 0;
    std::string owner;  // in French, for messages ("port parallèle de commande")
};

struct IoGrant {
    IoRange range;
    bool granted = false;
    std::string reason;  // in French, when not granted
};

struct PrivilegedStart {
    std::vector<IoGrant> grants;
    // True when, after the drop, no thread of the process held any capability.
    bool capabilitiesDropped = false;
    // In French: why the drop failed or could not be verified; empty when it worked.
    std::string dropProblem;
    bool runningAsRoot = false;

    // The outcome for the range starting at `first`: nullptr when it was never asked for.
    const IoGrant* Grant(uint16_t first) const;
};

// The encoder card's base address as the settings file holds it: its registers are granted in
// the privileged phase, long before the settings are read for the windows.
uint16_t CardBaseFromSettingsFile();

// The I/O ranges the hardware file's choices need by direct port I/O (none with --simulate).
std::vector<IoRange> IoRangesToGrant(const HardwareFileResult& file, bool simulate);

// Grants each range to the calling thread (raising CAP_SYS_RAWIO from the permitted set when
// the executable has it), then clears every capability set and checks, thread by thread, that
// nothing is left. Call it once, on the main thread, while it is the only thread.
PrivilegedStart RunPrivilegedStart(const std::vector<IoRange>& ranges);

// Lines in French for standard error and the message list: running as root, a failed drop.
std::vector<std::string> PrivilegeWarnings(const PrivilegedStart& start);

// --- Pieces, public for the tests ---------------------------------------------------------

// Clears the ambient, inheritable, permitted and effective sets of the calling thread.
bool DropAllCapabilities();

// The threads of this process that still hold a capability (permitted, effective, inheritable
// or ambient), as "thread-id: CapPrm=..." lines; empty when none does. `error` is set when the
// threads cannot be read.
std::vector<std::string> ThreadsHoldingCapabilities(std::string* error);

// The number of threads of this process.
int ThreadCount();

}  // namespace axo::app
