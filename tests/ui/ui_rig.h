#pragma once

// A main window on the offscreen platform, wired to recording drivers and a fake operator
// (message boxes are answered at once and logged), in a private configuration folder.

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <functional>

#include "support/core_fakes.h"
#include "support/temp_config.h"
#include "ui/main_window.h"
#include "ui/picture_button.h"

namespace axo::test {

// The main window's two timers on simulated time, for `ms`: the polling tick every 50 ms (at
// once after a tick that ran long) and the clock tick every second. `before` and `after` run
// around each polling tick (a simulated card's interrupts, the brake timer).
inline void RunTimers(Core& core, VirtualClock& clock, uint64_t ms, const std::function<void()>& before = {},
                      const std::function<void()>& after = {}) {
    const uint64_t end = clock.ElapsedMs() + ms;
    uint64_t nextSecond = clock.ElapsedMs() + 1000;
    while (clock.ElapsedMs() < end) {
        const uint64_t tickStart = clock.ElapsedMs();
        if (before) {
            before();
        }
        core.SystemTick();
        if (after) {
            after();
        }
        if (clock.ElapsedMs() >= nextSecond) {
            core.ClockTick();
            nextSecond += 1000;
        }
        const uint64_t spent = clock.ElapsedMs() - tickStart;
        if (spent < 50) {
            clock.Advance(50 - spent);
        }
    }
}

struct UiRig {
    explicit UiRig(const std::string& ini = "[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\n"
                                            "interface_coders=1\ninterface_focus=1\ninterface_filter=1\n"
                                            "display_welcome=0\n")
        : op(log) {
        if (!ini.empty()) {
            cfg.Write("Axo.ini", ini);
        }
        window = std::make_unique<ui::AxoWindow>(settings, clock, op);
        RegisterRecordingDrivers(window->core().drivers(), log);
        window->core().SetCommandObserver([this](int16_t code, int16_t arg) {
            log.Add("cmd " + std::to_string(code) + " " + std::to_string(arg));
        });
    }
    ~UiRig() {
        // Leave without the shut-down dialogs of a real exit.
        window.reset();
    }
    bool Start() {
        const bool ok = window->StartUp(false);
        log.Clear();
        return ok;
    }
    template <typename T = QWidget>
    T* W(const char* name) {
        return window->findChild<T*>(name);
    }
    ui::PictureButton* Pad(const char* name) { return W<ui::PictureButton>(name); }
    QAction* Action(const char* name) { return window->findChild<QAction*>(name); }
    std::vector<std::string> Only(std::initializer_list<std::string_view> p) const { return log.Only(p); }

    TempConfig cfg;
    Log log;
    Settings settings;
    VirtualClock clock{PcDateTime{2026, 12, 6, 22, 15, 30, 0}};
    FakeOperator op;
    std::unique_ptr<ui::AxoWindow> window;
};

}  // namespace axo::test
