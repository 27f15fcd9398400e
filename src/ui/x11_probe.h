#pragma once

// Looks at the keyboard and the mouse buttons as the X server holds them now, without reading
// or running any window event. A protocol wait holds the program's one thread, so the events of
// a key pressed meanwhile are only queued; this is how the stop-all is seen during the wait, and
// how a held key is told from a released one when the two events of an auto-repeat arrive apart.
// Outside X (the offscreen platform of the tests, a Wayland session) it knows nothing.

#include <QPoint>
#include <memory>

namespace axo::ui {

class X11Probe {
public:
    // Null when the program is not on an X server.
    static std::unique_ptr<X11Probe> Open();
    virtual ~X11Probe() = default;

    // Whether the key with this X key code (a key event's native scan code) is down.
    virtual bool KeyDown(quint32 keycode) = 0;
    // Whether F12 is down.
    virtual bool StopKeyDown() = 0;
    // Whether the first mouse button is down, and where the pointer is on the screen.
    virtual bool PrimaryButtonDown(QPoint& where) = 0;
};

}  // namespace axo::ui
