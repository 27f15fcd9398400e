#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "ui/calibration_window.h"
#include "ui/options_dialog.h"
#include "ui/small_windows.h"
#include "ui_rig.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;
using test::UiRig;

struct CalibrationFields {
    explicit CalibrationFields(ui::CalibrationWindow* w) : window(w) {}
    void Set(const char* name, const QString& text) { window->findChild<QLineEdit*>(name)->setText(text); }
    QString Get(const char* name) { return window->findChild<QLineEdit*>(name)->text(); }
    ui::CalibrationWindow* window;
};

TEST(CalibrationWindow, RefusalsRestoreTheFieldsAndMinusZeroIsKept) {
    UiRig r;
    ASSERT_TRUE(r.Start());
    r.settings.Int(IntKey::alpha_12) = 1;
    r.window->ShowCalibration();
    ui::CalibrationWindow* w = r.window->calibrationWindow();
    ASSERT_NE(w, nullptr);
    CalibrationFields f(w);
    EXPECT_EQ(w->findChild<QLineEdit*>("txtCalibrRAh")->maxLength(), 3);

    f.Set("txtCalibrRAh", "-0");
    f.Set("txtCalibrRAm", "30");
    f.Set("txtCalibrRAs", "0");
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCalibrAlpha"), Qt::LeftButton);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_alpha_h), 23);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_alpha_m), 30);
    EXPECT_EQ(r.Only({"P 1001"}), (Lines{"P 1001 (0,0)"}));

    f.Set("txtCalibrRAh", "12");
    f.Set("txtCalibrRAs", "1");
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCalibrAlpha"), Qt::LeftButton);
    EXPECT_EQ(r.Only({"box"}), (Lines{"box Erreur | Valeur des Heures Alpha incorrecte"}));
    EXPECT_EQ(f.Get("txtCalibrRAh"), "-0");  // back to the last accepted texts
    EXPECT_EQ(f.Get("txtCalibrRAs"), "0");

    f.Set("txtCalibrDEd", "-0");
    f.Set("txtCalibrDEm", "30");
    f.Set("txtCalibrDEs", "");
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCalibrDelta"), Qt::LeftButton);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_neg_zero), 1);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_d), 0);
    f.Set("txtCalibrDEd", "90");
    f.Set("txtCalibrDEs", "1");
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCalibrDelta"), Qt::LeftButton);
    EXPECT_EQ(r.Only({"box"}).back(), "box Erreur | Valeur delta incorrecte");
    EXPECT_EQ(f.Get("txtCalibrDEd"), "-0");

    // Enter moves to the next field without typing anything.
    QLineEdit* minutes = w->findChild<QLineEdit*>("txtCalibrRAm");
    w->activateWindow();
    minutes->setFocus();
    QTest::keyClick(minutes, Qt::Key_Return);
    EXPECT_EQ(minutes->text(), "30");

    // Closing puts the remembered texts back and releases the toolbar button.
    f.Set("txtCalibrRAm", "45");
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCalibrClose"), Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(f.Get("txtCalibrRAm"), "30");
    EXPECT_EQ(r.settings.Int(IntKey::calibr_display), 0);
    EXPECT_FALSE(r.Action("Calibrate")->isChecked());
}

TEST(CalibrationWindow, AFieldWithoutANumberIsRefusedInItsTurnWithItsRange) {
    const struct {
        bool twelve;
        const char* fields[6];  // RAh RAm RAs DEd DEm DEs; null: left as it is
        const char* button;
        std::string box;        // empty: accepted
    } cases[] = {
        {false, {"abc", "30", "0"}, "cmdCalibrAlpha", "Valeur des Heures Alpha incorrecte\nentrez un nombre de 0 à 23"},
        {true, {"-", "30", "0"}, "cmdCalibrAlpha", "Valeur des Heures Alpha incorrecte\nentrez un nombre de -12 à 12"},
        {false, {"5", "x", "0"}, "cmdCalibrAlpha", "Valeur des Minutes Alpha incorrecte\nentrez un nombre de 0 à 59"},
        // The fields are checked in turn: hours out of range before the minutes' letters.
        {false, {"30", "x", "0"}, "cmdCalibrAlpha", "Valeur des Heures Alpha incorrecte"},
        {false, {nullptr, nullptr, nullptr, "N", "0", "0"}, "cmdCalibrDelta",
         "Valeur des degrés Delta incorrecte\nentrez un nombre de -90 à 90"},
        {false, {nullptr, nullptr, nullptr, "10", "0", "s"}, "cmdCalibrDelta",
         "Valeur des secondes Delta incorrecte\nentrez un nombre de 0 à 59"},
        {false, {"12h", "", " "}, "cmdCalibrAlpha", ""},  // a leading number, or nothing at all
    };
    for (const auto& c : cases) {
        UiRig r;
        ASSERT_TRUE(r.Start());
        r.settings.Int(IntKey::alpha_12) = c.twelve ? 1 : 0;
        r.settings.Int(IntKey::calibr_alpha_h) = 7;
        r.settings.Int(IntKey::calibr_delta_d) = 7;
        r.window->ShowCalibration();
        ui::CalibrationWindow* w = r.window->calibrationWindow();
        CalibrationFields f(w);
        const char* names[] = {"txtCalibrRAh", "txtCalibrRAm", "txtCalibrRAs", "txtCalibrDEd", "txtCalibrDEm", "txtCalibrDEs"};
        for (std::size_t i = 0; i < 6; ++i) {
            if (c.fields[i] != nullptr) {
                f.Set(names[i], c.fields[i]);
            }
        }
        QTest::mouseClick(w->findChild<QPushButton*>(c.button), Qt::LeftButton);
        if (c.box.empty()) {
            EXPECT_TRUE(r.Only({"box"}).empty());
            EXPECT_EQ(r.settings.Int(IntKey::calibr_alpha_h), 12);
            EXPECT_EQ(r.Only({"P 100"}), (Lines{"P 1001 (0,0)"}));
            continue;
        }
        EXPECT_EQ(r.Only({"box", "P 100"}), (Lines{"box Erreur | " + c.box})) << c.box;
        EXPECT_EQ(r.settings.Int(IntKey::calibr_alpha_h), 7) << c.box;
        EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_d), 7) << c.box;
        for (std::size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(f.Get(names[i]), "0") << c.box << " " << names[i];  // back to the last accepted texts
        }
    }
}

struct OptionsRig : UiRig {
    OptionsRig() {
        Start();
        dialog = window->MakeOptionsDialog();
    }
    template <typename T>
    T* C(const char* name) {
        return dialog->findChild<T*>(name);
    }
    std::unique_ptr<ui::OptionsDialog> dialog;
};

TEST(OptionsDialog, IntervalAndRestAzimuthAreCheckedOnOk) {
    OptionsRig r;
    r.C<QLineEdit>("txtOptionsTimerValue")->setText("10001");
    r.C<QLineEdit>("txtOptionsDomeRestPos")->setText("12.5");
    r.dialog->Ok();
    EXPECT_EQ(r.Only({"box"}),
              (Lines{"box Erreur | La valeur de l'intervalle d'interrogation\ndoit être comprise entre 0 et 10000",
                     "box Erreur | La valeur de l'azimut de la position repos de la\ncoupole doit être un entier entre 0 et 360"}));
    EXPECT_EQ(r.settings.Int(IntKey::timer_value), 50);
    EXPECT_EQ(r.settings.Int(IntKey::dome_rest_pos), 15);
    EXPECT_EQ(r.C<QLineEdit>("txtOptionsTimerValue")->text(), "50");

    OptionsRig ok;
    ok.C<QLineEdit>("txtOptionsTimerValue")->setText("10000");
    ok.C<QLineEdit>("txtOptionsDomeRestPos")->setText("360");
    ok.C<QLineEdit>("txtOptionsAlphaP")->setText("Ouest");
    ok.C<QLineEdit>("txtLatM")->setText("75");
    ok.dialog->Ok();
    EXPECT_TRUE(ok.Only({"box"}).empty());
    EXPECT_EQ(ok.settings.Int(IntKey::timer_value), 10000);
    EXPECT_EQ(ok.settings.Int(IntKey::dome_rest_pos), 360);
    EXPECT_EQ(ok.settings.Int(IntKey::latitude_m), 75);  // no range check on the site
    EXPECT_EQ(ok.settings.Str(StringKey::label_alpha_plus), "Ouest");
    EXPECT_EQ(ok.W<QLabel>("lblControlAlphaP")->text(), "Ouest");
}

TEST(OptionsDialog, ImpossibleValuesAreRefusedAndTheDialogStaysOpenWithTheOldValue) {
    const std::string interval = "La valeur de l'intervalle d'interrogation\ndoit être comprise entre 0 et 10000";
    const std::string latitude = "La valeur de la latitude\ndoit être comprise entre 0° et 90°";
    const std::string longitude = "La valeur de la longitude\ndoit être comprise entre 0° et 180°";
    const std::string altitude = "La valeur de l'altitude\ndoit être comprise entre -500 et 9000 mètres";
    const struct {
        const char* field;
        const char* text;
        IntKey key;
        const std::string& error;  // empty: accepted
        int16_t stored;
    } cases[] = {
        {"txtLatD", "200", IntKey::latitude_d, latitude, 42},
        {"txtLatD", "abc", IntKey::latitude_d, latitude, 42},
        {"txtLatM", "-5", IntKey::latitude_m, latitude, 56},
        {"txtLatD", "90", IntKey::latitude_d, latitude, 42},  // 90° 56' 13"
        {"txtLonD", "181", IntKey::longitude_d, longitude, 0},
        {"txtLonS", "", IntKey::longitude_s, longitude, 42},
        {"txtAltitude", "20000", IntKey::altitude, altitude, 2877},
        {"txtAltitude", "-501", IntKey::altitude, altitude, 2877},
        {"txtOptionsTimerValue", "abc0", IntKey::timer_value, interval, 50},
        {"txtOptionsTimerValue", "", IntKey::timer_value, interval, 50},
        {"txtLatD", "89", IntKey::latitude_d, {}, 89},
        {"txtLatM", "75", IntKey::latitude_m, {}, 75},  // 43° 15': a latitude all the same
        {"txtLonD", "180 ", IntKey::longitude_d, longitude, 0},  // 180° 8' 42"
        {"txtAltitude", "-430", IntKey::altitude, {}, -430},
        {"txtOptionsTimerValue", "0", IntKey::timer_value, {}, 0},
        {"txtOptionsTimerValue", "75ms", IntKey::timer_value, {}, 75},
    };
    for (const auto& c : cases) {
        OptionsRig r;
        r.dialog->show();
        QLineEdit* field = r.C<QLineEdit>(c.field);
        const QString before = field->text();
        field->setText(c.text);
        r.C<QLineEdit>("txtOptionsAlphaP")->setText("Nord");
        r.dialog->Ok();
        EXPECT_EQ(r.settings.Int(c.key), c.stored) << c.field << " " << c.text;
        if (c.error.empty()) {
            EXPECT_TRUE(r.Only({"box"}).empty()) << c.field << " " << c.text;
            EXPECT_FALSE(r.dialog->isVisible()) << c.field << " " << c.text;
            EXPECT_EQ(r.settings.Str(StringKey::label_alpha_plus), "Nord");
        } else {
            EXPECT_EQ(r.Only({"box"}), (Lines{"box Erreur | " + c.error})) << c.field << " " << c.text;
            EXPECT_TRUE(r.dialog->isVisible()) << c.field << " " << c.text;
            EXPECT_EQ(field->text(), before) << c.field << " " << c.text;
            EXPECT_EQ(r.settings.Str(StringKey::label_alpha_plus), "Alpha +");  // nothing applied
            EXPECT_EQ(r.settings.Int(IntKey::timer_value), 50);
        }
    }
}

TEST(OptionsDialog, CouplingRuleAndCancelThatKeepsTheBehaviourBoxesButNotTheDisplayOnes) {
    OptionsRig r;
    // The coupled box follows while the rule holds, and gets the operator's own choice back.
    r.settings.Int(IntKey::ctrl_stop_move_when_tracking_user) = 0;
    QTest::mouseClick(r.C<QCheckBox>("chkOptionsBehaviorCtrl"), Qt::LeftButton);
    EXPECT_EQ(r.settings.Int(IntKey::ctrl_stop_move_when_tracking), 1);
    EXPECT_FALSE(r.C<QCheckBox>("chkOptionsBehaviorCtrlTrkStop")->isEnabled());
    QTest::mouseClick(r.C<QCheckBox>("chkOptionsBehaviorCtrl"), Qt::LeftButton);
    EXPECT_EQ(r.settings.Int(IntKey::ctrl_stop_move_when_tracking), 0);
    EXPECT_TRUE(r.C<QCheckBox>("chkOptionsBehaviorCtrlTrkStop")->isEnabled());
    EXPECT_FALSE(r.C<QCheckBox>("chkOptionsBehaviorCtrlTrkStop")->isChecked());
    QTest::mouseClick(r.C<QCheckBox>("chkOptionsBehaviorCtrl"), Qt::LeftButton);
    QTest::mouseClick(r.C<QCheckBox>("chkOptionsDisplayTU"), Qt::LeftButton);
    EXPECT_EQ(r.settings.Int(IntKey::display_tu), 0);
    EXPECT_EQ(r.W<QGroupBox>("fraDisplayTime")->title(), "TS");
    QTest::mouseClick(r.C<QCheckBox>("chkOptionsInvAlpha"), Qt::LeftButton);
    r.C<QLineEdit>("txtOptionsTimerValue")->setText("900");
    r.dialog->CancelAction();
    EXPECT_EQ(r.settings.Int(IntKey::disable_move_when_tracking), 1);
    EXPECT_EQ(r.settings.Int(IntKey::ctrl_stop_move_when_tracking), 1);
    EXPECT_EQ(r.settings.Int(IntKey::reverse_alpha), 1);
    EXPECT_EQ(r.settings.Int(IntKey::display_tu), 1);
    EXPECT_EQ(r.W<QGroupBox>("fraDisplayTime")->title(), "TU");
    EXPECT_EQ(r.settings.Int(IntKey::timer_value), 50);
}

TEST(OptionsDialog, TheTwelveHourRangeRewritesOnlyTheCalibrationAlphaFields) {
    OptionsRig r;
    r.settings.Int(IntKey::calibr_alpha_h) = 20;
    r.settings.Int(IntKey::calibr_alpha_m) = 30;
    r.window->ShowCalibration();
    ui::CalibrationWindow* w = r.window->calibrationWindow();
    w->findChild<QLineEdit*>("txtCalibrDEd")->setText("45");  // typed, not yet validated
    QTest::mouseClick(r.C<QCheckBox>("chkOptionsHAngle12"), Qt::LeftButton);
    EXPECT_EQ(w->findChild<QLineEdit*>("txtCalibrRAh")->text(), "-3");
    EXPECT_EQ(w->findChild<QLineEdit*>("txtCalibrRAh")->maxLength(), 3);
    EXPECT_EQ(w->findChild<QLineEdit*>("txtCalibrDEd")->text(), "45");
    // Escape in the dialog is "Annuler": the display boxes go back.
    QTest::keyClick(r.dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(r.settings.Int(IntKey::alpha_12), 0);
    EXPECT_EQ(w->findChild<QLineEdit*>("txtCalibrRAh")->text(), "20");
    // Escape in the calibration window is "Fermer".
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(r.Action("Calibrate")->isChecked());
    EXPECT_EQ(r.settings.Int(IntKey::calibr_display), 0);
}

TEST(OptionsDialog, PredefinedSiteFillsTheFieldsAndTypingLeavesIt) {
    OptionsRig r;
    auto* list = r.C<QComboBox>("cmbPredefLoc");
    EXPECT_EQ(list->currentIndex(), 1);
    r.C<QLineEdit>("txtLonM")->setText("9");
    EXPECT_EQ(list->currentIndex(), 0);
    QTest::mouseClick(r.C<QRadioButton>("OptLatSouthNorth0"), Qt::LeftButton);
    r.C<QLineEdit>("txtAltitude")->setText("100");
    list->setCurrentIndex(1);
    emit list->activated(1);
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(r.C<QLineEdit>("txtLonM")->text(), "8");
    EXPECT_EQ(r.C<QLineEdit>("txtAltitude")->text(), "2877");
    EXPECT_TRUE(r.C<QRadioButton>("OptLatSouthNorth1")->isChecked());
    EXPECT_TRUE(r.C<QRadioButton>("OptLonEastWest0")->isChecked());
}

TEST(PasswordWindow, EnterValidatesAndAWrongPasswordIsRefused) {
    UiRig r;
    ASSERT_TRUE(r.Start());
    ui::PasswordWindow w(r.window->core().state(), r.op);
    w.show();
    auto* text = w.findChild<QLineEdit*>("txtPassword");
    QTest::keyClicks(text, "AXO");
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(r.Only({"box"}), (Lines{"box Erreur | Mot de passe incorrect"}));
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(r.window->core().state().PasswordGranted);
    text->clear();
    QTest::keyClicks(text, "axo");
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_TRUE(r.window->core().state().PasswordGranted);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(text->text(), "axo");  // no line break reached the box

    // An empty password with OK is a wrong password, not a granted one.
    r.window->core().state().PasswordGranted = false;
    r.log.Clear();
    w.show();
    text->clear();
    QTest::mouseClick(w.findChild<QPushButton*>("cmdPasswordOk"), Qt::LeftButton);
    EXPECT_EQ(r.Only({"box"}), (Lines{"box Erreur | Mot de passe incorrect"}));
    EXPECT_FALSE(r.window->core().state().PasswordGranted);
    EXPECT_TRUE(w.isVisible());
}

TEST(SmallWindows, WelcomeCheckBoxTogglesTheSettingAndCancelResets) {
    Settings s;
    ui::WelcomeWindow welcome(s);
    auto* box = welcome.findChild<QCheckBox*>("chkWelcomeDisplay");
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(s.Int(IntKey::display_welcome), 0);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(s.Int(IntKey::display_welcome), 1);

    ui::CancelWindow cancel;
    cancel.Start("Recherche du zéro");
    QTest::mouseClick(cancel.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    EXPECT_TRUE(cancel.CancelRequested());
    EXPECT_FALSE(cancel.isVisible());
    cancel.Start("Recherche du zéro");
    EXPECT_FALSE(cancel.CancelRequested());
    // Escape is the Cancel button too: the search must never be left without a way to stop it.
    QTest::keyClick(&cancel, Qt::Key_Escape);
    EXPECT_TRUE(cancel.CancelRequested());
    EXPECT_FALSE(cancel.isVisible());

    ui::AboutWindow about;
    EXPECT_EQ(about.findChild<QLabel*>("lblAboutTitle")->text(), "Axo Version 0.65b");
    EXPECT_EQ(about.findChild<QLabel*>("llAboutDate")->text(), "22 avril 1998");
}

}  // namespace
}  // namespace axo
