// Axo: control program of the observatory telescope.

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/hardware.h"
#include "app/version.h"
#include "app/privileges.h"
#include "platform/clock.h"
#include "platform/profile_file.h"
#include "settings/settings.h"
#include "platform/night_log.h"
#include "ui/main_window.h"
#include "ui/night_vision.h"
#include "ui/qt_interval_timer.h"
#include "ui/qt_operator.h"
#include "ui/small_windows.h"

namespace {

int signalPipe[2] = {-1, -1};

// A desktop logout (SIGHUP), Ctrl-C (SIGINT) or a service stop (SIGTERM) must end the program
// the same way as File > Quit: moves stopped, interfaces stopped, settings written. The handler
// only wakes the event loop, which does the shut-down on its own thread.
void OnSignal(int signo) {
    const char byte = static_cast<char>(signo);
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
    std::puts("Usage : axo [--simulate] [--trace FICHIER] [--no-welcome] [--version] [--help]");
    std::puts("  --simulate        observatoire simulé à la place du matériel");
    std::puts("  --trace FICHIER   ajoute au fichier une ligne par écriture sur les ports, par");
    std::puts("                    message des cartes et par échange sur les lignes série, précédée");
    std::puts("                    des millisecondes depuis le lancement");
    std::puts("  --no-welcome      ne pas afficher la fenêtre de bienvenue");
    std::puts("  --version         affiche la version et quitte");
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything else, so that a signal sent during start-up is not lost.
    InstallSignalHandlers();

    axo::app::HardwareOptions hardwareOptions;
    bool welcome = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--simulate") == 0) {
            hardwareOptions.simulate = true;
        } else if (std::strcmp(argv[i], "--trace") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "axo : --trace attend un nom de fichier\n");
                return 2;
            }
            hardwareOptions.tracePath = argv[++i];
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
    // Qt's own dialogs and buttons (file dialogs, Yes/No, Cancel) in French, the observer's
    // language, whatever the machine's locale.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QTranslator qtFrench;
    if (qtFrench.load(QLocale(QLocale::French), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtFrench);
    } else {
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
    axo::ui::AxoWindow::Options windowOptions;
    windowOptions.simulated = hardwareOptions.simulate;
    axo::ui::AxoWindow window(settings, clock, op, windowOptions);
    op.SetParentWindow(&window);
    window.SetNightLog(&nightLog);
    op.onShown = [&window](const std::string& box) { window.LogLine("Boîte : " + box); };
    axo::ui::QtIntervalTimer brakeTimer;
    axo::app::Hardware hardware(window.core(), clock, hardwareOptions,
                                axo::ParallelWindows{&window, window.cancelWindow(), &window}, brakeTimer);
    window.SetSerial64xxDriver(hardware.Serial64xx());
    window.SetEikDriver(hardware.Eik());

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
        return window.ShutDownDone() ? 0 : 1;
    }
    if (std::getenv("AXO_STARTUP_REPORT") != nullptr) {
        // For scripts/bench-startup and the tests of the running program: the wall-clock moment
        // the main window is on screen.
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::fprintf(stderr, "axo-shown %lld\n",
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    }
    for (const std::string& line : privilegeWarnings) {
        window.core().display().AddErrorMessage(line);
    }
    for (const std::string& note : hardware.Notes()) {
        window.core().display().AddErrorMessage(note);
    }
    const int rc = QApplication::exec();
    window.ShutDown();  // already done by the close, unless the loop ended another way
    return window.EndedWithoutShutdown() ? 1 : rc;
}
