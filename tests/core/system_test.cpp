#include <gtest/gtest.h>

#include "astro/mathlib.h"
#include "support/core_fakes.h"
#include "support/temp_config.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;
using test::CoreRig;

TEST(InitSystem, Rs485WithoutBothAxesOnTheBoxesEndsBeforeAnyHardwareAccess) {
    for (const int16_t delta : {INTERFACE_PARALLEL, INTERFACE_64XX}) {
        CoreRig r;
        r.settings.Int(IntKey::S64xx_RS485) = 1;
        r.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
        r.settings.Int(IntKey::interface_de) = delta;
        const bool refused = delta != INTERFACE_64XX;
        EXPECT_EQ(r.core.InitSystem(), !refused);
        EXPECT_EQ(r.program.ended, refused);
        if (refused) {
            EXPECT_EQ(r.log.lines,
                      (Lines{"box Erreur fatale | Le mode RS485 n'est possible qu'avec l'ALPHA\net le DELTA en mode 64xx", "end"}));
        }
    }
}

TEST(InitSystem, StartsTheInterfacesInUseInTheirFixedOrderAndTheTickPollsThem) {
    CoreRig r;
    r.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
    r.settings.Int(IntKey::interface_coders) = INTERFACE_TALVENE;
    r.core.InitSystem();
    EXPECT_EQ(r.log.Only({"P 1101", "S 1101", "E 1101", "T 1101"}),
              (Lines{"P 1101 (0,0)", "S 1101 (0,0)", "T 1101 (0,0)"}));
    EXPECT_TRUE(r.view.Enabled("ConfigPelaroMenuItem"));

    // An interface whose start asks for the end of the program: the ones after it do not start.
    CoreRig ending;
    ending.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
    ending.settings.Int(IntKey::interface_coders) = INTERFACE_TALVENE;
    ending.core.drivers().Register(InterfaceId::Parallel, [&ending](int16_t code, DriverParam&) {
        ending.log.Add("P " + std::to_string(code));
        ending.program.endRequested = true;
        return int16_t{0};
    });
    ending.core.InitSystem();
    EXPECT_EQ(ending.log.Only({"P 1101", "S 1101", "E 1101", "T 1101"}), (Lines{"P 1101"}));

    // The coders alone on the 64xx do not put it in use; nothing on the parallel boards either.
    CoreRig none;
    for (IntKey k : {IntKey::interface_ra, IntKey::interface_de, IntKey::interface_dome, IntKey::interface_focus,
                     IntKey::interface_filter}) {
        none.settings.Int(k) = 0;
    }
    none.settings.Int(IntKey::interface_coders) = INTERFACE_64XX;
    none.core.InitSystem();
    EXPECT_FALSE(none.core.state().S64xxInUse);
    EXPECT_FALSE(none.core.state().ParallelInUse);
    EXPECT_TRUE(none.log.Only({"P 1101", "S 1101", "E 1101", "T 1101"}).empty());
    EXPECT_FALSE(none.view.Enabled("ConfigPelaroMenuItem"));
    // The polling tick still issues its commands; the board poll finds the parallel entry.
    none.log.Clear();
    none.core.SystemTick();
    EXPECT_EQ(none.Drivers(), (Lines{"P 402 (0,0)"}));

    // The polling tick, in its fixed order with the dome steps that run.
    CoreRig tick;
    tick.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
    tick.Init();
    tick.core.SystemTick();
    EXPECT_EQ(tick.Drivers(), (Lines{"P 402 (0,0)", "P 301 (0,0)", "P 302 (0,0)", "S 8 (0,0)", "P 303 (0,0)"}));
    tick.log.Clear();
    tick.core.state().DomeRestRunning = true;
    tick.core.state().DomeTrackingOn = true;
    tick.core.SystemTick();
    EXPECT_EQ(tick.Drivers(), (Lines{"P 402 (0,0)", "P 301 (0,0)", "P 302 (0,0)", "S 8 (0,0)", "P 303 (0,0)",
                                     "P 305 (0,0)", "P 306 (0,0)"}));
}

TEST(InitSystem, CommandManualAndUnGearedStartsSpeedOptionsCaptionsAndTimer) {
    CoreRig r;
    r.settings.Int(IntKey::control_mode_delta) = SPEED_MOVING;
    r.settings.Int(IntKey::timer_value) = 75;
    r.settings.Str(StringKey::label_alpha_plus) = "Ouest";
    r.core.InitSystem();
    EXPECT_EQ(r.log.Only({"msg", "P 401", "P 6", "P 7"}),
              (Lines{"msg Passage en mode commande", "P 401 (1,0)", "msg Mouvement Alpha en mode Centrage",
                     "msg Mouvement Delta en mode Déplacement"}));
    EXPECT_TRUE(r.view.IsChecked("optControlCenteringAlpha"));
    EXPECT_TRUE(r.view.IsChecked("optControlMovingDelta"));
    EXPECT_FALSE(r.view.IsChecked("EditManualModeMenuItem"));
    EXPECT_EQ(r.view.Text("lblControlAlphaP"), "Ouest");
    EXPECT_EQ(r.view.Text("fraDisplayAlpha"), "Angle horaire");
    EXPECT_EQ(r.view.Text("fraDisplayTime"), "TU");
    EXPECT_FALSE(r.view.IsVisible("shpAlphaMinus"));
    EXPECT_EQ(r.timer.interval, 75);
    EXPECT_TRUE(r.timer.enabled);
    EXPECT_EQ(r.core.position().LastHourAngle[0], -100);
    EXPECT_NEAR(r.core.state().Site.latitude, Dms2R(0, 42, 56, 13.0), 1e-15);
    EXPECT_NEAR(r.core.state().Site.longitude, Dms2R(1, 0, 8, 42.0), 1e-15);

    // Again, as File > Open does: the interfaces start again, the options already set say nothing.
    r.log.Clear();
    r.core.InitSystem();
    EXPECT_EQ(r.log.Only({"msg", "P 1101"}), (Lines{"P 1101 (0,0)", "msg Passage en mode commande"}));

    // A mode that does not exist selects no option.
    CoreRig odd;
    odd.settings.Int(IntKey::control_mode_alpha) = 7;
    odd.core.InitSystem();
    for (const char* opt : {"optControlCenteringAlpha", "optControlPointingAlpha", "optControlMovingAlpha"}) {
        EXPECT_FALSE(odd.view.IsChecked(opt)) << opt;
    }

    // Manual mode and un-geared starts.
    CoreRig manual;
    manual.settings.Int(IntKey::manual_mode) = 1;
    manual.settings.Int(IntKey::probe_enable) = 1;
    manual.core.InitSystem();
    EXPECT_EQ(manual.log.Only({"msg Passage", "P 401"}), (Lines{"msg Passage en mode manuel", "P 401 (2,0)"}));
    EXPECT_FALSE(manual.timer.enabled);
    EXPECT_TRUE(manual.view.IsChecked("EditManualModeMenuItem"));
    EXPECT_FALSE(manual.view.Enabled("chkControlUnGear"));
    EXPECT_FALSE(manual.view.Enabled("picAlphaPlus"));
    EXPECT_FALSE(manual.view.IsVisible("lblDisplayAlphaH"));
    EXPECT_FALSE(manual.view.Enabled("cmdFilterValidate"));

    CoreRig ungeared;
    ungeared.settings.Int(IntKey::ungear) = 1;
    ungeared.settings.Int(IntKey::probe_enable) = 0;
    ungeared.core.InitSystem();
    EXPECT_TRUE(ungeared.view.IsChecked("chkControlUnGear"));
    EXPECT_FALSE(ungeared.view.Enabled("picAlphaPlus"));
    EXPECT_TRUE(ungeared.view.Enabled("picDomeDir1"));
    EXPECT_FALSE(ungeared.timer.enabled);
    // Un-geared, selecting the speed options stores the mode and says nothing.
    EXPECT_TRUE(ungeared.log.Only({"msg Mouvement"}).empty());
    EXPECT_TRUE(ungeared.view.IsChecked("optControlCenteringAlpha"));
}

TEST(ClockTick, TimeTextSiderealTimeAndTrackingLabels) {
    CoreRig r;
    r.Init();
    r.core.ClockTick();
    EXPECT_EQ(r.view.Text("lblTime"), "21:30:00");
    const DateTimeRecord when{.day = 6, .month = 12, .year = 2026, .hour = 21, .minute = 30};
    EXPECT_DOUBLE_EQ(r.core.state().SiderealTimeRad, SideralTime(when, r.core.state().Site));
    EXPECT_EQ(r.view.textWrites["lblTrkTS"], 0);  // window closed: no sidereal text at all

    r.view.trackingVisible = true;
    r.settings.Int(IntKey::display_tu) = 0;
    r.clock.Advance(61000);
    r.core.ClockTick();
    EXPECT_EQ(r.view.Text("lblTrkTU"), "21:31:01");
    EXPECT_EQ(r.view.Text("lblTrkDate"), "06/12/2026");
    EXPECT_EQ(r.view.Text("lblTrkTS"), "02:34:19");  // 2 h 34 m 18.76 s by the IAU 1982 expression
    EXPECT_EQ(r.view.Text("lblTime"), "02:34:19");

    // Sidereal time 23 h 59 m 59.93 s: 00:00:00, never 23:59:60 nor 24:00:00.
    r.clock.SetDateTime(PcDateTime{2026, 12, 1, 19, 16, 47, 0});
    r.core.ClockTick();
    EXPECT_EQ(r.view.Text("lblTime"), "00:00:00");
    EXPECT_EQ(r.view.Text("lblTrkTS"), "00:00:00");
}

TEST(Shutdown, StopsEverythingThenTheInterfacesThenSavesAndLoadingInitialisesAgain) {
    test::TempConfig cfg;
    CoreRig down;
    down.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
    down.settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
    down.Init();
    down.core.ClickLock(EVT_ALPHA_PLUS_LOCK);
    down.core.PressDomeTracking();
    down.core.PressDirection(EVT_FOCUS_DIR1);
    down.settings.Int(IntKey::timer_value) = 123;
    down.log.Clear();
    EXPECT_TRUE(down.core.Shutdown(nullptr).ok);
    EXPECT_EQ(down.Drivers(), (Lines{"S 4 (2,3)", "P 101 (2,0)", "P 1102 (0,0)", "S 1102 (0,0)", "E 1102 (0,0)"}));
    Settings back;
    back.ReadSettings(kSettingsFileName);
    EXPECT_EQ(back.Int(IntKey::timer_value), 123);

    // Loading reads the file, then resets the pictures and the table.
    cfg.Write("Axo.ini", "[Axo]\ntimer_value=80\nmanual_mode=1\n");
    CoreRig r;
    r.core.events().SetEvent(EVT_FOCUS_DIR1, 1);
    r.log.Clear();
    ASSERT_TRUE(r.core.LoadAndInitialise(ScreenMetrics{}));
    EXPECT_TRUE(r.core.lastRead().ok);
    EXPECT_EQ(r.timer.interval, 80);
    EXPECT_FALSE(r.core.events().IsEventSet(EVT_FOCUS_DIR1));
    EXPECT_EQ(r.log.Only({"img"}).size(), 21u);  // every button drawn off
    EXPECT_EQ(r.log.Only({"P 401"}), (Lines{"P 401 (2,0)"}));

    // File > Open stops what runs and initialises again from the chosen file.
    cfg.Write("other.ini", "[Axo]\ntimer_value=90\n");
    r.core.ManualModeClicked();
    r.core.PressDirection(EVT_ALPHA_PLUS);
    r.log.Clear();
    r.core.OpenSettingsFile(cfg.File("other.ini").string());
    EXPECT_EQ(r.timer.interval, 90);
    // The file's defaults put the Alpha axis on a 64xx box.
    EXPECT_EQ(r.log.Only({"S 4 ", "P 1101"}), (Lines{"S 4 (2,3)", "P 1101 (0,0)"}));
}

TEST(DisplayProcedures, MessageListOfSixtyFourLinesPicturesAndGroups) {
    CoreRig r;
    for (int i = 0; i < 65; ++i) {  // the 64th line still fits; the 65th pushes out the oldest but the first
        r.core.display().AddErrorMessage("line " + std::to_string(i));
        ASSERT_EQ(r.view.MessageCount(), std::min(i + 1, 64)) << i;
    }
    EXPECT_EQ(r.view.MessageAt(0) + ", " + r.view.MessageAt(1) + ", " + r.view.MessageAt(63), "line 0, line 2, line 64");
    EXPECT_EQ(r.view.SelectedMessage(), 63);

    r.settings.Int(IntKey::gui_messages) = 0;
    r.core.display().AddMessage("hidden");
    EXPECT_EQ(r.view.MessageAt(63), "line 64");

    // Delete with no line selected: nothing removed, the last line selected.
    r.view.selected = -1;
    r.core.DeleteMessageClicked();
    EXPECT_EQ(r.view.MessageCount(), 64);
    EXPECT_EQ(r.view.SelectedMessage(), 63);
    r.view.selected = 0;
    r.core.DeleteMessageClicked();
    EXPECT_EQ(r.view.MessageAt(0), "line 2");
    r.core.ClearMessagesClicked();
    r.core.DeleteMessageClicked();
    EXPECT_EQ(r.view.MessageCount(), 0);

    // Pictures and groups.
    r.log.Clear();
    r.core.display().SetButtonImage(3, 1);  // 1 is not True (-1): the off picture
    r.core.display().SetButtonImage(5, kTrue);
    r.core.display().SetButtonImage(0, kTrue);
    r.core.display().SetButtonImage(22, kTrue);
    EXPECT_EQ(r.log.lines, (Lines{"img 3 off", "img 5 on"}));

    r.view.texts["lblTime"] = "12:00:00";
    r.core.display().DisableCommandGroups(true);
    EXPECT_FALSE(r.view.IsVisible("lblDisplayDeltaS"));
    EXPECT_FALSE(r.view.IsVisible("shpAlphaMinus"));
    EXPECT_FALSE(r.view.Enabled("cmdDomeInit"));
    EXPECT_FALSE(r.view.Enabled("cmdFocusZero"));
    EXPECT_TRUE(r.view.IsVisible("lblTime"));
    EXPECT_EQ(r.view.visible.count("lblTime"), 0u);
    EXPECT_EQ(r.view.visible.count("lstMessages"), 0u);
    r.core.display().HidePositionDisplays(false);
    EXPECT_TRUE(r.view.IsVisible("shpAlphaMinus"));  // shown until the next read-out sets it
}

TEST(MainActions, GuardsRefuseWithABeepAndChangeNothing) {
    CoreRig r;
    r.Init();
    r.settings.Int(IntKey::disable_move_when_tracking) = 1;
    r.core.PressTracking();
    r.log.Clear();
    r.core.PressDirection(EVT_ALPHA_PLUS);
    r.core.ClickLock(EVT_DELTA_MINUS_LOCK);
    EXPECT_EQ(r.log.lines, (Lines{"beep", "beep"}));
    EXPECT_FALSE(r.core.events().IsEventSet(EVT_ALPHA_PLUS));

    r.core.state().DomeRestRunning = true;
    r.log.Clear();
    r.core.PressDomeTracking();
    r.core.PressDirection(EVT_DOME_DIR1);
    r.core.DomeInitClicked();  // refused before any question
    EXPECT_EQ(r.log.lines, (Lines{"beep", "beep", "beep"}));

    // Focus presses are never refused.
    r.log.Clear();
    r.core.PressDirection(EVT_FOCUS_DIR2);
    EXPECT_EQ(r.Drivers(), (Lines{"P 202 (1,0)"}));
}

TEST(MainActions, DomeInitConfirmedWhileDirectionOneIsLocked) {
    CoreRig r;
    r.Init();
    r.core.ClickLock(EVT_DOME_DIR1_LOCK);
    r.log.Clear();
    r.core.DomeInitClicked();
    EXPECT_EQ(r.log.Only({"box", "P "}), (Lines{"box Initialisation de la coupole | Confirmez l'initialisation\nde la coupole",
                                               "P 102 (2,0)", "P 105 (0,0)"}));
    EXPECT_EQ(r.log.Only({"msg"}), (Lines{"msg Arret Mouvement Coupole Est", "msg Initialisation de la coupole"}));

    // Cancel changes nothing.
    r.op.answer = MessageAnswer::Cancel;
    r.core.ClickLock(EVT_DOME_DIR2_LOCK);
    r.log.Clear();
    r.core.DomeRestClicked();
    EXPECT_EQ(r.Drivers(), Lines{});
    EXPECT_TRUE(r.core.events().IsEventSet(EVT_DOME_DIR2));
}

TEST(MainActions, SpeedModesUnGearingManualModeAndFilter) {
    CoreRig r;
    r.Init();
    r.core.PressTracking();
    r.core.ClickLock(EVT_ALPHA_PLUS_LOCK);
    r.log.Clear();
    r.core.SpeedModeClicked(CMD_ALPHA_MODE, SPEED_POINTING);
    EXPECT_EQ(r.settings.Int(IntKey::control_mode_alpha), SPEED_POINTING);
    EXPECT_TRUE(r.view.IsChecked("optControlPointingAlpha"));
    EXPECT_FALSE(r.view.IsChecked("optControlCenteringAlpha"));
    // The telescope moves stop, tracking goes on.
    EXPECT_EQ(r.log.Only({"msg"}), (Lines{"msg Arret Pointage Alpha +", "msg Suivi Raquette",
                                          "msg Mouvement Alpha en mode Pointage"}));
    EXPECT_TRUE(r.core.events().IsEventSet(EVT_TRACKING));

    // Un-gearing stops tracking too and disables the pad; speed clicks are then silent.
    r.log.Clear();
    r.core.UnGearClicked();
    EXPECT_EQ(r.log.Only({"msg"}), (Lines{"msg Arret Suivi Raquette"}));
    EXPECT_FALSE(r.view.Enabled("picAlphaPlus"));
    r.log.Clear();
    r.core.SpeedModeClicked(CMD_DELTA_MODE, SPEED_MOVING);
    EXPECT_TRUE(r.log.lines.empty());
    EXPECT_EQ(r.settings.Int(IntKey::control_mode_delta), SPEED_MOVING);

    // Manual mode on and off; leaving it enables the pad even while un-geared.
    r.core.ManualModeClicked();
    EXPECT_FALSE(r.timer.enabled);
    EXPECT_EQ(r.settings.Int(IntKey::manual_mode), 1);
    r.log.Clear();
    r.core.ManualModeClicked();
    EXPECT_TRUE(r.timer.enabled);
    EXPECT_TRUE(r.view.Enabled("picAlphaPlus"));
    EXPECT_EQ(r.log.Only({"msg"}), (Lines{"msg Passage en mode commande"}));
    EXPECT_EQ(r.log.Only({"P 401"}), (Lines{"P 401 (1,0)"}));

    // Filter: validating follows the list's text.
    r.log.Clear();
    r.view.texts["cmbFilterValue"] = "";
    r.core.FilterListChanged();
    EXPECT_FALSE(r.view.Enabled("cmdFilterValidate"));
    r.view.texts["cmbFilterValue"] = "Vert";
    r.core.FilterListChanged();
    EXPECT_TRUE(r.view.Enabled("cmdFilterValidate"));
    r.core.FilterValidateClicked();
    EXPECT_EQ(r.Drivers(), (Lines{"P 1301 (7,0)"}));
}

// From the busy 64xx driver's wait or box: the others stop at once, the busy one (never re-entered) once back.
TEST(StopAll, ReachesEveryDriverAtOnceExceptTheBusyOneWhichGetsItsStopsWhenItReturns) {
    enum class From { WaitOfTheDriver, BoxOfTheDriver };
    for (const From from : {From::WaitOfTheDriver, From::BoxOfTheDriver}) {
        SCOPED_TRACE(from == From::WaitOfTheDriver ? "wait" : "box");
        CoreRig r;
        r.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
        r.settings.Int(IntKey::interface_de) = INTERFACE_64XX;
        r.Init();
        bool inside = false;
        uint64_t waited = 0;
        r.core.drivers().Register(InterfaceId::S64xx, [&](int16_t code, DriverParam& p) -> int16_t {
            r.log.Add((inside ? "re-entered S " : "S ") + std::to_string(code) + " (" + std::to_string(p.Action) + ")");
            inside = true;
            if (code == CMD_ALPHA_PLUS && p.Action == 1) {
                const uint64_t t0 = r.clock.ElapsedMs();
                if (from == From::WaitOfTheDriver) {
                    WaitMs(r.clock, 10000);
                } else {
                    r.core.RequestStopAll();  // F12 in the box
                    WaitMs(r.clock, 10000);
                }
                waited = r.clock.ElapsedMs() - t0;
            }
            inside = false;
            return 1;
        });
        r.core.PressDomeTracking();
        const uint64_t pressAt = r.clock.ElapsedMs() + 100;
        bool pressed = false;  // the key goes down once
        r.core.SetStopWatcher([&] {
            const bool now = from == From::WaitOfTheDriver && !pressed && r.clock.ElapsedMs() >= pressAt;
            pressed = pressed || now;
            return now;
        });
        r.core.PressDirection(EVT_ALPHA_PLUS);

        EXPECT_LT(waited, 150u);
        EXPECT_EQ(r.log.Only({"S ", "P ", "re-entered", "msg Arr"}),
                  (Lines{"P 101 (1,0)", "S 4 (1)", "msg Arrêt général", "msg Arret Suivi Coupole", "P 101 (2,0)",
                         "S 4 (2)"}));
        EXPECT_FALSE(r.core.events().IsEventSet(EVT_ALPHA_PLUS));

        // Once the busy driver has returned, waits run to their end again.
        const uint64_t t0 = r.clock.ElapsedMs();
        WaitMs(r.clock, 1000);
        EXPECT_EQ(r.clock.ElapsedMs() - t0, 1000u);
    }
    // The clock outlives a core loaded and thrown away: its waits must not ask a core that is gone.
    test::RecordingSeams seams;
    VirtualClock clock{PcDateTime{2026, 12, 6, 21, 30, 0, 0}};
    int asked = 0;
    {
        Core core(seams.settings, seams.Seams(clock));
        core.SetStopWatcher([&] { return ++asked < 0; });
        WaitMs(clock, 100);
        ASSERT_GT(asked, 0);
    }
    const int askedBefore = asked;
    WaitMs(clock, 100);
    EXPECT_EQ(asked, askedBefore);
}

// An action on unreachable hardware says so; polling, stops and the start stay quiet.
TEST(Unreachable, AnActionOnHardwareThatCouldNotBeReachedIsReported) {
    CoreRig r;
    r.Init();
    r.core.drivers().SetLink(InterfaceId::Parallel, LinkState::Unreachable);
    r.core.SystemTick();
    r.core.PressTracking();
    r.core.PressDirection(EVT_ALPHA_PLUS);
    r.core.ReleaseDirection(EVT_ALPHA_PLUS);
    // Tracking, the move, then tracking again as the move ends.
    EXPECT_EQ(r.log.Only({"msg !!!"}), (Lines{"msg !!! Interface Pelaro injoignable : commande 1 sans effet",
                                              "msg !!! Interface Pelaro injoignable : commande 4 sans effet",
                                              "msg !!! Interface Pelaro injoignable : commande 1 sans effet"}));
}

}  // namespace
}  // namespace axo
