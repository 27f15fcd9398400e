#pragma once

class QTranslator;

namespace axo::ui {

// Qt's own dialogs and buttons (file dialogs, Yes/No, Cancel) in French, the observer's
// language, whatever the machine's locale: Qt's French translations, loaded into `translator`
// and installed in the application, and the French locale for Qt's number and date texts.
// False when those translations are not installed (package qt6-translations-l10n): Qt's texts
// then stay in English.
bool InstallQtFrench(QTranslator& translator);

}  // namespace axo::ui
