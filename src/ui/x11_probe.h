#pragma once

// Looks at the keyboard and the mouse buttons as the X server holds them now, without reading
// or running any window event. A protocol wait holds the program's one thread, so the events of
// a key pressed meanwhile are only queued; this is how the stop-all is seen during the wait, and
// how a held key is told from a released one when the two events of an auto-repeat arrive apart.
// Outside X (the offscreen platform of the tests, a Wayland session) it knows nothing.

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QPoint>
#include <functional>
#include <memory>

class QWidget;

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

// Calls `pressed` when the first mouse button goes down on `button` while a modal window blocks
// the window it is in: Qt drops such a click before any widget sees it, but the X server still
// sends it to the program. Installed on the application for as long as it lives.
class BlockedButtonWatch final : public QAbstractNativeEventFilter {
public:
    BlockedButtonWatch(QWidget* button, std::function<void()> pressed);
    ~BlockedButtonWatch() override;
    BlockedButtonWatch(const BlockedButtonWatch&) = delete;
    BlockedButtonWatch& operator=(const BlockedButtonWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QPointer<QWidget> button_;
    std::function<void()> pressed_;
    int xinputOpcode_;
};

}  // namespace axo::ui
