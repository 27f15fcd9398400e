// The dome board: rotation, initialisation, travel to rest, following the telescope, and the
// position count (one byte, 250 counts per turn, count 0 at azimuth 180 degrees).

#include <cstdlib>

#include "interfaces/parallel/input_value.h"
#include "interfaces/parallel/parallel_driver.h"

namespace axo {

namespace {

// Dome command dibits.
constexpr uint8_t kDomeRead = 0;
constexpr uint8_t kDomeStopDibit = 1;
constexpr uint8_t kDomeRotateDibit = 2;
constexpr uint8_t kDomeSetupDibit = 3;

// Direction 1 (code 102) turns towards decreasing azimuth, direction 2 (code 103) towards
// increasing azimuth. Returns the code of the shortest way from a to t.
int16_t ShortestDirection(int a, int t) {
    if (a > t) {
        return a - t < 180 ? CMD_DOME_DIR1 : CMD_DOME_DIR2;
    }
    return t - a < 180 ? CMD_DOME_DIR2 : CMD_DOME_DIR1;
}

int16_t CountToAzimuth(int count) {
    // 360 / 250 = 1.44 degrees per count, in whole numbers so no count lands a degree short.
    int azimuth = count * 144 / 100 + 180;
    if (azimuth >= 360) {
        azimuth -= 360;
    }
    return static_cast<int16_t>(azimuth);
}

}  // namespace

void ParallelDriver::DomeStop() {
    link_.Strobe(kDomeBoard, kDomeStopDibit);
    core_.state().DomeTrackingOn = false;
    core_.state().DomeFollowMoving = false;
    // A stopped dome no longer travels to its rest position. Left set, the flag would keep the
    // rest step polling a dome that never arrives, and refuse every dome button until restart.
    core_.state().DomeRestRunning = false;
}

void ParallelDriver::DomeRotate(int16_t direction) {
    Operator& op = core_.op();
    link_.Strobe(kDomeBoard, kDomeStopDibit);
    link_.Strobe(kDomeBoard, kDomeRotateDibit);
    // These two always stop the observer with a box: a dome that does not turn needs eyes on it.
    if (!link_.WaitReadyClear()) {
        op.Beep();
        ShowErrorBox("Rotation de la coupole impossible.", "La platine coupole ne répond pas.");
        core_.state().DomeRestRunning = false;
        return;
    }
    link_.Strobe(kDomeBoard, direction == CMD_DOME_DIR1 ? 1 : 2);
    if (!link_.WaitReadySet()) {
        op.Beep();
        ShowErrorBox("Problème avec la rotation de la coupole.", "La platine coupole ne répond pas.");
        core_.state().DomeRestRunning = false;
    }
}

void ParallelDriver::DomeInit() {
    DomeStop();
    link_.Strobe(kDomeBoard, kDomeSetupDibit);
    if (link_.WaitInputEqual(kInputAck)) {
        link_.Strobe(kDomeBoard, kDomeSetupDibit);
        core_.state().DomeInitRunning = true;
        return;
    }
    ReportTransmissionFailure("Initialisation de la coupole impossible.", "La platine Coupole ne répond pas.");
    core_.state().DomeInitRunning = false;
}

bool ParallelDriver::AtRest() const {
    const int d = std::abs(core_.position().DomeAzimuth - core_.settings().Int(IntKey::dome_rest_pos));
    return d <= 8 || d >= 352;
}

void ParallelDriver::RotateTowards(int16_t from, int16_t to) {
    DomeRotate(ShortestDirection(from, to));
}

void ParallelDriver::DomeToRest() {
    if (AtRest()) {
        BoardMessage(16);
        return;
    }
    core_.state().DomeRestRunning = true;
    RotateTowards(core_.position().DomeAzimuth, core_.settings().Int(IntKey::dome_rest_pos));
}

void ParallelDriver::DomeRestStep() {
    if (AtRest()) {
        core_.state().DomeRestRunning = false;
        DomeStop();
        BoardMessage(16);
    }
}

void ParallelDriver::DomeFollowStep() {
    RuntimeState& state = core_.state();
    const int dome = core_.position().DomeAzimuth;
    if (!core_.position().TelescopeAzimuthKnown) {
        // The coders cannot be read: hold the dome where it is rather than chase a stale or
        // never-read azimuth; following resumes with the first reading.
        if (state.DomeFollowMoving) {
            state.DomeFollowMoving = false;
            link_.Strobe(kDomeBoard, kDomeStopDibit);
        }
        return;
    }
    // The read-out may round a telescope azimuth of 359.6 up to 360: that is north, 0.
    const int telescope = core_.position().TelescopeAzimuth % 360;
    const int x = std::abs(dome - telescope - 3);
    if (x >= 3 && x <= 357) {
        if (!state.DomeFollowMoving) {
            state.DomeFollowMoving = true;
            RotateTowards(static_cast<int16_t>(dome), static_cast<int16_t>(telescope));
        }
        return;
    }
    // 1 to 5 degrees past the target: the stop band, so a dome that just arrived coasts to rest
    // inside it instead of hunting back and forth.
    if (state.DomeFollowMoving) {
        state.DomeFollowMoving = false;
        link_.Strobe(kDomeBoard, kDomeStopDibit);
    }
}

void ParallelDriver::ReadDomeAzimuth() {
    CheckBoardMessages();
    link_.Strobe(kDomeBoard, kDomeRead);
    if (!link_.WaitReadyClear()) {
        CountFailedPoll(kDomeBoard, dome_);
        return;
    }
    // The high nibble comes with the acknowledge set; a reading without it cannot be a count.
    const uint8_t first = link_.ReadInput();
    if ((first & kInputAck) == 0) {
        ReportReceptionFailure(kDomeBoard, dome_);
        return;
    }
    const int high = first - 16;
    link_.WriteCommand(0x30);
    if (!link_.WaitInputMasked(kInputAck, 0)) {
        ReportReceptionFailure(kDomeBoard, dome_);
        return;
    }
    const int low = link_.InputValue();
    link_.WriteCommand(0x00);
    if (!link_.WaitReadySet()) {
        ReportReceptionFailure(kDomeBoard, dome_);
        return;
    }
    const int count = high * 16 + low;
    if (count > 255) {
        ReportReceptionFailure(kDomeBoard, dome_);
        return;
    }
    domeCount_ = static_cast<uint8_t>(count);
    core_.settings().Int(IntKey::NIC) = domeCount_;
    core_.position().DomeAzimuth = CountToAzimuth(count);
    dome_ = {};
    BoardAnswered(kDomeBoard, true);
}

int16_t ParallelDriver::SendDomePosition() {
    DomeStop();
    const uint8_t b = domeCount_;
    struct Step {
        uint8_t dibit;
        uint8_t expected;
    };
    const Step steps[] = {
        {kDomeSetupDibit, 0x10},
        {0, 0x11},
        {static_cast<uint8_t>((b >> 6) & 3), 0x10},
        {static_cast<uint8_t>((b >> 4) & 3), 0x11},
        {static_cast<uint8_t>((b >> 2) & 3), 0x10},
        {static_cast<uint8_t>(b & 3), 0x11},
    };
    for (const Step& step : steps) {
        link_.Strobe(kDomeBoard, step.dibit);
        if (!link_.WaitInputEqual(step.expected)) {
            ReportTransmissionFailure("Transmission du nombre d'impulsion coupole impossible.",
                                      "La platine coupole ne répond pas.");
            WaitMs(core_.clock(), 200);
            ResetBoard(kDomeBoard);
            return 1;
        }
    }
    link_.Strobe(kDomeBoard, 0);
    return 0;
}

}  // namespace axo
