#pragma once

// Recording fakes of the core's seams. Everything that reaches the hardware, the operator or
// the message list is appended to one log, so a test can assert the exact order of driver
// calls, message lines, pictures, beeps and boxes.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/core.h"
#include "core/seams.h"
#include "platform/clock.h"
#include "platform/operator.h"

namespace axo::test {

struct Log {
    std::vector<std::string> lines;
    void Add(std::string line) { lines.push_back(std::move(line)); }
    void Clear() { lines.clear(); }
    // Only the lines that start with one of the prefixes, in order.
    std::vector<std::string> Only(std::initializer_list<std::string_view> prefixes) const {
        std::vector<std::string> out;
        for (const auto& l : lines) {
            for (auto p : prefixes) {
                if (l.rfind(p, 0) == 0) {
                    out.push_back(l);
                    break;
                }
            }
        }
        return out;
    }
};

class FakeView final : public MainView {
public:
    explicit FakeView(Log& log) : log_(log) {}

    void ShowButtonPicture(int slot, bool on) override {
        picture[slot] = on;
        log_.Add("img " + std::to_string(slot) + (on ? " on" : " off"));
    }
    void SetEnabled(std::string_view c, bool e) override { enabled[std::string(c)] = e; }
    void SetVisible(std::string_view c, bool v) override { visible[std::string(c)] = v; }
    bool IsVisible(std::string_view c) const override {
        const auto it = visible.find(std::string(c));
        return it == visible.end() ? true : it->second;
    }
    std::string Text(std::string_view c) const override {
        const auto it = texts.find(std::string(c));
        return it == texts.end() ? std::string() : it->second;
    }
    void SetText(std::string_view c, const std::string& t) override {
        texts[std::string(c)] = t;
        ++textWrites[std::string(c)];
    }
    bool IsChecked(std::string_view c) const override {
        const auto it = checked.find(std::string(c));
        return it != checked.end() && it->second;
    }
    void SetChecked(std::string_view c, bool v) override {
        const std::string name(c);
        // Option buttons of one frame are exclusive, as in the window.
        if (v && name.rfind("optControl", 0) == 0) {
            const std::string axis = name.substr(name.size() - 5);
            for (const char* mode : {"Centering", "Pointing", "Moving"}) {
                checked["optControl" + std::string(mode) + axis] = false;
            }
        }
        checked[name] = v;
    }
    bool IsTrackingWindowVisible() const override { return trackingVisible; }
    bool IsCalibrationWindowVisible() const override { return calibrationVisible; }

    int MessageCount() const override { return static_cast<int>(messages.size()); }
    std::string MessageAt(int i) const override { return messages.at(static_cast<std::size_t>(i)); }
    void AppendMessage(const std::string& text) override {
        messages.push_back(text);
        log_.Add("msg " + text);
    }
    void RemoveMessage(int i) override { messages.erase(messages.begin() + i); }
    void ClearMessages() override {
        messages.clear();
        selected = -1;
    }
    int SelectedMessage() const override { return selected; }
    void SelectMessage(int i) override { selected = i; }

    bool Enabled(const std::string& c) const {
        const auto it = enabled.find(c);
        return it == enabled.end() ? true : it->second;
    }

    std::map<int, bool> picture;
    std::map<std::string, bool> enabled;
    std::map<std::string, bool> visible;
    std::map<std::string, bool> checked;
    std::map<std::string, std::string> texts;
    std::map<std::string, int> textWrites;
    std::vector<std::string> messages;
    int selected = -1;
    bool trackingVisible = false;
    bool calibrationVisible = false;

private:
    Log& log_;
};

class FakeOperator final : public Operator {
public:
    explicit FakeOperator(Log& log) : log_(log) {}
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon, MessageButtons) override {
        log_.Add("box " + title + " | " + text);
        return answer;
    }
    void Beep() override { log_.Add("beep"); }
    void ProcessPendingEvents() override {}
    MessageAnswer answer = MessageAnswer::Ok;

private:
    Log& log_;
};

class FakeTimer final : public SystemTimer {
public:
    explicit FakeTimer(Log& log) : log_(log) {}
    void SetSystemTimerInterval(int ms) override { interval = ms; }
    void SetSystemTimerEnabled(bool e) override {
        enabled = e;
        log_.Add(e ? "timer on" : "timer off");
    }
    int interval = -1;
    bool enabled = false;

private:
    Log& log_;
};

class FakeProgram final : public ProgramControl {
public:
    explicit FakeProgram(Log& log) : log_(log) {}
    void EndProgramNow() override {
        ended = true;
        log_.Add("end");
    }
    bool EndRequested() const override { return endRequested; }
    bool ended = false;
    bool endRequested = false;

private:
    Log& log_;
};

// Registers a recording driver for each interface: "P 4 (1,3)" is ParallelDriver(4, {1, 3}).
inline void RegisterRecordingDrivers(DriverRegistry& registry, Log& log) {
    const std::pair<InterfaceId, const char*> ids[] = {
        {InterfaceId::Parallel, "P"}, {InterfaceId::S64xx, "S"}, {InterfaceId::Eik, "E"}, {InterfaceId::Talvene, "T"}};
    for (const auto& [id, letter] : ids) {
        const std::string tag = letter;
        registry.Register(id, [&log, tag](int16_t code, DriverParam& p) -> int16_t {
            log.Add(tag + " " + std::to_string(code) + " (" + std::to_string(p.Action) + "," + std::to_string(p.Mode) +
                    ")");
            return 1;
        });
    }
}

// The recording fakes a core needs besides its clock, all writing to one log, and the settings.
struct RecordingSeams {
    RecordingSeams() : view(log), op(log), timer(log), program(log) {}
    CoreSeams Seams(Clock& clock) { return CoreSeams{view, op, timer, program, clock}; }

    Log log;
    Settings settings;
    FakeView view;
    FakeOperator op;
    FakeTimer timer;
    FakeProgram program;
};

// A core wired to recording fakes, the settings at their defaults, every interface setting
// on the parallel boards unless a test says otherwise.
struct CoreRig : RecordingSeams {
    CoreRig() : core(settings, Seams(clock)) {
        RegisterRecordingDrivers(core.drivers(), log);
        for (IntKey k : {IntKey::interface_ra, IntKey::interface_de, IntKey::interface_dome, IntKey::interface_coders,
                         IntKey::interface_focus, IntKey::interface_filter}) {
            settings.Int(k) = INTERFACE_PARALLEL;
        }
        settings.Int(IntKey::display_welcome) = 0;
    }
    // Runs InitSystem and forgets what it logged.
    void Init() {
        core.InitSystem();
        log.Clear();
    }
    std::vector<std::string> Drivers() const { return log.Only({"P ", "S ", "E ", "T "}); }

    VirtualClock clock{PcDateTime{2026, 12, 6, 21, 30, 0, 0}};
    Core core;
};

}  // namespace axo::test
