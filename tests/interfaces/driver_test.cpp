#include <gtest/gtest.h>

#include <array>

#include "interfaces/parallel/count_entry.h"
#include "interfaces/parallel/talvene_driver.h"
#include "interfaces/parallel_rig.h"

namespace axo {
namespace {

using test::Bytes;
using test::FakePortIo;
using test::Lines;
using test::ParallelRig;
using Writes = std::vector<FakePortIo::Write>;

Writes Latch(uint8_t address, uint8_t byte) {
    return {{0x278, byte}, {0x378, address}, {0x378, 0x00}};
}
Writes Cat(Writes a, const Writes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ParallelDriverEntry, MotorLatchBytes) {
    // Alpha+ stopped (action 2) leaves tracking too; mode 6 is none; the stop spares the dome and filter.
    const struct { int16_t code, action, mode; Writes writes; } cases[] = {
        {CMD_TRACKING, 1, 0, Latch(4, 0x7E)},                    {CMD_TRACKING, 2, 0, Latch(4, 0xFE)},
        {CMD_ALPHA_PLUS, 1, SPEED_CENTERING, Latch(4, 0x76)},    {CMD_ALPHA_PLUS, 1, SPEED_POINTING, Latch(4, 0x56)},
        {CMD_ALPHA_PLUS, 1, SPEED_MOVING, Latch(4, 0x36)},       {CMD_ALPHA_MINUS, 1, SPEED_CENTERING, Latch(4, 0x6E)},
        {CMD_ALPHA_MINUS, 1, SPEED_POINTING, Latch(4, 0x4E)},    {CMD_ALPHA_MINUS, 1, SPEED_MOVING, Latch(4, 0x2E)},
        {CMD_ALPHA_PLUS, 2, SPEED_MOVING, Latch(4, 0xFE)},       {CMD_DELTA_PLUS, 1, SPEED_CENTERING, Latch(5, 0xF6)},
        {CMD_DELTA_PLUS, 1, SPEED_POINTING, Latch(5, 0xD6)},     {CMD_DELTA_PLUS, 1, SPEED_MOVING, Latch(5, 0xB6)},
        {CMD_DELTA_MINUS, 1, SPEED_CENTERING, Latch(5, 0xEE)},   {CMD_DELTA_MINUS, 1, SPEED_POINTING, Latch(5, 0xCE)},
        {CMD_DELTA_MINUS, 1, SPEED_MOVING, Latch(5, 0xAE)},      {CMD_DELTA_MINUS, 0, SPEED_MOVING, Latch(5, 0xFE)},
        {CMD_DELTA_PLUS, 1, 6, {}},                              {CMD_FOCUS_DIR1, 1, 0, {}},
        {CMD_CONTROL_MODE, 1, 0, Cat(Latch(4, 0xFE), Latch(5, 0xFE))},
        {CMD_CONTROL_MODE, 2, 0, Cat(Latch(4, 0xFF), Latch(5, 0xFF))},
        {CMD_STOP_INTERFACE, 0, 0, Cat(Latch(4, 0xFF), Latch(5, 0xFF))},
        {CMD_FOCUS_DIR2, 2, 0, {}},                              {CMD_TELESCOPE_AZIMUTH, 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << c.action << " " << c.mode);
        ParallelRig t;
        EXPECT_EQ(t.Code(c.code, c.action, c.mode), 1);
        EXPECT_EQ(t.io.writes, c.writes);
        EXPECT_TRUE(t.Reports().empty());
    }
}

TEST(ParallelDriverEntry, StartSequenceProgressAndBoardsThatDoNotAnswer) {
    ParallelRig t;
    t.r.core.state().StartupDone = false;
    t.io.SetInput(0x20);  // no board ever answers
    // The dome's position load fails, which is the only thing the status reports.
    EXPECT_EQ(t.Code(CMD_START_INTERFACE), 0);
    EXPECT_EQ(t.io.openCalls, 1);
    EXPECT_EQ(t.progress.texts,
              (Lines{"Détection des adresses des ports", "Reset des ports parallèles", "Reset Micro-Contrôleur Alpha",
                     "Reset Micro-Contrôleur Delta", "Reset Micro-Contrôleur Coupole", "Calibration coupole",
                     "Calibration Alpha", "Calibration Delta", "Initialisation de l'interface // terminée"}));
    EXPECT_EQ(t.io.resets, 1);
    EXPECT_TRUE(t.r.core.drivers().ReadingsAvailable(InterfaceId::Parallel));
    const Lines boxes = t.r.log.Only({"box "});
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0], "box Erreur | Transmission du nombre d'impulsion coupole impossible.\n"
                        "La platine coupole ne répond pas.");

    // exit_error_init: the program is told to stop and the start ends at the failed load.
    EXPECT_EQ(t.closer.calls, 0);
    ParallelRig e;
    e.r.settings.Int(IntKey::exit_error_init) = 1;
    e.r.settings.Int(IntKey::interface_ra) = 0;
    e.io.SetInput(0x20);
    EXPECT_EQ(e.Code(CMD_START_INTERFACE), 0);
    EXPECT_EQ(e.closer.calls, 1);
    EXPECT_EQ(e.r.log.Only({"box Erreur | Le programme"}),
              (Lines{"box Erreur | Le programme va être arrêté. Relancez le\naprès avoir résolu le problème"}));
    EXPECT_EQ(e.progress.texts.back(), "Calibration coupole");
    EXPECT_TRUE(e.r.log.Only({"msg Reset micro-contrôleur Alpha"}).empty());
    EXPECT_TRUE(e.r.log.Only({"msg Calibration Delta"}).empty());
    for (const std::string& line : e.r.log.lines) {
        EXPECT_EQ(line.find("coordonnées"), std::string::npos) << line;  // nothing sent after it
    }
}

TEST(ParallelDriverEntry, PortsThatCannotBeOpenedAreReportedOnceAndNeverPolled) {
    for (const int exitOnError : {0, 1}) {
        SCOPED_TRACE(exitOnError);
        ParallelRig t;
        t.r.core.state().StartupDone = false;
        t.r.settings.Int(IntKey::error_stop) = 1;  // every report a box, as with the built-in defaults
        t.r.settings.Int(IntKey::exit_error_init) = static_cast<int16_t>(exitOnError);
        t.io.unavailable = "Impossible d'ouvrir /dev/parport0 : le port n'existe pas (module ppdev chargé ?)";
        t.io.SetInput(0x20);
        EXPECT_EQ(t.Code(CMD_START_INTERFACE), 0);
        const std::string opened = "box Erreur | Ports parallèles inaccessibles.\n" + t.io.unavailable;
        const std::string ended = "box Erreur | Le programme va être arrêté. Relancez le\naprès avoir résolu le problème";
        EXPECT_EQ(t.r.log.Only({"box "}), (exitOnError == 1 ? Lines{opened, ended} : Lines{opened}));
        EXPECT_EQ(t.closer.calls, exitOnError);
        EXPECT_EQ(t.progress.texts, (Lines{"Détection des adresses des ports", "Initialisation de l'interface // terminée"}));
        EXPECT_FALSE(t.r.core.drivers().ReadingsAvailable(InterfaceId::Parallel));

        // Running: the polling codes touch nothing and report nothing, tick after tick.
        t.r.core.state().StartupDone = true;
        t.r.log.Clear();
        for (int tick = 0; tick < 50; ++tick) {
            for (int16_t code : {CMD_POLL_BOARDS, CMD_READ_ALPHA, CMD_READ_DELTA, CMD_READ_DOME, CMD_DOME_REST_STEP,
                                 CMD_DOME_TRACK_STEP}) {
                t.Code(code);
            }
        }
        EXPECT_TRUE(t.io.writes.empty());
        EXPECT_EQ(t.io.reads, 0);
        EXPECT_EQ(t.io.resets, 0);
        EXPECT_EQ(t.Reports(), Lines{});

        // A later start (File > Open) tries the ports again and finds them there.
        t.io.unavailable.clear();
        t.r.settings.Int(IntKey::interface_dome) = 0;
        t.io.SetInput(0x20);
        t.Code(CMD_START_INTERFACE);
        EXPECT_TRUE(t.r.core.drivers().ReadingsAvailable(InterfaceId::Parallel));
        EXPECT_EQ(t.io.resets, 1);
        t.io.ClearRecord();
        t.Code(CMD_READ_ALPHA);
        EXPECT_FALSE(t.io.writes.empty());
    }
}

TEST(ParallelDriverEntry, FilterWheelPulses) {
    // 6 red, 7 green, 8 blue; data status bits 7 (inverted), 6 give the position; pulse 0 on, 2 back.
    const struct { int16_t filter; uint8_t status; int pulse; } cases[] = {
        {6, 0x80, -1}, {7, 0x80, 0}, {8, 0x80, 2},  // from red
        {7, 0x00, -1}, {6, 0x00, 2}, {8, 0x00, 0},  // from green
        {8, 0xC0, -1}, {6, 0xC0, 0}, {7, 0xC0, 2},  // from blue
        {6, 0x40, 0},                               // between positions
    };
    for (const auto& c : cases) {
        ParallelRig t;
        t.io.dataOtherBits = c.status;
        t.io.SetInput(0x20);
        t.Code(CMD_FILTER, c.filter);
        Writes expected = Latch(6, 0xFF);
        if (c.pulse >= 0) {
            expected = Cat(Cat(expected, Latch(6, static_cast<uint8_t>(c.pulse))), Latch(6, 0xFF));
        }
        EXPECT_EQ(t.io.writes, expected) << c.filter << " " << int{c.status};
    }
    ParallelRig none;
    none.Code(CMD_FILTER);
    EXPECT_TRUE(none.io.writes.empty());
}

TEST(ParallelDriverEntry, InformationLinesOfTheMaintenanceCodes) {
    ParallelRig t;
    t.r.settings.Int(IntKey::calibr_alpha_h) = 5;
    t.io.SetInput(0x20);
    for (int16_t code : {CMD_CALIBRATE_ALPHA, CMD_CALIBRATE_DELTA, CMD_SEND_COUNT_ALPHA, CMD_SEND_COUNT_DELTA}) {
        t.Code(code);
    }
    EXPECT_EQ(t.r.log.Only({"msg "}), (Lines{"msg Calibration Alpha", "msg Calibration Delta",
                                             "msg Envoi Variable de comptage Alpha",
                                             "msg Envoi Variable de comptage Delta"}));
    t.r.settings.Int(IntKey::gui_messages) = 0;  // information lines are optional
    t.r.log.Clear();
    t.io.ClearRecord();
    t.Code(CMD_RESET_DELTA);
    EXPECT_TRUE(t.r.log.Only({"msg "}).empty());
    EXPECT_EQ(t.io.CommandWrites().front(), 0x8D);
}

TEST(TalveneDriver, OnlyReportsItsStartAndStop) {
    test::CoreRig r;
    test::FakeLoadProgress progress;
    TalveneDriver talvene(r.core, &progress);
    talvene.RegisterWith(r.core);
    r.settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
    DriverParam p{0, 0};
    EXPECT_EQ(talvene.Handle(CMD_START_INTERFACE, p), 1);
    EXPECT_EQ(progress.texts, (Lines{"Initialisation de l'interface Talvene terminée"}));
    EXPECT_EQ(talvene.Handle(CMD_STOP_INTERFACE, p), 1);
    EXPECT_TRUE(r.log.Only({"msg "}).empty());

    r.settings.Int(IntKey::interface_coders) = INTERFACE_TALVENE;
    progress.texts.clear();
    r.core.position().HourAngleH = 7;
    for (int16_t code : {CMD_START_INTERFACE, CMD_READ_ALPHA, CMD_CALIBRATE_ALPHA, CMD_CALIBRATE_DELTA,
                         CMD_STOP_INTERFACE}) {
        EXPECT_EQ(r.core.drivers().TalveneDriver(code, p), 1);
    }
    EXPECT_EQ(r.core.position().HourAngleH, 7);
    EXPECT_EQ(progress.texts, (Lines{"Initialisation interface Talvene", "Initialisation de l'interface Talvene terminée"}));
    EXPECT_EQ(r.log.Only({"msg "}), (Lines{"msg Initialisation interface Talvene", "msg Calibration Alpha",
                                           "msg Calibration Delta", "msg Arrêt interface TALVENE"}));
}

TEST(CountEntry, BoundsAndMessagesOfBothAxes) {
    EXPECT_EQ(CheckCountEntry("255", CountAxis::Alpha).value, 255.0);
    EXPECT_EQ(CheckCountEntry("0,995", CountAxis::Alpha).value, 0.995);
    EXPECT_EQ(CheckCountEntry(" 24.5 ", CountAxis::Alpha).value, 24.5);
    EXPECT_EQ(CheckCountEntry("31", CountAxis::Delta).value, 31.0);
    for (const char* text : {"255,5", "255.5", "0", "-3"}) {
        const CountEntryCheck c = CheckCountEntry(text, CountAxis::Alpha);
        EXPECT_FALSE(c.value) << text;
        EXPECT_EQ(c.errorText, "Valeur de la variable de comptage Alpha incorrecte.\n"
                               "La valeur doit être strictement positive et inférieure à 256")
            << text;
    }
    EXPECT_EQ(CheckCountEntry("32", CountAxis::Delta).errorText,
              "Valeur de la variable de comptage Delta incorrecte.\n"
              "La valeur doit être strictement positive et inférieure à 32");
    for (const char* text : {"abc", "", "1,2,3"}) {
        EXPECT_EQ(CheckCountEntry(text, CountAxis::Delta).errorText, "Valeur de la variable de comptage Delta incorrecte")
            << text;
    }
}

TEST(BoardMessages, EveryCodeGivesItsLinesAcknowledgesToItsBoardAndTheDomesEndItsProceduresUnpoweredIsZero) {
    const std::string system = "msg *** Message du SYSTEME";
    const std::string dome = "msg *** Message du Micro-Controleur COUPOLE";
    const std::string alpha = "msg *** Message du Micro-Controleur ALPHA";
    const std::string delta = "msg *** Message du Micro-Controleur DELTA";
    const Bytes none{}, ackAlpha{0x02, 0x00}, ackDelta{0x03, 0x00};
    const Bytes ackDome{0x01, 0x00, 0x11, 0x10};  // the acknowledge, then the dome's stop dibit
    const struct { uint8_t code; Bytes writes; Lines reports; } cases[] = {
        {0, none, {system, "msg *** L'électronique n'est pas alimentée"}},
        {1, ackDome, {dome, "msg *** La Coupole est ARRETEE sur sa Position ZERO"}},
        {2, ackDome, {dome, "msg *** La Procédure Init COUPOLE a été ARRETEE"}},
        {3, ackDome, {dome, "msg *** PROBLEME lors de la ROTATION : COUPOLE ARRETEE"}},
        {4, ackDome, {dome, "msg *** COUPOLE ARRETEE : ROTATION TROP LONGUE"}},
        {5, ackAlpha, {alpha, "msg *** La Position Alpha du Télescope est Réinitialisée"}},
        {6, ackAlpha, {alpha, "msg *** La Procédure ZERO-CODEUR a été ARRETEE"}},
        {7, ackAlpha, {alpha, "msg *** Procédure ZERO-CODEUR ARRETEE", "msg *** Prépositionnement trop éloigné du zéro"}},
        {8, none, {"msg *** Message N° 8"}}, {9, none, {}},
        {10, ackDelta, {delta, "msg *** La Position Delta du Télescope est Réinitialisée"}},
        {11, ackDelta, {delta, "msg *** La Procédure ZERO-CODEUR a été ARRETEE"}},
        {12, ackDelta, {delta, "msg *** Procédure ZERO-CODEUR ARRETEE", "msg *** Prépositionnement trop éloigné du zéro"}},
        {13, none, {}}, {14, none, {}}, {15, none, {}},
        {16, none, {system, "msg *** La Coupole est à sa position Repos"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int{c.code});
        ParallelRig t;
        RuntimeState& s = t.r.core.state();
        s.DomeRestRunning = s.DomeInitRunning = s.DomeTrackingOn = s.DomeFollowMoving = true;
        t.driver.BoardMessage(c.code);
        EXPECT_EQ(t.io.CommandWrites(), c.writes);
        EXPECT_EQ(t.Reports(), c.reports);
        // A message that says something leaves one trace line.
        EXPECT_EQ(t.io.notes.size(), c.reports.empty() ? 0U : 1U);
        // The dome's own messages end every dome procedure; the others leave them running.
        const bool running = c.writes != ackDome;
        EXPECT_EQ((std::array<bool, 4>{s.DomeRestRunning, s.DomeInitRunning, s.DomeTrackingOn, s.DomeFollowMoving}),
                  (std::array<bool, 4>{running, running, running, running}));
    }
    ParallelRig t;
    t.driver.BoardMessage(7);
    EXPECT_EQ(t.io.notes, (Lines{"message 7 Procédure ZERO-CODEUR ARRETEE"}));

    // Unpowered boards read as message 0 at every check; a ready bus has no news.
    t.r.log.Clear();
    t.io.commandStatus = 0x80;  // every line low
    t.io.dataStatus = 0x00;
    t.Code(CMD_POLL_BOARDS);
    t.Code(CMD_POLL_BOARDS);
    EXPECT_EQ(t.Reports(), (Lines{"msg *** Message du SYSTEME", "msg *** L'électronique n'est pas alimentée",
                                  "msg *** Message du SYSTEME", "msg *** L'électronique n'est pas alimentée"}));
    t.r.log.Clear();
    t.io.SetInput(0x20);
    t.Code(CMD_POLL_BOARDS);
    EXPECT_TRUE(t.Reports().empty());
}

}  // namespace
}  // namespace axo
