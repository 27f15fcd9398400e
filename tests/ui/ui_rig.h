#pragma once

// A main window offscreen with recording drivers and a fake operator, in a private configuration folder.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/hardware.h"
#include "core/interval_timer.h"
#include "sim/eik120/simulated_eik_card.h"
#include "support/core_fakes.h"
#include "support/temp_config.h"
#include "ui/main_window.h"
#include "ui/picture_button.h"
#include "ui/small_windows.h"

namespace axo::test {

using Lines = std::vector<std::string>;

// Every function on the parallel boards.
inline const std::string kAllParallel =
    "[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\ninterface_coders=1\ninterface_focus=1\n"
    "interface_filter=1\ndisplay_welcome=0\n";

inline std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines of the main window's message list.
inline Lines Messages(const ui::AxoWindow& w) {
    Lines said;
    for (int i = 0; i < w.MessageCount(); ++i) {
        said.push_back(w.MessageAt(i));
    }
    return said;
}

// The position the read-out would have left (hour angle, declination).
inline void SetPosition(Core& core, int16_t h, int16_t m, int16_t s, bool south, int16_t d, int16_t dm = 34,
                        int16_t ds = 56) {
    Position& p = core.position();
    p.HourAngleH = h;
    p.HourAngleM = m;
    p.HourAngleS = s;
    p.DeclinationNegative = south ? 1 : 0;
    p.DeclinationD = d;
    p.DeclinationM = dm;
    p.DeclinationS = ds;
}

// Types each text into the line edit of that name under `parent`.
inline void Type(QWidget* parent, std::initializer_list<std::pair<const char*, QString>> texts) {
    for (const auto& [name, text] : texts) {
        parent->findChild<QLineEdit*>(name)->setText(text);
    }
}

// A picture of the documentation, in build/screenshots.
inline bool Shoot(QWidget* w, const QString& name) {
    QDir().mkpath(AXO_SCREENSHOT_DIR);
    return w->grab().save(QString(AXO_SCREENSHOT_DIR) + "/" + name + ".png");
}

// The window's timers on simulated time: polling every 50 ms (at once after a long tick), the clock each second.
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
    explicit UiRig(const std::string& ini = kAllParallel) : op(log) {
        if (!ini.empty()) {
            cfg.Write("Axo.ini", ini);
        }
        window = std::make_unique<ui::AxoWindow>(settings, clock, op);
        RegisterRecordingDrivers(window->core().drivers(), log);
        window->core().SetCommandObserver([this](int16_t code, int16_t arg) {
            log.Add("cmd " + std::to_string(code) + " " + std::to_string(arg));
        });
    }
    ~UiRig() { window.reset(); }  // without the shut-down dialogs of a real exit
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
    Lines Only(std::initializer_list<std::string_view> p) const { return log.Only(p); }
    std::string LastMessage() const { return window->MessageAt(window->MessageCount() - 1); }

    TempConfig cfg;
    Log log;
    Settings settings;
    VirtualClock clock{PcDateTime{2026, 12, 6, 22, 15, 30, 0}};
    FakeOperator op;
    std::unique_ptr<ui::AxoWindow> window;
};

// A fixture of one started UiRig `r`: a suite named after a window derives from it.
struct Started : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(r.Start()); }
    UiRig r;
};

// The whole program: the real window and the hardware as main() builds them, on the virtual clock.
struct ProgramRig {
    // `ini` empty: no settings file, the built-in defaults.
    explicit ProgramRig(const std::string& ini, bool simulate = true) : op(log), simulate_(simulate) {
        if (!ini.empty()) {
            cfg.Write("Axo.ini", ini);
        }
        ui::AxoWindow::Options options;
        options.simulated = simulate;
        window = std::make_unique<ui::AxoWindow>(settings, clock, op, options);
    }
    ~ProgramRig() {
        window.reset();
        hardware.reset();
    }
    // After the window and before the start-up, as in main(); the card's interrupts come from Run().
    app::Hardware& MakeHardware() {
        app::HardwareOptions options;
        options.simulate = simulate_;
        options.realTimeCardInterrupts = false;
        hardware = std::make_unique<app::Hardware>(window->core(), clock, options,
                                                   ParallelWindows{window.get(), window->cancelWindow(), window.get()},
                                                   brake);
        window->SetSerial64xxDriver(hardware->Serial64xx());
        window->SetEikDriver(hardware->Eik());
        return *hardware;
    }
    bool Start() {
        if (!hardware) {
            MakeHardware();
        }
        return window->StartUp(false);
    }
    void Run(uint64_t ms) {
        RunTimers(
            window->core(), clock, ms,
            [this] {
                if (sim::SimulatedEikCard* card = hardware->SimulatedCard()) {
                    card->ServiceInterrupts();
                }
            },
            [this] { brake.Poll(); });
    }
    template <typename T = QWidget>
    T* W(const char* name) {
        return window->findChild<T*>(name);
    }
    ui::PictureButton* Pad(const char* name) { return W<ui::PictureButton>(name); }
    int Number(const char* label) { return W<QLabel>(label)->text().toInt(); }
    // The hour angle as the main window shows it, in seconds of time.
    int DisplayedHourAngle() {
        return Number("lblDisplayAlphaH") * 3600 + Number("lblDisplayAlphaM") * 60 + Number("lblDisplayAlphaS");
    }
    // The declination as shown, in signed seconds of arc.
    int DisplayedDeclination() {
        const int v = std::abs(Number("lblDisplayDeltaD")) * 3600 + Number("lblDisplayDeltaM") * 60 +
                      Number("lblDisplayDeltaS");
        return W("shpDeltaMinus")->isVisibleTo(window.get()) ? -v : v;
    }
    // Holds a pad pressed for `ms` of running time.
    void Hold(const char* pad, uint64_t ms) {
        QTest::mousePress(Pad(pad), Qt::LeftButton);
        Run(ms);
        QTest::mouseRelease(Pad(pad), Qt::LeftButton);
    }
    bool Listed(const std::string& line) {
        const Lines said = Messages(*window);
        return std::find(said.begin(), said.end(), line) != said.end();
    }
    Lines Boxes() const { return log.Only({"box "}); }

    TempConfig cfg;
    Log log;
    Settings settings;
    VirtualClock clock{PcDateTime{2026, 12, 6, 21, 0, 0, 0}};
    FakeOperator op;
    ClockTimer brake{clock};
    std::unique_ptr<ui::AxoWindow> window;
    std::unique_ptr<app::Hardware> hardware;

private:
    bool simulate_;
};

}  // namespace axo::test
