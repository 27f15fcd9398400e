// The whole program on the simulated observatory: the real main window on the offscreen
// platform, the parallel interface and the simulated boards, on the virtual clock.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "app/hardware.h"
#include "sim/parallel/simulated_bus.h"
#include "ui/small_windows.h"
#include "ui/status_bar.h"
#include "ui/tracking_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

struct SimRig {
    SimRig() : op(log) {
        cfg.Write("Axo.ini",
                  "[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\ninterface_coders=1\n"
                  "interface_focus=1\ninterface_filter=1\ndisplay_welcome=0\nerror_stop=0\n");
        ui::AxoWindow::Options options;
        options.simulated = true;
        window = std::make_unique<ui::AxoWindow>(settings, clock, op, options);
        hardware = std::make_unique<app::Hardware>(window->core(), clock, app::HardwareOptions{true, ""},
                                                   ParallelWindows{window.get(), window->cancelWindow(), window.get()},
                                                   brake);
        window->SetSerial64xxDriver(hardware->Serial64xx());
        started = window->StartUp(false);
    }
    ~SimRig() {
        window.reset();
        hardware.reset();
    }

    // The two timers, on simulated time: the polling tick every 50 ms, the clock every second.
    void Run(uint64_t ms) { test::RunTimers(window->core(), clock, ms); }
    // The hour angle as the main window shows it, in seconds of time.
    int DisplayedHourAngle() {
        auto n = [this](const char* name) { return window->findChild<QLabel*>(name)->text().toInt(); };
        return n("lblDisplayAlphaH") * 3600 + n("lblDisplayAlphaM") * 60 + n("lblDisplayAlphaS");
    }
    bool Listed(const std::string& line) {
        for (int i = 0; i < window->MessageCount(); ++i) {
            if (window->MessageAt(i) == line) {
                return true;
            }
        }
        return false;
    }

    test::TempConfig cfg;
    test::Log log;
    Settings settings;
    VirtualClock clock{PcDateTime{2026, 12, 6, 21, 0, 0, 0}};
    test::FakeOperator op;
    ClockTimer brake{clock};
    std::unique_ptr<ui::AxoWindow> window;
    std::unique_ptr<app::Hardware> hardware;
    bool started = false;
};

TEST(SimulatedObservatory, HoldingAlphaPlusWhileSlewingTurnsTheDisplayedHourAngleUp) {
    SimRig r;
    ASSERT_TRUE(r.started);
    r.Run(500);
    const int before = r.DisplayedHourAngle();
    QTest::mouseClick(r.window->findChild<QRadioButton*>("optControlMovingAlpha"), Qt::LeftButton);
    auto* plus = r.window->findChild<ui::PictureButton*>("picAlphaPlus");
    QTest::mousePress(plus, Qt::LeftButton);
    r.Run(10000);
    QTest::mouseRelease(plus, Qt::LeftButton);
    r.Run(500);
    // Slewing turns the axis at 2 degrees a second: ten seconds are 20 degrees, 1 h 20 min of
    // hour angle, give or take the ramp and the polls around the press.
    const int moved = r.DisplayedHourAngle() - before;
    EXPECT_NEAR(moved, 4800, 120) << before;
    // Stopped, the axis stands still on the ground: the hour angle holds.
    const int stopped = r.DisplayedHourAngle();
    r.Run(5000);
    EXPECT_EQ(r.DisplayedHourAngle(), stopped);
}

TEST(SimulatedObservatory, TrackingHoldsTheRightAscensionInTheTrackingWindow) {
    SimRig r;
    ASSERT_TRUE(r.started);
    r.window->ShowTracking();
    QTest::mousePress(r.window->findChild<ui::PictureButton*>("picControlTracking"), Qt::LeftButton);
    r.Run(2000);
    const QString ra = r.window->trackingWindow()->findChild<QLabel*>("lblTrkRa")->text();
    const int ha = r.DisplayedHourAngle();
    r.Run(120000);
    EXPECT_EQ(r.window->trackingWindow()->findChild<QLabel*>("lblTrkRa")->text(), ra);
    EXPECT_NEAR(r.DisplayedHourAngle() - ha, 120, 2);  // sidereal seconds, close to clock seconds
}

TEST(SimulatedObservatory, DomeInitReportsTheZeroAndAnUnpluggedBoardIsReported) {
    SimRig r;
    ASSERT_TRUE(r.started);
    QTest::mouseClick(r.window->findChild<QPushButton*>("cmdDomeInit"), Qt::LeftButton);
    r.Run(150000);  // at worst a whole turn at 3 degrees a second
    EXPECT_TRUE(r.Listed("*** La Coupole est ARRETEE sur sa Position ZERO"));
    EXPECT_FALSE(r.window->core().state().DomeInitRunning);

    r.hardware->Simulation()->Unplug(3, true);
    r.Run(3000);
    EXPECT_TRUE(r.Listed("!!! La platine Delta ne répond pas et va être réinitialisée"));
    EXPECT_TRUE(r.Listed("Reset micro-contrôleur Delta"));
}

}  // namespace
}  // namespace axo

namespace axo {
namespace {

TEST(SimulatedObservatory, StoppingTheTravelToRestFreesTheDomeButtons) {
    SimRig r;
    ASSERT_TRUE(r.started);
    r.settings.Int(IntKey::dome_rest_pos) = 15;
    QTest::mouseClick(r.window->findChild<QPushButton*>("cmdDomeRest"), Qt::LeftButton);
    r.Run(2000);
    ASSERT_TRUE(r.window->core().state().DomeRestRunning);
    auto* stop = r.window->findChild<ui::PictureButton*>("picDomeStop");
    QTest::mousePress(stop, Qt::LeftButton);
    QTest::mouseRelease(stop, Qt::LeftButton);
    EXPECT_TRUE(r.Listed("Arret mise au repos de la Coupole"));
    EXPECT_FALSE(r.window->core().state().DomeRestRunning);
    const int16_t azimuth = r.window->core().position().DomeAzimuth;
    r.Run(3000);
    EXPECT_EQ(r.window->core().position().DomeAzimuth, azimuth);  // it stands still
    r.log.Clear();
    auto* east = r.window->findChild<ui::PictureButton*>("picDomeDir1");
    QTest::mousePress(east, Qt::LeftButton);
    EXPECT_TRUE(r.log.Only({"beep"}).empty());
    EXPECT_TRUE(east->isOn());
    QTest::mouseRelease(east, Qt::LeftButton);
}

}  // namespace
}  // namespace axo

namespace axo {
namespace {

TEST(SimulatedObservatory, StatusBarShowsTheLinksTheDomeInitAndTheFilter) {
    SimRig r;
    ASSERT_TRUE(r.started);
    ui::StatusBar* status = r.window->statusBarModel();
    ASSERT_NE(status, nullptr);
    auto text = [&r](const char* name) { return r.window->findChild<QLabel*>(name)->text(); };
    r.Run(1000);
    status->Refresh();
    EXPECT_EQ(text("lblStatusLinks"), "Pelaro : répond");
    EXPECT_EQ(text("lblStatusFilter"), "Filtre : —");

    QTest::mouseClick(r.window->findChild<QPushButton*>("cmdDomeInit"), Qt::LeftButton);
    r.Run(2000);
    status->Refresh();
    EXPECT_TRUE(text("lblStatusOperation").startsWith("Initialisation de la coupole en cours : coupole à "))
        << text("lblStatusOperation").toStdString();
    // For the README: the main window during the Init, on a 1024x768 screen.
    QDir().mkpath(AXO_SCREENSHOT_DIR);
    r.window->resize(1024, 740);
    r.window->grab().save(QString(AXO_SCREENSHOT_DIR) + "/status-dome-init.png");
    r.Run(150000);
    status->Refresh();
    EXPECT_TRUE(text("lblStatusOperation").startsWith("Initialisation de la coupole finie à "))
        << text("lblStatusOperation").toStdString();

    auto* filter = r.window->findChild<QComboBox*>("cmbFilterValue");
    filter->setCurrentIndex(2);
    emit filter->activated(2);
    QTest::mouseClick(r.window->findChild<QPushButton*>("cmdFilterValidate"), Qt::LeftButton);
    r.Run(100);
    status->Refresh();
    EXPECT_EQ(text("lblStatusFilter"), "Filtre : —");  // still turning
    r.Run(1000);
    status->Refresh();
    EXPECT_EQ(text("lblStatusFilter"), "Filtre bleu");

    r.hardware->Simulation()->Unplug(3, true);
    r.Run(3000);
    status->Refresh();
    EXPECT_EQ(text("lblStatusLinks"), "Pelaro : ne répond plus (platine Delta)");
    r.hardware->Simulation()->Unplug(3, false);
    r.Run(3000);
    status->Refresh();
    EXPECT_EQ(text("lblStatusLinks"), "Pelaro : répond");
}

TEST(SimulatedObservatory, TitleAndStatusBarSayTheObservatoryIsSimulated) {
    for (const bool simulated : {false, true}) {
        test::UiRig r;  // for its private configuration folder
        ui::AxoWindow::Options options;
        options.simulated = simulated;
        ui::AxoWindow w(r.settings, r.clock, r.op, options);
        EXPECT_EQ(w.windowTitle(), simulated ? "Axo — observatoire simulé" : "Axo");
        EXPECT_EQ(w.findChild<QLabel*>("lblStatusSource")->text(), simulated ? "Observatoire simulé" : "Matériel");
    }
}

}  // namespace
}  // namespace axo

#include "platform/night_log.h"

namespace axo {
namespace {

// One hour of a simulated night with an observer at work: the log of it stays small. The
// size is printed for the README's figure.
TEST(SimulatedObservatory, AnHourOfActivityKeepsTheNightLogSmall) {
    SimRig r;
    ASSERT_TRUE(r.started);
    NightLog log(r.cfg.Root() / "state");
    r.window->SetNightLog(&log);
    auto pad = [&r](const char* name) { return r.window->findChild<ui::PictureButton*>(name); };
    QTest::mousePress(pad("picControlTracking"), Qt::LeftButton);
    QTest::mouseRelease(pad("picControlTracking"), Qt::LeftButton);
    QTest::mouseClick(pad("picDomeTracking"), Qt::LeftButton);
    // Every two minutes a small correction on each axis and a focus touch.
    for (int minute = 0; minute < 60; minute += 2) {
        for (const char* p : {"picAlphaPlus", "picDeltaMinus", "picFocusDir1"}) {
            QTest::mousePress(pad(p), Qt::LeftButton);
            r.Run(2000);
            QTest::mouseRelease(pad(p), Qt::LeftButton);
        }
        r.Run(120000 - 6000);
    }
    r.window->findChild<QAction*>("StopAll")->trigger();
    const auto size = std::filesystem::file_size(log.CurrentFile());
    std::printf("night log after one simulated hour: %ju bytes\n", static_cast<uintmax_t>(size));
    EXPECT_GT(size, 1000u);
    EXPECT_LT(size, 64u * 1024u);
}

}  // namespace
}  // namespace axo
