#pragma once

// "Arrêt général": one toolbar button and one key that stop everything that moves, from any
// window of the program, whatever the pad would refuse at the moment.

#include <QKeySequence>
#include <functional>

class QAction;
class QToolBar;

namespace axo::ui {

// F12: no other control of the program uses it, and it needs no modifier, so it can be found
// by touch in the dark.
inline const QKeySequence kStopAllShortcut{Qt::Key_F12};

// Adds the button, named "StopAll", at the head of the toolbar; `stop` runs on a click and on
// the key pressed in any window of the program.
QAction* AddStopAllAction(QToolBar* toolbar, std::function<void()> stop);

}  // namespace axo::ui
