#include <gtest/gtest.h>

#include "interfaces/parallel_rig.h"

namespace axo {
namespace {

using test::Bytes;
using test::Lines;
using test::ParallelRig;

// An axis board that takes the zero command (dibits 1, 0), searches, and raises its four data
// lines after `searchReads` readings; a dibit 0 then acknowledges, and a second 1, 0 while it
// searches aborts. A coordinate load (dibit 2) is acknowledged like any write transfer.
struct ZeroBoard {
    test::FakePortIo& io;
    uint8_t address;
    int searchReads;
    enum { Idle, Searching, Found, Loading } state = Idle;
    bool prefix = false;
    int reads = 0;
    bool ack = false;
    int loaded = 0;

    void Go(decltype(state) next, uint8_t input) {
        state = next;
        io.SetInput(input);
    }
    void Attach() {
        io.SetInput(0x20);
        io.beforeRead = [this](uint16_t) {
            if (state == Searching && ++reads >= 2 * searchReads) {
                Go(Found, 0x0F);
            }
        };
        io.onStrobe = [this](uint8_t a, uint8_t dibit) {
            if (a != address) {
                return;
            }
            const bool zeroCommand = prefix && dibit == 0;
            prefix = (state == Idle || state == Searching) && dibit == 1;
            if (state == Idle && zeroCommand) {
                Go(Searching, 0x10);
            } else if (state == Idle && dibit == 2) {
                ack = address == 3;
                loaded = 0;
                Go(Loading, ack ? 0x10 : 0x00);
            } else if ((state == Searching && zeroCommand) || state == Found) {
                Go(Idle, 0x20);
            } else if (state == Loading) {
                ack = !ack;
                ++loaded == 12 ? Go(Idle, 0x20) : io.SetInput(ack ? 0x10 : 0x00);
            }
        };
    }
};

struct ZeroRig : ParallelRig {
    ZeroRig() {
        driver.RegisterWith(r.core);
        r.Init();
        io.ClearRecord();
        r.log.Clear();
    }
};

TEST(ZeroCoder, CancelInTheFirstBoxTouchesNoPort) {
    for (const int probe : {1, 0}) {
        ZeroRig t;
        t.r.settings.Int(IntKey::probe_enable) = static_cast<int16_t>(probe);
        t.r.core.PressTracking();
        t.io.ClearRecord();
        t.r.log.Clear();
        t.r.op.answer = MessageAnswer::Cancel;
        t.Code(CMD_ZERO_CODER_ALPHA);
        // Tracking stopped (latch 0xFE) before the box; nothing after it.
        EXPECT_EQ(t.io.Dibits(2), Bytes{});
        EXPECT_EQ(t.io.data, 0xFE);
        EXPECT_EQ(t.r.core.events().Requested(EVT_TRACKING), 0);
        EXPECT_EQ(t.r.log.Only({"timer"}), (probe == 1 ? Lines{"timer off", "timer on"} : Lines{"timer off"}));
        EXPECT_EQ(t.r.log.Only({"box "}), (Lines{"box Zéro codeur Alpha | Mettez le Telescope un peu avant\n"
                                                 "0h 0m 0s (moins de 2 minutes)"}));
        EXPECT_EQ(t.cancel.opened, 0);
    }
}

TEST(ZeroCoder, ABoardAlreadyOnItsZeroEndsTheWaitAtTheFirstReading) {
    ZeroRig t;
    t.r.settings.Int(IntKey::control_mode_alpha) = SPEED_CENTERING;
    t.r.view.SetChecked("optControlCenteringAlpha", false);  // so that a click would show
    t.r.settings.Int(IntKey::control_mode_delta) = SPEED_MOVING;
    ZeroBoard board{t.io, 3, 0};
    board.Attach();
    t.Code(CMD_ZERO_CODER_DELTA);
    EXPECT_EQ(t.cancel.opened, 1);
    EXPECT_EQ(t.cancel.label, "Zéro codeur Delta en cours...");
    EXPECT_FALSE(t.cancel.visible);
    // Zero command, acknowledge of the index, then the load of 0 0' 0" (positive flag set).
    EXPECT_EQ(t.io.Dibits(3), (Bytes{1, 0, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(board.loaded, 12);
    // Both axes were put on centring; the Delta + lock moved the axis, and was released.
    EXPECT_EQ(t.r.settings.Int(IntKey::control_mode_delta), SPEED_CENTERING);
    EXPECT_TRUE(t.r.view.IsChecked("optControlCenteringDelta"));
    EXPECT_FALSE(t.r.view.IsChecked("optControlCenteringAlpha"));
    EXPECT_EQ(t.r.core.events().Requested(EVT_DELTA_PLUS_LOCK), 0);
    EXPECT_EQ(t.r.log.Only({"msg Centrage", "msg Arret Centrage"}).size(), 2U);
    EXPECT_TRUE(t.r.log.Only({"msg !!!"}).empty());
    EXPECT_EQ(t.r.log.Only({"timer"}), (Lines{"timer off", "timer on"}));
    EXPECT_TRUE(t.r.view.Enabled("FileMenu"));
}

TEST(ZeroCoder, CancellingASearchAbortsItAndASecondSearchRunsToItsOwnEnd) {
    ZeroRig t;
    ZeroBoard board{t.io, 2, 1000000};
    board.Attach();
    int polls = 0;
    t.io.beforeRead = [&](uint16_t) {
        if (board.state == ZeroBoard::Searching && ++polls == 50) {
            t.cancel.requested = true;
            t.cancel.visible = false;  // the Cancel button hides its window
        }
    };
    t.Code(CMD_ZERO_CODER_ALPHA);
    EXPECT_EQ(t.io.Dibits(2), (Bytes{1, 0, 1, 0}));  // zero command, then the abort
    EXPECT_EQ(board.state, ZeroBoard::Idle);
    EXPECT_EQ(board.loaded, 0);
    EXPECT_TRUE(t.r.view.Enabled("picAlphaPlus"));

    // The second search clears the old cancel request and waits for its own index.
    t.io.ClearRecord();
    ZeroBoard second{t.io, 2, 300};
    second.Attach();
    t.Code(CMD_ZERO_CODER_ALPHA);
    EXPECT_EQ(t.cancel.opened, 2);
    EXPECT_EQ(second.loaded, 12);
    EXPECT_EQ(t.io.Dibits(2), (Bytes{1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // "Arrêt général" during a search (the key seen while the cancel window's events run) ends
    // it like Cancel, then its stops go out.
    t.io.ClearRecord();
    t.cancel.visible = true;
    ZeroBoard third{t.io, 2, 1000000};
    third.Attach();
    polls = 0;
    t.io.beforeRead = [&](uint16_t) {
        if (third.state == ZeroBoard::Searching && ++polls == 50) {
            t.r.core.RequestStopAll();
        }
    };
    t.r.log.Clear();
    DriverParam none;
    t.r.core.drivers().ParallelDriver(CMD_ZERO_CODER_ALPHA, none);
    EXPECT_EQ(third.state, ZeroBoard::Idle);
    EXPECT_EQ(third.loaded, 0);
    EXPECT_FALSE(t.r.log.Only({"msg Arrêt général"}).empty());
}

TEST(ZeroCoder, ABoardThatDoesNotLeaveReadyEndsItSilently) {
    ZeroRig t;
    t.r.settings.Int(IntKey::control_mode_alpha) = SPEED_POINTING;
    t.io.SetInput(0x20);
    t.Code(CMD_ZERO_CODER_ALPHA);
    EXPECT_EQ(t.io.Dibits(2), (Bytes{1, 0}));
    EXPECT_EQ(t.r.settings.Int(IntKey::control_mode_alpha), SPEED_POINTING);
    EXPECT_EQ(t.cancel.opened, 0);
    EXPECT_TRUE(t.r.log.Only({"msg !!!", "beep"}).empty());
}

}  // namespace
}  // namespace axo
