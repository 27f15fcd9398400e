#pragma once

// The one entry of each hardware interface, and the table the core reaches them through.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>

namespace axo {

// What a driver entry receives with its code. Action: 1 start, 2 stop, 0 for one-shot and
// polling codes, the filter number for the filter code. Mode: the axis speed mode for the axis
// moves, else 0.
struct DriverParam {
    int16_t Action = 0;
    int16_t Mode = 0;
};

enum class InterfaceId { Parallel, S64xx, Eik, Talvene };

// Whether an interface answers, as its driver last found it: shown to the observer so that a
// silent board is noticed before a move is asked of it.
enum class LinkState { NotStarted, Answering, Unreachable, Failing };
struct LinkStatus {
    LinkState state = LinkState::NotStarted;
    std::string detail;  // what fails, in the observer's words ("platine Delta")
};

// A driver entry: (code, param) -> 1 done, 0 not done. No caller looks at the status; each
// interface reports its own failures.
using DriverEntry = std::function<int16_t(int16_t code, DriverParam& param)>;

// The drivers that exist in this build. A command for an interface that has no driver
// registered finds nobody to serve it and does nothing, like a function with no interface.
class DriverRegistry {
public:
    void Register(InterfaceId id, DriverEntry entry) {
        entries_[Index(id)] = std::move(entry);
        readings_[Index(id)] = true;
    }
    void Unregister(InterfaceId id) { entries_[Index(id)] = nullptr; }
    bool Has(InterfaceId id) const { return static_cast<bool>(entries_[Index(id)]); }

    // Whether what an interface reads (coders, dome azimuth) comes from hardware it reaches. A
    // driver says no when its device cannot be opened at its start, or when it reads nothing;
    // the read-out then shows "--" rather than values nobody read. An interface without a
    // driver in this build has no readings.
    void SetReadingsAvailable(InterfaceId id, bool available) { readings_[Index(id)] = available; }
    bool ReadingsAvailable(InterfaceId id) const { return Has(id) && readings_[Index(id)]; }
    // One coder of an interface that reads both axes may fail alone: its axis shows "--" while
    // the other goes on. Axis 1 is Alpha, 2 Delta.
    void SetAxisReadingAvailable(InterfaceId id, int axis, bool available) {
        axisReadings_[Index(id)][axis == 1 ? 0 : 1] = available;
    }
    bool AxisReadingAvailable(InterfaceId id, int axis) const {
        return ReadingsAvailable(id) && axisReadings_[Index(id)][axis == 1 ? 0 : 1];
    }

    void SetLink(InterfaceId id, LinkState state, std::string detail = {}) {
        links_[Index(id)] = LinkStatus{state, std::move(detail)};
    }
    const LinkStatus& Link(InterfaceId id) const { return links_[Index(id)]; }

    // A driver is never entered twice: a call that comes while the same driver is busy (a stop
    // asked from a message box the driver showed, or from inside one of its waits) is kept and
    // made as soon as the call in progress has returned, so the transaction on the wire is
    // finished before the next one starts. Such a call returns 0 at once.
    int16_t Call(InterfaceId id, int16_t code, DriverParam& param) {
        const std::size_t i = Index(id);
        if (!entries_[i]) {
            return 0;
        }
        if (busy_[i]) {
            deferred_[i].emplace_back(code, param);
            return 0;
        }
        if (links_[i].state == LinkState::Unreachable && whenUnreachable_) {
            whenUnreachable_(id, code, param);
        }
        busy_[i] = true;
        ++depth_;
        const int16_t status = entries_[i](code, param);
        while (!deferred_[i].empty()) {
            if (transactionOver_) {
                transactionOver_();
            }
            auto [c, p] = deferred_[i].front();
            deferred_[i].pop_front();
            entries_[i](c, p);
        }
        busy_[i] = false;
        --depth_;
        if (depth_ == 0 && transactionOver_) {
            transactionOver_();
        }
        return status;
    }

    // Sees each call made to an interface whose hardware could not be reached at its start.
    void SetUnreachableHook(std::function<void(InterfaceId, int16_t, const DriverParam&)> hook) {
        whenUnreachable_ = std::move(hook);
    }

    // Whether some driver entry is running (the caller is inside a driver, or in a box it showed).
    bool Busy() const { return depth_ > 0; }
    // Runs before a kept call is made, and when the last driver call in progress has returned.
    void SetTransactionOverHook(std::function<void()> hook) { transactionOver_ = std::move(hook); }

    int16_t ParallelDriver(int16_t code, DriverParam& p) { return Call(InterfaceId::Parallel, code, p); }
    int16_t S64xxDriver(int16_t code, DriverParam& p) { return Call(InterfaceId::S64xx, code, p); }
    int16_t EikDriver(int16_t code, DriverParam& p) { return Call(InterfaceId::Eik, code, p); }
    int16_t TalveneDriver(int16_t code, DriverParam& p) { return Call(InterfaceId::Talvene, code, p); }

private:
    static std::size_t Index(InterfaceId id) { return static_cast<std::size_t>(id); }
    std::array<DriverEntry, 4> entries_{};
    std::array<bool, 4> readings_{};
    std::array<std::array<bool, 2>, 4> axisReadings_{{{true, true}, {true, true}, {true, true}, {true, true}}};
    std::array<LinkStatus, 4> links_{};
    std::array<bool, 4> busy_{};
    std::array<std::deque<std::pair<int16_t, DriverParam>>, 4> deferred_{};
    int depth_ = 0;
    std::function<void()> transactionOver_;
    std::function<void(InterfaceId, int16_t, const DriverParam&)> whenUnreachable_;
};

// Whether the coder interface chosen by `interfaceCoders` (the setting's value) gives a reading
// of `axis` (1 Alpha, 2 Delta; 0 both, as a position on the sky needs).
bool CodersReadable(const DriverRegistry& drivers, int16_t interfaceCoders, int axis = 0);

}  // namespace axo
