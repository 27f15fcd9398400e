#include "ui/pelaro_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::Lines;

TEST(PelaroWindow, CountVariablesAreCheckedStoredAndSent) {
    test::UiRig r;
    ASSERT_TRUE(r.Start());
    ui::PelaroWindow w(r.window->core());
    w.show();
    auto* alpha = w.findChild<QLineEdit*>("txtCalibrCountAlpha");
    auto* delta = w.findChild<QLineEdit*>("txtCalibrCountDelta");
    EXPECT_EQ(alpha->text(), "0,995");
    EXPECT_EQ(delta->text(), "24");

    for (const auto& [field, text] : {std::pair{alpha, "255"}, {alpha, "255,5"}, {alpha, "abc"}, {delta, "32"}, {delta, "31"}}) {
        field->setText(text);
        field == alpha ? w.TransmitAlpha() : w.TransmitDelta();
    }
    EXPECT_EQ(r.settings.Dbl(DoubleKey::count_alpha), 255.0);  // the refusals stored nothing
    EXPECT_EQ(alpha->text(), "255");                            // back to the last accepted text
    EXPECT_EQ(r.settings.Dbl(DoubleKey::count_delta), 31.0);
    EXPECT_EQ(r.Only({"P 120", "box"}),
              (Lines{"P 1201 (0,0)",
                     "box Erreur | Valeur de la variable de comptage Alpha incorrecte.\nLa valeur doit être "
                     "strictement positive et inférieure à 256",
                     "box Erreur | Valeur de la variable de comptage Alpha incorrecte",
                     "box Erreur | Valeur de la variable de comptage Delta incorrecte.\nLa valeur doit être "
                     "strictement positive et inférieure à 32",
                     "P 1202 (0,0)"}));

    // Enter moves on without sending.
    r.log.Clear();
    w.activateWindow();
    alpha->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    ASSERT_TRUE(alpha->hasFocus());
    QTest::keyClick(alpha, Qt::Key_Return);
    EXPECT_FALSE(alpha->hasFocus());
    EXPECT_TRUE(r.Only({"P "}).empty());

    r.log.Clear();
    QTest::mouseClick(w.findChild<QPushButton*>("cmdCalibrResetDome"), Qt::LeftButton);
    EXPECT_EQ(r.Only({"P "}), (Lines{"P 1207 (0,0)"}));
}

TEST(PelaroWindow, CoderControlsNeedTheCodersOnTheBoards) {
    test::UiRig r("[Axo]\ninterface_ra=1\ninterface_de=3\ninterface_dome=5\ninterface_coders=2\ndisplay_welcome=0\n");
    ASSERT_TRUE(r.Start());
    ui::PelaroWindow w(r.window->core());
    w.show();
    for (const char* name : {"txtCalibrCountAlpha", "cmdCalibrZeroDelta", "cmdCalibrResetDelta", "cmdCalibrResetDome"}) {
        EXPECT_FALSE(w.findChild<QWidget*>(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(w.findChild<QWidget*>("cmdCalibrResetAlpha")->isEnabled());
}

}  // namespace
}  // namespace axo
