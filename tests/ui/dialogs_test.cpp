#include "ui/calibration_window.h"
#include "ui/options_dialog.h"
#include "ui/small_windows.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::Lines;
using test::Type;
using test::UiRig;

QString Text(QWidget* w, const char* field) { return w->findChild<QLineEdit*>(field)->text(); }
void Click(QWidget* w, const char* button) { QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton); }

TEST(CalibrationWindow, RefusalsRestoreTheFieldsAndMinusZeroIsKept) {
    UiRig r;
    ASSERT_TRUE(r.Start());
    r.settings.Int(IntKey::alpha_12) = 1;
    r.window->ShowCalibration();
    ui::CalibrationWindow* w = r.window->calibrationWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->findChild<QLineEdit*>("txtCalibrRAh")->maxLength(), 3);
    const QList<QLineEdit*> fields = w->findChildren<QLineEdit*>();
    for (QLineEdit* a : fields) {  // each field has a place of its own in the window
        for (QLineEdit* b : fields) {
            const QRect ra(a->mapTo(w, QPoint(0, 0)), a->size());
            EXPECT_TRUE(a == b || !ra.intersects(QRect(b->mapTo(w, QPoint(0, 0)), b->size())))
                << a->objectName().toStdString() << " " << b->objectName().toStdString();
        }
    }

    Type(w, {{"txtCalibrRAh", "-0"}, {"txtCalibrRAm", "30"}, {"txtCalibrRAs", "0"}});
    Click(w, "cmdCalibrAlpha");
    EXPECT_EQ(r.settings.Int(IntKey::calibr_alpha_h), 23);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_alpha_m), 30);
    EXPECT_EQ(r.Only({"P 1001"}), (Lines{"P 1001 (0,0)"}));

    Type(w, {{"txtCalibrRAh", "12"}, {"txtCalibrRAs", "1"}});
    Click(w, "cmdCalibrAlpha");
    EXPECT_EQ(r.Only({"box"}), (Lines{"box Erreur | Valeur des Heures Alpha incorrecte"}));
    EXPECT_EQ(Text(w, "txtCalibrRAh"), "-0");  // back to the last accepted texts
    EXPECT_EQ(Text(w, "txtCalibrRAs"), "0");

    Type(w, {{"txtCalibrDEd", "-0"}, {"txtCalibrDEm", "30"}, {"txtCalibrDEs", ""}});
    Click(w, "cmdCalibrDelta");
    EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_neg_zero), 1);
    EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_d), 0);
    Type(w, {{"txtCalibrDEd", "90"}, {"txtCalibrDEs", "1"}});
    Click(w, "cmdCalibrDelta");
    EXPECT_EQ(r.Only({"box"}).back(), "box Erreur | Valeur delta incorrecte");
    EXPECT_EQ(Text(w, "txtCalibrDEd"), "-0");

    // Enter moves to the next field without typing anything.
    QLineEdit* minutes = w->findChild<QLineEdit*>("txtCalibrRAm");
    w->activateWindow();
    minutes->setFocus();
    QTest::keyClick(minutes, Qt::Key_Return);
    EXPECT_EQ(minutes->text(), "30");

    // Closing puts the remembered texts back and releases the toolbar button.
    Type(w, {{"txtCalibrRAm", "45"}});
    Click(w, "cmdCalibrClose");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(Text(w, "txtCalibrRAm"), "30");
    EXPECT_EQ(r.settings.Int(IntKey::calibr_display), 0);
    EXPECT_FALSE(r.Action("Calibrate")->isChecked());
}

TEST(CalibrationWindow, AFieldWithoutANumberIsRefusedInItsTurnWithItsRange) {
    const char* const names[] = {"txtCalibrRAh", "txtCalibrRAm", "txtCalibrRAs", "txtCalibrDEd", "txtCalibrDEm", "txtCalibrDEs"};
    const struct {
        bool twelve;
        const char* fields[6];  // in the order of `names`; null: left as it is
        const char* button;
        std::string box;  // empty: accepted
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
        SCOPED_TRACE(c.box);
        UiRig r;
        ASSERT_TRUE(r.Start());
        r.settings.Int(IntKey::alpha_12) = c.twelve ? 1 : 0;
        r.settings.Int(IntKey::calibr_alpha_h) = 7;
        r.settings.Int(IntKey::calibr_delta_d) = 7;
        r.window->ShowCalibration();
        ui::CalibrationWindow* w = r.window->calibrationWindow();
        for (std::size_t i = 0; i < 6; ++i) {
            if (c.fields[i] != nullptr) {
                Type(w, {{names[i], c.fields[i]}});
            }
        }
        Click(w, c.button);
        if (c.box.empty()) {
            EXPECT_TRUE(r.Only({"box"}).empty());
            EXPECT_EQ(r.settings.Int(IntKey::calibr_alpha_h), 12);
            EXPECT_EQ(r.Only({"P 100"}), (Lines{"P 1001 (0,0)"}));
            continue;
        }
        EXPECT_EQ(r.Only({"box", "P 100"}), (Lines{"box Erreur | " + c.box}));
        EXPECT_EQ(r.settings.Int(IntKey::calibr_alpha_h), 7);
        EXPECT_EQ(r.settings.Int(IntKey::calibr_delta_d), 7);
        for (const char* name : names) {
            EXPECT_EQ(Text(w, name), "0") << name;  // back to the last accepted texts
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

TEST(OptionsDialog, IntervalAndRestAzimuthAreBothCheckedOnOneOk) {
    OptionsRig r;
    Type(r.dialog.get(), {{"txtOptionsTimerValue", "10001"}, {"txtOptionsDomeRestPos", "12.5"}});
    r.dialog->Ok();
    EXPECT_EQ(r.Only({"box"}),
              (Lines{"box Erreur | La valeur de l'intervalle d'interrogation\ndoit être comprise entre 0 et 10000",
                     "box Erreur | La valeur de l'azimut de la position repos de la\ncoupole doit être un entier entre 0 et 360"}));
    EXPECT_EQ(r.settings.Int(IntKey::timer_value), 50);
    EXPECT_EQ(r.settings.Int(IntKey::dome_rest_pos), 15);
    EXPECT_EQ(r.C<QLineEdit>("txtOptionsTimerValue")->text(), "50");
}

TEST(OptionsDialog, ImpossibleValuesAreRefusedAndTheDialogStaysOpenWithTheOldValue) {
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
        {"txtLatD", "90", IntKey::latitude_d, latitude, 42},  // 90° 56' 13"
        {"txtLonD", "181", IntKey::longitude_d, longitude, 0},
        {"txtLonS", "", IntKey::longitude_s, longitude, 42},
        {"txtAltitude", "20000", IntKey::altitude, altitude, 2877},
        {"txtAltitude", "-501", IntKey::altitude, altitude, 2877},
        {"txtLatD", "89", IntKey::latitude_d, {}, 89},
        {"txtLatM", "75", IntKey::latitude_m, {}, 75},  // 43° 15': a latitude all the same
        {"txtLonD", "180 ", IntKey::longitude_d, longitude, 0},  // 180° 8' 42"
        {"txtAltitude", "-430", IntKey::altitude, {}, -430},
        {"txtOptionsTimerValue", "0", IntKey::timer_value, {}, 0},
        {"txtOptionsTimerValue", "10000", IntKey::timer_value, {}, 10000},
        {"txtOptionsDomeRestPos", "360", IntKey::dome_rest_pos, {}, 360},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.text);
        OptionsRig r;
        r.dialog->show();
        QLineEdit* field = r.C<QLineEdit>(c.field);
        const QString before = field->text();
        field->setText(c.text);
        r.C<QLineEdit>("txtOptionsAlphaP")->setText("Nord");
        r.dialog->Ok();
        EXPECT_EQ(r.settings.Int(c.key), c.stored);
        EXPECT_EQ(r.Only({"box"}), c.error.empty() ? Lines{} : Lines{"box Erreur | " + c.error});
        EXPECT_EQ(r.dialog->isVisible(), !c.error.empty());
        // A refusal applies nothing, and puts the old text back.
        EXPECT_EQ(r.settings.Str(StringKey::label_alpha_plus), c.error.empty() ? "Nord" : "Alpha +");
        EXPECT_EQ(r.W<QLabel>("lblControlAlphaP")->text(), c.error.empty() ? "Nord" : "Alpha +");
        if (!c.error.empty()) {
            EXPECT_EQ(field->text(), before);
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
    EXPECT_EQ(Text(w, "txtCalibrRAh"), "-3");
    EXPECT_EQ(w->findChild<QLineEdit*>("txtCalibrRAh")->maxLength(), 3);
    EXPECT_EQ(Text(w, "txtCalibrDEd"), "45");
    // Escape in the dialog is "Annuler": the display boxes go back.
    QTest::keyClick(r.dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(r.settings.Int(IntKey::alpha_12), 0);
    EXPECT_EQ(Text(w, "txtCalibrRAh"), "20");
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
    Type(r.dialog.get(), {{"txtLonM", "9"}});
    EXPECT_EQ(list->currentIndex(), 0);
    QTest::mouseClick(r.C<QRadioButton>("OptLatSouthNorth0"), Qt::LeftButton);
    Type(r.dialog.get(), {{"txtAltitude", "100"}});
    list->setCurrentIndex(1);
    emit list->activated(1);
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(Text(r.dialog.get(), "txtLonM"), "8");
    EXPECT_EQ(Text(r.dialog.get(), "txtAltitude"), "2877");
    EXPECT_TRUE(r.C<QRadioButton>("OptLatSouthNorth1")->isChecked());
    EXPECT_TRUE(r.C<QRadioButton>("OptLonEastWest0")->isChecked());
}

TEST(PasswordWindow, EnterValidatesAndAWrongOrEmptyPasswordIsRefused) {
    UiRig r;
    ASSERT_TRUE(r.Start());
    ui::PasswordWindow w(r.window->core().state(), r.op);
    auto* text = w.findChild<QLineEdit*>("txtPassword");
    // The case counts, and an empty password with OK is a wrong one too.
    for (const bool byEnter : {true, false}) {
        w.show();
        text->clear();
        r.log.Clear();
        if (byEnter) {
            QTest::keyClicks(text, "AXO");
            QTest::keyClick(text, Qt::Key_Return);
        } else {
            Click(&w, "cmdPasswordOk");
        }
        EXPECT_EQ(r.Only({"box"}), (Lines{"box Erreur | Mot de passe incorrect"}));
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(r.window->core().state().PasswordGranted);
    }
    text->clear();
    QTest::keyClicks(text, "axo");
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_TRUE(r.window->core().state().PasswordGranted);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(text->text(), "axo");  // no line break reached the box
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
    Click(&cancel, "cmdCancel");
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
