#pragma once

// The interface-thread half of the position link: the snapshot taken from the core after a
// polling tick, and the planetarium's control commands carried out through the same paths as
// the operator's (the pad's press and release, the speed options, the calibration).

#include <string>

#include "link/lx200.h"
#include "link/server.h"

namespace axo {
class Core;
}

namespace axo::link {

// What the main window shows, with the host's offset to UTC (hours to add to local time).
Snapshot TakeSnapshot(Core& core, double utcOffsetHours);

// The event-slot of the pad for a direction (North: Delta +, West: Alpha +).
int DirectionSlot(Direction direction);

// Carries out one request on the interface thread. The message list says what was done.
void Execute(Core& core, const Request& request);

// Logs an event of the link in the message list and carries out its request.
void Handle(Core& core, const Event& event);

}  // namespace axo::link
