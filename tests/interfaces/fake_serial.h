#pragma once

// A recording serial library: calls logged ("sio write 1 Y 0<CR>") with their tick, replies queued, failures set.

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/serial_library.h"
#include "support/core_fakes.h"

namespace axo::test {

class FakeSerial final : public SerialLibrary {
public:
    FakeSerial(Log& log, Clock& clock) : log_(log), clock_(clock) {}

    // A port already open is refused, as the real backends do.
    int32_t sio_open(int port) override {
        const int32_t r = Call("open", port, "");
        return r < 0 ? r : open.insert(port).second ? 0 : kSioInUse;
    }
    int32_t sio_ioctl(int port, int baud, int mode) override {
        return Call("ioctl", port, " " + std::to_string(baud) + " " + std::to_string(mode));
    }
    int32_t sio_putch(int port, int ch) override {
        const char c = static_cast<char>(ch);
        return Call("putch", port, " " + VisibleBytes(&c, 1));
    }
    int32_t sio_write(int port, const char* buf, int len) override {
        const int32_t r = Call("write", port, " " + VisibleBytes(std::string(buf, static_cast<std::size_t>(len))));
        return r < 0 ? r : len;
    }
    int32_t sio_read(int port, char* buf, int len) override {
        const int32_t r = Call("read", port, "");
        auto& queue = replies[port];
        if (r < 0 || queue.empty()) {
            return r;
        }
        const std::string reply = queue.front();
        queue.pop_front();
        return static_cast<int32_t>(reply.copy(buf, std::min(reply.size(), static_cast<std::size_t>(len))));
    }
    int32_t sio_flush(int port, int func) override { return Call("flush", port, " " + std::to_string(func)); }
    int32_t sio_close(int port) override {
        const int32_t r = Call("close", port, "");
        open.erase(port);
        return r;
    }

    // Makes every later call of that kind on that port ("write", 1) return `code`.
    void Fail(const std::string& kind, int port, int32_t code) { failures[kind + " " + std::to_string(port)] = code; }
    void Heal() { failures.clear(); }

    // The writes only, as "port text".
    std::vector<std::string> Writes() const {
        std::vector<std::string> out;
        for (const auto& [tick, line] : calls) {
            if (line.rfind("write ", 0) == 0) {
                out.push_back(line.substr(6));
            }
        }
        return out;
    }

    std::map<int, std::deque<std::string>> replies;
    std::set<int> open;
    std::map<std::string, int32_t> failures;
    std::vector<std::pair<uint32_t, std::string>> calls;  // tick, call

private:
    int32_t Call(const std::string& kind, int port, const std::string& rest) {
        const std::string line = kind + " " + std::to_string(port) + rest;
        calls.emplace_back(clock_.GetTickCount(), line);
        const auto it = failures.find(kind + " " + std::to_string(port));
        const int32_t r = it == failures.end() ? 0 : it->second;
        log_.Add("sio " + line + (r < 0 ? " -> " + std::to_string(r) : ""));
        return r;
    }

    Log& log_;
    Clock& clock_;
};

}  // namespace axo::test
