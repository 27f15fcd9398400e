// Axo: control program of the observatory telescope.

#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/hardware.h"
#include "app/version.h"
#include "app/privileges.h"
#include "link/core_bridge.h"
#include "link/server.h"
#include "platform/clock.h"
#include "platform/profile_file.h"
#include "settings/settings.h"
#include "platform/night_log.h"
#include "ui/main_window.h"
#include "ui/night_log.h"
#include "ui/status_bar.h"
#include "ui/night_vision.h"
#include "ui/qt_french.h"
#include "ui/qt_interval_timer.h"
#include "ui/qt_operator.h"
#include "ui/small_windows.h"

namespace {

int signalPipe[2] = {-1, -1};
// Set with the wake-up byte: a protocol wait in progress holds the event loop, and ends early
// when it sees this, so the shut-down does not wait for a card's time-out.
volatile std::sig_atomic_t signalPending = 0;

// A desktop logout (SIGHUP), Ctrl-C (SIGINT) or a service stop (SIGTERM) must end the program
// the same way as File > Quit: moves stopped, interfaces stopped, settings written. The handler
// only wakes the event loop, which does the shut-down on its own thread.
void OnSignal(int signo) {
    const char byte = static_cast<char>(signo);
    signalPending = 1;
    const ssize_t written = ::write(signalPipe[0], &byte, 1);
    (void)written;
}

void InstallSignalHandlers() {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("axo: socketpair");
        return;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signo, &sa, nullptr);
    }
}

void PrintUsage() {
    std::puts("Usage : axo [--simulate] [--trace FICHIER] [--link[=PORT]] [--no-welcome] [--version] [--help]");
    std::puts("  --simulate        observatoire simulé à la place du matériel");
    std::puts("  --trace FICHIER   ajoute au fichier une ligne par écriture sur les ports, par");
    std::puts("                    message des cartes et par échange sur les lignes série, précédée");
    std::puts("                    des millisecondes depuis le lancement");
    std::puts("  --link[=PORT]     lien LX200 pour les planétariums (port 4030 par défaut), même");
    std::puts("                    sans enabled=1 dans la section [link] de hardware.ini");
    std::puts("  --no-welcome      ne pas afficher la fenêtre de bienvenue");
    std::puts("  --version         affiche la version et quitte");
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything else, so that a signal sent during start-up is not lost.
    InstallSignalHandlers();

    axo::app::HardwareOptions hardwareOptions;
    bool welcome = true;
    bool linkAsked = false;
    int linkPort = -1;  // from the command line; -1: the hardware file's
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--simulate") == 0) {
            hardwareOptions.simulate = true;
        } else if (std::strcmp(argv[i], "--trace") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "axo : --trace attend un nom de fichier\n");
                return 2;
            }
            hardwareOptions.tracePath = argv[++i];
        } else if (std::strcmp(argv[i], "--link") == 0) {
            linkAsked = true;
        } else if (std::strncmp(argv[i], "--link=", 7) == 0) {
            linkAsked = true;
            char* end = nullptr;
            const long port = std::strtol(argv[i] + 7, &end, 10);
            if (end == argv[i] + 7 || *end != '\0' || port < 1 || port > 65535) {
                std::fprintf(stderr, "axo : port du lien incorrect : %s\n", argv[i] + 7);
                return 2;
            }
            linkPort = static_cast<int>(port);
        } else if (std::strcmp(argv[i], "--no-welcome") == 0) {
            welcome = false;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("axo %s\n", axo::app::kVersion);
            return 0;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        } else if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "-style") == 0) {
            // Qt's own options: QApplication reads them, value included, from the same argv.
            ++i;
        } else if (std::strncmp(argv[i], "-platform", 9) != 0 && std::strncmp(argv[i], "-style", 6) != 0) {
            std::fprintf(stderr, "axo : option inconnue : %s\n", argv[i]);
            PrintUsage();
            return 2;
        }
    }

    axo::RemoveStaleSaveFiles(axo::kSettingsFileName);  // left by a save that was killed
    // The privileged step, while this is the only thread: QApplication starts threads (the X11
    // event queue, D-Bus) that would keep any capability this thread still had.
    const axo::HardwareFileResult hardwareFile = axo::ReadHardwareFile();
    const axo::app::PrivilegedStart privileged =
        axo::app::RunPrivilegedStart(axo::app::IoRangesToGrant(hardwareFile, hardwareOptions.simulate));
    const std::vector<std::string> privilegeWarnings = axo::app::PrivilegeWarnings(privileged);
    for (const std::string& line : privilegeWarnings) {
        std::fprintf(stderr, "axo : %s\n", line.c_str() + 4);  // without the message list's "!!! "
    }
    hardwareOptions.file = &hardwareFile;
    hardwareOptions.privileged = &privileged;

    QApplication app(argc, argv);
    QApplication::setApplicationName("Axo");
    QTranslator qtFrench;
    if (!axo::ui::InstallQtFrench(qtFrench)) {
        std::fprintf(stderr, "axo : traductions françaises de Qt absentes (paquet qt6-translations-l10n)\n");
    }

    // Night vision before the first window, so that nothing flashes white in the dome.
    if (axo::ui::SavedNightVision()) {
        axo::ui::SetNightVision(true);
    }
    axo::Settings settings;
    axo::RealClock clock;
    axo::ui::QtOperator op;
    // The night log is given to the window before anything starts, so that the start-up's
    // lines are in it, and outlives it.
    axo::NightLog nightLog(axo::NightLog::DefaultDir());
    // Every box the program shows, and the answer to each question, go to the night log.
    axo::ui::LoggedOperator loggedOp(op);
    axo::ui::AxoWindow::Options windowOptions;
    windowOptions.simulated = hardwareOptions.simulate;
    axo::ui::AxoWindow window(settings, clock, loggedOp, windowOptions);
    op.SetParentWindow(&window);
    window.SetNightLog(&nightLog);
    loggedOp.write = [&window](const std::string& line) { window.LogLine(line); };
    window.LogLine(axo::ui::StartLogText(axo::app::kVersion, hardwareOptions.simulate,
                                         axo::ResolveProfilePath(axo::kSettingsFileName)));
    if (!hardwareOptions.simulate) {
        op.SetFirstErrorHint("Sans le matériel, Axo fonctionne sur l'observatoire simulé : "
                             "lancez « axo --simulate » (ou « Observatoire simulé » dans le menu des applications).");
    }
    axo::ui::QtIntervalTimer brakeTimer;
    axo::app::Hardware hardware(window.core(), clock, hardwareOptions,
                                axo::ParallelWindows{&window, window.cancelWindow(), &window}, brakeTimer);
    window.SetSerial64xxDriver(hardware.Serial64xx());
    window.SetEikDriver(hardware.Eik());
    // After the hardware, whose modules give back their copies of the settings before this
    // compares them at each write.
    axo::ui::SettingsChangeLog settingsChanges(
        settings, [&window](const std::string& line) { window.LogLine(line); },
        [&window] { return axo::ui::PositionLogText(window.core()); });

    window.AlsoEndWaitsWhen([] {
        const bool pending = signalPending != 0;
        signalPending = 0;
        return pending;
    });
    QSocketNotifier notifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &window, [&window, &op] {
        char byte = 0;
        const ssize_t got = ::read(signalPipe[1], &byte, 1);
        (void)got;
        // A logout or a service stop must not wait for someone to answer a box.
        op.EndQuietly();
        window.EndOnSignal();
    });

    if (!window.StartUp(welcome)) {
        // Either the configuration ended the program before anything started, or a signal
        // ended it during start-up (the shut-down has then run).
        const int startRc = window.ShutDownDone() ? 0 : 1;
        window.LogLine(axo::ui::EndLogText(startRc));
        return startRc;
    }
    if (std::getenv("AXO_STARTUP_REPORT") != nullptr) {
        // For scripts/bench-startup and the tests of the running program: the wall-clock moment
        // the main window is on screen.
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::fprintf(stderr, "axo-shown %lld\n",
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        // Where the pad's and the dome's buttons are on the screen, for a test that clicks them
        // as an observer would.
        for (const char* name : {"picAlphaPlusLock", "picDeltaPlusLock", "cmdDomeInit"}) {
            if (const auto* w = window.findChild<QWidget*>(name)) {
                const QPoint c = w->mapToGlobal(w->rect().center());
                std::fprintf(stderr, "axo-at %s %d %d\n", name, c.x(), c.y());
            }
        }
        if (auto* toolbar = window.findChild<QToolBar*>("Toolbar1")) {
            if (const QWidget* w = toolbar->widgetForAction(window.findChild<QAction*>("StopAll"))) {
                const QPoint c = w->mapToGlobal(w->rect().center());
                std::fprintf(stderr, "axo-at StopAll %d %d\n", c.x(), c.y());
            }
        }
    }
    for (const std::string& line : privilegeWarnings) {
        window.core().display().AddErrorMessage(line);
    }
    for (const std::string& note : hardware.Notes()) {
        window.core().display().AddErrorMessage(note);
    }

    // The position link for planetarium programs. Its thread only reads what this thread
    // publishes (at the end of each polling tick, and every 100 ms for when the polling timer
    // is held, as during the zero-coder wait); what the clients ask for is carried out here,
    // between two polling ticks.
    std::unique_ptr<axo::link::Server> linkServer;
    QTimer linkTimer;
    if (linkAsked || hardwareFile.link.enabled) {
        axo::link::ServerConfig config;
        config.address = hardwareFile.link.address;
        config.port = linkPort > 0 ? static_cast<uint16_t>(linkPort) : hardwareFile.link.port;
        config.control = hardwareFile.link.control;
        config.idleTimeout = std::chrono::seconds(hardwareFile.link.idleTimeoutS);
        linkServer = std::make_unique<axo::link::Server>(config);
        std::string error;
        axo::Display& log = window.core().display();
        if (!linkServer->Start(error)) {
            log.AddErrorMessage("Lien LX200 impossible : " + error);
            linkServer.reset();
            if (axo::ui::StatusBar* status = window.statusBarModel()) {
                status->SetPositionLinkText("Lien LX200 : impossible");
            }
        } else {
            log.AddMessage("Lien LX200 sur " + config.address + ":" + std::to_string(linkServer->port()) +
                           (config.control ? " (commandes acceptées)" : " (lecture seule)"));
            const bool report = std::getenv("AXO_LINK_REPORT") != nullptr;
            const QString where = QString::fromStdString(config.address + ":" + std::to_string(linkServer->port())) +
                                  (config.control ? " (commandes)" : " (lecture seule)");
            auto publish = [&window, &linkServer, report, where] {
                if (axo::ui::StatusBar* status = window.statusBarModel()) {
                    const auto clients = static_cast<int>(linkServer->clientCount());
                    status->SetPositionLinkText("Lien LX200 " + where + ", " + QString::number(clients) +
                                                (clients > 1 ? " clients" : " client"));
                }
                const double utcOffset = -QDateTime::currentDateTime().offsetFromUtc() / 3600.0;
                linkServer->Publish(axo::link::TakeSnapshot(window.core(), utcOffset));
                for (const axo::link::Event& e : linkServer->TakeEvents()) {
                    axo::link::Handle(window.core(), e);
                }
                if (report) {
                    // For the end-to-end test: what the main window shows, to compare with
                    // what the planetarium reads.
                    std::fprintf(stderr, "axo-shown-position %s %s %s %s%s %s %s\n",
                                 window.Text("lblDisplayAlphaH").c_str(), window.Text("lblDisplayAlphaM").c_str(),
                                 window.Text("lblDisplayAlphaS").c_str(),
                                 window.IsVisible("shpDeltaMinus") ? "-" : "",
                                 window.Text("lblDisplayDeltaD").c_str(), window.Text("lblDisplayDeltaM").c_str(),
                                 window.Text("lblDisplayDeltaS").c_str());
                }
            };
            publish();
            QObject::connect(&linkTimer, &QTimer::timeout, &window, publish);
            linkTimer.start(100);
        }
    }
    // For scripts/link-load-test: how long the polling ticks take and how regularly they come,
    // printed at the end.
    struct TickStats {
        std::chrono::steady_clock::time_point start{};
        std::chrono::steady_clock::time_point lastStart{};
        long count = 0;
        double intervalSum = 0, intervalMax = 0, workSum = 0, workMax = 0;
    };
    auto tickStats = std::make_shared<TickStats>();
    const bool tickReport = std::getenv("AXO_TICK_REPORT") != nullptr;
    axo::link::Server* const link = linkServer.get();
    if (tickReport || link != nullptr) {
        // The telescope-azimuth step closes each polling tick: the position has just been read
        // and shown, so the link gets it then, on this thread.
        window.core().SetCommandObserver([tickStats, tickReport, link, &window](int16_t code, int16_t) {
            if (code == axo::CMD_TELESCOPE_AZIMUTH && link != nullptr) {
                const double utcOffset = -QDateTime::currentDateTime().offsetFromUtc() / 3600.0;
                link->Publish(axo::link::TakeSnapshot(window.core(), utcOffset));
            }
            if (!tickReport) {
                return;
            }
            const auto now = std::chrono::steady_clock::now();
            TickStats& t = *tickStats;
            if (code == axo::CMD_POLL_BOARDS) {
                if (t.lastStart != std::chrono::steady_clock::time_point{}) {
                    const double ms = std::chrono::duration<double, std::milli>(now - t.lastStart).count();
                    t.intervalSum += ms;
                    t.intervalMax = std::max(t.intervalMax, ms);
                }
                t.lastStart = t.start = now;
            } else if (code == axo::CMD_TELESCOPE_AZIMUTH && t.start != std::chrono::steady_clock::time_point{}) {
                const double ms = std::chrono::duration<double, std::milli>(now - t.start).count();
                t.workSum += ms;
                t.workMax = std::max(t.workMax, ms);
                ++t.count;
                t.start = {};
            }
        });
    }
    const int rc = QApplication::exec();
    if (tickReport && tickStats->count > 1) {
        const TickStats& t = *tickStats;
        std::fprintf(stderr, "axo-tick-stats ticks=%ld interval_mean_ms=%.2f interval_max_ms=%.2f work_mean_ms=%.3f work_max_ms=%.3f\n",
                     t.count, t.intervalSum / static_cast<double>(t.count - 1), t.intervalMax,
                     t.workSum / static_cast<double>(t.count), t.workMax);
    }
    window.core().SetCommandObserver(nullptr);
    linkTimer.stop();
    if (linkServer) {
        linkServer->Stop();
    }
    window.ShutDown();  // already done by the close, unless the loop ended another way
    const int endRc = window.EndedWithoutShutdown() ? 1 : rc;
    window.LogLine(axo::ui::EndLogText(endRc));
    return endRc;
}
