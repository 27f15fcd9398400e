// The real main window on the simulated parallel boards, on the virtual clock.

#include "platform/night_log.h"
#include "sim/parallel/simulated_bus.h"
#include "ui/status_bar.h"
#include "ui_rig.h"

namespace axo {
namespace {

const std::string kAllOnTheBoards = test::kAllParallel + "error_stop=0\n";

TEST(SimulatedObservatory, StoppingTheTravelToRestFreesTheDomeButtons) {
    test::ProgramRig r(kAllOnTheBoards);
    ASSERT_TRUE(r.Start());
    r.settings.Int(IntKey::dome_rest_pos) = 15;
    QTest::mouseClick(r.W("cmdDomeRest"), Qt::LeftButton);
    r.Run(2000);
    ASSERT_TRUE(r.window->core().state().DomeRestRunning);
    QTest::mouseClick(r.Pad("picDomeStop"), Qt::LeftButton);
    EXPECT_TRUE(r.Listed("Arret mise au repos de la Coupole"));
    EXPECT_FALSE(r.window->core().state().DomeRestRunning);
    const int16_t azimuth = r.window->core().position().DomeAzimuth;
    r.Run(3000);
    EXPECT_EQ(r.window->core().position().DomeAzimuth, azimuth);  // it stands still
    r.log.Clear();
    ui::PictureButton* east = r.Pad("picDomeDir1");
    QTest::mousePress(east, Qt::LeftButton);
    EXPECT_TRUE(r.log.Only({"beep"}).empty());
    EXPECT_TRUE(east->isOn());
    QTest::mouseRelease(east, Qt::LeftButton);
}

TEST(SimulatedObservatory, StatusBarAndMessagesShowTheLinksTheDomeInitAndTheFilter) {
    test::ProgramRig r(kAllOnTheBoards);
    ASSERT_TRUE(r.Start());
    ui::StatusBar* status = r.window->statusBarModel();
    auto text = [&r, status](const char* name) {  // as the status bar shows it now
        status->Refresh();
        return r.W<QLabel>(name)->text();
    };
    r.Run(1000);
    EXPECT_EQ(text("lblStatusLinks"), "Pelaro : répond");
    EXPECT_EQ(text("lblStatusFilter"), "Filtre : —");
    // Polling stopped: nothing is exchanged, so nothing is said to answer.
    r.window->SetSystemTimerInterval(0);
    EXPECT_EQ(text("lblStatusLinks"), "Pelaro : non interrogée");
    r.window->SetSystemTimerInterval(r.settings.Int(IntKey::timer_value));

    QTest::mouseClick(r.W("cmdDomeInit"), Qt::LeftButton);
    r.Run(2000);
    EXPECT_TRUE(text("lblStatusOperation").startsWith("Initialisation de la coupole en cours : coupole à "))
        << text("lblStatusOperation").toStdString();
    r.window->resize(1024, 740);  // the README's picture, on a 1024x768 screen
    test::Shoot(r.window.get(), "status-dome-init");
    r.Run(150000);
    EXPECT_TRUE(text("lblStatusOperation").startsWith("Initialisation de la coupole finie à "))
        << text("lblStatusOperation").toStdString();
    EXPECT_FALSE(r.window->core().state().DomeInitRunning);
    // An Init ended by Arrêt général is said interrupted, not finished; tracking is shown.
    QTest::mouseClick(r.W("cmdDomeInit"), Qt::LeftButton);
    r.Run(2000);
    status->Refresh();  // seen running before the stop
    r.window->core().RequestStopAll();
    QTest::mouseClick(r.Pad("picControlTracking"), Qt::LeftButton);
    r.Run(1000);
    EXPECT_TRUE(text("lblStatusOperation").startsWith("Suivi sidéral · Initialisation de la coupole interrompue à "))
        << text("lblStatusOperation").toStdString();
    EXPECT_EQ(r.W<QLabel>("lblStatusOperation")->toolTip(), text("lblStatusOperation"));
    r.window->core().RequestStopAll();

    auto* filter = r.W<QComboBox>("cmbFilterValue");
    filter->setCurrentIndex(2);
    emit filter->activated(2);
    QTest::mouseClick(r.W("cmdFilterValidate"), Qt::LeftButton);
    r.Run(100);
    EXPECT_EQ(text("lblStatusFilter"), "Filtre : —");  // still turning
    r.Run(1000);
    EXPECT_EQ(text("lblStatusFilter"), "Filtre bleu");

    r.hardware->Simulation()->Unplug(3, true);
    r.Run(3000);
    EXPECT_EQ(text("lblStatusLinks"), "Pelaro : ne répond plus (platine Delta)");
    EXPECT_TRUE(r.Listed("!!! La platine Delta ne répond pas et va être réinitialisée"));
    EXPECT_TRUE(r.Listed("Reset micro-contrôleur Delta"));
    r.hardware->Simulation()->Unplug(3, false);
    r.Run(3000);
    EXPECT_EQ(text("lblStatusLinks"), "Pelaro : répond");
}

// An hour of a night at work keeps the log small (the size printed is the README's figure).
TEST(SimulatedObservatory, AnHourOfActivityKeepsTheNightLogSmall) {
    test::ProgramRig r(kAllOnTheBoards);
    ASSERT_TRUE(r.Start());
    NightLog log(r.cfg.Root() / "state");
    r.window->SetNightLog(&log);
    QTest::mouseClick(r.Pad("picControlTracking"), Qt::LeftButton);
    QTest::mouseClick(r.Pad("picDomeTracking"), Qt::LeftButton);
    // Every two minutes a small correction on each axis and a focus touch.
    for (int minute = 0; minute < 60; minute += 2) {
        for (const char* p : {"picAlphaPlus", "picDeltaMinus", "picFocusDir1"}) {
            r.Hold(p, 2000);
        }
        r.Run(120000 - 6000);
    }
    r.W<QAction>("StopAll")->trigger();
    const auto size = std::filesystem::file_size(log.CurrentFile());
    std::printf("night log after one simulated hour: %ju bytes\n", static_cast<uintmax_t>(size));
    EXPECT_GT(size, 1000u);
    EXPECT_LT(size, 64u * 1024u);
}

}  // namespace
}  // namespace axo
