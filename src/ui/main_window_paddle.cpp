// The keyboard paddle: the arrow keys move the telescope and Space stops it, like the pad's
// buttons, wherever the main window has the keyboard and no control uses the key itself.

#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTextEdit>

#include "ui/picture_button.h"
#include "ui/stop_all.h"

namespace axo::ui {

namespace {

bool IsArrow(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

// Whether a control does something with this key itself. The keyboard paddle never takes a
// key from such a control: Space presses a focused button or ticks a focused box, the arrows
// move between option buttons, in lists and combos, and text fields take every key.
bool ControlUsesKey(const QWidget* w, int key) {
    if (w == nullptr || qobject_cast<const PictureButton*>(w) != nullptr) {
        return false;
    }
    const bool text = qobject_cast<const QLineEdit*>(w) != nullptr || qobject_cast<const QTextEdit*>(w) != nullptr ||
                      qobject_cast<const QPlainTextEdit*>(w) != nullptr ||
                      qobject_cast<const QAbstractSpinBox*>(w) != nullptr;
    const bool navigates = qobject_cast<const QComboBox*>(w) != nullptr ||
                           qobject_cast<const QAbstractItemView*>(w) != nullptr ||
                           qobject_cast<const QAbstractSlider*>(w) != nullptr || qobject_cast<const QTabBar*>(w) != nullptr;
    if (text || navigates) {
        return true;
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        // Every button uses Space; option buttons also move the choice with the arrows.
        return key == Qt::Key_Space || (IsArrow(key) && button->autoExclusive());
    }
    return false;
}

}  // namespace

bool AxoWindow::HandleStopKey(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != kStopAllShortcut[0].key() || key->modifiers() != Qt::NoModifier) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // The key comes here as a key press, in whatever window has the keyboard: a modal box
        // blocks the main window's shortcuts, and the stop must not depend on them.
        event->accept();
        return true;
    }
    if (stopWatch_ != nullptr) {
        stopWatch_->NoteKey(type == QEvent::KeyPress);
    }
    if (type == QEvent::KeyPress && !key->isAutoRepeat() &&
        (stopWatch_ == nullptr || !stopWatch_->AlreadyActedOn())) {
        core_.RequestStopAll();
    }
    return true;
}

void AxoWindow::PaddleKeyReleased(QKeyEvent* key) {
    // Under X an auto-repeat is a release and a press of the held key. When the two arrive
    // apart the release looks real, but the key is still down: the move goes on.
    if (stopWatch_ != nullptr && stopWatch_->KeyStillDown(key->nativeScanCode())) {
        return;
    }
    HandlePaddleKey(key, false);
}

bool AxoWindow::eventFilter(QObject* watched, QEvent* event) {
    if (HandleStopKey(event)) {
        return true;
    }
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool press = event->type() == QEvent::KeyPress;
        if (!press && !key->isAutoRepeat() && heldKeys_.contains(key->key())) {
            // The release ends the move wherever it lands (a box may have opened meanwhile).
            PaddleKeyReleased(key);
            return true;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!press || widget == nullptr || widget->window() != this) {
            return QMainWindow::eventFilter(watched, event);
        }
        // A key that a control did not take travels up to its parents, and this filter sees it
        // again there: the decision made for the control stands.
        if (event == declinedKey_ && key->timestamp() == declinedKeyTime_ && declinedBy_ != nullptr &&
            widget != declinedBy_ && widget->isAncestorOf(declinedBy_)) {
            return QMainWindow::eventFilter(watched, event);
        }
        if (key->key() == Qt::Key_Escape && widget != centralWidget() && widget != this) {
            // Escape hands the keyboard back to the paddle.
            centralWidget()->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (ControlUsesKey(widget, key->key())) {
            declinedKey_ = event;
            declinedKeyTime_ = key->timestamp();
            declinedBy_ = widget;
            return QMainWindow::eventFilter(watched, event);
        }
        if (HandlePaddleKey(key, true)) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void AxoWindow::ReleasePaddleKeys() {
    const QSet<int> held = heldKeys_;
    for (int k : held) {
        QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier);
        HandlePaddleKey(&release, false);
    }
}

bool AxoWindow::HandlePaddleKey(QKeyEvent* key, bool press) {
    int slot = 0;
    switch (key->key()) {
        case Qt::Key_Left:
            slot = EVT_ALPHA_MINUS;
            break;
        case Qt::Key_Right:
            slot = EVT_ALPHA_PLUS;
            break;
        case Qt::Key_Down:
            slot = EVT_DELTA_MINUS;
            break;
        case Qt::Key_Up:
            slot = EVT_DELTA_PLUS;
            break;
        case Qt::Key_Space:
            slot = EVT_STOP;
            break;
        default:
            return false;
    }
    if (key->isAutoRepeat()) {
        return true;  // holding a key is one press, like holding the button
    }
    if (press) {
        // The keys act only where the mouse could: on an enabled button.
        if (heldKeys_.contains(key->key()) || !pads_[static_cast<std::size_t>(slot)]->isEnabled()) {
            return true;
        }
        heldKeys_.insert(key->key());
    } else if (!heldKeys_.remove(key->key())) {
        return true;
    }
    if (slot == EVT_STOP) {
        press ? core_.PressStop(EVT_STOP) : core_.ReleaseStop(EVT_STOP);
    } else {
        press ? core_.PressDirection(slot) : core_.ReleaseDirection(slot);
    }
    return true;
}

}  // namespace axo::ui
