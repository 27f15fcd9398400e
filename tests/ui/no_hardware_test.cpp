// The whole program without its hardware (no --simulate), as a new user first meets it.

#include <sys/inotify.h>
#include <unistd.h>

#include <QMessageBox>

#include "ui/qt_operator.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::Lines;

// Counts the openings of some files: "touching the hardware" made visible.
class OpenWatch {
public:
    explicit OpenWatch(const std::vector<std::filesystem::path>& files) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        for (const auto& f : files) {
            inotify_add_watch(fd_, f.c_str(), IN_OPEN);
        }
    }
    ~OpenWatch() { close(fd_); }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    int Opens() {
        alignas(inotify_event) char buf[4096];
        for (;;) {
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0) {
                return opens_;
            }
            for (ssize_t i = 0; i < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + i);
                opens_ += (e->mask & IN_OPEN) != 0 ? 1 : 0;
                i += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
    }

private:
    int fd_;
    int opens_ = 0;
};

// `ini` empty: the built-in defaults; `devicesExist`: the ppdev paths are plain files (open, never claimed).
struct NoHardwareRig : test::ProgramRig {
    NoHardwareRig(const std::string& ini, bool devicesExist, bool simulate = false) : ProgramRig(ini, simulate) {
        if (devicesExist) {
            std::ofstream(port0.string()) << "";
            std::ofstream(port1.string()) << "";
        }
        // The serial lines of the 6420 boxes are missing too, whatever this machine has.
        const std::string noLine = (cfg.Root() / "ttyMissing").string();
        cfg.Write("hardware.ini", "[parallel]\nbackend=ppdev\ncommand_device=" + port0.string() +
                                      "\ndata_device=" + port1.string() + "\n\n[serial]\nport1=" + noLine +
                                      "\nport2=" + noLine + "\nport3=" + noLine + "\nport4=" + noLine + "\n");
    }
    std::string Text(const char* label) { return W<QLabel>(label)->text().toStdString(); }
    Lines Displays() {
        return {Text("lblDisplayAlphaH"), Text("lblDisplayAlphaM"), Text("lblDisplayAlphaS"),
                Text("lblDisplayDeltaD"), Text("lblDisplayDeltaM"), Text("lblDisplayDeltaS"),
                Text("lblAzimutTelescope"), Text("lblAzimutDome")};
    }

    std::filesystem::path port0 = cfg.Root() / "parport0";
    std::filesystem::path port1 = cfg.Root() / "parport1";
};

TEST(WithoutHardware, OneBoxPerInterfaceAndNoMadeUpPosition) {
    // The built-in defaults, every function on the boards, and the same on simulated boards (which answer).
    const struct {
        const char* what;
        std::string ini;
        const char* hardware;  // null: the ports of the rig, missing
        std::size_t serialBoxes, cardBoxes, portBoxes;
    } cases[] = {{"defaults", "", nullptr, 2, 1, 1},
                 {"all parallel", test::kAllParallel, nullptr, 0, 0, 1},
                 {"simulated boards", test::kAllParallel, "[parallel]\nbackend=simulated\n", 0, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NoHardwareRig r(c.ini, false);
        if (c.hardware != nullptr) {
            r.cfg.Write("hardware.ini", c.hardware);
        }
        ASSERT_TRUE(r.Start());
        r.Run(c.portBoxes == 0 ? 3000 : 30000);
        // Each 6420 box (each axis starts on its own) and the encoder card say so once.
        EXPECT_EQ(r.log.Only({"box Erreur | Erreur de communication"}).size(), c.serialBoxes);
        EXPECT_EQ(r.log.Only({"box Erreur | Erreur lors de l'ouverture du driver de la carte EIK120"}).size(), c.cardBoxes);
        const Lines boxes = r.log.Only({"box Erreur | Ports"});
        ASSERT_EQ(boxes.size(), c.portBoxes) << ::testing::PrintToString(r.log.Only({"box "}));
        EXPECT_EQ(r.log.Only({"box "}).size(), c.serialBoxes + c.cardBoxes + c.portBoxes);
        if (c.portBoxes == 0) {
            for (const std::string& shown : r.Displays()) {
                EXPECT_NE(shown, "--");
                EXPECT_FALSE(shown.empty());
            }
            continue;
        }
        EXPECT_EQ(boxes[0].rfind("box Erreur | Ports parallèles inaccessibles.\nImpossible d'ouvrir " + r.port0.string() +
                                     " : le port n'existe pas",
                                 0),
                  0U)
            << boxes[0];
        EXPECT_NE(boxes[0].find("Impossible d'ouvrir " + r.port1.string()), std::string::npos);
        EXPECT_EQ(r.Displays(), Lines(8, "--"));
        if (!c.ini.empty()) {
            EXPECT_TRUE(test::Shoot(r.window.get(), "main-window-no-hardware"));
        }
    }
}

TEST(WithoutHardware, PortsAreOpenedOnlyWhenTheParallelInterfaceStarts) {
    struct Case { const char* what; std::string ini; bool started; bool opened; };
    const Case cases[] = {
        {"no function on the parallel boards",
         "[Axo]\ninterface_ra=3\ninterface_de=3\ninterface_dome=3\ninterface_coders=2\ninterface_focus=0\n"
         "interface_filter=0\ndisplay_welcome=0\n",
         true, false},
        {"the filter on the parallel boards", "[Axo]\ninterface_filter=1\ndisplay_welcome=0\n", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NoHardwareRig r(c.ini, true);
        OpenWatch watch({r.port0, r.port1});
        r.MakeHardware();
        EXPECT_EQ(watch.Opens(), 0) << "building the hardware opened the ports";
        EXPECT_EQ(r.window->StartUp(false), c.started);
        r.Run(1000);
        EXPECT_EQ(watch.Opens() > 0, c.opened);
        if (c.opened) {
            // Opened but not claimable: reported once, as a box during start-up.
            EXPECT_EQ(r.log.Only({"box Erreur | Ports parallèles inaccessibles."}).size(), 1U);
        }
    }
}

TEST(WithoutHardware, HardwareFileMistakesAreReportedAndTheWindowSaysWhetherSimulated) {
    for (const bool simulate : {false, true}) {
        SCOPED_TRACE(simulate);
        NoHardwareRig r("", false, simulate);
        r.cfg.Write("hardware.ini", "[parallel]\nbackend=laser\ncommand_base=0xZZ\n");
        const std::vector<std::string>& notes = r.MakeHardware().Notes();
        const auto listed = [&notes](const std::string& start) {
            return std::count_if(notes.begin(), notes.end(),
                                 [&start](const std::string& n) { return n.rfind(start, 0) == 0; });
        };
        EXPECT_EQ(listed("!!! hardware.ini : backend inconnu"), 1);
        EXPECT_EQ(listed("!!! hardware.ini : Adresse command_base incorrecte"), 1);
        EXPECT_EQ(listed("Observatoire simulé"), simulate ? 1 : 0);
        EXPECT_EQ(r.window->windowTitle(), simulate ? "Axo — observatoire simulé" : "Axo");
        EXPECT_EQ(r.Text("lblStatusSource"), simulate ? "Observatoire simulé" : "Matériel");
    }
}

// The first error box, and only that one, tells a new user of the simulated observatory.
TEST(WithoutHardware, TheFirstErrorBoxNamesTheSimulatedObservatory) {
    ui::QtOperator op;
    op.SetFirstErrorHint("Essayez axo --simulate.");
    std::vector<std::string> shown;
    for (const char* title : {"Information", "Erreur", "Erreur"}) {
        QTimer::singleShot(0, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown.push_back(box->windowTitle().toStdString() + " | " + box->text().toStdString());
                box->close();
            }
        });
        op.ShowMessage(title, "Port absent", MessageIcon::Exclamation, MessageButtons::Ok);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Information | Port absent", "Erreur | Port absent\n\nEssayez axo --simulate.",
                                               "Erreur | Port absent"}));
}

}  // namespace
}  // namespace axo
