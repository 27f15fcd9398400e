// Grabs every window to a PNG (build/screenshots) so that people can look at them, and checks
// that the main window fits a 1280x800 screen.

#include <QTabWidget>

#include "ui/calibration_window.h"
#include "ui/eik120_window.h"
#include "ui/goto_window.h"
#include "ui/night_vision.h"
#include "ui/options_dialog.h"
#include "ui/pelaro_window.h"
#include "ui/small_windows.h"
#include "ui/tracking_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

void Save(QWidget* w, const QString& name) {
    w->adjustSize();
    EXPECT_TRUE(test::Shoot(w, name)) << name.toStdString();
}

TEST(Screenshots, EveryWindowFitsAndIsSaved) {
    test::UiRig r("[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\ninterface_coders=1\ndisplay_welcome=0\n");
    ASSERT_TRUE(r.Start());
    Position& p = r.window->core().position();
    p.HourAngleH = 2;
    p.HourAngleM = 14;
    p.HourAngleS = 37;
    p.DeclinationNegative = 1;
    p.DeclinationD = 12;
    p.DeclinationM = 5;
    p.DeclinationS = 48;
    p.DomeAzimuth = 194;
    r.window->ShowTracking();
    r.window->core().ClockTick();
    r.window->core().SystemTick();
    QTest::mousePress(r.Pad("picControlTracking"), Qt::LeftButton);
    QTest::mouseClick(r.Pad("picAlphaPlusLock"), Qt::LeftButton);
    QTest::mouseClick(r.Pad("picFocusDir1Lock"), Qt::LeftButton);

    const QSize size = r.window->sizeHint();
    EXPECT_LE(size.width(), 1280);
    EXPECT_LE(size.height(), 760);  // room for the title bar and a panel
    r.window->resize(size);
    Save(r.window.get(), "main-window");
    Save(r.window->trackingWindow(), "tracking-window");
    r.window->ShowCalibration();
    Save(r.window->calibrationWindow(), "calibration-window");

    ui::OptionsDialog options(r.window->core(), *r.window, r.window.get());
    auto* tabs = options.findChild<QTabWidget*>("SSTabOptions");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        Save(&options, "options-" + QString::number(i + 1));
    }
    ui::PelaroWindow pelaro(r.window->core());
    pelaro.show();
    Save(&pelaro, "pelaro-window");
    ui::Eik120Window eik(r.window->core(), nullptr, {});
    eik.show();
    Save(&eik, "eik120-window");
    ui::LoadWindow load;
    load.SetProgress("Initialisation de l'interface parallèle");
    Save(&load, "load-window");
    ui::WelcomeWindow welcome(r.settings);
    Save(&welcome, "welcome-window");
    ui::AboutWindow about;
    Save(&about, "about-window");
    ui::PasswordWindow password(r.window->core().state(), r.op);
    Save(&password, "password-window");
    ui::CancelWindow cancel;
    cancel.Start("Recherche du zéro codeur Alpha en cours");
    Save(&cancel, "cancel-window");
    r.window->ShowGoto();
    r.window->gotoWindow()->findChild<ui::TargetList*>("cmbGotoTarget")->Choose("Véga");
    Save(r.window->gotoWindow(), "goto-window");
    ui::SetNightVision(true);
    QTest::qWait(50);  // the new style's sizes take effect
    Save(r.window->gotoWindow(), "goto-window-night");
    Save(r.window->calibrationWindow(), "calibration-window-night");
    ui::SetNightVision(false);
}

}  // namespace
}  // namespace axo
