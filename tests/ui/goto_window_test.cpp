// The go-to window on the simulated default installation (6420 boxes, EIK120 card), and the calibration's stars.

#include <cmath>

#include "astro/mathlib.h"
#include "platform/night_log.h"
#include "ui/calibration_window.h"
#include "ui/goto_window.h"
#include "ui/status_bar.h"
#include "ui_rig.h"

namespace axo {
namespace {

constexpr double kPi = 3.14159265358979323846;

constexpr const char* kDefaultInstallation =
    "[Axo]\ninterface_ra=3\ninterface_de=3\ninterface_dome=1\ninterface_coders=2\ninterface_focus=1\n"
    "interface_filter=1\ndisplay_welcome=0\nerror_stop=0\n";

struct GotoRig : test::ProgramRig {
    GotoRig() : ProgramRig(kDefaultInstallation) {
        EXPECT_TRUE(Start());
        Run(1000);
        window->findChild<QAction*>("ViewGotoMenuItem")->trigger();
        w = window->gotoWindow();
    }
    template <typename T = QWidget>
    T* G(const char* name) {
        return w->findChild<T*>(name);
    }
    QString Text(const char* label) { return G<QLabel>(label)->text(); }
    // Types a target of date placed by its hour angle now; gives its right ascension in hours.
    double TypeTarget(double hourAngleH, int decDeg) {
        double ra = window->core().pointing().HourAngleNow(0.0) - hourAngleH;
        ra -= 24.0 * std::floor(ra / 24.0);
        const int seconds = static_cast<int>(ra * 3600.0);
        test::Type(w, {{"txtGotoRaH", QString::number(seconds / 3600)}, {"txtGotoRaM", QString::number(seconds / 60 % 60)},
                       {"txtGotoRaS", QString::number(seconds % 60)}, {"txtGotoDecD", QString::number(decDeg)},
                       {"txtGotoDecM", "0"}, {"txtGotoDecS", "0"}});
        G<QComboBox>("cmbGotoEquinox")->setCurrentIndex(1);  // de la date
        w->Refresh();
        return seconds / 3600.0;
    }
    // Clicks the start button and counts the commands sent within `ms` of running time.
    std::size_t StartCounting(uint64_t ms) {
        std::size_t sent = 0;
        window->core().SetCommandObserver([&sent](int16_t, int16_t) { ++sent; });
        QTest::mouseClick(G("cmdGotoStart"), Qt::LeftButton);
        Run(ms);
        window->core().SetCommandObserver({});
        return sent;
    }
    void RunUntilStill(uint64_t maxMs) {
        for (uint64_t t = 0; t < maxMs && window->core().pointing().Active(); t += 1000) {
            Run(1000);
        }
    }
    ui::GotoWindow* w = nullptr;
};

TEST(GotoWindow, SaysWhereTheTargetIsAndRefusesOneOutsideTheLimitsWithNothingSent) {
    GotoRig r;
    ASSERT_NE(r.w, nullptr);
    EXPECT_TRUE(r.w->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // the pad and the stop stay at hand

    // On the meridian at the site's latitude: the zenith.
    r.TypeTarget(0.0, static_cast<int>(std::lround(R2D(r.window->core().state().Site.latitude))));
    EXPECT_TRUE(r.Text("lblGotoHourAngle").contains("au méridien")) << r.Text("lblGotoHourAngle").toStdString();
    EXPECT_TRUE(r.Text("lblGotoAltitude").startsWith("8")) << r.Text("lblGotoAltitude").toStdString();
    EXPECT_TRUE(r.Text("lblGotoAirMass").startsWith("1,0")) << r.Text("lblGotoAirMass").toStdString();
    EXPECT_EQ(r.Text("lblGotoLimits"), "Dans les limites de pointage");

    struct Case {
        double hourAngleH;
        int dec;
        const char* minutes;
        const char* says;
    } cases[] = {
        {0.0, -60, "0", "hauteur"},                 // below the altitude limit
        {7.0, 80, "0", "angle horaire à plus de"},  // past the west hour-angle limit
        {2.0, 20, "75", "minutes incorrectes"},     // a field out of its range
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        r.TypeTarget(c.hourAngleH, c.dec);
        r.G<QLineEdit>("txtGotoDecM")->setText(c.minutes);
        r.w->Refresh();
        EXPECT_TRUE(r.Text("lblGotoLimits").contains(c.says)) << r.Text("lblGotoLimits").toStdString();
        EXPECT_EQ(r.StartCounting(0), 0u);
        EXPECT_TRUE(r.Text("lblGotoResult").contains("refusé : ")) << r.Text("lblGotoResult").toStdString();
        EXPECT_TRUE(r.Text("lblGotoResult").contains(c.says)) << r.Text("lblGotoResult").toStdString();
        EXPECT_FALSE(r.window->core().pointing().Active());
    }
    // A name: a part of some names is not unknown while it is typed; nothing is sent either way.
    r.G<QRadioButton>("optGotoByName")->setChecked(true);
    for (const auto& [typed, says] : {std::pair{"arct", "choisissez dans la liste (1 nom contient « arct »)"},
                                      std::pair{"xyzzy", "objet inconnu : xyzzy"}}) {
        r.G<ui::TargetList>("cmbGotoTarget")->setEditText(typed);
        r.w->Refresh();
        EXPECT_EQ(r.Text("lblGotoLimits").toStdString(), std::string("Cible : ") + says);
        EXPECT_EQ(r.StartCounting(0), 0u);
    }
    r.G<QRadioButton>("optGotoByCoordinates")->setChecked(true);
    // The same watch sees the presses of a target inside the limits.
    r.TypeTarget(-1.0, 40);
    EXPECT_GT(r.StartCounting(300), 0u);  // the first presses go out on the next polling tick
    EXPECT_TRUE(r.window->core().pointing().Active()) << r.Text("lblGotoResult").toStdString();
}

TEST(GotoWindow, AGotoFromTheWindowArrivesWhileTheStatusBarAndTheNightLogFollowIt) {
    GotoRig r;
    NightLog log(r.cfg.Root() / "state");
    r.window->SetNightLog(&log);
    Pointing& pointing = r.window->core().pointing();

    const double ra = r.TypeTarget(-2.0, 50);
    QTest::mouseClick(r.G("cmdGotoStart"), Qt::LeftButton);
    ASSERT_TRUE(pointing.Active()) << r.Text("lblGotoResult").toStdString();
    r.Run(2000);
    r.w->Refresh();
    r.window->statusBarModel()->Refresh();
    EXPECT_TRUE(r.Text("lblGotoState").startsWith("Télescope : en mouvement\nvers AD ")) << r.Text("lblGotoState").toStdString();
    EXPECT_FALSE(r.Text("lblGotoAlphaSpeed").isEmpty());
    EXPECT_NE(r.Text("lblGotoTimeLeft"), "—");
    EXPECT_TRUE(r.W<QLabel>("lblStatusOperation")->text().startsWith("Pointage : AD "))
        << r.W<QLabel>("lblStatusOperation")->text().toStdString();
    test::Shoot(r.w, "goto-window-running");

    r.RunUntilStill(300000);
    EXPECT_FALSE(pointing.Active()) << "the go-to did not end in 5 minutes";
    r.w->Refresh();  // the window says how it ended, no longer "commencé"
    EXPECT_TRUE(r.Text("lblGotoResult").contains(" atteint en ")) << r.Text("lblGotoResult").toStdString();
    // "Suivre à l'arrivée" is ticked: the telescope tracks its target.
    EXPECT_EQ(pointing.State(), MountState::Tracking);
    double ha = pointing.HourAngleNow(ra * kPi / 12.0);
    ha -= 24.0 * std::floor(ha / 24.0);
    EXPECT_NEAR(r.DisplayedHourAngle(), ha * 3600.0, 240.0 * pointing.ToleranceDeg(0) + 2);
    r.window->statusBarModel()->Refresh();
    EXPECT_TRUE(r.W<QLabel>("lblStatusOperation")->text().startsWith("Suivi sidéral"));
    EXPECT_NEAR(r.DisplayedDeclination(), 50 * 3600, 3600.0 * pointing.ToleranceDeg(1) + 10);

    // Later go-tos end with "Arrêter", with F12 typed in this window, and with the window closed.
    const struct {
        const char* how;
        double hourAngleH;
        int dec;
        const char* says;
    } stops[] = {{"Arrêter", -1.0, 70, "Arrêt demandé"},
                 {"F12", 2.5, 10, "Arrêt général"},
                 {"Fermer", 1.0, 30, "fenêtre de pointage fermée"}};
    for (const auto& s : stops) {
        SCOPED_TRACE(s.how);
        r.window->ShowGoto();
        r.TypeTarget(s.hourAngleH, s.dec);
        QTest::mouseClick(r.G("cmdGotoStart"), Qt::LeftButton);
        r.Run(1000);
        ASSERT_TRUE(pointing.Active());
        if (s.how[0] == 'F' && s.how[1] == '1') {
            QTest::keyClick(r.G<QPushButton>("cmdGotoStart"), Qt::Key_F12);
        } else {
            QTest::mouseClick(r.G(s.how[0] == 'A' ? "cmdGotoStop" : "cmdGotoClose"), Qt::LeftButton);
        }
        EXPECT_FALSE(pointing.Active());
        r.w->Refresh();
        EXPECT_TRUE(r.Text("lblGotoResult").contains(s.says)) << r.Text("lblGotoResult").toStdString();
        const test::Lines said = test::Messages(*r.window);
        EXPECT_TRUE(std::any_of(said.end() - 2, said.end(), [&s](const std::string& l) { return l.find(s.says) != std::string::npos; }));
    }
    const std::string text = test::ReadAll(log.CurrentFile());
    for (const char* line : {"Télescope : en mouvement, pointage de AD ", "Télescope : suivi sidéral",
                             "Télescope : à l'arrêt"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
}

TEST(GotoWindow, ChoosingAStarInTheCalibrationWindowFillsItsPlaceOfDate) {
    test::ProgramRig r(kDefaultInstallation);
    ASSERT_TRUE(r.Start());
    r.window->ShowCalibration();
    ui::CalibrationWindow* c = r.window->calibrationWindow();
    ASSERT_TRUE(c->findChild<ui::TargetList*>("cmbCalibrStar")->Choose("vega"));
    auto field = [c](const char* name) { return c->findChild<QLineEdit*>(name)->text(); };
    // Véga, J2000 18h36m56s +38°47'; precessed to December 2026 it is near 18h37m51s +38°48'27".
    EXPECT_EQ(field("txtCalibrRAh"), "18");
    EXPECT_EQ(field("txtCalibrRAm"), "37");
    EXPECT_NEAR(field("txtCalibrRAs").toInt(), 51, 5);
    EXPECT_EQ(field("txtCalibrDEd"), "38");
    EXPECT_EQ(field("txtCalibrDEm"), "48");
    EXPECT_TRUE(c->findChild<QWidget*>("optCalibrAlpha1")->property("checked").toBool());
    // A southern star keeps its sign on the degrees.
    ASSERT_TRUE(c->findChild<ui::TargetList*>("cmbCalibrStar")->Choose("Sirius"));
    EXPECT_EQ(field("txtCalibrDEd"), "-16");
}

}  // namespace
}  // namespace axo
