#include "interfaces/eik120/eik_driver.h"
#include "interfaces/eik_fake_card.h"
#include "ui/eik120_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::Lines;

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

// The numbers the window edits, in the order of kFields, and their defaults.
const char* const kFields[] = {"txtEik120BaseAddress", "txtEik120TimerValue",      "txtEik120TimeOutInit",
                               "txtEik120TimeOutRead", "txtEik120AlphaResolution", "txtEik120DeltaResolution"};
std::vector<double> Stored(const Settings& s) {
    return {double(s.Int(IntKey::Eik120_base_addr)),    double(s.Int(IntKey::Eik120_timer_irq)),
            double(s.Int(IntKey::Eik120_timeout_init)), double(s.Int(IntKey::Eik120_timeout_read)),
            s.Dbl(DoubleKey::Eik120_alpha_res),         s.Dbl(DoubleKey::Eik120_delta_res)};
}
const std::vector<double> kDefaults = {856, 50, 10, 1, 0.659179687, 9.887695313};

// Out of range (a base address: 1-3 upper-case hex digits ending in 0 or 8): refused before the stop, nothing stored.
TEST(Eik120Window, NumbersOutOfTheirRangeAreRefusedBeforeTheStopAndKeepTheirValue) {
    const std::string address = "Valeur de l'adresse de base incorrecte";
    const std::string timer = "Valeur de l'intervalle d'interrogation incorrecte";
    const std::string init = "Le time out sur initialisation doit être compris entre 1 et 60 s";
    const std::string read = "Le time out sur lecture doit être compris entre 1 et 60 s";
    const std::string alpha = "La résolution Alpha doit être de plus de 0 et d'au plus 86400 \"/pas";
    const std::string delta = "La résolution Delta doit être de plus de 0 et d'au plus 1296000 \"/pas";
    const struct {
        int field;  // in kFields
        const char* text;
        const std::string& box;  // empty: accepted
        double stored;           // accepted
        const char* shownAfter;  // refused; null: not looked at
    } cases[] = {
        {0, "2F8", {}, 760, nullptr},     {0, "8", {}, 8, nullptr},           {0, "FF8", {}, 4088, nullptr},
        {0, "35A", address, 0, nullptr},  {0, "2f8", address, 0, nullptr},    {0, "0358", address, 0, nullptr},
        {0, "", address, 0, nullptr},     {0, "G0", address, 0, nullptr},     {0, "-8", address, 0, nullptr},
        {1, "5", timer, 0, nullptr},      {1, "9", timer, 0, nullptr},        {1, "10", {}, 10, nullptr},
        {1, "255", {}, 255, nullptr},     {1, "256", timer, 0, nullptr},      {1, "abc", timer, 0, nullptr},
        {2, "-5", init, 0, "10"},         {2, "0", init, 0, "10"},            {2, "61", init, 0, "10"},
        {2, "60", {}, 60, nullptr},       {2, "1", {}, 1, nullptr},           {3, "-1", read, 0, "1"},
        {4, "0", alpha, 0, "0,659179687"}, {4, "-0,5", alpha, 0, "0,659179687"},
        {5, "2000000", delta, 0, "9,887695313"}, {5, "1296000", {}, 1296000, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(kFields[c.field]) + " " + c.text);
        EikWindowRig e;
        ASSERT_TRUE(e.started);
        // A valid change typed beside it, stored only with it.
        const int other = c.field == 2 ? 4 : 2;
        e.Field(kFields[other])->setText(other == 2 ? "7" : "1,5");
        e.Field(kFields[c.field])->setText(c.text);
        const bool closed = e.w.OkClicked();
        EXPECT_EQ(closed, c.box.empty());
        EXPECT_EQ(e.w.isVisible(), !c.box.empty());
        std::vector<double> expected = kDefaults;
        if (c.box.empty()) {
            expected[other] = other == 2 ? 7 : 1.5;
            expected[c.field] = c.stored;
            EXPECT_EQ(e.r.Only({"box", "E "}), (Lines{"E 1102 (0,0)", "E 1101 (0,0)"}));
        } else {
            EXPECT_EQ(e.r.Only({"box", "E "}), (Lines{"box Erreur | " + c.box}));
            if (c.shownAfter != nullptr) {
                EXPECT_EQ(e.Field(kFields[c.field])->text(), c.shownAfter);
            }
        }
        EXPECT_EQ(Stored(e.r.settings), expected);
    }
}

TEST(Eik120Window, ABadFieldIsRefusedAfterTheStopAndTheOthersAreStoredAndStarted) {
    EikWindowRig e;
    e.w.findChild<QCheckBox*>("chkEik120UseIrq")->setChecked(true);
    e.w.findChild<QComboBox*>("cmbEik120Irq")->setCurrentText("12");
    e.w.findChild<QRadioButton*>("optEik120Axis1")->setChecked(true);
    e.w.findChild<QCheckBox*>("chkEik120Debug")->setChecked(true);
    test::Type(&e.w, {{"txtEik120TimerValue", "20"}, {"txtEik120BaseAddress", "2F8"}, {"txtEik120AlphaResolution", "0.5"},
                      {"txtEik120DeltaResolution", "vingt"}, {"txtEik120TimeOutInit", "3"}, {"txtEik120TimeOutRead", "x"}});
    EXPECT_TRUE(e.w.OkClicked());
    EXPECT_EQ(e.r.Only({"box", "E "}), (Lines{"E 1102 (0,0)", "box Erreur | Valeur de la résolution Delta incorrecte",
                                              "box Erreur | Valeur du time out sur lecture incorrect", "E 1101 (0,0)"}));
    const Settings& s = e.r.settings;
    EXPECT_EQ(Stored(s), (std::vector<double>{760, 20, 3, 1, 0.5, kDefaults[5]}));
    EXPECT_EQ(s.Int(IntKey::Eik120_use_irq), 1);
    EXPECT_EQ(s.Int(IntKey::Eik120_irq), 12);
    EXPECT_EQ(s.Int(IntKey::Eik120_alpha_axis1), 0);
    EXPECT_EQ(s.Int(IntKey::Eik120_debug), 1);
    // The settings were applied to the main window before the card started again.
    EXPECT_TRUE(e.r.W("txtEik120AlphaDebug")->isVisibleTo(e.r.window.get()));
    // Opened again, the window shows what was stored.
    e.w.show();
    EXPECT_TRUE(e.w.findChild<QCheckBox*>("chkEik120UseIrq")->isChecked());
    EXPECT_EQ(e.w.findChild<QComboBox*>("cmbEik120Irq")->currentText(), "12");
}

TEST(Eik120Window, InterruptControlsFollowTheCheckBoxAtEveryActivationAndCancelStoresNothing) {
    EikWindowRig e;
    auto expectControls = [&e](bool enabled) {
        for (const char* c : {"cmbEik120Irq", "txtEik120TimerValue", "lblEik120Irq", "lblEik120TimerValue"}) {
            EXPECT_EQ(e.w.findChild<QWidget*>(c)->isEnabled(), enabled) << c;
        }
    };
    expectControls(false);
    QTest::mouseClick(e.w.findChild<QCheckBox*>("chkEik120UseIrq"), Qt::LeftButton);
    expectControls(true);
    e.Field("txtEik120BaseAddress")->setText("2F8");
    QTest::mouseClick(e.w.findChild<QPushButton*>("cmdEik120Cancel"), Qt::LeftButton);
    EXPECT_FALSE(e.w.isVisible());
    EXPECT_EQ(e.r.settings.Int(IntKey::Eik120_use_irq), 0);
    EXPECT_EQ(e.r.settings.Int(IntKey::Eik120_base_addr), 856);
    EXPECT_TRUE(e.r.Only({"box", "E "}).empty());
    e.w.show();
    expectControls(false);
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

}  // namespace
}  // namespace axo
