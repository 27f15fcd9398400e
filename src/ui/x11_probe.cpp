#include "ui/x11_probe.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>

namespace axo::ui {

namespace {

constexpr xcb_keysym_t kF12Keysym = 0xffc9;

class XcbProbe final : public X11Probe {
public:
    XcbProbe(xcb_connection_t* c, xcb_window_t root) : c_(c), root_(root) { stopKey_ = FindKeycode(kF12Keysym); }

    bool KeyDown(quint32 keycode) override {
        if (keycode == 0 || keycode > 255) {
            return false;
        }
        xcb_query_keymap_reply_t* r = xcb_query_keymap_reply(c_, xcb_query_keymap(c_), nullptr);
        if (r == nullptr) {
            return false;
        }
        const bool down = (r->keys[keycode / 8] >> (keycode % 8)) & 1;
        std::free(r);
        return down;
    }

    bool StopKeyDown() override { return KeyDown(stopKey_); }

    bool PrimaryButtonDown(QPoint& where) override {
        xcb_query_pointer_reply_t* r = xcb_query_pointer_reply(c_, xcb_query_pointer(c_, root_), nullptr);
        if (r == nullptr) {
            return false;
        }
        const bool down = (r->mask & XCB_BUTTON_MASK_1) != 0;
        where = QPoint(r->root_x, r->root_y);
        std::free(r);
        return down;
    }

private:
    xcb_keycode_t FindKeycode(xcb_keysym_t wanted) {
        const xcb_setup_t* setup = xcb_get_setup(c_);
        const int first = setup->min_keycode;
        const int count = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t* r = xcb_get_keyboard_mapping_reply(
            c_, xcb_get_keyboard_mapping(c_, static_cast<xcb_keycode_t>(first), static_cast<uint8_t>(count)), nullptr);
        if (r == nullptr) {
            return 0;
        }
        xcb_keycode_t found = 0;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
        const int per = r->keysyms_per_keycode;
        for (int k = 0; k < count && found == 0; ++k) {
            for (int j = 0; j < per; ++j) {
                if (syms[k * per + j] == wanted) {
                    found = static_cast<xcb_keycode_t>(first + k);
                    break;
                }
            }
        }
        std::free(r);
        return found;
    }

    xcb_connection_t* c_;
    xcb_window_t root_;
    xcb_keycode_t stopKey_ = 0;
};

}  // namespace

std::unique_ptr<X11Probe> X11Probe::Open() {
    auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return nullptr;
    }
    // Qt's own connection: xcb lets another caller send requests and wait for their replies on
    // it, and its reader thread leaves replies to the ones who asked.
    xcb_connection_t* c = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (screen == nullptr) {
        return nullptr;
    }
    return std::make_unique<XcbProbe>(c, screen->root);
}

namespace {

// The XInput 2 button event as xcb hands it over (its fixed part; the library's header for it is
// not needed for four fields): Qt takes the mouse through XInput 2 when the server has it.
struct Xi2ButtonEvent {
    uint8_t response_type;
    uint8_t extension;
    uint16_t sequence;
    uint32_t length;
    uint16_t event_type;
    uint16_t deviceid;
    uint32_t time;
    uint32_t detail;
    uint32_t root;
    uint32_t event;
    uint32_t child;
    uint32_t full_sequence;
    int32_t root_x;  // 16.16 fixed point
    int32_t root_y;
    int32_t event_x;
    int32_t event_y;
};
constexpr uint16_t kXiButtonPress = 4;

int XInputOpcode() {
    auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return -1;
    }
    xcb_connection_t* c = x11->connection();
    static const char kName[] = "XInputExtension";
    xcb_query_extension_reply_t* r =
        xcb_query_extension_reply(c, xcb_query_extension(c, sizeof kName - 1, kName), nullptr);
    const int opcode = r != nullptr && r->present ? r->major_opcode : -1;
    std::free(r);
    return opcode;
}

}  // namespace

BlockedButtonWatch::BlockedButtonWatch(QWidget* button, std::function<void()> pressed)
    : button_(button), pressed_(std::move(pressed)), xinputOpcode_(XInputOpcode()) {
    if (qApp != nullptr) {
        qApp->installNativeEventFilter(this);
    }
}

BlockedButtonWatch::~BlockedButtonWatch() {
    if (qApp != nullptr) {
        qApp->removeNativeEventFilter(this);
    }
}

bool BlockedButtonWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t" || button_ == nullptr || !button_->isVisible() || !button_->isEnabled()) {
        return false;
    }
    const auto* generic = static_cast<const xcb_generic_event_t*>(message);
    uint32_t window = 0;
    QPointF at;
    if ((generic->response_type & 0x7f) == XCB_BUTTON_PRESS) {
        const auto* press = static_cast<const xcb_button_press_event_t*>(message);
        if (press->detail != 1) {
            return false;
        }
        window = press->event;
        at = QPointF(press->event_x, press->event_y);
    } else if ((generic->response_type & 0x7f) == XCB_GE_GENERIC && xinputOpcode_ >= 0) {
        const auto* press = static_cast<const Xi2ButtonEvent*>(message);
        if (press->extension != xinputOpcode_ || press->event_type != kXiButtonPress || press->detail != 1) {
            return false;
        }
        window = press->event;
        at = QPointF(press->event_x / 65536.0, press->event_y / 65536.0);
    } else {
        return false;
    }
    QWidget* top = button_->window();
    QWidget* modal = QApplication::activeModalWidget();
    if (top->internalWinId() != window || modal == nullptr || modal == top) {
        return false;  // not blocked: the button gets its click the usual way
    }
    const QRect onWindow(button_->mapTo(top, QPoint(0, 0)), button_->size());
    if (onWindow.contains((at / top->devicePixelRatioF()).toPoint())) {
        pressed_();
    }
    return false;
}

}  // namespace axo::ui
