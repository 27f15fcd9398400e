#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <filesystem>

#include "ui/options_dialog.h"
#include "ui_rig.h"

namespace axo {
namespace {

using test::UiRig;

// Runs `act` on the file dialog of `window` while it is up (an Open dialog refuses a file its folder
// view has not listed yet, so a busy machine may need a second try); whatever is still open 20 s on
// is closed, never hung. A busy machine (CI runs the package build beside) may take seconds to show it.
class FileDialogDriver {
public:
    FileDialogDriver(QWidget* window, std::function<void(QFileDialog*)> act) {
        since_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this, window, act = std::move(act)] {
            if (since_.elapsed() > 20000) {
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    modal->close();
                }
                return;
            }
            for (QFileDialog* d : window->findChildren<QFileDialog*>()) {
                if (d->isVisible()) {
                    act(d);
                    return;
                }
            }
        });
        timer_.start(10);
    }

private:
    QTimer timer_;
    QElapsedTimer since_;
};

QString Canonical(const std::filesystem::path& p) {
    return QFileInfo(QString::fromStdString(p.string())).canonicalFilePath();
}

int16_t TimerValueIn(const std::filesystem::path& file) {
    Settings s;
    s.ReadSettings(file.string());
    return s.Int(IntKey::timer_value);
}

TEST(FileDialogs, SaveAsAndOpenStartInTheSettingsFolderAndTheSavedNameEndsInIni) {
    UiRig r;
    ASSERT_TRUE(r.Start());
    // Chooses `file` in the dialog of that menu item; gives the folder the dialog opened in.
    auto choose = [&r](const char* item, const std::filesystem::path& file) {
        QString dir;
        FileDialogDriver driver(r.window.get(), [&](QFileDialog* d) {
            dir = d->directory().canonicalPath();
            // Typed as the observer would: a selection made while the dialog still reads its
            // folder can be dropped, and the Open dialog then refuses every accept.
            d->selectFile(QString::fromStdString(file.string()));
            if (auto* name = d->findChild<QLineEdit*>("fileNameEdit")) {
                name->setText(QString::fromStdString(file.filename().string()));
            }
            QMetaObject::invokeMethod(d, "accept");
        });
        r.Action(item)->trigger();
        return dir;
    };
    EXPECT_EQ(choose("FileSaveAsMenuItem", r.cfg.File("essai")), Canonical(r.cfg.Dir()));
    EXPECT_TRUE(std::filesystem::exists(r.cfg.File("essai.ini")));  // what "Ouvrir" lists
    EXPECT_FALSE(std::filesystem::exists(r.cfg.File("essai")));

    r.settings.Int(IntKey::timer_value) = 999;
    EXPECT_EQ(choose("FileOpenMenuItem", r.cfg.File("essai.ini")), Canonical(r.cfg.Dir()));
    EXPECT_EQ(r.settings.Int(IntKey::timer_value), 50);
    EXPECT_EQ(r.window->windowTitle(), "Axo — essai.ini");
}

TEST(FileDialogs, EverySaveAfterASaveAsOrAnOpenWritesTheFileTheTitleNames) {
    const struct {
        std::string given;  // "@" stands for the settings folder
        const char* written;
    } cases[] = {{"@/essai", "essai.ini"}, {"nu", "nu.ini"}, {"@/copie.ini", "copie.ini"}, {"@/notes.cfg", "notes.cfg"}};
    for (const auto& c : cases) {
        UiRig r;
        ASSERT_TRUE(r.Start());
        const std::string given = c.given[0] == '@' ? r.cfg.Dir().string() + c.given.substr(1) : c.given;
        r.window->SaveSettingsAs(QString::fromStdString(given));
        EXPECT_EQ(r.window->windowTitle().toStdString(), std::string("Axo — ") + c.written);
        auto options = r.window->MakeOptionsDialog();
        options->findChild<QLineEdit*>("txtOptionsTimerValue")->setText("120");
        options->Ok();
        EXPECT_EQ(TimerValueIn(r.cfg.File(c.written)), 120) << c.given;
        EXPECT_EQ(TimerValueIn(r.cfg.File("Axo.ini")), 50) << c.given;
    }

    // After an Open the opened file is the one in use, up to the exit.
    UiRig r;
    ASSERT_TRUE(r.Start());
    r.cfg.Write("autre.ini", "[Axo]\ntimer_value=250\n");
    r.window->OpenSettings(QString::fromStdString(r.cfg.File("autre.ini").string()));
    r.settings.Int(IntKey::timer_value) = 333;
    r.window->close();
    EXPECT_EQ(TimerValueIn(r.cfg.File("autre.ini")), 333);
    EXPECT_EQ(TimerValueIn(r.cfg.File("Axo.ini")), 50);
}

}  // namespace
}  // namespace axo
