#include "ui/x11_probe.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
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

}  // namespace axo::ui
