// The termios backend against simulated boxes behind pseudo-terminals, on the real clock.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "core/interval_timer.h"
#include "interfaces/serial64xx/s64xx_driver.h"
#include "platform/termios_serial.h"
#include "platform/tracing_serial.h"
#include "sim/serial64xx/pty_boxes.h"
#include "support/core_fakes.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;
const std::string kNoPort = "box Erreur | Erreur de communication.\nPort non ouvert ou inexistant";

// A core on the real clock with the 6420 driver on termios lines, traced.
struct PtyStation : test::RecordingSeams {
    explicit PtyStation(std::vector<std::string> paths)
        : core(settings, Seams(clock)),
          sio(std::move(paths)), traced(sio, clock, trace), brake(clock), driver(core, traced, brake) {
        driver.RegisterWith(core);
        settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
        settings.Int(IntKey::interface_de) = INTERFACE_64XX;
        settings.Int(IntKey::interface_dome) = 0;
        core.state().StartupDone = true;
    }
    int16_t Code(int16_t code, int16_t action = 0, int16_t mode = 0) {
        DriverParam p{action, mode};
        return driver.Handle(code, p);
    }
    const LinkStatus& Link() { return core.drivers().Link(InterfaceId::S64xx); }
    // The lines of the trace that hold `what`.
    Lines Traced(const std::string& what) const {
        Lines out;
        std::istringstream lines(trace.str());
        for (std::string line; std::getline(lines, line);) {
            if (line.find(what) != std::string::npos) {
                out.push_back(line.substr(line.find(what)));
            }
        }
        return out;
    }
    RealClock clock;
    Core core;
    TermiosSerial sio;
    std::ostringstream trace;
    TracingSerial traced;
    ClockTimer brake;
    S64xxDriver driver;
};

// The boxes behind their terminals and the program on them, started.
struct PtyRig {
    explicit PtyRig(std::string linkDir = {}) : boxes({}, std::move(linkDir)), s(boxes.DevicePaths()) {
        EXPECT_TRUE(boxes.Ok());
        EXPECT_EQ(s.Code(CMD_START_INTERFACE), 1);
    }
    sim::PtyBoxes boxes;
    PtyStation s;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Waits, on the real clock, until `done` or `seconds` have passed.
template <typename F>
bool Within(double seconds, F done) {
    const auto t0 = std::chrono::steady_clock::now();
    while (!done()) {
        if (Seconds(t0) > seconds) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(PtySerial, OpenProbeTrackAndSeeTheStopThroughTheTerminals) {
    PtyRig rig;
    sim::PtyBoxes& boxes = rig.boxes;
    PtyStation& s = rig.s;
    EXPECT_TRUE(s.log.Only({"box ", "msg !!!"}).empty());  // both probes answered
    EXPECT_EQ(s.Code(CMD_TRACKING, kStart), 1);
    Within(2.0, [&] { return boxes.AlphaStepsPerSecond() >= 1540.0; });
    EXPECT_NEAR(boxes.AlphaStepsPerSecond(), 1541.0, 0.5);  // its rate reached it over the line
    // Stopped: two equal replies after the 0.4 s deceleration, well before the 2 s limit.
    const auto stop = std::chrono::steady_clock::now();
    s.trace.str("");
    EXPECT_EQ(s.Code(CMD_TRACKING, kStop), 1);
    const double took = Seconds(stop);
    EXPECT_GT(took, 0.4);
    EXPECT_LT(took, 2.0);
    const Lines replies = s.Traced("read -> ");
    ASSERT_GE(replies.size(), 3u);
    EXPECT_EQ(replies[replies.size() - 1], replies[replies.size() - 2]);
    for (std::size_t i = 1; i + 1 < replies.size(); ++i) {
        EXPECT_NE(replies[i], replies[i - 1]) << i;
    }
    EXPECT_EQ(boxes.AlphaStepsPerSecond(), 0.0);
    EXPECT_EQ(s.Code(CMD_STOP_INTERFACE), 1);
    EXPECT_TRUE(s.log.Only({"box "}).empty());
}

TEST(PtySerial, AMissingDeviceAndALineTakenByAnotherProgramAreRefusedClearly) {
    PtyStation missing({"/dev/axo-no-such-line", "/dev/axo-no-such-line-2"});
    EXPECT_EQ(missing.sio.sio_open(1), SIO_BADPORT);
    EXPECT_EQ(missing.sio.sio_open(9), SIO_BADPORT);
    EXPECT_EQ(missing.Code(CMD_START_INTERFACE), 0);
    // Each line that could not be opened says so.
    EXPECT_EQ(missing.log.Only({"box ", "msg !!!"}),
              (Lines{"msg !!! Port 1 : /dev/axo-no-such-line : périphérique absent", kNoPort,
                     "msg !!! Port 2 : /dev/axo-no-such-line-2 : périphérique absent", kNoPort}));

    sim::PtyBoxes boxes;
    ASSERT_TRUE(boxes.Ok());
    TermiosSerial first(boxes.DevicePaths());
    TermiosSerial second(boxes.DevicePaths());
    ASSERT_EQ(first.sio_open(1), 0);
    EXPECT_EQ(first.sio_ioctl(1, kSioBaud9600, kSioMode8N1), 0);
    // A line we hold is not ours a second time.
    EXPECT_EQ(first.sio_open(1), kSioInUse);
    EXPECT_NE(first.FailureDetail(1).find("déjà ouverte par ce programme"), std::string::npos);
    EXPECT_EQ(second.sio_open(1), SIO_WIN32FAIL);
    EXPECT_NE(second.FailureDetail(1).find("déjà utilisée par un autre programme"), std::string::npos);
    EXPECT_EQ(first.sio_ioctl(1, 99, kSioMode8N1), SIO_BADPARM);
    EXPECT_EQ(first.sio_close(1), 0);
    EXPECT_EQ(second.sio_open(1), 0);  // free again
    EXPECT_EQ(first.sio_close(1), SIO_BADPORT);
}

TEST(PtySerial, ABoxThatHangsOnTheStopIsToldAndStoppedAgainNeverTakenAsStopped) {
    PtyRig rig;
    sim::PtyBoxes& boxes = rig.boxes;
    PtyStation& s = rig.s;
    s.settings.Int(IntKey::error_stop) = 0;
    s.Code(CMD_ALPHA_PLUS, kStart, SPEED_MOVING);
    ASSERT_TRUE(Within(2.0, [&] { return boxes.AlphaStepsPerSecond() > 1199.0; }));
    boxes.SetFault(sim::BoxAxis::Alpha, sim::BoxFault::HangsOnStop);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the boxes' loop takes it up
    s.log.Clear();
    s.trace.str("");
    s.settings.Int(IntKey::gui_messages) = 1;
    s.settings.Int(IntKey::control_mode_alpha) = SPEED_MOVING;
    s.core.Command(CMD_ALPHA_PLUS, kStop);
    EXPECT_EQ(s.log.Only({"msg !!!", "box "}), (Lines{"msg !!! Arrêt Alpha non confirmé, ordre d'arrêt renvoyé",
                                                     "msg !!! le boîtier Alpha ne confirme pas l'arrêt"}));
    EXPECT_TRUE(s.log.Only({"msg Arret"}).empty());
    EXPECT_EQ(s.Traced("write \"S<CR>\"").size(), 2u);
    EXPECT_EQ(s.Link().state, LinkState::Failing);
    EXPECT_EQ(s.Link().detail, "boîtier Alpha");
    EXPECT_GT(boxes.AlphaStepsPerSecond(), 1199.0);  // what the observer has to know
}

// A vanished line: told once per action, at once; the other line goes on; plugged back, used again.
TEST(PtySerial, AVanishedLineIsToldOncePerActionAndUsedAgainWhenPluggedBack) {
    char dir[] = "/tmp/axo-pty-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    {
        PtyRig rig(dir);
        sim::PtyBoxes& boxes = rig.boxes;
        PtyStation& s = rig.s;
        const std::string alphaPath = boxes.DevicePaths()[0];
        s.Code(CMD_TRACKING, kStart);
        boxes.VanishLine(1);
        ASSERT_TRUE(Within(2.0, [&] { return !std::filesystem::exists(alphaPath); }));
        const auto t0 = std::chrono::steady_clock::now();
        for (const auto& [code, action] : {std::pair{CMD_TRACKING, kStop}, std::pair{CMD_ALPHA_PLUS, kStart},
                                           std::pair{CMD_ALPHA_PLUS, kStop}, std::pair{CMD_TRACKING, kStart}}) {
            s.log.Clear();
            s.Code(code, action, SPEED_MOVING);
            EXPECT_EQ(s.log.Only({"box "}), Lines{kNoPort}) << code << " " << action;
            EXPECT_EQ(s.Link().state, LinkState::Failing);
        }
        EXPECT_LT(Seconds(t0), 3.0);
        s.log.Clear();
        s.Code(CMD_DELTA_PLUS, kStart, SPEED_CENTERING);
        s.Code(CMD_DELTA_PLUS, kStop, SPEED_CENTERING);
        EXPECT_TRUE(s.log.Only({"box "}).empty());  // the Delta line is still there

        boxes.ReplugLine(1);
        ASSERT_TRUE(Within(2.0, [&] { return std::filesystem::exists(alphaPath); }));
        s.log.Clear();
        EXPECT_EQ(s.Code(CMD_ALPHA_PLUS, kStart, SPEED_MOVING), 1);
        EXPECT_TRUE(s.log.Only({"box ", "msg !!!"}).empty());
        EXPECT_TRUE(Within(2.0, [&] { return boxes.AlphaStepsPerSecond() > 1199.0; }));
        EXPECT_EQ(s.Link().state, LinkState::Answering);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace axo
