#pragma once

// "Arrêt général": one toolbar button and one key that stop everything that moves, from any
// window of the program, whatever the pad would refuse at the moment.

#include <QElapsedTimer>
#include <QKeySequence>
#include <functional>
#include <memory>

#include "ui/x11_probe.h"

class QAction;
class QToolBar;
class QWidget;

namespace axo::ui {

// F12: no other control of the program uses it, and it needs no modifier, so it can be found
// by touch in the dark.
inline const QKeySequence kStopAllShortcut{Qt::Key_F12};

// Adds the button, named "StopAll", at the head of the toolbar; `stop` runs on a click and on
// the key pressed in any window of the program.
QAction* AddStopAllAction(QToolBar* toolbar, std::function<void()> stop);

// Sees the stop-all while a protocol wait holds the thread and no window event can run: F12
// newly down while one of the program's windows has the keyboard, or the first mouse button
// newly down on the stop button. The press itself reaches the windows once the wait is over;
// by then the stops have gone out, and that press must not stop everything a second time.
class StopAllWatcher {
public:
    // `probe` may be null (not on an X server): the watcher then never sees anything.
    StopAllWatcher(std::unique_ptr<X11Probe> probe, QWidget* stopButton);

    // True once for each new press of the key or the button.
    bool Poll();
    // Whether the key press or click now delivered is one that Poll already acted on.
    bool AlreadyActedOn() const;
    // The key as the window events last showed it, so that a press already handled as an
    // event is not taken again by the next wait.
    void NoteKey(bool down) { keyWasDown_ = down; }
    // A held paddle key's release event came, but the key may still be down (auto-repeat).
    bool KeyStillDown(quint32 keycode) const { return probe_ != nullptr && probe_->KeyDown(keycode); }
    // Tests stand in for the X server.
    void SetProbe(std::unique_ptr<X11Probe> probe) { probe_ = std::move(probe); }

private:
    std::unique_ptr<X11Probe> probe_;
    QWidget* stopButton_;
    bool keyWasDown_ = false;
    bool buttonWasDown_ = false;
    QElapsedTimer acted_;
};

}  // namespace axo::ui
