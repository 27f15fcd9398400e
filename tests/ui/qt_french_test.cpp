// Qt's standard boxes and the file dialogs speak French once the program's set-up has run.

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "ui/qt_french.h"
#include "ui_rig.h"

namespace axo {
namespace {

TEST(QtFrench, StandardButtonsAndTheFileDialogsSpeakFrench) {
    const QLocale before;
    QTranslator translator;  // leaves the application with the test
    ASSERT_TRUE(ui::InstallQtFrench(translator))
        << "Qt's French translations are missing from "
        << QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString()
        << ": install the package qt6-translations-l10n (scripts/install-deps does)";
    EXPECT_EQ(QLocale().toString(1.5).toStdString(), "1,5");

    QMessageBox box;
    const std::pair<QMessageBox::StandardButton, const char*> buttons[] = {
        {QMessageBox::Yes, "&Oui"},  {QMessageBox::No, "&Non"},      {QMessageBox::Cancel, "Annuler"},
        {QMessageBox::Open, "Ouvrir"}, {QMessageBox::Save, "Enregistrer"}, {QMessageBox::Close, "Fermer"},
    };
    for (const auto& [which, text] : buttons) {
        EXPECT_EQ(box.addButton(which)->text().toStdString(), text);
    }

    // The dialogs of File > Ouvrir and File > Enregistrer sous, answered from inside their loop.
    test::UiRig r;
    ASSERT_TRUE(r.Start());
    const std::pair<const char*, const char*> menus[] = {{"FileOpenMenuItem", "&Ouvrir"},
                                                         {"FileSaveAsMenuItem", "&Enregistrer"}};
    for (const auto& [item, accept] : menus) {
        SCOPED_TRACE(item);
        std::vector<std::string> texts;
        QTimer::singleShot(0, [&texts] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
                auto* label = dialog->findChild<QLabel*>(name);
                texts.push_back(label != nullptr ? label->text().toStdString() : std::string("(no ") + name + ")");
            }
            for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>("buttonBox")->buttons()) {
                texts.push_back(b->text().toStdString());
            }
            dialog->reject();
        });
        r.Action(item)->trigger();
        EXPECT_EQ(texts, (std::vector<std::string>{"Voir dans :", "&Nom de fichier :", "Fichiers de type :", accept,
                                                   "Annuler"}));
    }
    QLocale::setDefault(before);
}

}  // namespace
}  // namespace axo
