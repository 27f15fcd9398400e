#include "ui/calibration_window.h"
#include "ui/eik120_window.h"
#include "ui/options_dialog.h"
#include "ui/pelaro_window.h"
#include "ui/serial64xx_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::Type;
using test::UiRig;

// Each dialog's OK writes the whole settings file at once, as the exit would, and not before.
TEST(SettingsSaved, EachDialogsOkWritesTheSettingsFileAtOnce) {
    struct Case {
        const char* what;
        const char* ini;
        std::function<void(UiRig&)> ok;
        const char* line;
    };
    const Case cases[] = {
        {"options", "", [](UiRig& r) {
             auto d = r.window->MakeOptionsDialog();
             Type(d.get(), {{"txtOptionsTimerValue", "250"}});
             d->Ok();
         }, "timer_value= 250"},
        {"calibration", "", [](UiRig& r) {
             r.window->ShowCalibration();
             ui::CalibrationWindow* w = r.window->calibrationWindow();
             Type(w, {{"txtCalibrRAh", "7"}, {"txtCalibrRAm", "41"}, {"txtCalibrRAs", "0"}});
             QTest::mouseClick(w->findChild<QPushButton*>("cmdCalibrAlpha"), Qt::LeftButton);
         }, "calibr_alpha_m= 41"},
        {"Pelaro", "", [](UiRig& r) {
             r.window->ShowPelaro();
             auto* w = r.window->findChild<ui::PelaroWindow*>();
             Type(w, {{"txtCalibrCountAlpha", "200"}});
             w->TransmitAlpha();
         }, "count_alpha=200"},
        {"6420", "interface_ra=3\ninterface_de=3\n", [](UiRig& r) {
             r.window->ShowSerial64xx();
             ui::Serial64xxWindow* w = r.window->serial64xxWindow();
             Type(w, {{"txt64xxArTrk", "3,5"}});
             w->OkAction();
         }, "S64xx_alpha_r_trk=3,5"},
        {"EIK120", "interface_coders=2\n", [](UiRig& r) {
             // Modal, from its menu item: answered from inside its own loop.
             QTimer::singleShot(0, [] {
                 auto* w = qobject_cast<ui::Eik120Window*>(QApplication::activeModalWidget());
                 ASSERT_NE(w, nullptr);
                 EXPECT_EQ(w->windowTitle(), "Interface codeurs EIK120");
                 Type(w, {{"txtEik120TimerValue", "77"}});
                 EXPECT_TRUE(w->OkClicked());
             });
             r.Action("ConfigEIK120MenuItem")->trigger();
         }, "Eik120_timer_irq= 77"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UiRig r(std::string("[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_dome=1\ninterface_coders=1\n"
                            "display_welcome=0\n") + c.ini);
        ASSERT_TRUE(r.Start());
        r.window->show();
        const std::string before = r.cfg.Read("Axo.ini");
        ASSERT_EQ(before.find(c.line), std::string::npos);
        c.ok(r);
        const std::string after = r.cfg.Read("Axo.ini");
        EXPECT_NE(after.find(c.line), std::string::npos) << after;
        // Written as at exit: the whole table and the main window's place.
        EXPECT_NE(after.find("Axo_left="), std::string::npos);
        // Atomically: no temporary file left beside it.
        EXPECT_EQ(r.cfg.FileCount(), 1u);
    }
}

// A file without its [Axo] section is written only if the observer agrees (asked once); OK keeps the rest.
TEST(SettingsSaved, AFileWithoutItsSectionIsWrittenOnlyWhenTheObserverAgrees) {
    for (const MessageAnswer answer : {MessageAnswer::Cancel, MessageAnswer::Ok}) {
        const std::string held = "[Notes]\ninterface_ra=1\ndisplay_welcome=0\n";
        UiRig r(held);
        ASSERT_TRUE(r.Start());
        r.op.answer = answer;
        r.window->SaveSettingsNow();
        r.window->SaveSettingsNow();  // asked once only
        EXPECT_EQ(r.log.Only({"box Fichier de configuration"}).size(), 1u);
        const std::string file = r.cfg.Read("Axo.ini");
        if (answer == MessageAnswer::Cancel) {
            EXPECT_EQ(file, held);
        } else {
            EXPECT_EQ(file.rfind(held, 0), 0u) << file;
            EXPECT_NE(file.find("\n[Axo]\n"), std::string::npos) << file;
        }
    }
}

}  // namespace
}  // namespace axo
