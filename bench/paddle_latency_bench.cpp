// How long a paddle key waits before the motors hear of it: the real main window on the
// offscreen platform, the simulated observatory on the real clock, steady polling. A thread of
// the benchmark posts a Right-arrow press to the window at a random moment, waits until the
// Alpha move reaches the hardware, then posts the release at another random moment and waits
// for the stop. Recording wrappers around the port and serial backends timestamp what
// reaches the hardware:
//   - everything on the parallel boards: the move byte on the data port that the Alpha motor
//     latch (address 4) then latches, and later the stop byte 0xFE (as the trace file shows
//     them; the strobe follows after the protocol's pause);
//   - the built-in settings (the axes on the 6420 boxes, the coders on the encoder card): the
//     first line written to the Alpha box after the press, then its "S".
// A press should never wait for more than the polling tick in progress, so the 99th
// percentile should stay within one tick's duration (`tick_ms`: the median length of the ticks
// during the run, timed around their delivery by the event loop) plus a few milliseconds.
// `late_presses` counts the presses and releases during which a further tick began before the
// move reached the hardware.
//
// Not run by the test suite: about seven minutes of real time, most of it in the 6420 boxes'
// stops (each waits for the axis to stand still).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QInputDevice>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
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
    std::atomic<int64_t> delivered{0};  // when the event loop handed the last key to the window
    void Move(int64_t at = NowNs()) {
        ticksAtHit = ticks.load();
        move = at;
    }
    void Stop(int64_t at = NowNs()) {
        ticksAtHit = ticks.load();
        stop = at;
    }
};

class RecordingPorts final : public PortIo {
public:
    RecordingPorts(PortIo& inner, Hits& hits) : inner_(inner), hits_(hits) {}
    uint8_t In(uint16_t port) override { return inner_.In(port); }
    void Out(uint16_t port, uint8_t value) override {
        if (port == sim::SimulatedBus::kDataBase) {
            data_ = value;
            dataAt_ = NowNs();
        } else if (port == sim::SimulatedBus::kCommandBase && (value & 0x0F) == kAlphaLatch) {
            // The strobe says which latch the byte was for; the byte itself went out on the
            // data port before the protocol's pause, and that is when the motors' board has it.
            data_ == 0xFE ? hits_.Stop(dataAt_) : hits_.Move(dataAt_);
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
    int64_t dataAt_ = 0;
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
        core.SetCommandObserver([this](int16_t code, int16_t) {
            if (code == CMD_POLL_BOARDS) {
                ++hits.ticks;
                tickRan = true;
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
    bool tickRan = false;    // set by the tick's first code, inside the delivery being timed
    std::vector<double> tickMs;
};

// Times each delivery to the polling schedule that ran a tick: the tick's whole length as the
// event loop sees it (its waits, its transfers, the dome steps after them), which is what a key
// that arrives as it begins has to wait for.
class TickTimingApplication final : public QApplication {
public:
    using QApplication::QApplication;
    void Watch(Station* station) {
        station_ = station;
        const auto* timer = station != nullptr ? station->window->findChild<QTimer*>("tmrSystem") : nullptr;
        scheduler_ = timer != nullptr ? timer->parent() : nullptr;
    }
    bool notify(QObject* receiver, QEvent* event) override {
        if (station_ != nullptr && receiver == station_->window.get() &&
            (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
            station_->hits.delivered = NowNs();
        }
        if (station_ == nullptr || receiver != scheduler_) {
            return QApplication::notify(receiver, event);
        }
        station_->tickRan = false;
        const auto start = Steady::now();
        const bool handled = QApplication::notify(receiver, event);
        if (station_->tickRan && station_->measuring) {
            station_->tickMs.push_back(std::chrono::duration<double, std::milli>(Steady::now() - start).count());
        }
        return handled;
    }

private:
    Station* station_ = nullptr;
    QObject* scheduler_ = nullptr;
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
    auto* app = static_cast<TickTimingApplication*>(QCoreApplication::instance());
    app->Watch(&s);
    s.measuring = true;
    constexpr int kTicksFirst = 10;
    while (s.tickMs.size() < kTicksFirst) {  // steady polling first; its ticks give the pauses' scale
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double tickMs = Summarise(s.tickMs).median;
    std::vector<double> pressMs;
    std::vector<double> releaseMs;
    std::vector<double> waitingMs;   // posted -> delivered to the window (presses and releases)
    std::vector<double> handlingMs;  // delivered -> at the hardware
    int late = 0;
    int lost = 0;
    for (auto _ : state) {
        QEventLoop loop;
        std::thread player([&] {
            std::mt19937 random(20261206);
            // Random moments over two polling periods, whatever the tick's length.
            std::uniform_int_distribution<int> pause(0, 2 * std::max(50, static_cast<int>(tickMs)));
            const auto waitFor = [&](std::atomic<int64_t>& hit, int64_t sent, int64_t posted, int ticksBefore,
                                     std::vector<double>& out) {
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
                const int64_t delivered = s.hits.delivered.load();
                if (delivered >= sent && delivered <= at) {
                    waitingMs.push_back(static_cast<double>(delivered - sent) / 1e6);
                    handlingMs.push_back(static_cast<double>(at - delivered) / 1e6);
                }
                const int ticksBegun = s.hits.ticksAtHit.load() - ticksBefore;
                late += ticksBegun > 0 ? 1 : 0;
                if (static_cast<double>(at - sent) / 1e6 > tickMs + 5.0) {
                    // What an outlier waited for: its own posting, the queue, the handler.
                    std::fprintf(stderr, "over the bound: %.1f ms (posting %.1f, queued %.1f, handled %.1f), %d tick(s) begun\n",
                                 static_cast<double>(at - sent) / 1e6, static_cast<double>(posted - sent) / 1e6,
                                 delivered >= sent ? static_cast<double>(delivered - sent) / 1e6 : -1.0,
                                 delivered >= sent ? static_cast<double>(at - delivered) / 1e6 : -1.0, ticksBegun);
                }
            };
            for (int i = 0; i < presses; ++i) {
                for (const bool press : {true, false}) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
                    std::atomic<int64_t>& hit = press ? s.hits.move : s.hits.stop;
                    hit = 0;
                    s.hits.delivered = 0;
                    const int ticksBefore = s.hits.ticks.load();
                    const int64_t sent = NowNs();
                    QCoreApplication::postEvent(s.window.get(), new QKeyEvent(press ? QEvent::KeyPress : QEvent::KeyRelease,
                                                                              Qt::Key_Right, Qt::NoModifier));
                    waitFor(hit, sent, NowNs(), ticksBefore, press ? pressMs : releaseMs);
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
    app->Watch(nullptr);
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
    // Presses and releases that took longer than the bound: one tick plus 5 ms.
    const auto over = [&](const std::vector<double>& ms) {
        return std::count_if(ms.begin(), ms.end(), [&](double v) { return v > t.median + 5.0; });
    };
    state.counters["over_bound"] = static_cast<double>(over(pressMs) + over(releaseMs));
    const Figures w = Summarise(waitingMs);
    const Figures h = Summarise(handlingMs);
    state.counters["queued_p99_ms"] = w.p99;
    state.counters["handler_median_ms"] = h.median;
    state.counters["handler_p99_ms"] = h.p99;
    if (lost > 0) {
        state.SkipWithError("a press or a release never reached the hardware");
    }
}

// Every function on the parallel boards: a tick of about 75 ms, longer than the 50 ms interval,
// so the ticks follow each other.
void BM_PaddleLatencyParallelBoards(benchmark::State& state) {
    PaddleLatency(state,
                  "[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\ninterface_coders=1\n"
                  "interface_focus=1\ninterface_filter=1\ndisplay_welcome=0\nerror_stop=0\n");
}
BENCHMARK(BM_PaddleLatencyParallelBoards)->Arg(300)->ArgName("presses")->Iterations(1)->Unit(benchmark::kMillisecond);

// The built-in settings: the axes on the 6420 boxes, the coders on the encoder card.
void BM_PaddleLatencyBuiltInDefaults(benchmark::State& state) {
    PaddleLatency(state, "[Axo]\ndisplay_welcome=0\nerror_stop=0\n");
}
BENCHMARK(BM_PaddleLatencyBuiltInDefaults)->Arg(300)->ArgName("presses")->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    TickTimingApplication app(argc, argv);
    // Made here, on the thread that owns the application, not by the first key event that the
    // benchmark's thread builds.
    QInputDevice::primaryKeyboard();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
