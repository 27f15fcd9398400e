#pragma once

// The interface-thread half of the position link: the snapshot taken from the core after a
// polling tick, and the planetarium's control commands carried out through the same paths as
// the operator's (the pad's press and release, the speed options, the calibration).

#include <cstdint>
#include <string>

#include "link/lx200.h"
#include "link/server.h"

namespace axo {
class Core;
}

namespace axo::link {

// What the main window and the tracking window show, with the date and time brought from the
// clock's UTC to local time by the host's offset to UTC (hours to add to local time).
// Taken after every polling tick, it also lets go of the moves a client started that have
// ended since (the operator stopped them or took them over), so that a client leaving later
// never stops a move that has become the operator's.
Snapshot TakeSnapshot(Core& core, double utcOffsetHours);

// The event-slot of the pad for a direction (North: Delta +, West: Alpha +).
int DirectionSlot(Direction direction);

// Carries out one request of client `client` on the interface thread. The message list says
// what was done. A move it starts is remembered as the client's until it ends.
void Execute(Core& core, const Request& request, uint64_t client = 0);

// Logs an event of the link in the message list and carries out its request. A client that
// leaves, or is cut off, has the moves that are still its own stopped, as the pad's release
// would; the operator's moves and tracking go on.
void Handle(Core& core, const Event& event);

}  // namespace axo::link
