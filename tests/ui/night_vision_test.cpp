#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QStatusBar>

#include "ui/calibration_window.h"
#include "ui/night_vision.h"
#include "ui/options_dialog.h"
#include "ui/tracking_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

bool RedOnBlack(const QPalette& p) {
    const QColor bg = p.color(QPalette::Window);
    const QColor fg = p.color(QPalette::WindowText);
    const QColor base = p.color(QPalette::Base);
    const QColor text = p.color(QPalette::Text);
    auto black = [](const QColor& c) { return c.red() < 40 && c.green() == 0 && c.blue() == 0; };
    auto red = [](const QColor& c) { return c.red() >= 100 && c.red() <= 200 && c.green() == 0 && c.blue() == 0; };
    return black(bg) && black(base) && red(fg) && red(text);
}

// Pixels of a grab: none may be grey, green or blue, and none brighter than a dim red.
void ExpectOnlyDimRed(QWidget* w, const char* what) {
    const QImage img = w->grab().toImage();
    int bad = 0;
    for (int y = 0; y < img.height(); y += 2) {
        for (int x = 0; x < img.width(); x += 2) {
            const QColor c = img.pixelColor(x, y);
            const bool wrong = c.green() > 12 || c.blue() > 12 || c.red() > 200 || 2 * c.green() > c.red() + 4;
            if (wrong && bad < 3) {
                ADD_FAILURE() << what << " at " << x << "," << y << ": " << c.name().toStdString();
            }
            bad += wrong ? 1 : 0;
        }
    }
    EXPECT_EQ(bad, 0) << what;
}

TEST(NightVision, EveryWindowTurnsRedOnBlackAndTheChoiceIsKept) {
    test::UiRig r;
    ASSERT_TRUE(r.Start());
    r.window->show();
    r.window->ShowTracking();
    r.window->ShowCalibration();
    auto options = r.window->MakeOptionsDialog();
    options->show();
    QTest::mouseClick(r.Pad("picAlphaPlusLock"), Qt::LeftButton);  // a lit picture button
    EXPECT_FALSE(ui::SavedNightVision());

    r.Action("ViewNightVisionMenuItem")->trigger();
    ASSERT_TRUE(ui::NightVisionOn());
    // A box opened afterwards follows too.
    QMessageBox box(QMessageBox::Warning, "Erreur", "Essai", QMessageBox::Ok, r.window.get());
    box.show();
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) {
            ++windows;
            EXPECT_TRUE(RedOnBlack(w->palette())) << w->objectName().toStdString();
        }
    }
    EXPECT_GE(windows, 5);
    EXPECT_TRUE(RedOnBlack(r.W<QListWidget>("lstMessages")->palette()));
    ExpectOnlyDimRed(r.window.get(), "main window");
    ExpectOnlyDimRed(options.get(), "options");
    // The style's own pictures too: the boxes' icons, the file dialog's, the buttons'.
    ExpectOnlyDimRed(&box, "warning box");
    for (const auto icon : {QMessageBox::Question, QMessageBox::Information}) {
        QMessageBox other(icon, "Coupole", "Confirmez", QMessageBox::Ok | QMessageBox::Cancel, r.window.get());
        other.show();
        ExpectOnlyDimRed(&other, icon == QMessageBox::Question ? "question box" : "information box");
    }
    QFileDialog files(r.window.get(), "Ouvrir", QDir::tempPath());
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.show();
    test::Shoot(&files, "night-vision-file-dialog");
    ExpectOnlyDimRed(&files, "file dialog");
    files.hide();
    EXPECT_TRUE(ui::SavedNightVision());

    r.window->resize(1024, 740);
    test::Shoot(r.window.get(), "night-vision");

    // The shortcut turns it off again, and that too is kept.
    box.hide();
    options->hide();
    r.window->calibrationWindow()->hide();
    r.window->trackingWindow()->hide();
    r.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(r.window.get()));
    QTest::keyClick(r.window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_FALSE(ui::NightVisionOn());
    EXPECT_FALSE(RedOnBlack(r.window->palette()));
    EXPECT_FALSE(ui::SavedNightVision());
    // Kept outside [Axo]: the settings file gained nothing.
    EXPECT_EQ(r.cfg.Read("Axo.ini").find("night"), std::string::npos);
}

}  // namespace
}  // namespace axo
