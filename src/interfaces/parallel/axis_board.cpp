// Transfers with the two axis boards: reference positions, count variables, position reads.

#include <cmath>
#include <vector>

#include "interfaces/parallel/input_value.h"
#include "interfaces/parallel/parallel_driver.h"

namespace axo {

namespace {

using Dibits = std::vector<uint8_t>;

// Command dibits of the axis boards.
constexpr uint8_t kCommandRead = 0;
constexpr uint8_t kCommandCoordinates = 2;
constexpr uint8_t kCommandCount = 3;

// Most significant dibit first.
void AppendFullByte(Dibits& out, unsigned value) {
    const unsigned b = value & 0xFF;
    for (int shift = 6; shift >= 0; shift -= 2) {
        out.push_back(static_cast<uint8_t>((b >> shift) & 3));
    }
}

// Bits 5-4, 3-2, 1-0, then a zero dibit.
void AppendSixBit(Dibits& out, unsigned value) {
    const unsigned b = value & 0xFF;
    for (int shift = 4; shift >= 0; shift -= 2) {
        out.push_back(static_cast<uint8_t>((b >> shift) & 3));
    }
    out.push_back(0);
}

// The whole part of a non-negative count piece, as the byte the board takes (modulo 256).
// Values beyond any byte (a damaged settings file) must not reach an undefined conversion.
unsigned WholeByte(double x) {
    if (!std::isfinite(x)) {
        return 0;
    }
    const double whole = std::floor(x);
    const double wrapped = std::fmod(whole, 256.0);
    return static_cast<unsigned>(wrapped < 0 ? wrapped + 256.0 : wrapped);
}

// The count variable as four bytes: whole part, then three pairs of decimals. The tiny
// addend keeps 1.15 from coming out as 1, 14, 99, 99 in binary floating point.
void CountBytes(double value, unsigned bytes[4]) {
    double x = value + 1E-11;
    bytes[0] = WholeByte(x);
    for (int i = 1; i < 4; ++i) {
        x = (x - std::floor(x)) * 100.0;
        bytes[i] = WholeByte(x);
    }
}

}  // namespace

bool ParallelDriver::WriteTransfer(uint8_t address, uint8_t commandDibit, const WriteStep* steps, std::size_t count) {
    link_.Strobe(address, commandDibit);
    if (!link_.WaitReadyClear()) {
        return true;  // a board busy at the start is skipped without a word
    }
    for (std::size_t i = 0; i < count; ++i) {
        link_.Strobe(address, steps[i].dibit);
        if (steps[i].ack >= 0 && !link_.WaitInputMasked(kInputAck, steps[i].ack != 0 ? kInputAck : 0)) {
            return false;
        }
    }
    return true;
}

namespace {
// Acknowledges alternate after every dibit but the last; `firstSet` tells the level after the
// first one.
std::vector<int> AlternatingAcks(std::size_t count, bool firstSet) {
    std::vector<int> acks(count);
    for (std::size_t i = 0; i < count; ++i) {
        const bool odd = i % 2 == 0;  // dibit number i + 1
        acks[i] = (odd == firstSet) ? 1 : 0;
    }
    acks[count - 1] = -1;
    return acks;
}
}  // namespace

void ParallelDriver::SendAlphaCoordinates(int h, int m, int s) {
    Dibits dibits;
    AppendSixBit(dibits, static_cast<unsigned>(h));
    AppendSixBit(dibits, static_cast<unsigned>(m));
    AppendSixBit(dibits, static_cast<unsigned>(s));
    const std::vector<int> acks = AlternatingAcks(dibits.size(), true);
    std::vector<WriteStep> steps;
    for (std::size_t i = 0; i < dibits.size(); ++i) {
        steps.push_back({dibits[i], acks[i]});
    }
    if (!WriteTransfer(kAlphaBoard, kCommandCoordinates, steps.data(), steps.size())) {
        ReportTransmissionFailure("Transmission des coordonnées Alpha impossible.", "La platine Alpha ne répond pas.");
    }
}

void ParallelDriver::SendDeltaCoordinates(int d, int m, int s, int negZero) {
    // Bit 7 of the degrees flags a positive declination, bit 7 of the minutes a negative one;
    // between 0 and -1 degree (d = 0 with negZero) neither is set.
    const unsigned absD = static_cast<unsigned>(d < 0 ? -d : d);
    const unsigned D = (d >= 0 && negZero == 0) ? absD + 128 : absD;
    const unsigned M = d < 0 ? static_cast<unsigned>(m) + 128 : static_cast<unsigned>(m);
    Dibits dibits;
    AppendFullByte(dibits, D);
    AppendFullByte(dibits, M);
    AppendSixBit(dibits, static_cast<unsigned>(s));
    const std::vector<int> acks = AlternatingAcks(dibits.size(), false);
    std::vector<WriteStep> steps;
    for (std::size_t i = 0; i < dibits.size(); ++i) {
        steps.push_back({dibits[i], acks[i]});
    }
    if (!WriteTransfer(kDeltaBoard, kCommandCoordinates, steps.data(), steps.size())) {
        ReportTransmissionFailure("Transmission des coordonnées Delta impossible.", "La platine Delta ne répond pas.");
    }
}

void ParallelDriver::SendCountAlpha(double value) {
    unsigned bytes[4];
    CountBytes(value, bytes);
    Dibits dibits;
    for (unsigned b : bytes) {
        AppendFullByte(dibits, b);
    }
    const std::vector<int> acks = AlternatingAcks(dibits.size(), false);
    std::vector<WriteStep> steps;
    for (std::size_t i = 0; i < dibits.size(); ++i) {
        steps.push_back({dibits[i], acks[i]});
    }
    if (!WriteTransfer(kAlphaBoard, kCommandCount, steps.data(), steps.size())) {
        ReportTransmissionFailure("Transmission du nombre d'impulsion Alpha impossible.",
                                  "La platine Alpha ne répond pas.");
    }
}

void ParallelDriver::SendCountDelta(double value) {
    unsigned bytes[4];
    CountBytes(value, bytes);
    Dibits dibits;
    AppendSixBit(dibits, 0);
    AppendSixBit(dibits, bytes[0]);
    AppendFullByte(dibits, bytes[1]);
    AppendFullByte(dibits, bytes[2]);
    AppendFullByte(dibits, bytes[3]);
    std::vector<int> acks = AlternatingAcks(dibits.size(), false);
    // Nothing is awaited after the zero dibit that closes each six-bit byte.
    acks[3] = -1;
    acks[7] = -1;
    std::vector<WriteStep> steps;
    for (std::size_t i = 0; i < dibits.size(); ++i) {
        steps.push_back({dibits[i], acks[i]});
    }
    if (!WriteTransfer(kDeltaBoard, kCommandCount, steps.data(), steps.size())) {
        ReportTransmissionFailure("Transmission du nombre d'impulsion Delta impossible.",
                                  "La platine Delta ne répond pas.");
    }
}

// One pair of a position read: a strobe and the tens shown with the acknowledge clear, then a
// strobe and the units with the acknowledge set. The tens are the whole input value, so that
// the Delta board's flag bits reach the caller.
bool ParallelDriver::ReadAxisNibblePair(uint8_t address, NibblePair& pair) {
    Clock& clock = core_.clock();
    link_.Strobe(address, 0);
    WaitMs(clock, 1);
    if (!link_.WaitInputMasked(kInputAck, 0)) {
        return false;
    }
    const int tens = link_.InputValue();
    link_.Strobe(address, 0);
    WaitMs(clock, 1);
    if (!link_.WaitInputMasked(kInputAck, kInputAck)) {
        return false;
    }
    pair.tens = tens;
    pair.units = link_.InputValue() - 16;
    return true;
}

void ParallelDriver::ReadAlphaCoordinates() {
    CheckBoardMessages();
    Position& pos = core_.position();
    Clock& clock = core_.clock();
    if (!link_.IsReady()) {
        CountFailedPoll(kAlphaBoard, alpha_);
        return;
    }
    link_.Strobe(kAlphaBoard, kCommandRead);
    if (!link_.WaitReadyClear()) {
        CountFailedPoll(kAlphaBoard, alpha_);
        return;
    }
    // The hours' tens are on the lines as soon as the board has left ready.
    link_.ReadInput();
    WaitMs(clock, 1);
    const int hoursTens = link_.InputValue();
    link_.Strobe(kAlphaBoard, 0);
    WaitMs(clock, 1);
    if (!link_.WaitInputMasked(kInputAck, kInputAck)) {
        ReportReceptionFailure(kAlphaBoard, alpha_);
        return;
    }
    pos.HourAngleH = static_cast<int16_t>(hoursTens * 10 + (link_.InputValue() - 16));
    NibblePair pair;
    if (!ReadAxisNibblePair(kAlphaBoard, pair)) {
        ReportReceptionFailure(kAlphaBoard, alpha_);
        return;
    }
    pos.HourAngleM = static_cast<int16_t>(pair.tens * 10 + pair.units);
    if (!ReadAxisNibblePair(kAlphaBoard, pair)) {
        ReportReceptionFailure(kAlphaBoard, alpha_);
        return;
    }
    pos.HourAngleS = static_cast<int16_t>(pair.tens * 10 + pair.units);
    link_.Strobe(kAlphaBoard, 0);
    WaitMs(clock, 1);
    if (!link_.WaitReadySet()) {
        ReportReceptionFailure(kAlphaBoard, alpha_);
        return;
    }
    alpha_ = {};
    BoardAnswered(kAlphaBoard, true);
}

void ParallelDriver::ReadDeltaCoordinates() {
    CheckBoardMessages();
    Position& pos = core_.position();
    Clock& clock = core_.clock();
    if (!link_.IsReady()) {
        CountFailedPoll(kDeltaBoard, delta_);
        return;
    }
    link_.Strobe(kDeltaBoard, kCommandRead);
    if (!link_.WaitReadyClear()) {
        CountFailedPoll(kDeltaBoard, delta_);
        return;
    }
    link_.ReadInput();
    WaitMs(clock, 1);
    const int degreesTens = link_.InputValue();
    link_.Strobe(kDeltaBoard, 0);
    WaitMs(clock, 1);
    if (!link_.WaitInputMasked(kInputAck, kInputAck)) {
        ReportReceptionFailure(kDeltaBoard, delta_);
        return;
    }
    pos.DeclinationD = static_cast<int16_t>(degreesTens * 10 + (link_.InputValue() - 16));
    NibblePair pair;
    if (!ReadAxisNibblePair(kDeltaBoard, pair)) {
        ReportReceptionFailure(kDeltaBoard, delta_);
        return;
    }
    // Bit 3 of the minutes' tens is the sign (set = positive), bits 0-2 the tens.
    const int minutesTens = pair.tens;
    pos.DeclinationNegative = static_cast<int16_t>((minutesTens & 8) != 0 ? 0 : 1);
    pos.DeclinationM = static_cast<int16_t>((minutesTens & 7) * 10 + pair.units);
    if (!ReadAxisNibblePair(kDeltaBoard, pair)) {
        ReportReceptionFailure(kDeltaBoard, delta_);
        return;
    }
    pos.DeclinationS = static_cast<int16_t>((pair.tens & 7) * 10 + pair.units);
    link_.Strobe(kDeltaBoard, 0);
    WaitMs(clock, 1);
    if (!link_.WaitReadySet()) {
        ReportReceptionFailure(kDeltaBoard, delta_);
        return;
    }
    if (pos.DeclinationNegative == 1 && pos.DeclinationD == 0 && pos.DeclinationM == 0 && pos.DeclinationS == 0) {
        pos.DeclinationNegative = 0;  // -0 0' 0" is the equator
    }
    delta_ = {};
    BoardAnswered(kDeltaBoard, true);
}

}  // namespace axo
