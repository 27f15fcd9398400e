#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <functional>
#include <sstream>

#include "ui/calibration_window.h"
#include "ui/eik120_window.h"
#include "ui/options_dialog.h"
#include "ui/pelaro_window.h"
#include "ui/serial64xx_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::UiRig;

void SetField(QWidget* window, const char* name, const char* text) {
    auto* field = window->findChild<QLineEdit*>(name);
    ASSERT_NE(field, nullptr) << name;
    field->setText(text);
}

// Every dialog whose OK changes settings writes the settings file at once, with the windows'
// places, as the exit would; nothing is written before that OK.
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
             SetField(d.get(), "txtOptionsTimerValue", "250");
             d->Ok();
         }, "timer_value= 250"},
        {"calibration", "", [](UiRig& r) {
             r.window->ShowCalibration();
             ui::CalibrationWindow* w = r.window->calibrationWindow();
             SetField(w, "txtCalibrRAh", "7");
             SetField(w, "txtCalibrRAm", "41");
             SetField(w, "txtCalibrRAs", "0");
             QTest::mouseClick(w->findChild<QPushButton*>("cmdCalibrAlpha"), Qt::LeftButton);
         }, "calibr_alpha_m= 41"},
        {"Pelaro", "", [](UiRig& r) {
             r.window->ShowPelaro();
             auto* w = r.window->findChild<ui::PelaroWindow*>();
             SetField(w, "txtCalibrCountAlpha", "200");
             w->TransmitAlpha();
         }, "count_alpha=200"},
        {"6420", "interface_ra=3\ninterface_de=3\n", [](UiRig& r) {
             r.window->ShowSerial64xx();
             ui::Serial64xxWindow* w = r.window->serial64xxWindow();
             SetField(w, "txt64xxArTrk", "3,5");
             w->OkAction();
         }, "S64xx_alpha_r_trk=3,5"},
        {"EIK120", "interface_coders=2\n", [](UiRig& r) {
             // The window is modal: answered from inside its own loop.
             QTimer::singleShot(0, [] {
                 auto* w = qobject_cast<ui::Eik120Window*>(QApplication::activeModalWidget());
                 ASSERT_NE(w, nullptr);
                 SetField(w, "txtEik120TimerValue", "77");
                 EXPECT_TRUE(w->OkClicked());
             });
             r.window->ShowEik120();
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

}  // namespace
}  // namespace axo

#include "platform/night_log.h"

namespace axo {
namespace {

// The message list's lines and the commands given reach the night log with the clock's UTC
// time; the polling timer's commands do not, and the list keeps its own 64-line rule.
TEST(NightLogWindow, MessagesAndCommandsAreLoggedNotThePolls) {
    UiRig r;
    NightLog log(r.cfg.Root() / "state");
    r.window->SetNightLog(&log);
    ASSERT_TRUE(r.Start());
    QTest::mousePress(r.Pad("picAlphaPlus"), Qt::LeftButton);
    QTest::mouseRelease(r.Pad("picAlphaPlus"), Qt::LeftButton);
    r.window->core().SystemTick();
    ASSERT_NE(r.Action("ViewNightLogMenuItem"), nullptr);
    std::ifstream in(log.CurrentFile());
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    EXPECT_NE(text.find("2026-12-06 22:15:30  Alpha + : départ\n2026-12-06 22:15:30  Centrage Alpha +\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("2026-12-06 22:15:30  Arret Centrage Alpha +\n"), std::string::npos);
    EXPECT_EQ(text.find("Lecture codeur"), std::string::npos);
    EXPECT_EQ(text.find("Relève des cartes"), std::string::npos);
}

// A settings file whose [Axo] section cannot be found is not written into behind the observer's
// back: the first save asks; Annuler leaves the file as it was, OK adds the section and keeps
// the rest.
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
