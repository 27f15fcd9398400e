// The night log as the observer reads it the next morning, and the window that follows it.

#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>

#include "platform/night_log.h"
#include "ui/calibration_window.h"
#include "ui/night_log.h"
#include "ui/night_vision.h"
#include "ui/options_dialog.h"
#include "ui_rig.h"

namespace axo {
namespace {

// The texts of the log's lines, without their time stamps.
std::vector<std::string> LogLines(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line.size() > 21 ? line.substr(21) : line);
    }
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Commands by their meaning with the clock's UTC time, among the message lines; polling is not logged.
TEST(NightLog, CommandsReadByTheirMeaningAndAStopSaysWhereTheTelescopeWasLeft) {
    test::UiRig r;
    NightLog log(r.cfg.Root() / "state");
    r.window->SetNightLog(&log);
    ASSERT_TRUE(r.Start());
    test::SetPosition(r.window->core(), 1, 2, 3, true, 12);
    QTest::mousePress(r.Pad("picAlphaPlus"), Qt::LeftButton);
    QTest::mouseRelease(r.Pad("picAlphaPlus"), Qt::LeftButton);
    r.W<QCheckBox>("chkControlUnGear")->click();
    r.W<QCheckBox>("chkControlUnGear")->click();
    r.window->core().SystemTick();
    const auto lines = LogLines(log.CurrentFile());
    for (const char* expected : {"Alpha + : départ", "Alpha + : arrêt à AH 01h02m03s, Dec -12°34'56\"",
                                 "Arret Centrage Alpha +", "Débrayage : marche", "Débrayage : arrêt",
                                 "Vitesse Alpha : centrage"}) {
        EXPECT_TRUE(Has(lines, expected)) << expected;
    }
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("Commande", 0) == 0; }));
    const std::string text = test::ReadAll(log.CurrentFile());
    EXPECT_NE(text.find("2026-12-06 22:15:30  Alpha + : départ\n2026-12-06 22:15:30  Centrage Alpha +\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("Lecture codeur"), std::string::npos);
    EXPECT_EQ(text.find("Relève des cartes"), std::string::npos);
}

TEST(NightLog, AnOkWritesWhatItChangedACalibrationWhereTheTelescopeWasAsTheWindowShowsIt) {
    test::UiRig r;
    ASSERT_TRUE(r.Start());
    std::vector<std::string> lines;
    ui::SettingsChangeLog changes(
        r.settings, [&lines](const std::string& l) { lines.push_back(l); },
        [&r] { return ui::PositionLogText(r.window->core()); });
    test::SetPosition(r.window->core(), 1, 0, 0, false, 12);

    struct Ok {
        const char* field;  // of the Options dialog, null for the calibration of Alpha
        const char* value;
        std::vector<std::string> logged;
    };
    const Ok oks[] = {
        {"txtOptionsTimerValue", "250", {"timer_value : 50 → 250"}},
        {"txtOptionsTimerValue", "250", {}},  // OK without a change: nothing
        {nullptr, "1 2 3", {"Calibration Alpha sur l'angle horaire 01h02m03s (position affichée AH 01h00m00s, Dec +12°34'56\")"}},
    };
    for (const Ok& ok : oks) {
        lines.clear();
        if (ok.field != nullptr) {
            auto dialog = r.window->MakeOptionsDialog();
            dialog->findChild<QLineEdit*>(ok.field)->setText(ok.value);
            dialog->findChild<QPushButton*>("cmdOptionsOK")->click();
        } else {
            r.window->ShowCalibration();
            const QStringList hms = QString(ok.value).split(' ');
            test::Type(r.window->calibrationWindow(), {{"txtCalibrRAh", hms[0]}, {"txtCalibrRAm", hms[1]}, {"txtCalibrRAs", hms[2]}});
            r.W<QPushButton>("cmdCalibrAlpha")->click();
        }
        EXPECT_EQ(lines, ok.logged) << (ok.field != nullptr ? ok.field : "calibration");
    }

    // The position reads as the window shows it.
    const struct {
        int16_t alpha12, h;
        bool south;
        const char* text;
    } wheres[] = {
        {0, 13, false, "AH 13h02m03s, Dec +05°34'56\""},
        {1, 13, false, "AH -10h57m57s, Dec +05°34'56\""},  // west of the meridian
        {1, 1, true, "AH +01h02m03s, Dec -05°34'56\""},
    };
    for (const auto& w : wheres) {
        r.settings.Int(IntKey::alpha_12) = w.alpha12;
        test::SetPosition(r.window->core(), w.h, 2, 3, w.south, 5);
        EXPECT_EQ(ui::PositionLogText(r.window->core()), w.text);
    }
    r.window->core().drivers().SetAxisReadingAvailable(InterfaceId::Parallel, 2, false);
    EXPECT_EQ(ui::PositionLogText(r.window->core()), "AH +01h02m03s, Dec --");
}

TEST(NightLog, AQuestionIsLoggedWithItsAnswer) {
    struct Box { MessageButtons buttons; MessageAnswer answer; const char* logged; };
    const Box boxes[] = {
        {MessageButtons::OkCancel, MessageAnswer::Ok, "Boîte : Coupole | Confirmez ? → OK"},
        {MessageButtons::OkCancel, MessageAnswer::Cancel, "Boîte : Coupole | Confirmez ? → Annuler"},
        {MessageButtons::Ok, MessageAnswer::Ok, "Boîte : Coupole | Confirmez ?"},
    };
    for (const Box& b : boxes) {
        test::Log seen;
        test::FakeOperator inner(seen);
        inner.answer = b.answer;
        ui::LoggedOperator op(inner);
        std::vector<std::string> lines;
        op.write = [&lines](const std::string& l) { lines.push_back(l); };
        EXPECT_EQ(op.ShowMessage("Coupole", "Confirmez ?", MessageIcon::Question, b.buttons), b.answer);
        EXPECT_EQ(lines, std::vector<std::string>{b.logged});
    }
}

TEST(NightLogWindow, ShowsTonightsLogAndFollowsItAsItGrows) {
    test::UiRig r;
    NightLog log(r.cfg.Root() / "state");
    r.window->SetNightLog(&log);
    ASSERT_TRUE(r.Start());
    r.window->LogLine("Première ligne");
    r.Action("ViewNightLogMenuItem")->trigger();
    auto* window = r.W("NightLog");
    ASSERT_TRUE(window != nullptr && window->isVisible());
    auto* text = window->findChild<QPlainTextEdit*>("txtNightLog");
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_TRUE(text->toPlainText().contains("Première ligne"));

    // Lines written while it is open come in by themselves, the view staying at the end.
    for (int i = 0; i < 60; ++i) {
        r.window->LogLine("Ligne " + std::to_string(i));
    }
    EXPECT_TRUE(QTest::qWaitFor([text] { return text->toPlainText().endsWith("Ligne 59"); }, 3000))
        << text->toPlainText().right(200).toStdString();
    EXPECT_EQ(text->toPlainText().count("Première ligne"), 1);
    QScrollBar* bar = text->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());

    test::Shoot(window, "night-log-window");
    ui::SetNightVision(true);
    QTest::qWait(50);  // the new style's sizes take effect
    test::Shoot(window, "night-log-window-night");
    ui::SetNightVision(false);
}

}  // namespace
}  // namespace axo
