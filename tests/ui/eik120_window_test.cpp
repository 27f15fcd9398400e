#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "interfaces/eik120/eik_driver.h"
#include "interfaces/eik_fake_card.h"
#include "ui/eik120_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;

struct EikWindowRig {
    EikWindowRig() : w(r.window->core(), nullptr, [this] { r.window->ApplyDebugLayout(); }, r.window.get()) {
        started = r.Start();
        w.show();
    }
    QLineEdit* Field(const char* name) { return w.findChild<QLineEdit*>(name); }
    test::UiRig r;
    ui::Eik120Window w;
    bool started = false;
};

TEST(Eik120Window, BaseAddressesAreUpperCaseHexOfOneToThreeDigitsEndingIn0Or8) {
    const struct {
        const char* text;
        int stored;  // -1: refused
    } cases[] = {{"358", 856}, {"2F8", 760}, {"8", 8}, {"FF8", 4088}, {"35A", -1},
                 {"2f8", -1},  {"0358", -1}, {"", -1},  {"G0", -1},     {"-8", -1}};
    for (const auto& c : cases) {
        EikWindowRig e;
        ASSERT_TRUE(e.started);
        e.r.settings.Int(IntKey::Eik120_base_addr) = 512;
        e.w.Activate();
        EXPECT_EQ(e.Field("txtEik120BaseAddress")->text(), "200");
        e.Field("txtEik120BaseAddress")->setText(c.text);
        e.Field("txtEik120TimeOutInit")->setText("7");
        const bool closed = e.w.OkClicked();
        if (c.stored < 0) {
            EXPECT_FALSE(closed) << c.text;
            EXPECT_TRUE(e.w.isVisible()) << c.text;
            EXPECT_EQ(e.r.Only({"box", "E "}), (Lines{"box Erreur | Valeur de l'adresse de base incorrecte"})) << c.text;
            EXPECT_EQ(e.r.settings.Int(IntKey::Eik120_base_addr), 512) << c.text;
            EXPECT_EQ(e.r.settings.Int(IntKey::Eik120_timeout_init), 10) << c.text;
        } else {
            EXPECT_TRUE(closed) << c.text;
            EXPECT_FALSE(e.w.isVisible()) << c.text;
            EXPECT_EQ(e.r.Only({"box", "E "}), (Lines{"E 1102 (0,0)", "E 1101 (0,0)"})) << c.text;
            EXPECT_EQ(e.r.settings.Int(IntKey::Eik120_base_addr), c.stored) << c.text;
            EXPECT_EQ(e.r.settings.Int(IntKey::Eik120_timeout_init), 7) << c.text;
        }
    }
}

TEST(Eik120Window, TheTimerIsRefusedBelowTenBeforeAnythingChanges) {
    const struct {
        const char* text;
        bool accepted;
    } cases[] = {{"5", false}, {"9", false}, {"10", true}, {"255", true}, {"256", false}, {"abc", false}};
    for (const auto& c : cases) {
        EikWindowRig e;
        e.Field("txtEik120TimerValue")->setText(c.text);
        e.Field("txtEik120AlphaResolution")->setText("1,5");
        EXPECT_EQ(e.w.OkClicked(), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(e.r.settings.Int(IntKey::Eik120_timer_irq), std::stoi(c.text));
            EXPECT_EQ(e.r.settings.Dbl(DoubleKey::Eik120_alpha_res), 1.5);
        } else {
            EXPECT_EQ(e.r.Only({"box", "E "}), (Lines{"box Erreur | Valeur de l'intervalle d'interrogation incorrecte"}))
                << c.text;
            EXPECT_EQ(e.r.settings.Int(IntKey::Eik120_timer_irq), 50);
            EXPECT_NE(e.r.settings.Dbl(DoubleKey::Eik120_alpha_res), 1.5);
        }
    }
}

TEST(Eik120Window, NumbersOutOfTheirRangeAreRefusedBeforeTheStopAndKeepTheirValue) {
    const std::string init = "Le time out sur initialisation doit être compris entre 1 et 60 s";
    const std::string read = "Le time out sur lecture doit être compris entre 1 et 60 s";
    const std::string alpha = "La résolution Alpha doit être de plus de 0 et d'au plus 86400 \"/pas";
    const std::string delta = "La résolution Delta doit être de plus de 0 et d'au plus 1296000 \"/pas";
    const struct {
        const char* field;
        const char* text;
        const std::string& box;  // empty: accepted
        const char* shownAfter;
    } cases[] = {
        {"txtEik120TimeOutInit", "-5", init, "10"},        {"txtEik120TimeOutInit", "0", init, "10"},
        {"txtEik120TimeOutInit", "61", init, "10"},        {"txtEik120TimeOutRead", "-1", read, "1"},
        {"txtEik120AlphaResolution", "0", alpha, "0,659179687"},
        {"txtEik120AlphaResolution", "-0,5", alpha, "0,659179687"},
        {"txtEik120DeltaResolution", "2000000", delta, "9,887695313"},
        {"txtEik120TimeOutInit", "60", {}, nullptr},       {"txtEik120TimeOutInit", "1", {}, nullptr},
        {"txtEik120DeltaResolution", "1296000", {}, nullptr},
    };
    for (const auto& c : cases) {
        EikWindowRig e;
        e.Field(c.field)->setText(c.text);
        const bool closed = e.w.OkClicked();
        if (c.box.empty()) {
            EXPECT_TRUE(closed) << c.field << " " << c.text;
            EXPECT_EQ(e.r.Only({"box", "E "}), (Lines{"E 1102 (0,0)", "E 1101 (0,0)"})) << c.text;
            continue;
        }
        EXPECT_FALSE(closed) << c.field << " " << c.text;
        EXPECT_TRUE(e.w.isVisible()) << c.field << " " << c.text;
        EXPECT_EQ(e.r.Only({"box", "E "}), (Lines{"box Erreur | " + c.box})) << c.field << " " << c.text;
        EXPECT_EQ(e.Field(c.field)->text(), c.shownAfter) << c.field << " " << c.text;
        const Settings& s = e.r.settings;
        EXPECT_EQ(s.Int(IntKey::Eik120_timeout_init), 10) << c.field << " " << c.text;
        EXPECT_EQ(s.Int(IntKey::Eik120_timeout_read), 1) << c.field << " " << c.text;
        EXPECT_EQ(s.Dbl(DoubleKey::Eik120_alpha_res), 0.659179687) << c.field << " " << c.text;
        EXPECT_EQ(s.Dbl(DoubleKey::Eik120_delta_res), 9.887695313) << c.field << " " << c.text;
    }
}

TEST(Eik120Window, ABadFieldIsRefusedAfterTheStopAndTheOthersAreStoredAndStarted) {
    EikWindowRig e;
    const double deltaRes = e.r.settings.Dbl(DoubleKey::Eik120_delta_res);
    e.w.findChild<QCheckBox*>("chkEik120UseIrq")->setChecked(true);
    e.w.findChild<QComboBox*>("cmbEik120Irq")->setCurrentText("12");
    e.Field("txtEik120TimerValue")->setText("20");
    e.Field("txtEik120BaseAddress")->setText("2F8");
    e.w.findChild<QRadioButton*>("optEik120Axis1")->setChecked(true);
    e.Field("txtEik120AlphaResolution")->setText("0.5");
    e.Field("txtEik120DeltaResolution")->setText("vingt");
    e.Field("txtEik120TimeOutInit")->setText("3");
    e.Field("txtEik120TimeOutRead")->setText("x");
    e.w.findChild<QCheckBox*>("chkEik120Debug")->setChecked(true);
    EXPECT_TRUE(e.w.OkClicked());
    EXPECT_EQ(e.r.Only({"box", "E "}), (Lines{"E 1102 (0,0)", "box Erreur | Valeur de la résolution Delta incorrecte",
                                              "box Erreur | Valeur du time out sur lecture incorrect", "E 1101 (0,0)"}));
    const Settings& s = e.r.settings;
    EXPECT_EQ(s.Int(IntKey::Eik120_use_irq), 1);
    EXPECT_EQ(s.Int(IntKey::Eik120_irq), 12);
    EXPECT_EQ(s.Int(IntKey::Eik120_timer_irq), 20);
    EXPECT_EQ(s.Int(IntKey::Eik120_base_addr), 760);
    EXPECT_EQ(s.Int(IntKey::Eik120_alpha_axis1), 0);
    EXPECT_EQ(s.Dbl(DoubleKey::Eik120_alpha_res), 0.5);
    EXPECT_EQ(s.Dbl(DoubleKey::Eik120_delta_res), deltaRes);
    EXPECT_EQ(s.Int(IntKey::Eik120_timeout_init), 3);
    EXPECT_EQ(s.Int(IntKey::Eik120_timeout_read), 1);
    EXPECT_EQ(s.Int(IntKey::Eik120_debug), 1);
    // The settings were applied to the main window before the card started again.
    EXPECT_TRUE(e.r.W("txtEik120AlphaDebug")->isVisibleTo(e.r.window.get()));
}

TEST(Eik120Window, InterruptControlsFollowTheCheckBoxAtEveryActivationAndCancelStoresNothing) {
    EikWindowRig e;
    const char* controls[] = {"cmbEik120Irq", "txtEik120TimerValue", "lblEik120Irq", "lblEik120TimerValue"};
    for (const char* c : controls) {
        EXPECT_FALSE(e.w.findChild<QWidget*>(c)->isEnabled()) << c;
    }
    QTest::mouseClick(e.w.findChild<QCheckBox*>("chkEik120UseIrq"), Qt::LeftButton);
    for (const char* c : controls) {
        EXPECT_TRUE(e.w.findChild<QWidget*>(c)->isEnabled()) << c;
    }
    e.Field("txtEik120BaseAddress")->setText("2F8");
    QTest::mouseClick(e.w.findChild<QPushButton*>("cmdEik120Cancel"), Qt::LeftButton);
    EXPECT_FALSE(e.w.isVisible());
    EXPECT_EQ(e.r.settings.Int(IntKey::Eik120_use_irq), 0);
    EXPECT_EQ(e.r.settings.Int(IntKey::Eik120_base_addr), 856);
    EXPECT_TRUE(e.r.Only({"box", "E "}).empty());
    e.w.show();
    for (const char* c : controls) {
        EXPECT_FALSE(e.w.findChild<QWidget*>(c)->isEnabled()) << c;
    }
    EXPECT_EQ(e.Field("txtEik120BaseAddress")->text(), "358");
    EXPECT_EQ(e.w.findChild<QComboBox*>("cmbEik120Irq")->currentText(), "9");
    EXPECT_TRUE(e.w.findChild<QRadioButton*>("optEik120Axis0")->isChecked());
}

TEST(Eik120Window, TheWorkingCopiesOfTheDriverAreEditedToo) {
    test::UiRig r;
    ASSERT_TRUE(r.Start());
    test::FakeEikCard card;
    EikDriver driver(r.window->core(), card);  // not registered: the recording driver stays
    driver.Copies().Irq = 7;                    // no item of the list: the choice stays as it was
    ui::Eik120Window w(r.window->core(), &driver, {});
    w.show();
    EXPECT_EQ(w.findChild<QComboBox*>("cmbEik120Irq")->currentIndex(), -1);
    w.findChild<QLineEdit*>("txtEik120BaseAddress")->setText("300");
    w.findChild<QRadioButton*>("optEik120Axis1")->setChecked(true);
    ASSERT_TRUE(w.OkClicked());
    EXPECT_EQ(driver.Copies().BaseAddress, 768);
    EXPECT_EQ(driver.Copies().AlphaOnChannel1, 0);
    EXPECT_EQ(driver.Copies().Irq, 7);
    EXPECT_EQ(r.settings.Int(IntKey::Eik120_irq), 9);
}

// Sees every window shown, and closes the card's window as soon as it is up.
class ShowWatcher final : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && o->objectName() == "Eik120") {
            auto* w = static_cast<QDialog*>(o);
            seen = w->windowTitle();
            QTimer::singleShot(0, w, [w] { w->reject(); });
        }
        return false;
    }
    QString seen;
};

TEST(Eik120Window, TheMenuItemAndTheToolbarButtonOpenIt) {
    test::UiRig r;
    ASSERT_TRUE(r.Start());
    for (const char* name : {"ConfigEIK120MenuItem", "Eik120"}) {
        ShowWatcher watcher;
        qApp->installEventFilter(&watcher);
        r.Action(name)->trigger();
        qApp->removeEventFilter(&watcher);
        EXPECT_EQ(watcher.seen, "Interface codeurs EIK120") << name;
    }
    EXPECT_TRUE(r.Only({"box"}).empty());
}

}  // namespace
}  // namespace axo
