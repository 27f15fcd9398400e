// The position link's command parser on any bytes, split into reads as the network splits
// them: no crash, no undefined behaviour, the pending command stays bounded, and a read-only
// session never asks for a move (it only reports what it refused).

#include <cstdlib>
#include <string>
#include <vector>

#include "link/lx200.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the mode and the size of the reads.
    const bool control = (data[0] & 1) != 0;
    const std::size_t chunk = 1 + (data[0] >> 1);
    axo::link::Session session(control);
    axo::link::Snapshot snap;
    snap.positionKnown = (data[0] & 2) != 0;
    snap.raH = 23;
    snap.raM = 59;
    snap.raS = 59;
    snap.decNegative = true;
    snap.decM = 30;
    std::vector<axo::link::Request> requests;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    for (std::size_t pos = 0; pos < input.size(); pos += chunk) {
        std::string out;
        if (session.Feed(input.substr(pos, chunk), snap, out, requests) == axo::link::FeedResult::Drop) {
            break;
        }
        if (out.size() > 64 * (chunk + 1)) {
            std::abort();  // an answer out of proportion to what was asked
        }
    }
    // A read-only session may only report what it refused.
    for (const axo::link::Request& r : requests) {
        if (!control && r.kind != axo::link::RequestKind::Refused) {
            std::abort();
        }
    }
    return 0;
}
