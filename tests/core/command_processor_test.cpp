#include "core/command_processor.h"

#include <gtest/gtest.h>

#include "support/core_fakes.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;

struct CommandRig : test::CoreRig {
    CommandRig() {
        Init();
        log.Clear();
    }
    Lines Trace() const { return log.Only({"P ", "S ", "E ", "T ", "msg "}); }
};

TEST(Command, AxisMotionNamesThePressedButtonAndSendsTheSwappedCode) {
    CommandRig r;
    r.settings.Int(IntKey::control_mode_delta) = SPEED_POINTING;
    r.settings.Int(IntKey::reverse_delta) = 1;
    r.core.Command(CMD_DELTA_PLUS, kStart);
    r.core.Command(CMD_DELTA_PLUS, kStop);
    EXPECT_EQ(r.Trace(), (Lines{"msg Pointage Delta +", "P 3 (1,4)", "P 3 (2,4)", "msg Arret Pointage Delta +"}));

    r.log.Clear();
    r.settings.Int(IntKey::control_mode_alpha) = 7;  // no such mode: caption alone, mode passed on
    r.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
    r.view.texts["lblControlAlphaP"] = "Est";
    r.core.Command(CMD_ALPHA_PLUS, kStart);
    EXPECT_EQ(r.Trace(), (Lines{"msg Est", "S 4 (1,7)"}));
    // A box that does not confirm its stop: the stop is never said done.
    r.core.drivers().Register(InterfaceId::S64xx, [&](int16_t code, DriverParam& p) -> int16_t {
        r.log.Add("S " + std::to_string(code) + " (" + std::to_string(p.Action) + ")");
        return 0;
    });
    r.core.Command(CMD_ALPHA_PLUS, kStop);
    EXPECT_EQ(r.Trace(), (Lines{"msg Est", "S 4 (1,7)", "S 4 (2)"}));

    r.log.Clear();
    r.settings.Int(IntKey::interface_de) = INTERFACE_EIK120;  // coders only: nothing moves
    r.core.Command(CMD_DELTA_MINUS, 3);                        // neither start nor stop: no line
    r.core.Command(CMD_DELTA_MINUS, kStart);
    EXPECT_EQ(r.Trace(), (Lines{"msg Pointage Delta -"}));
}

TEST(Command, TrackingModeSwitchAndPolls) {
    CommandRig r;
    r.core.Command(CMD_TRACKING, 0);
    r.core.Command(CMD_TRACKING, kStart);
    EXPECT_EQ(r.Trace(), (Lines{"P 1 (0,0)", "msg Suivi Raquette", "P 1 (1,0)"}));

    r.log.Clear();
    r.core.state().ParallelInUse = true;
    r.core.state().S64xxInUse = true;
    r.core.Command(CMD_CONTROL_MODE, 2);
    EXPECT_EQ(r.Trace(), (Lines{"msg Passage en mode manuel", "P 401 (2,0)", "S 401 (2,0)"}));

    r.log.Clear();
    r.core.Command(CMD_ALPHA_MODE, SPEED_MOVING);
    r.core.Command(CMD_DELTA_MODE, SPEED_MOVING);
    r.core.Command(999, 1);
    EXPECT_TRUE(r.log.lines.empty());

    // The board poll always goes to the parallel entry; the 64xx step only with Alpha on a box.
    r.settings.Int(IntKey::interface_ra) = 0;
    r.core.Command(CMD_POLL_BOARDS, 0);
    r.core.Command(CMD_POLL_64XX, 0);
    r.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
    r.core.Command(CMD_POLL_64XX, 0);
    EXPECT_EQ(r.Trace(), (Lines{"P 402 (0,0)", "S 8 (0,0)"}));
}

TEST(Command, DomeFocusAndFilterCommandsAndErrorsThatAlwaysShow) {
    CommandRig r;
    r.settings.Int(IntKey::reverse_dome) = 1;
    r.core.Command(CMD_DOME_DIR1, kStart);
    EXPECT_EQ(r.Trace(), (Lines{"msg Mouvement Coupole Est", "P 103 (1,0)"}));

    r.log.Clear();
    r.core.Command(CMD_DOME_INIT_STOP, kStop);  // nothing running
    r.core.Command(CMD_DOME_INIT_STOP, kStart);
    EXPECT_TRUE(r.log.lines.empty());
    r.core.state().DomeRestRunning = true;
    r.core.Command(CMD_DOME_INIT_STOP, kStop);
    r.core.state().DomeInitRunning = true;
    r.core.Command(CMD_DOME_INIT_STOP, kStop);
    EXPECT_EQ(r.Trace(), (Lines{"msg Arret mise au repos de la Coupole", "P 101 (2,0)",
                                "msg Arret Initialisation Coupole", "P 101 (2,0)"}));

    r.log.Clear();
    r.settings.Int(IntKey::interface_dome) = 5;  // no dome interface: the lines only
    r.core.Command(CMD_DOME_TRACKING, kStart);
    r.core.Command(CMD_DOME_REST, 0);
    r.core.Command(CMD_DOME_INIT, 0);
    r.core.Command(CMD_DOME_DIR2, kStop);
    EXPECT_EQ(r.Trace(), (Lines{"msg Suivi Coupole", "msg Mise au repos de la coupole",
                                "msg Initialisation de la coupole", "msg Arret Mouvement Coupole Ouest"}));

    // Focus and filter always go to the parallel boards.
    r.log.Clear();
    r.settings.Int(IntKey::interface_focus) = 0;
    r.settings.Int(IntKey::interface_filter) = 0;
    r.settings.Int(IntKey::reverse_focus) = 1;
    r.core.Command(CMD_FOCUS_DIR2, kStart);
    r.view.texts["cmbFilterValue"] = "rouge";
    r.core.Command(CMD_FILTER, 0);
    r.view.texts["cmbFilterValue"] = "Bleu";
    r.core.Command(CMD_FILTER, 0);
    EXPECT_EQ(r.Trace(), (Lines{"msg Focus Intra", "P 201 (1,0)", "P 1301 (0,0)", "msg Filtre bleu", "P 1301 (8,0)"}));

    // Information lines follow gui_messages; errors always show.
    r.log.Clear();
    r.settings.Int(IntKey::gui_messages) = 0;
    r.core.Command(CMD_TRACKING, kStart);
    r.core.display().AddErrorMessage("!!! Erreur");
    EXPECT_EQ(r.Trace(), (Lines{"P 1 (1,0)", "msg !!! Erreur"}));
}

TEST(Fmt2, PadsToTwoDigitsAndRoundsHalvesAwayFromZero) {
    EXPECT_EQ(Fmt2(5) + " " + Fmt2(0) + " " + Fmt2(-5) + " " + Fmt2(123) + " " + Fmt2(59.6) + " " + Fmt2(2.5),
              "05 00 -05 123 60 03");
    EXPECT_EQ(ModeText(SPEED_MOVING) + "|" + ModeText(0), "Déplacement |");
}

}  // namespace
}  // namespace axo
