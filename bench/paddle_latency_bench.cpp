// How long a paddle key waits before the motors hear of it: the real main window on the
// offscreen platform, the simulated observatory on the real clock, steady polling. A thread of
// the benchmark posts a Right-arrow press to the window at a random moment, waits until the
// Alpha move reaches the hardware, then posts the release at another random moment and waits
// for the stop. Recording wrappers around the port and serial backends timestamp what
// reaches the hardware:
//   - everything on the parallel boards: the strobe of the Alpha motor latch (address 4) that
//     latches the move byte, then the one that latches the stop byte 0xFE;
//   - the built-in settings (the axes on the 6420 boxes, the coders on the encoder card): the
//     first line written to the Alpha box after the press, then its "S".
// A press should never wait for more than the polling tick in progress, so the 99th
// percentile should stay within one tick's duration (`tick_ms`: the median, from its first
// code to its last, of the ticks during the run) plus a few milliseconds. `late_presses` counts the presses and releases during which a further tick
// began before the move reached the hardware.
//
// Not run by the test suite: about two minutes of real time, most of it in the 6420 boxes' stops
// (each waits for the axis to stand still), hence fewer presses in that configuration.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QInputDevice>
#include <QKeyEvent>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "core/codes.h"
#include "interfaces/eik120/eik_driver.h"
#include "interfaces/parallel/parallel_driver.h"
#include "interfaces/serial64xx/s64xx_driver.h"
#include "sim/eik120/simulated_eik_card.h"
#include "sim/parallel/simulated_bus.h"
#include "sim/serial64xx/settings_wiring.h"
#include "sim/serial64xx/simulated_boxes.h"
#include "support/core_fakes.h"
#include "support/temp_config.h"
#include "ui/main_window.h"
#include "ui/qt_interval_timer.h"
#include "ui/small_windows.h"

namespace {

using namespace axo;
using Steady = std::chrono::steady_clock;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch()).count();
}

// What the injecting thread waits for, stamped by the wrappers on the user-interface thread.
struct Hits {
    std::atomic<int64_t> move{0};  // when the move reached the hardware (0: not yet)
    std::atomic<int64_t> stop{0};
    std::atomic<int> ticks{0};        // polling ticks begun so far
    std::atomic<int> ticksAtHit{0};  // the count when the last move or stop reached the hardware
    void Move() {
        ticksAtHit = ticks.load();
        move = NowNs();
    }
    void Stop() {
        ticksAtHit = ticks.load();
        stop = NowNs();
    }
};

class RecordingPorts final : public PortIo {
public:
    RecordingPorts(PortIo& inner, Hits& hits) : inner_(inner), hits_(hits) {}
    uint8_t In(uint16_t port) override { return inner_.In(port); }
    void Out(uint16_t port, uint8_t value) override {
        if (port == sim::SimulatedBus::kDataBase) {
            data_ = value;
        } else if (port == sim::SimulatedBus::kCommandBase && (value & 0x0F) == kAlphaLatch) {
            data_ == 0xFE ? hits_.Stop() : hits_.Move();
        }
        inner_.Out(port, value);
    }
    void GetAddressLPT(uint16_t& a, uint16_t& b) override { inner_.GetAddressLPT(a, b); }
    void ResetLPT() override { inner_.ResetLPT(); }
    bool EnsureOpen() override { return inner_.EnsureOpen(); }

private:
    PortIo& inner_;
    Hits& hits_;
    uint8_t data_ = 0;
};

class RecordingSerial final : public SerialLibrary {
public:
    RecordingSerial(SerialLibrary& inner, Hits& hits, int alphaPort) : inner_(inner), hits_(hits), alphaPort_(alphaPort) {}
    int32_t sio_open(int port) override { return inner_.sio_open(port); }
    int32_t sio_ioctl(int port, int baud, int mode) override { return inner_.sio_ioctl(port, baud, mode); }
    int32_t sio_putch(int port, int ch) override { return inner_.sio_putch(port, ch); }
    int32_t sio_write(int port, const char* buf, int len) override {
        if (port == alphaPort_ && len > 0) {
            if (buf[0] == 'S') {
                hits_.Stop();
            } else if (buf[0] != 'C') {  // the position polls of a stop are not a move
                hits_.Move();
            }
        }
        return inner_.sio_write(port, buf, len);
    }
    int32_t sio_read(int port, char* buf, int len) override { return inner_.sio_read(port, buf, len); }
    int32_t sio_flush(int port, int func) override { return inner_.sio_flush(port, func); }
    int32_t sio_close(int port) override { return inner_.sio_close(port); }

private:
    SerialLibrary& inner_;
    Hits& hits_;
    int alphaPort_;
};

// The program as main() wires it for --simulate, with the recording wrappers in between.
struct Station {
    explicit Station(const char* ini) : op(log) {
        if (ini != nullptr) {
            cfg.Write("Axo.ini", ini);
        }
        window = std::make_unique<ui::AxoWindow>(settings, clock, op);
        Core& core = window->core();
        const ParallelWindows windows{window.get(), window->cancelWindow(), window.get()};
        ports = std::make_unique<RecordingPorts>(bus, hits);
        parallel = std::make_unique<ParallelDriver>(core, *ports, windows);
        parallel->RegisterWith(core);
        boxes.SetWiringSource([&core] { return sim::WiringFromSettings(core.settings()); });
        serial = std::make_unique<RecordingSerial>(boxes, hits, 1);
        s64xx = std::make_unique<S64xxDriver>(core, *serial, brake, window.get());
        s64xx->RegisterWith(core);
        card.SetBeforeSample([this] { observatory.Update(); });
        eik = std::make_unique<EikDriver>(core, card, &card.Interrupts(), window.get());
        eik->RegisterWith(core);
        window->SetSerial64xxDriver(s64xx.get());
        // A tick's work runs from its first code to its last (304, the telescope azimuth,
        // and the dome steps after it do no input or output).
        core.SetCommandObserver([this](int16_t code, int16_t) {
            if (code == CMD_POLL_BOARDS) {
                ++hits.ticks;
                tickStart = Steady::now();
            } else if (code == CMD_TELESCOPE_AZIMUTH && measuring) {
                tickMs.push_back(std::chrono::duration<double, std::milli>(Steady::now() - tickStart).count());
            }
        });
        started = window->StartUp(false);
    }
    ~Station() {
        window->core().SetCommandObserver({});
        window.reset();
    }

    test::TempConfig cfg;
    test::Log log;
    Settings settings;
    RealClock clock;
    test::FakeOperator op;
    ui::QtIntervalTimer brake;
    Hits hits;
    sim::Observatory observatory{clock};
    sim::SimulatedBus bus{observatory};
    sim::SimulatedBoxes boxes{observatory};
    sim::SimulatedEikCard card{clock, observatory.TheMount()};
    std::unique_ptr<ui::AxoWindow> window;
    std::unique_ptr<RecordingPorts> ports;
    std::unique_ptr<ParallelDriver> parallel;
    std::unique_ptr<RecordingSerial> serial;
    std::unique_ptr<S64xxDriver> s64xx;
    std::unique_ptr<EikDriver> eik;
    bool started = false;
    bool measuring = false;  // ticks on the user-interface thread only
    Steady::time_point tickStart;
    std::vector<double> tickMs;
};

struct Figures {
    double median = 0;
    double p99 = 0;
    double max = 0;
};

Figures Summarise(std::vector<double> ms) {
    if (ms.empty()) {
        return {};
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1) + 0.5))];
    };
    return {at(0.5), at(0.99), ms.back()};
}

void PaddleLatency(benchmark::State& state, const char* ini) {
    const int presses = static_cast<int>(state.range(0));
    Station s(ini);
    if (!s.started) {
        state.SkipWithError("the program did not start");
        return;
    }
    s.measuring = true;
    constexpr int kTicksFirst = 10;
    while (s.tickMs.size() < kTicksFirst) {  // steady polling first; its ticks give the pauses' scale
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double tickMs = Summarise(s.tickMs).median;
    std::vector<double> pressMs;
    std::vector<double> releaseMs;
    int late = 0;
    int lost = 0;
    for (auto _ : state) {
        QEventLoop loop;
        std::thread player([&] {
            std::mt19937 random(20261206);
            // Random moments over two polling periods, whatever the tick's length.
            std::uniform_int_distribution<int> pause(0, 2 * std::max(50, static_cast<int>(tickMs)));
            const auto waitFor = [&](std::atomic<int64_t>& hit, int64_t sent, int ticksBefore, std::vector<double>& out) {
                const int64_t deadline = sent + 3'000'000'000;
                int64_t at = 0;
                while ((at = hit.load()) == 0 && NowNs() < deadline) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                if (at == 0) {
                    ++lost;
                    return;
                }
                out.push_back(static_cast<double>(at - sent) / 1e6);
                late += s.hits.ticksAtHit.load() > ticksBefore ? 1 : 0;
            };
            for (int i = 0; i < presses; ++i) {
                for (const bool press : {true, false}) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
                    std::atomic<int64_t>& hit = press ? s.hits.move : s.hits.stop;
                    hit = 0;
                    const int ticksBefore = s.hits.ticks.load();
                    const int64_t sent = NowNs();
                    QCoreApplication::postEvent(s.window.get(), new QKeyEvent(press ? QEvent::KeyPress : QEvent::KeyRelease,
                                                                              Qt::Key_Right, Qt::NoModifier));
                    waitFor(hit, sent, ticksBefore, press ? pressMs : releaseMs);
                    // The next key comes at a random moment of steady polling, not while the
                    // handler of this one still talks to the hardware.
                    QMetaObject::invokeMethod(s.window.get(), [] {}, Qt::BlockingQueuedConnection);
                }
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        player.join();
    }
    const Figures t = Summarise(s.tickMs);
    const Figures p = Summarise(pressMs);
    const Figures r = Summarise(releaseMs);
    state.counters["tick_ms"] = t.median;
    state.counters["tick_p99_ms"] = t.p99;
    state.counters["press_median_ms"] = p.median;
    state.counters["press_p99_ms"] = p.p99;
    state.counters["press_max_ms"] = p.max;
    state.counters["release_median_ms"] = r.median;
    state.counters["release_p99_ms"] = r.p99;
    state.counters["release_max_ms"] = r.max;
    state.counters["late_presses"] = late;
    if (lost > 0) {
        state.SkipWithError("a press or a release never reached the hardware");
    }
}

// Every function on the parallel boards: a tick of about 78 ms, longer than the 50 ms interval,
// so the ticks follow each other.
void BM_PaddleLatencyParallelBoards(benchmark::State& state) {
    PaddleLatency(state,
                  "[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\ninterface_coders=1\n"
                  "interface_focus=1\ninterface_filter=1\ndisplay_welcome=0\nerror_stop=0\n");
}
BENCHMARK(BM_PaddleLatencyParallelBoards)->Arg(200)->ArgName("presses")->Iterations(1)->Unit(benchmark::kMillisecond);

// The built-in settings: the axes on the 6420 boxes, the coders on the encoder card.
void BM_PaddleLatencyBuiltInDefaults(benchmark::State& state) {
    PaddleLatency(state, "[Axo]\ndisplay_welcome=0\nerror_stop=0\n");
}
BENCHMARK(BM_PaddleLatencyBuiltInDefaults)->Arg(40)->ArgName("presses")->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    // Made here, on the thread that owns the application, not by the first key event that the
    // benchmark's thread builds.
    QInputDevice::primaryKeyboard();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
