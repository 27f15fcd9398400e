// Axo: control program of the observatory telescope.

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/hardware.h"
#include "platform/clock.h"
#include "platform/profile_file.h"
#include "settings/settings.h"
#include "ui/main_window.h"
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
    std::puts("Usage : axo [--simulate] [--trace FICHIER] [--no-welcome] [--help]");
    std::puts("  --simulate        observatoire simulé à la place du matériel");
    std::puts("  --trace FICHIER   ajoute au fichier une ligne par écriture sur les ports et par");
    std::puts("                    message des cartes, précédée des millisecondes depuis le lancement");
    std::puts("  --no-welcome      ne pas afficher la fenêtre de bienvenue");
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
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        } else if (std::strncmp(argv[i], "-platform", 9) != 0 && std::strncmp(argv[i], "-style", 6) != 0) {
            std::fprintf(stderr, "axo : option inconnue : %s\n", argv[i]);
            PrintUsage();
            return 2;
        }
    }

    axo::RemoveStaleSaveFiles(axo::kSettingsFileName);  // left by a save that was killed
    QApplication app(argc, argv);
    QApplication::setApplicationName("Axo");

    axo::Settings settings;
    axo::RealClock clock;
    axo::ui::QtOperator op;
    axo::ui::AxoWindow window(settings, clock, op);
    op.SetParentWindow(&window);
    axo::app::Hardware hardware(window.core(), clock, hardwareOptions,
                                axo::ParallelWindows{&window, window.cancelWindow(), &window});

    QSocketNotifier notifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        const ssize_t got = ::read(signalPipe[1], &byte, 1);
        (void)got;
        window.close();
    });

    if (!window.StartUp(welcome)) {
        // Either the configuration ended the program before anything started, or a signal
        // ended it during start-up (the shut-down has then run).
        return window.ShutDownDone() ? 0 : 1;
    }
    if (std::getenv("AXO_STARTUP_REPORT") != nullptr) {
        // For scripts/bench-startup: the wall-clock moment the main window is on screen.
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::fprintf(stderr, "axo-shown %lld\n",
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    }
    for (const std::string& note : hardware.Notes()) {
        window.core().display().AddErrorMessage(note);
    }
    const int rc = QApplication::exec();
    window.ShutDown();  // already done by the close, unless the loop ended another way
    return window.EndedWithoutShutdown() ? 1 : rc;
}
