#include <QFileDialog>
#include <QMessageBox>
#include <QToolBar>

#include "ui/stop_all.h"
#include "ui/tracking_window.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::Lines;
using test::UiRig;

// The telescope on the 6420 boxes, dome and focuser on the boards: the stop must reach both.
const char* kTwoInterfaces =
    "[Axo]\ninterface_ra=3\ninterface_de=3\ninterface_dome=1\ninterface_coders=1\ninterface_focus=1\n"
    "interface_filter=1\ndisplay_welcome=0\ndisable_move_when_tracking=1\nctrl_stop_move_when_tracking=0\n";

void Click(UiRig& r, const char* pad) {
    QTest::mouseClick(r.Pad(pad), Qt::LeftButton);
}

// Locked Alpha + and Delta −, then tracking (the guard now refuses the paddle), dome follow, a focus move.
void StartEverything(UiRig& r) {
    Click(r, "picAlphaPlusLock");
    Click(r, "picDeltaMinusLock");
    Click(r, "picControlTracking");
    Click(r, "picDomeTracking");
    QTest::mousePress(r.Pad("picFocusDir2"), Qt::LeftButton);
    auto& ev = r.window->core().events();
    for (int slot : {EVT_ALPHA_PLUS, EVT_DELTA_MINUS, EVT_TRACKING, EVT_DOME_TRACKING, EVT_FOCUS_DIR2}) {
        ASSERT_TRUE(ev.IsEventSet(slot)) << slot;
    }
    // The guard refuses the paddle now: the stop must not depend on it.
    r.log.Clear();
    Click(r, "picAlphaMinusLock");
    ASSERT_EQ(r.log.lines, (Lines{"beep"}));
    r.log.Clear();
}

void ExpectAllStopped(UiRig& r) {
    auto& ev = r.window->core().events();
    for (int slot = 1; slot <= kEventSlotCount; ++slot) {
        EXPECT_FALSE(ev.IsEventSet(slot)) << "slot " << slot;
    }
    for (const char* pad : {"picAlphaPlus", "picAlphaPlusLock", "picDeltaMinus", "picDeltaMinusLock",
                            "picControlTracking", "picDomeTracking", "picFocusDir2"}) {
        EXPECT_FALSE(r.Pad(pad)->isOn()) << pad;
    }
    // Tracking, Alpha, Delta, the dome, the focus, in that order; nothing started again.
    EXPECT_EQ(r.Only({"cmd", "P ", "S "}),
              (Lines{"cmd 1 2", "S 1 (2,0)", "cmd 4 2", "S 4 (2,3)", "cmd 3 2", "S 3 (2,3)", "cmd 101 2", "P 101 (2,0)",
                     "cmd 106 2", "cmd 202 2", "P 202 (2,0)"}));
    const Lines said = test::Messages(*r.window);
    EXPECT_EQ(std::count(said.begin(), said.end(), "Arrêt général"), 1);
}

TEST(StopAll, ButtonAndKeyStopTelescopeDomeAndFocusOnEveryInterfaceInUse) {
    for (const bool byKey : {false, true}) {
        SCOPED_TRACE(byKey ? "F12" : "button");
        UiRig r(kTwoInterfaces);
        ASSERT_TRUE(r.Start());
        r.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(r.window.get()));
        StartEverything(r);
        if (byKey) {
            QTest::keyClick(r.window.get(), Qt::Key_F12);
        } else {
            QWidget* button = r.W<QToolBar>("Toolbar1")->widgetForAction(r.Action("StopAll"));
            ASSERT_NE(button, nullptr);
            QTest::mouseClick(button, Qt::LeftButton);
        }
        ExpectAllStopped(r);
    }
}

TEST(StopAll, EndsADomeInitInProgressAndStaysEnabledWhenThePadIsDisabled) {
    UiRig r;
    ASSERT_TRUE(r.Start());
    QTest::mouseClick(r.W("cmdDomeInit"), Qt::LeftButton);
    r.window->core().state().DomeInitRunning = true;  // as the dome's interface would say
    // The long operation refuses the dome buttons, and manual mode disables the whole pad.
    r.log.Clear();
    Click(r, "picDomeDir1Lock");
    EXPECT_EQ(r.log.lines, (Lines{"beep"}));
    QTest::mousePress(r.Pad("picFocusDir1"), Qt::LeftButton);
    r.log.Clear();
    r.window->core().display().DisableCommandGroups(true);
    r.window->core().display().DisableFileEditMenus(true);
    EXPECT_TRUE(r.Action("StopAll")->isEnabled());
    r.Action("StopAll")->trigger();
    EXPECT_EQ(r.Only({"cmd", "P "}), (Lines{"cmd 106 2", "P 101 (2,0)", "cmd 201 2", "P 201 (2,0)"}));
    const Lines said = test::Messages(*r.window);
    ASSERT_GE(said.size(), 3u);
    EXPECT_EQ(Lines(said.end() - 3, said.end() - 1), (Lines{"Arrêt général", "Arret Initialisation Coupole"}));
    EXPECT_FALSE(r.Pad("picFocusDir1")->isOn());
}

// F12 in any modal window stops at once; the window stays open and answerable.
TEST(StopAll, TheKeyWorksInEveryModalWindow) {
    const std::vector<std::pair<const char*, std::function<void(ui::AxoWindow&)>>> modals = {
        {"Options", [](ui::AxoWindow& w) { w.ShowOptions(); }},
        {"À propos", [](ui::AxoWindow& w) { w.ShowAbout(); }},
        {"EIK120, from the toolbar", [](ui::AxoWindow& w) { w.findChild<QAction*>("Eik120")->trigger(); }},
        {"mot de passe", [](ui::AxoWindow& w) { w.ShowPassword(); }},
        {"file dialog",
         [](ui::AxoWindow& w) {
             QFileDialog d(&w, "Ouvrir");
             d.setOption(QFileDialog::DontUseNativeDialog);
             d.exec();
         }},
        {"box", [](ui::AxoWindow& w) { QMessageBox::question(&w, "Initialisation de la coupole", "Confirmez"); }},
    };
    for (const auto& [name, open] : modals) {
        SCOPED_TRACE(name);
        UiRig r;
        ASSERT_TRUE(r.Start());
        r.window->show();
        Click(r, "picAlphaPlusLock");
        ASSERT_TRUE(r.window->core().events().IsEventSet(EVT_ALPHA_PLUS));
        r.log.Clear();
        bool stoppedWhileOpen = false;
        bool stillOpen = false;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) {
                return;
            }
            QWidget* focus = modal->focusWidget() != nullptr ? modal->focusWidget() : modal;
            QTest::keyClick(focus, Qt::Key_F12);
            stoppedWhileOpen = !r.window->core().events().IsEventSet(EVT_ALPHA_PLUS);
            stillOpen = modal->isVisible();
            QTest::keyClick(focus, Qt::Key_Escape);
        });
        open(*r.window);
        EXPECT_TRUE(stoppedWhileOpen);
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(r.Only({"P 4 "}), (Lines{"P 4 (2,3)"}));
        const Lines said = test::Messages(*r.window);
        EXPECT_EQ(std::count(said.begin(), said.end(), "Arrêt général"), 1);
    }
}

TEST(StopAll, TheKeyIsUsedByNoOtherControlAndTheControlsSayWhatTheyDo) {
    UiRig r;
    ASSERT_TRUE(r.Start());
    int uses = 0;
    for (QAction* a : r.window->findChildren<QAction*>()) {
        uses += a->shortcuts().contains(ui::kStopAllShortcut) ? 1 : 0;
    }
    EXPECT_EQ(uses, 1);
    EXPECT_TRUE(r.Action("StopAll")->toolTip().contains("F12"));
    for (QWidget* w : r.window->findChildren<ui::PictureButton*>()) {
        EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
    }
    for (const char* name : {"cmdDomeInit", "cmdDomeRest", "cmbFilterValue", "cmdFilterValidate"}) {
        EXPECT_FALSE(r.W(name)->toolTip().isEmpty()) << name;
    }
    // The key works from the tracking window too.
    r.window->show();
    r.window->ShowTracking();
    ASSERT_NE(r.window->trackingWindow(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(r.window->trackingWindow()));
    Click(r, "picAlphaMinusLock");
    r.window->trackingWindow()->activateWindow();
    QTest::keyClick(r.window->trackingWindow(), Qt::Key_F12);
    EXPECT_FALSE(r.window->core().events().IsEventSet(EVT_ALPHA_MINUS));
}

}  // namespace
}  // namespace axo
