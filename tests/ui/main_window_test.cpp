#include <QKeyEvent>
#include <QListWidget>
#include <QScreen>

#include "ui/stop_all.h"
#include "ui/tracking_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::Lines;
using test::UiRig;
struct MainWindow : test::Started {};

TEST_F(MainWindow, PressAndReleaseOfAlphaPlusDrivesTheCoreAndThePicture) {
    ui::PictureButton* plus = r.Pad("picAlphaPlus");
    QTest::mousePress(plus, Qt::LeftButton);
    EXPECT_TRUE(r.window->core().events().IsEventSet(EVT_ALPHA_PLUS));
    EXPECT_TRUE(plus->isOn());
    QTest::mouseRelease(plus, Qt::LeftButton);
    EXPECT_FALSE(r.window->core().events().IsEventSet(EVT_ALPHA_PLUS));
    EXPECT_FALSE(plus->isOn());
    EXPECT_EQ(r.Only({"cmd", "P "}), (Lines{"cmd 4 1", "P 4 (1,3)", "cmd 4 2", "P 4 (2,3)"}));
    const Lines said = test::Messages(*r.window);
    ASSERT_GE(said.size(), 2u);
    EXPECT_EQ(Lines(said.end() - 2, said.end()), (Lines{"Centrage Alpha +", "Arret Centrage Alpha +"}));
}

TEST_F(MainWindow, SpeedOptionsWithAndWithoutUnGearing) {
    EXPECT_TRUE(r.W<QRadioButton>("optControlCenteringAlpha")->isChecked());
    QTest::mouseClick(r.W<QRadioButton>("optControlPointingAlpha"), Qt::LeftButton);
    EXPECT_EQ(r.Only({"cmd 6"}), (Lines{"cmd 6 4"}));
    EXPECT_EQ(r.LastMessage(), "Mouvement Alpha en mode Pointage");
    EXPECT_FALSE(r.W<QRadioButton>("optControlCenteringAlpha")->isChecked());

    r.log.Clear();
    QTest::mouseClick(r.W<QCheckBox>("chkControlUnGear"), Qt::LeftButton);
    EXPECT_EQ(r.settings.Int(IntKey::ungear), 1);
    EXPECT_TRUE(r.W<QCheckBox>("chkControlUnGear")->isChecked());
    EXPECT_FALSE(r.Pad("picAlphaPlus")->isEnabled());
    EXPECT_FALSE(r.W<QRadioButton>("optControlMovingDelta")->isEnabled());
    // Un-geared, a mode chosen (through the core, the pad being disabled) is sent on re-gearing.
    r.log.Clear();
    r.window->core().SpeedModeClicked(CMD_DELTA_MODE, SPEED_MOVING);
    EXPECT_TRUE(r.Only({"cmd"}).empty());
    EXPECT_TRUE(r.W<QRadioButton>("optControlMovingDelta")->isChecked());

    QTest::mouseClick(r.W<QCheckBox>("chkControlUnGear"), Qt::LeftButton);
    EXPECT_TRUE(r.Pad("picAlphaPlus")->isEnabled());
    EXPECT_EQ(r.Only({"cmd"}), (Lines{"cmd 6 4", "cmd 7 5"}));
}

TEST_F(MainWindow, ManualModeOnAndOff) {
    EXPECT_TRUE(r.window->SystemTimerRunning());
    auto geometries = [this] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        return std::pair{r.W("fraDisplayDelta")->geometry(), r.W("fraControl")->geometry()};
    };
    const auto before = geometries();
    QAction* manual = r.Action("EditManualModeMenuItem");
    manual->trigger();
    EXPECT_TRUE(manual->isChecked());
    EXPECT_FALSE(r.window->SystemTimerRunning());
    EXPECT_FALSE(r.Pad("picAlphaPlus")->isEnabled());
    // The digits go with their units, and nothing around them moves.
    for (const char* hidden : {"lblDisplayAlphaH", "lblDisplayAlphaHUnit", "lblDisplayDeltaSUnit"}) {
        EXPECT_TRUE(r.W(hidden)->isHidden()) << hidden;
    }
    EXPECT_EQ(geometries(), before);
    EXPECT_FALSE(r.W<QCheckBox>("chkControlUnGear")->isEnabled());
    EXPECT_EQ(r.Only({"P 401"}), (Lines{"P 401 (2,0)"}));
    manual->trigger();
    EXPECT_FALSE(manual->isChecked());
    EXPECT_TRUE(r.window->SystemTimerRunning());
    EXPECT_TRUE(r.Pad("picAlphaPlus")->isEnabled());
    EXPECT_FALSE(r.W("lblDisplayAlphaH")->isHidden());
}

// A setting out of its range (a polling interval of 0 would freeze the positions) is said in the list.
bool Shown(ui::AxoWindow& w, const char* start) {
    return !w.findChild<QListWidget*>("lstMessages")->findItems(start, Qt::MatchStartsWith).isEmpty();
}

TEST(MainWindowPlacement, BadSettingsPollingTimerAndPlacementOnTheScreen) {
    UiRig zero("[Axo]\ninterface_ra=1\ninterface_de=1\ninterface_coders=1\ntimer_value=0\ncount_alpha=300\ndisplay_welcome=0\n");
    ASSERT_TRUE(zero.Start());
    EXPECT_TRUE(zero.window->SystemTimerRunning());
    EXPECT_EQ(zero.settings.Int(IntKey::timer_value), 50);
    EXPECT_TRUE(Shown(*zero.window, "!!! timer_value = 0 hors limites"));
    EXPECT_TRUE(Shown(*zero.window, "!!! count_alpha = 300 hors limites (plus de 0 et au plus 255) : valeur par défaut 0,995"));
    EXPECT_EQ(zero.settings.Dbl(DoubleKey::count_alpha), 0.995);

    // A window saved far off a larger screen comes back onto this one, as its minimum size allows.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    UiRig far("[Axo]\ninterface_ra=1\ndisplay_welcome=0\nAxo_left=90000\nAxo_top=60000\n");
    ASSERT_TRUE(far.Start());
    const QRect got = far.window->frameGeometry();
    EXPECT_GE(got.left(), screen.left());
    EXPECT_GE(got.top(), screen.top());
    EXPECT_LE(got.top() + got.height(), screen.top() + screen.height());
    EXPECT_LE(got.left() + std::min(got.width(), screen.width()), screen.left() + screen.width());

    const struct {
        QRect wanted, available, placed;
    } cases[] = {
        {{100, 100, 400, 300}, {0, 0, 1024, 768}, {100, 100, 400, 300}},     // fits: unchanged
        {{3000, 2000, 400, 300}, {0, 0, 1024, 768}, {624, 468, 400, 300}},  // off the edge: moved in
        {{-50, -20, 400, 300}, {0, 0, 1024, 768}, {0, 0, 400, 300}},
        {{0, 0, 1280, 900}, {0, 0, 1024, 768}, {0, 0, 1024, 768}},          // larger: shrunk
        {{1900, 10, 300, 200}, {1920, 0, 1280, 1024}, {1920, 10, 300, 200}},  // second screen
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ui::FitOnScreen(c.wanted, c.available), c.placed) << c.wanted.x() << "," << c.wanted.y();
    }

    // The calibration window never covers the pad: beside the main window, else below or beside the pad.
    const QRect pad(20, 200, 440, 290);
    const struct {
        QRect wanted, available;
        QPoint placed;
    } calib[] = {
        {{80, 80, 300, 200}, {0, 0, 1280, 1024}, {888, 0}},
        {{80, 80, 300, 200}, {0, 0, 1024, 768}, {20, 490}},
        {{80, 80, 300, 300}, {0, 0, 1024, 768}, {460, 200}},
        {{500, 520, 300, 200}, {0, 0, 1024, 768}, {500, 520}},
    };
    for (const auto& c : calib) {
        const QRect placed = ui::ClearOfThePad(c.wanted, pad, QRect(0, 0, 888, 770), c.available);
        EXPECT_EQ(placed.topLeft(), c.placed) << c.wanted.height() << " on " << c.available.width();
        EXPECT_FALSE(placed.intersects(pad));
    }
}

TEST_F(MainWindow, MessageListKeepsSixtyFourLinesAndTheFilterNeedsAColour) {
    auto* list = r.W<QListWidget>("lstMessages");
    list->clear();
    for (int i = 0; i < 70; ++i) {
        r.window->core().display().AddErrorMessage("ligne " + std::to_string(i));
    }
    EXPECT_EQ(list->count(), 64);
    EXPECT_EQ(list->item(0)->text(), "ligne 0");
    EXPECT_EQ(list->item(1)->text(), "ligne 7");
    EXPECT_EQ(list->currentRow(), 63);
    EXPECT_EQ(list->item(63)->text(), "ligne 69");
    QTest::mouseClick(r.W("cmdMessagesClear"), Qt::LeftButton);
    EXPECT_EQ(list->count(), 0);

    auto* combo = r.W<QComboBox>("cmbFilterValue");
    auto* validate = r.W("cmdFilterValidate");
    EXPECT_EQ(combo->currentText(), "");
    EXPECT_FALSE(validate->isEnabled());
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    EXPECT_TRUE(validate->isEnabled());
    QTest::mouseClick(validate, Qt::LeftButton);
    EXPECT_EQ(r.Only({"P 1301"}), (Lines{"P 1301 (8,0)"}));
    EXPECT_EQ(r.LastMessage(), "Filtre bleu");
}

// The X server as the paddle asks it whether a key is still down.
struct FakeX11 final : ui::X11Probe {
    explicit FakeX11(const bool& down) : down_(down) {}
    bool KeyDown(quint32) override { return down_; }
    bool StopKeyDown() override { return false; }
    bool PrimaryButtonDown(QPoint&) override { return false; }
    const bool& down_;
};

TEST_F(MainWindow, KeyboardPaddleActsLikeTheButtonsThroughTheSameGuard) {
    // The keyboard is the paddle's as soon as the window is up.
    ASSERT_NE(r.window->focusWidget(), nullptr);
    QTest::keyPress(r.window->focusWidget(), Qt::Key_Right);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(r.window.get(), &repeat);
    // An auto-repeat torn into a real-looking release and press while the key is down stays one press.
    bool keyDown = true;
    r.window->stopAllWatcher()->SetProbe(std::make_unique<FakeX11>(keyDown));
    QTest::keyRelease(r.window.get(), Qt::Key_Right);
    QTest::keyPress(r.window.get(), Qt::Key_Right);
    keyDown = false;
    QTest::keyRelease(r.window.get(), Qt::Key_Right);
    QTest::keyClick(r.window.get(), Qt::Key_Up);
    EXPECT_EQ(r.Only({"P "}), (Lines{"P 4 (1,3)", "P 4 (2,3)", "P 2 (1,3)", "P 2 (2,3)"}));

    // Space is the telescope stop: it ends tracking.
    QTest::mouseClick(r.Pad("picControlTracking"), Qt::LeftButton);
    r.log.Clear();
    QTest::keyPress(r.window.get(), Qt::Key_Space);
    EXPECT_TRUE(r.Pad("picControlStop")->isOn());
    QTest::keyRelease(r.window.get(), Qt::Key_Space);
    EXPECT_FALSE(r.Pad("picControlStop")->isOn());
    EXPECT_EQ(r.Only({"P "}), (Lines{"P 1 (2,0)"}));

    // Keys and mouse share the guard, which beeps and changes nothing; a disabled pad does nothing at all.
    r.settings.Int(IntKey::disable_move_when_tracking) = 1;
    QTest::mouseClick(r.Pad("picControlTracking"), Qt::LeftButton);
    r.log.Clear();
    QTest::keyPress(r.window.get(), Qt::Key_Left);
    QTest::mousePress(r.Pad("picAlphaPlus"), Qt::LeftButton);
    QTest::mouseClick(r.Pad("picDeltaMinusLock"), Qt::LeftButton);
    EXPECT_EQ(r.log.lines, (Lines{"beep", "beep", "beep"}));
    EXPECT_FALSE(r.Pad("picAlphaPlus")->isOn());
    EXPECT_FALSE(r.window->core().events().IsEventSet(EVT_ALPHA_PLUS));
    EXPECT_TRUE(r.Pad("picControlTracking")->isOn());
    r.window->core().ManualModeClicked();
    r.log.Clear();
    QTest::keyPress(r.window.get(), Qt::Key_Down);
    EXPECT_TRUE(r.log.lines.empty());
    r.window->core().ManualModeClicked();

    // A key released elsewhere (a box opened) still ends the move; the message list keeps its arrows.
    r.settings.Int(IntKey::disable_move_when_tracking) = 0;
    r.log.Clear();
    QTest::keyPress(r.window.get(), Qt::Key_Right);
    QWidget elsewhere;
    QTest::keyRelease(&elsewhere, Qt::Key_Right);
    QTest::keyPress(r.W("lstMessages"), Qt::Key_Up);
    EXPECT_EQ(r.Only({"P "}), (Lines{"P 4 (1,3)", "P 4 (2,3)"}));
}

TEST_F(MainWindow, FocusedControlsKeepTheirOwnKeys) {
    QTest::mouseClick(r.Pad("picControlTracking"), Qt::LeftButton);
    r.log.Clear();
    // Space on a focused push button is that button's own: it never ends tracking behind the observer's back.
    for (const char* name : {"cmdDomeInit", "cmdMessagesDelete", "cmdFilterValidate"}) {
        QTest::keyClick(r.W(name), Qt::Key_Space);
        EXPECT_TRUE(r.Only({"P 1 "}).empty()) << name;
        EXPECT_TRUE(r.Pad("picControlTracking")->isOn()) << name;
    }
    EXPECT_EQ(r.Only({"box Initialisation"}).size(), 1u);  // Init asked for its confirmation
    // Space on the declutch box ticks it (which ends the moves and tracking on its own).
    QTest::keyClick(r.W("chkControlUnGear"), Qt::Key_Space);
    EXPECT_EQ(r.settings.Int(IntKey::ungear), 1);
    EXPECT_FALSE(r.Pad("picControlStop")->isOn());
    QTest::keyClick(r.W("chkControlUnGear"), Qt::Key_Space);
    EXPECT_EQ(r.settings.Int(IntKey::ungear), 0);

    // Arrows on a focused speed option move between options; on a push button they stay the paddle's.
    r.log.Clear();
    QTest::keyClick(r.W("optControlPointingAlpha"), Qt::Key_Right);
    EXPECT_TRUE(r.Only({"P 4 ", "P 5 "}).empty());
    QTest::keyClick(r.W("cmdDomeRest"), Qt::Key_Right);
    EXPECT_EQ(r.Only({"P 4 "}).size(), 2u);

    // A click does not hand the keyboard to a button, and Escape hands it back to the paddle.
    r.window->centralWidget()->setFocus();
    QTest::mouseClick(r.W("cmdMessagesClear"), Qt::LeftButton);
    EXPECT_FALSE(r.W("cmdMessagesClear")->hasFocus());
    r.W("cmdMessagesClear")->setFocus();
    QTest::keyClick(r.W("cmdMessagesClear"), Qt::Key_Escape);
    EXPECT_FALSE(r.W("cmdMessagesClear")->hasFocus());
}

TEST_F(MainWindow, FileOpenRunsInitSystemAgainAndSaveAsWritesTheChosenFile) {
    QTest::mouseClick(r.Pad("picAlphaPlusLock"), Qt::LeftButton);
    r.cfg.Write("autre.ini", "[Axo]\ninterface_ra=1\ntimer_value=250\nlabel_alpha_plus=Ouest\ncount_delta=-1\n");
    r.log.Clear();
    r.window->OpenSettings(QString::fromStdString(r.cfg.File("autre.ini").string()));
    EXPECT_EQ(r.Only({"P 4 ", "P 1101"}), (Lines{"P 4 (2,3)", "P 1101 (0,0)"}));
    EXPECT_EQ(r.settings.Int(IntKey::timer_value), 250);
    EXPECT_EQ(r.W<QLabel>("lblControlAlphaP")->text(), "Ouest");
    EXPECT_FALSE(r.Pad("picAlphaPlusLock")->isOn());
    EXPECT_TRUE(Shown(*r.window, "!!! count_delta = -1 hors limites (plus de 0 et au plus 31) : valeur par défaut 24"));
    EXPECT_EQ(r.settings.Dbl(DoubleKey::count_delta), 24.0);
    // The observer sees which file is in use.
    EXPECT_EQ(r.window->windowTitle(), "Axo — autre.ini");
    EXPECT_EQ(r.LastMessage(), "Configuration lue : " + r.cfg.File("autre.ini").string());

    const std::string saved = r.cfg.File("copie.ini").string();
    r.window->SaveSettingsAs(QString::fromStdString(saved));  // the file written: FileDialogs' rows
    EXPECT_EQ(r.LastMessage(), "Configuration enregistrée : " + saved);
    EXPECT_EQ(r.Action("FileOpenMenuItem")->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(r.Action("FileSaveAsMenuItem")->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(r.Action("FileExitMenuItem")->shortcut(), QKeySequence("Ctrl+Q"));
}

TEST_F(MainWindow, ClosingRunsTheShutDownAndWritesTheSettings) {
    r.window->ShowTracking();
    QTest::mousePress(r.Pad("picDomeTracking"), Qt::LeftButton);
    r.settings.Int(IntKey::timer_value) = 333;
    r.log.Clear();
    r.window->close();
    EXPECT_TRUE(r.window->ShutDownDone());
    EXPECT_EQ(r.Only({"P "}), (Lines{"P 101 (2,0)", "P 1102 (0,0)"}));
    Settings back;
    back.ReadSettings(kSettingsFileName);
    EXPECT_EQ(back.Int(IntKey::timer_value), 333);
    EXPECT_EQ(back.Int(IntKey::track_display), 1);  // it was open: it reopens next time
}

TEST(MainWindowSettings, Rs485MisconfigurationEndsBeforeAnythingStarts) {
    UiRig r("[Axo]\nS64xx_RS485=1\ninterface_ra=3\ninterface_de=1\ndisplay_welcome=0\n");
    const std::string before = r.cfg.Read("Axo.ini");
    EXPECT_FALSE(r.window->StartUp(false));
    EXPECT_TRUE(r.window->EndedWithoutShutdown());
    EXPECT_TRUE(r.Only({"P ", "S ", "E ", "T "}).empty());
    EXPECT_EQ(r.Only({"box"}).size(), 1u);
    r.window->close();
    EXPECT_EQ(r.cfg.Read("Axo.ini"), before);  // nothing saved
}

TEST(MainWindowSettings, WindowsFollowTheSettingsAtStartUpAndTheMainWindowsState) {
    UiRig r("[Axo]\ninterface_ra=1\ndisplay_welcome=0\ncalibr_display=1\ntrack_display=1\n"
            "Track_top=1500\nTrack_left=3000\ndisplay_hangle=0\ndisplay_tu=0\nlabel_dome_dir1=Levant\n");
    ASSERT_TRUE(r.Start());
    ASSERT_NE(r.window->trackingWindow(), nullptr);
    EXPECT_TRUE(r.window->trackingWindow()->isVisible());
    EXPECT_TRUE(r.window->IsCalibrationWindowVisible());
    EXPECT_EQ(r.window->trackingWindow()->pos(), QPoint(200, 100));
    EXPECT_TRUE(r.Action("Tracking")->isChecked());
    EXPECT_TRUE(r.Action("Calibrate")->isChecked());
    EXPECT_EQ(r.W<QGroupBox>("fraDisplayAlpha")->title(), "Ascension droite");
    EXPECT_EQ(r.W<QGroupBox>("fraDisplayTime")->title(), "TS");
    EXPECT_EQ(r.W<QLabel>("lblDomeDir1")->text(), "Levant");
    // The toolbar button closes the window it opened.
    r.Action("Tracking")->trigger();
    EXPECT_FALSE(r.window->trackingWindow()->isVisible());
    EXPECT_FALSE(r.Action("Tracking")->isChecked());
    EXPECT_EQ(r.settings.Int(IntKey::track_display), 0);
    r.Action("Tracking")->trigger();  // and opens it again
    EXPECT_TRUE(r.window->trackingWindow()->isVisible());
    r.Action("Tracking")->trigger();
    // Minimising hides the tool windows; restoring shows again only those that were open.
    r.window->setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(r.window->IsCalibrationWindowVisible());
    r.window->setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(r.window->IsCalibrationWindowVisible());
    EXPECT_FALSE(r.window->IsTrackingWindowVisible());
    EXPECT_EQ(r.settings.Int(IntKey::calibr_display), 1);
}

TEST_F(MainWindow, DebugLayoutGrowsTheMessagesAndShowsTheCoderBoxes) {
    const int height = r.window->height();
    auto* list = r.W("lstMessages");
    const int listHeight = list->minimumHeight();
    auto* alphaDebug = r.W("txtEik120AlphaDebug");
    EXPECT_TRUE(alphaDebug->isHidden());
    r.settings.Int(IntKey::Eik120_debug) = 1;
    r.window->ApplyDebugLayout();
    r.window->ApplyDebugLayout();  // applying twice does not grow twice
    EXPECT_EQ(list->minimumHeight(), listHeight + 80);
    EXPECT_GE(r.window->height(), height + 80);  // plus the line of the coder boxes
    const int grown = r.window->height();
    EXPECT_FALSE(alphaDebug->isHidden());
    EXPECT_TRUE(r.window->core().state().DebugLayoutOn);
    r.settings.Int(IntKey::Eik120_debug) = 0;
    r.settings.Int(IntKey::S64xx_debug) = 1;
    r.window->ApplyDebugLayout();
    EXPECT_EQ(list->minimumHeight(), listHeight + 80);
    EXPECT_TRUE(alphaDebug->isHidden());
    r.settings.Int(IntKey::S64xx_debug) = 0;
    r.window->ApplyDebugLayout();
    EXPECT_EQ(list->minimumHeight(), listHeight);
    EXPECT_LE(r.window->height(), grown - 60);  // back down, give or take the layout's spacing
    EXPECT_FALSE(r.window->core().state().DebugLayoutOn);
}

}  // namespace
}  // namespace axo
