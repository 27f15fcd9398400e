#pragma once

// The night log as the windows reach it: where its folder is and how the observer opens it.

#include <QString>

namespace axo::ui {

// The folder of the night logs ($XDG_STATE_HOME/axo), created if needed.
QString NightLogFolder();
// Opens the folder in the desktop's file manager; false when no program could open it.
bool OpenNightLogFolder();

}  // namespace axo::ui
