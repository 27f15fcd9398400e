// The whole program with its coders on the simulated EIK120 card: the real main window on the
// offscreen platform, the axes on the simulated parallel boards, the card reading the same
// simulated mount, all on the virtual clock.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/hardware.h"
#include "core/interval_timer.h"
#include "sim/eik120/simulated_eik_card.h"
#include "sim/parallel/simulated_bus.h"
#include "ui/calibration_window.h"
#include "ui/small_windows.h"
#include "ui/tracking_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

struct CardSimRig {
    explicit CardSimRig(const std::string& extra = "") : op(log) {
        cfg.Write("Axo.ini",
                  "[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\ninterface_coders=2\n"
                  "interface_focus=1\ninterface_filter=1\ndisplay_welcome=0\nerror_stop=0\n" +
                      extra);
        window = std::make_unique<ui::AxoWindow>(settings, clock, op);
        app::HardwareOptions options;
        options.simulate = true;
        options.realTimeCardInterrupts = false;  // raised on the virtual clock by Run()
        hardware = std::make_unique<app::Hardware>(window->core(), clock, options,
                                                   ParallelWindows{window.get(), window->cancelWindow(), window.get()},
                                                   brake);
        window->SetEikDriver(hardware->Eik());
        started = window->StartUp(false);
    }
    ~CardSimRig() {
        window.reset();
        hardware.reset();
    }

    sim::SimulatedEikCard& Card() { return *hardware->SimulatedCard(); }

    // The two timers on simulated time, and the card's interrupts when it is in that mode.
    void Run(uint64_t ms) { test::RunTimers(window->core(), clock, ms, [this] { Card().ServiceInterrupts(); }); }
    int Number(const char* label) { return window->findChild<QLabel*>(label)->text().toInt(); }
    int DisplayedHourAngle() {
        return Number("lblDisplayAlphaH") * 3600 + Number("lblDisplayAlphaM") * 60 + Number("lblDisplayAlphaS");
    }
    // Signed seconds of arc.
    int DisplayedDeclination() {
        const int v = std::abs(Number("lblDisplayDeltaD")) * 3600 + Number("lblDisplayDeltaM") * 60 +
                      Number("lblDisplayDeltaS");
        return window->findChild<QWidget*>("shpDeltaMinus")->isVisibleTo(window.get()) ? -v : v;
    }
    void HoldAlphaPlusWhileSlewing(uint64_t ms) {
        QTest::mouseClick(window->findChild<QRadioButton*>("optControlMovingAlpha"), Qt::LeftButton);
        auto* plus = window->findChild<ui::PictureButton*>("picAlphaPlus");
        QTest::mousePress(plus, Qt::LeftButton);
        Run(ms);
        QTest::mouseRelease(plus, Qt::LeftButton);
    }

    test::TempConfig cfg;
    test::Log log;
    Settings settings;
    VirtualClock clock{PcDateTime{2026, 12, 6, 21, 0, 0, 0}};
    ClockTimer brake{clock};
    test::FakeOperator op;
    std::unique_ptr<ui::AxoWindow> window;
    std::unique_ptr<app::Hardware> hardware;
    bool started = false;
};

TEST(SimulatedCard, TheDisplayShowsTheMountAndHoldingAlphaPlusTurnsItsHourAngle) {
    CardSimRig r;
    ASSERT_TRUE(r.started);
    r.Run(500);
    EXPECT_TRUE(r.log.Only({"box"}).empty());
    // The simulated mount starts at 1 h and +30 degrees; the built-in calibration is the card's
    // zero, so the display is right from the start (one count: 0.66 s, 9.9").
    EXPECT_NEAR(r.DisplayedHourAngle(), 3600, 1);
    EXPECT_NEAR(r.DisplayedDeclination(), 30 * 3600, 10);
    const int before = r.DisplayedHourAngle();
    r.HoldAlphaPlusWhileSlewing(10000);
    r.Run(500);
    EXPECT_NEAR(r.DisplayedHourAngle() - before, 4800, 120);
    const int stopped = r.DisplayedHourAngle();
    r.Run(5000);
    EXPECT_EQ(r.DisplayedHourAngle(), stopped);
}

TEST(SimulatedCard, TrackingHoldsTheRightAscension) {
    CardSimRig r;
    ASSERT_TRUE(r.started);
    r.window->ShowTracking();
    QTest::mousePress(r.window->findChild<ui::PictureButton*>("picControlTracking"), Qt::LeftButton);
    r.Run(2000);
    const QString ra = r.window->trackingWindow()->findChild<QLabel*>("lblTrkRa")->text();
    const int ha = r.DisplayedHourAngle();
    r.Run(120000);
    // One count of the coder is 0.66 s: the right ascension may flicker by a second.
    const QString now = r.window->trackingWindow()->findChild<QLabel*>("lblTrkRa")->text();
    EXPECT_EQ(now.left(6), ra.left(6)) << now.toStdString() << " " << ra.toStdString();
    EXPECT_NEAR(r.DisplayedHourAngle() - ha, 120, 2);
}

TEST(SimulatedCard, CalibratingOnAStarShowsTheStarsCoordinates) {
    CardSimRig r;
    ASSERT_TRUE(r.started);
    r.Run(200);
    r.window->ShowCalibration();
    ui::CalibrationWindow* c = r.window->calibrationWindow();
    const char* texts[][2] = {{"txtCalibrRAh", "5"},  {"txtCalibrRAm", "20"}, {"txtCalibrRAs", "0"},
                              {"txtCalibrDEd", "-12"}, {"txtCalibrDEm", "30"}, {"txtCalibrDEs", "0"}};
    for (const auto& t : texts) {
        c->findChild<QLineEdit*>(t[0])->setText(t[1]);
    }
    QTest::mouseClick(c->findChild<QPushButton*>("cmdCalibrAlpha"), Qt::LeftButton);
    QTest::mouseClick(c->findChild<QPushButton*>("cmdCalibrDelta"), Qt::LeftButton);
    r.Run(500);
    EXPECT_TRUE(r.log.Only({"box"}).empty());
    EXPECT_NEAR(r.DisplayedHourAngle(), 5 * 3600 + 20 * 60, 1);
    EXPECT_EQ(r.DisplayedDeclination(), -(12 * 3600 + 30 * 60));
    // The calibration outlives the run: it goes into the settings file at the exit.
    r.window->ShutDown();
    const std::string file = r.cfg.Read("Axo.ini");
    EXPECT_NE(file.find("calibr_delta_pos=-45000"), std::string::npos);
}

TEST(SimulatedCard, AnUnpluggedCoderIsReportedAndTheOtherAxisGoesOn) {
    CardSimRig r;
    ASSERT_TRUE(r.started);
    r.Run(500);
    r.Card().UnplugCoder(2, true);
    r.HoldAlphaPlusWhileSlewing(2000);  // each poll now waits for the card's 10 s time-out
    r.Run(100);
    const auto boxes = r.log.Only({"box"});
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.front(), "box Erreur | Accès au codeur Delta impossible (time-out)");
    EXPECT_GT(r.DisplayedHourAngle(), 3600 + 60);  // Alpha still follows its coder
    r.Card().UnplugCoder(2, false);
    r.log.Clear();
    r.Run(500);
    EXPECT_TRUE(r.log.Only({"box"}).empty());
}

TEST(SimulatedCard, InInterruptModeBothAxesFollowTheMount) {
    CardSimRig r("Eik120_use_irq=1\nEik120_timer_irq=20\n");
    ASSERT_TRUE(r.started);
    ASSERT_TRUE(r.hardware->Eik()->InterruptsRunning());
    r.HoldAlphaPlusWhileSlewing(3000);
    auto* plus = r.window->findChild<ui::PictureButton*>("picDeltaPlus");
    QTest::mousePress(plus, Qt::LeftButton);
    r.Run(3000);
    QTest::mouseRelease(plus, Qt::LeftButton);
    r.Run(500);
    EXPECT_GT(r.hardware->Eik()->InterruptCounts(), 100U);
    EXPECT_NEAR(r.DisplayedHourAngle() - 3600, 3 * 480, 60);
    // Delta moved too (centring: 0.0667 degree a second), read on demand.
    EXPECT_NEAR(r.DisplayedDeclination() - 30 * 3600, 3 * 240, 40);
    EXPECT_TRUE(r.log.Only({"box"}).empty());
}

}  // namespace
}  // namespace axo
