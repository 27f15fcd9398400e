// Every window to a PNG in build/screenshots, for people to look at; each must fit the screen.

#include <QTabWidget>

#include "ui/calibration_window.h"
#include "ui/eik120_window.h"
#include "ui/goto_window.h"
#include "ui/night_vision.h"
#include "ui/options_dialog.h"
#include "ui/pelaro_window.h"
#include "ui/serial64xx_window.h"
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
    test::SetPosition(r.window->core(), 2, 14, 37, true, 12, 5, 48);
    r.window->core().position().DomeAzimuth = 194;
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

    // Each tab of the two tabbed windows fits a small screen.
    ui::OptionsDialog options(r.window->core(), *r.window, r.window.get());
    r.window->ShowSerial64xx();
    const std::tuple<QWidget*, const char*, QString> tabbed[] = {{&options, "SSTabOptions", "options-"},
                                                                 {r.window->serial64xxWindow(), "SSTab64xx", "serial64xx-"}};
    for (const auto& [w, tabName, name] : tabbed) {
        auto* tabs = w->findChild<QTabWidget*>(tabName);
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            Save(w, name + QString::number(i + 1));
            EXPECT_LE(w->width(), 1000) << name.toStdString() << i;
            EXPECT_LE(w->height(), 700) << name.toStdString() << i;
        }
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
