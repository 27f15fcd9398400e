#include <QTabWidget>

#include "platform/profile_file.h"
#include "ui/qt_interval_timer.h"
#include "ui/serial64xx_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::Lines;

constexpr const char* kBoxesIni =
    "[Axo]\ninterface_ra=3\ninterface_de=3\ninterface_dome=1\ninterface_coders=1\ninterface_focus=1\n"
    "interface_filter=1\ndisplay_welcome=0\n";

struct WindowRig {
    explicit WindowRig(const std::string& ini = kBoxesIni) : r(ini) {
        started = r.Start();
        r.Action("Config6420MenuItem")->trigger();
        w = r.window->serial64xxWindow();
    }
    QLineEdit* Text(const char* name) { return w->findChild<QLineEdit*>(name); }
    QCheckBox* Check(const char* name) { return w->findChild<QCheckBox*>(name); }
    QWidget* Widget(const char* name) { return w->findChild<QWidget*>(name); }
    void Ok() { QTest::mouseClick(w->findChild<QPushButton*>("cmdSerial64xxOk"), Qt::LeftButton); }
    Lines Boxes() { return r.Only({"box "}); }

    test::UiRig r;
    bool started = false;
    ui::Serial64xxWindow* w = nullptr;
};

std::string Refusal(const std::string& title, const std::string& kind) {
    return "box Erreur | Le champ '" + title + "'\ndoit être de type " + kind;
}

TEST(Serial64xxWindow, OpensFromTheMenuAndTheToolbarFilledFromTheSettings) {
    WindowRig t;
    ASSERT_TRUE(t.started);
    ASSERT_NE(t.w, nullptr);
    EXPECT_TRUE(t.w->isVisible());
    EXPECT_EQ(t.w->windowTitle(), "Interface série 6420/6410");
    EXPECT_TRUE(t.Boxes().empty());  // no "not available" box any more
    auto* tabs = t.w->findChild<QTabWidget*>("SSTab64xx");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i) {
        titles << tabs->tabText(i);
    }
    EXPECT_EQ(titles, QStringList({"Axe Alpha", "Axe Delta", "Divers"}));
    EXPECT_EQ(t.Text("txt64xxArTrk")->text(), "1541");
    EXPECT_EQ(t.Text("txt64xxAStepTrk")->text(), "\\8");
    EXPECT_EQ(t.Text("txt64xxDfMove")->text(), "M 60 40");
    EXPECT_EQ(t.Text("txt64xxDeltaBrake")->text(), "2");
    EXPECT_EQ(t.Text("txt64xxAlphaTrackPeriod")->text(), "0,01");
    EXPECT_EQ(t.w->findChild<QComboBox*>("cmbPortDelta")->currentText(), "COM2:");
    EXPECT_EQ(t.w->findChild<QComboBox*>("cmb64xxRS485Port")->currentText(), "COM4:");
    EXPECT_TRUE(t.Check("chk64xxDeltaFastOnSlave")->isChecked());
    EXPECT_EQ(t.Text("txt64xxRS485Delta")->text(), "b");
    QTest::mouseClick(t.w->findChild<QPushButton*>("cmdSerial64xxCancel"), Qt::LeftButton);
    EXPECT_FALSE(t.w->isVisible());
    // The toolbar button opens the same window.
    t.r.Action("Serial64xx")->trigger();
    EXPECT_TRUE(t.w->isVisible());
}

TEST(Serial64xxWindow, TheRs485BoxSwitchesBetweenTheLineControls) {
    WindowRig t;
    // The serial port of each axis, or the bus's port and addresses.
    auto expectBus = [&t](bool bus) {
        for (const char* name : {"cmbPortAlpha", "cmbPortDelta"}) {
            EXPECT_EQ(t.Widget(name)->isEnabled(), !bus) << name;
        }
        for (const char* name : {"cmb64xxRS485Port", "txt64xxRS485Alpha", "txt64xxRS485Delta"}) {
            EXPECT_EQ(t.Widget(name)->isEnabled(), bus) << name;
        }
    };
    EXPECT_TRUE(t.Widget("fra64xxRS485")->isEnabled());
    expectBus(false);
    t.w->findChild<QTabWidget*>("SSTab64xx")->setCurrentIndex(2);
    t.Check("chk64xxRS485")->click();
    expectBus(true);
    t.Check("chk64xxRS485")->click();
    expectBus(false);

    // An axis off the boxes: the bus frame is off, and stays off for the run.
    WindowRig u("[Axo]\ninterface_ra=1\ninterface_de=3\ndisplay_welcome=0\n");
    EXPECT_FALSE(u.Widget("fra64xxRS485")->isEnabled());
    u.w->CancelAction();
    u.r.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
    u.r.window->ShowSerial64xx();
    EXPECT_FALSE(u.Widget("fra64xxRS485")->isEnabled());
}

TEST(Serial64xxWindow, RefusedFieldsKeepTheirSettingsAndTheRestIsStored) {
    WindowRig t;
    t.r.window->core().events().SetEvent(EVT_TRACKING, 1);
    t.r.log.Clear();
    test::Type(t.w, {{"txt64xxArTrk", "vite"}, {"txt64xxArCenter", "300,5"}, {"txt64xxArPoint", ""}, {"txt64xxDrMove", "12a"},
                     {"txt64xxDeltaBrake", ""}, {"txt64xxAlphaTrackPeriod", "deux"}, {"txt64xxAfMove", "M 70 50"}});
    t.Ok();
    EXPECT_FALSE(t.w->isVisible());
    EXPECT_EQ(t.Boxes(), (Lines{Refusal("Axe Alpha / Vitesse de rotation / Suivi", "double"),
                                Refusal("Axe Alpha / Vitesse de rotation / Centrage", "entier"),
                                Refusal("Axe Delta / Vitesse de rotation / Déplacement", "entier"),
                                Refusal("Retard de serrage frein Delta", "entier"),
                                Refusal("Période de temps", "double")}));
    const Settings& s = t.r.settings;
    EXPECT_EQ(s.Str(StringKey::S64xx_alpha_r_trk), "1541");
    EXPECT_EQ(s.Str(StringKey::S64xx_alpha_r_center), "300");
    EXPECT_EQ(s.Str(StringKey::S64xx_alpha_r_point), "");  // the empty text passes the digit check
    EXPECT_EQ(s.Str(StringKey::S64xx_delta_r_move), "150");
    EXPECT_EQ(s.Int(IntKey::S64xx_delta_brake_timer), 2);
    EXPECT_EQ(s.Lng(LongKey::alpha_track_period), 10);
    EXPECT_EQ(s.Str(StringKey::S64xx_alpha_f_move), "M 70 50");
    // The tracking text changed (even refused) while tracking: re-issued, nothing restarted.
    EXPECT_EQ(t.r.Only({"cmd ", "S "}), (Lines{"cmd 1 1", "S 1 (1,0)"}));

    // Too long a brake delay for its 16 bits is refused too.
    t.r.window->ShowSerial64xx();
    t.r.log.Clear();
    t.Text("txt64xxDeltaBrake")->setText("40000");
    t.Ok();
    EXPECT_EQ(t.Boxes(), (Lines{Refusal("Retard de serrage frein Delta", "entier")}));
}

TEST(Serial64xxWindow, OnePortForBothAxesIsRefusedUnlessOnTheRs485Line) {
    for (const bool rs485 : {false, true}) {
        WindowRig t;
        t.r.log.Clear();
        t.Check("chk64xxRS485")->setChecked(rs485);
        t.w->findChild<QComboBox*>("cmbPortAlpha")->setCurrentIndex(2);
        t.w->findChild<QComboBox*>("cmbPortDelta")->setCurrentIndex(2);
        t.Ok();
        const Lines refused = {"box Erreur | Les axes Alpha et Delta ne peuvent pas partager le port COM3:\n"
                               "(deux boîtiers sur un port : seulement par la ligne RS 485)"};
        EXPECT_EQ(t.Boxes(), rs485 ? Lines{} : refused);
        EXPECT_EQ(t.r.settings.Int(IntKey::S64xx_com_port_alpha), rs485 ? 2 : 0);
        EXPECT_EQ(t.r.settings.Int(IntKey::S64xx_com_port_delta), rs485 ? 2 : 1);
    }
}

TEST(Serial64xxWindow, APeriodInSecondsIsStoredInMillisecondsAndShownBack) {
    WindowRig t;
    for (const auto& [typed, ms, shown] : {std::tuple{"2,5", 2500, "2,5"}, std::tuple{"2.5", 2500, "2,5"},
                                           std::tuple{"0,0004", 0, "0"}, std::tuple{"10", 10000, "10"}}) {
        t.r.window->ShowSerial64xx();
        t.Text("txt64xxAlphaTrackPeriod")->setText(typed);
        t.Ok();
        EXPECT_EQ(t.r.settings.Lng(LongKey::alpha_track_period), ms) << typed;
        t.r.window->ShowSerial64xx();
        EXPECT_EQ(t.Text("txt64xxAlphaTrackPeriod")->text().toStdString(), shown) << typed;
        t.w->CancelAction();
    }
}

TEST(Serial64xxWindow, AFlagChangeStopsTheTelescopeAndRestartsTheInterface) {
    WindowRig t;
    auto& events = t.r.window->core().events();
    events.SetEvent(EVT_TRACKING, 1);
    events.SetEvent(EVT_DELTA_PLUS_LOCK, 1);
    t.r.log.Clear();
    t.Check("chk64xxDeltaFastOnSlave")->setChecked(false);
    t.Ok();
    EXPECT_EQ(t.r.Only({"S "}), (Lines{"S 1 (2,0)", "S 2 (2,3)", "S 1102 (0,0)", "S 1101 (0,0)"}));
    EXPECT_FALSE(events.IsEventSet(EVT_TRACKING));
    EXPECT_FALSE(events.IsEventSet(EVT_DELTA_PLUS_LOCK));
    EXPECT_EQ(t.r.settings.Int(IntKey::S64xx_delta_fast_on_slave), 0);

    // Rate texts alone re-issue what runs instead.
    t.r.window->ShowSerial64xx();
    events.SetEvent(EVT_ALPHA_PLUS_LOCK, 1);
    events.SetEvent(EVT_DELTA_MINUS_LOCK, 1);
    t.r.log.Clear();
    test::Type(t.w, {{"txt64xxAStepF", "\\2"}, {"txt64xxDStepS", "\\5"}});
    t.Ok();
    EXPECT_EQ(t.r.Only({"cmd ", "S 11"}), (Lines{"cmd 4 1", "cmd 3 1"}));
}

TEST(Serial64xxWindow, CancelAfterEditsChangesNothing) {
    WindowRig t;
    auto snapshot = [&t] {  // every setting, as the file would hold it
        ProfileDocument doc;
        t.r.settings.WriteTo(doc);
        return doc.Serialize();
    };
    const std::string before = snapshot();
    test::Type(t.w, {{"txt64xxArTrk", "1600"}, {"txt64xxAfTrk", "M 1 1"}});
    t.Check("chk64xxAlphaReverse")->setChecked(true);
    t.Check("chk64xxDebug")->setChecked(true);
    t.w->findChild<QComboBox*>("cmbPortAlpha")->setCurrentIndex(3);
    t.r.log.Clear();
    QTest::mouseClick(t.w->findChild<QPushButton*>("cmdSerial64xxCancel"), Qt::LeftButton);
    EXPECT_FALSE(t.w->isVisible());
    EXPECT_TRUE(t.r.log.lines.empty());
    EXPECT_EQ(snapshot(), before);
    t.r.window->ShowSerial64xx();
    EXPECT_EQ(t.Text("txt64xxArTrk")->text(), "1541");
    EXPECT_FALSE(t.Check("chk64xxAlphaReverse")->isChecked());
}

TEST(QtIntervalTimer, FiresAfterItsIntervalWhileEnabledAndAZeroIntervalAtOnce) {
    ui::QtIntervalTimer timer;
    int fired = 0;
    timer.SetHandler([&fired] { ++fired; });
    timer.SetInterval(30);
    EXPECT_FALSE(timer.Enabled());
    QTest::qWait(60);
    EXPECT_EQ(fired, 0);
    timer.SetEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&fired] { return fired > 0; }, 1000));
    // A handler that disables it makes one shot.
    timer.SetHandler([&timer, &fired] {
        timer.SetEnabled(false);
        ++fired;
    });
    fired = 0;
    timer.SetInterval(0);
    timer.SetEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&fired] { return fired > 0; }, 1000));
    QTest::qWait(30);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 0);
}

}  // namespace
}  // namespace axo
