#pragma once

// "Vision nocturne": every window of the program deep red on black and dim, so that a look
// at the screen does not spoil the observer's dark adaptation. Set for the whole application
// (palette and style sheet), so dialogs and message boxes opened later follow it too. The
// choice is kept in axo-ui.ini beside Axo.ini, never among the keys of [Axo].

#include <QColor>
#include <QString>

class QWidget;

namespace axo::ui {

bool NightVisionOn();
// Applies the look to the whole application, or restores the normal one, and keeps the
// choice for the next run.
void SetNightVision(bool on);
// The choice kept from the last run (false when none was kept).
bool SavedNightVision();
// The file the choice lives in: $XDG_CONFIG_HOME/axo/axo-ui.ini.
QString InterfacePreferencesFile();

// The toolbar's coloured icons, turned red (or back) under `root`.
void ApplyNightEffects(QWidget* root);

// A colour of the picture buttons as night vision shows it: its brightness, dimmed, in red.
QColor NightColour(const QColor& colour);

}  // namespace axo::ui
