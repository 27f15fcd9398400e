// The 6420 boxes' driver moving the simulated mount that the parallel boards' coders read: the
// faults of the boxes (the observer's moves are in ui/serial_simulation_test.cpp).

#include <gtest/gtest.h>

#include "core/interval_timer.h"
#include "interfaces/parallel/parallel_driver.h"
#include "interfaces/serial64xx/s64xx_driver.h"
#include "sim/e2e_rig.h"
#include "sim/serial64xx/settings_wiring.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;

struct Station : test::E2eRig {
    Station()
        : E2eRig(sim::ObservatoryStart{1.0, 30.0, 180.0, 3.0}),
          boxes(observatory),
          brake(r.clock),
          parallel(r.core, bus),
          serial(r.core, boxes, brake) {
        parallel.RegisterWith(r.core);
        serial.RegisterWith(r.core);
        r.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
        r.settings.Int(IntKey::interface_de) = INTERFACE_64XX;
        boxes.SetWiringSource([this] { return sim::WiringFromSettings(r.settings); });
        afterPoll = [this] { brake.Poll(); };  // the brake timer, when due
        Start();
    }

    sim::SimulatedBoxes boxes;
    ClockTimer brake;
    ParallelDriver parallel;
    S64xxDriver serial;
};

// A box that answers nothing, or two bytes only, is silent to the start's probe; a vanished line
// fails every call at once; garbage answers end the stop's wait at its 2 s limit.
TEST(SerialEndToEnd, FaultyBoxesAreReportedAndNothingHangs) {
    for (const auto& [box, fault, said] :
         {std::tuple{&sim::SimulatedBoxes::AlphaBox, sim::BoxFault::Silent, "Alpha"},
          std::tuple{&sim::SimulatedBoxes::DeltaBox, sim::BoxFault::TwoBytes, "Delta"}}) {
        SCOPED_TRACE(said);
        Station s;
        (s.boxes.*box)().SetFault(fault);
        s.r.core.CloseSystem();
        s.r.log.Clear();
        s.r.core.InitSystem();
        const std::string silent = std::string("box Erreur | Le boitier 6420 ") + said + " ne répond pas.";
        EXPECT_EQ(s.r.log.Only({"box "}), Lines{silent});
    }

    Station s;
    s.boxes.VanishLine(2, true);
    uint64_t t0 = s.r.clock.ElapsedMs();
    s.r.core.PressDirection(EVT_DELTA_PLUS);
    s.r.core.ReleaseDirection(EVT_DELTA_PLUS);
    const Lines boxes = s.r.log.Only({"box "});
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes, Lines(boxes.size(), "box Erreur | Erreur de communication.\nPort non ouvert ou inexistant"));
    EXPECT_LT(s.r.clock.ElapsedMs() - t0, 3000u);

    s.boxes.AlphaBox().SetFault(sim::BoxFault::Garbage);
    s.r.core.PressDirection(EVT_ALPHA_PLUS);
    t0 = s.r.clock.ElapsedMs();
    s.r.core.ReleaseDirection(EVT_ALPHA_PLUS);
    const uint64_t spent = s.r.clock.ElapsedMs() - t0;
    EXPECT_GT(spent, 2000u);
    EXPECT_LT(spent, 2300u);
    s.Run(1000);
    EXPECT_EQ(s.boxes.AlphaBox().StepsPerSecond(), 0.0);  // the box did stop; only its answers were useless
}

}  // namespace
}  // namespace axo
