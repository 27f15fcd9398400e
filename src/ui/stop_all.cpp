#include "ui/stop_all.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <QPixmap>
#include <QToolBar>

namespace axo::ui {

namespace {

// A red octagon with a white bar: the stop sign everyone knows, readable at toolbar size.
QIcon StopSignIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF octagon;
    const double c = 16.0;
    const double a = 6.5;
    const double b = 15.0;
    for (const auto& [x, y] : {std::pair{-a, -b}, {a, -b}, {b, -a}, {b, a}, {a, b}, {-a, b}, {-b, a}, {-b, -a}}) {
        octagon << QPointF(c + x, c + y);
    }
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(200, 20, 20));
    p.drawPolygon(octagon);
    p.fillRect(QRectF(8, 13.5, 16, 5), Qt::white);
    return QIcon(pm);
}

}  // namespace

QAction* AddStopAllAction(QToolBar* toolbar, std::function<void()> stop) {
    auto* action = new QAction(StopSignIcon(), "Arrêt général", toolbar);
    action->setObjectName("StopAll");
    action->setShortcut(kStopAllShortcut);
    // The key works from the tracking and calibration windows too, not only the main one.
    action->setShortcutContext(Qt::ApplicationShortcut);
    action->setToolTip("Arrêt général (" + kStopAllShortcut.toString(QKeySequence::NativeText) +
                       ") : arrête le suivi et tous les mouvements du télescope, de la coupole et du focus");
    QObject::connect(action, &QAction::triggered, toolbar, [stop = std::move(stop)] { stop(); });
    const QList<QAction*> existing = toolbar->actions();
    toolbar->insertAction(existing.isEmpty() ? nullptr : existing.first(), action);
    toolbar->insertSeparator(existing.isEmpty() ? nullptr : existing.first());
    return action;
}

StopAllWatcher::StopAllWatcher(std::unique_ptr<X11Probe> probe, QWidget* stopButton)
    : probe_(std::move(probe)), stopButton_(stopButton) {}

bool StopAllWatcher::Poll() {
    if (probe_ == nullptr) {
        return false;
    }
    bool asked = false;
    const bool keyDown = probe_->StopKeyDown();
    // The key counts only while the program has the keyboard: F12 in another program (the
    // planetarium, a terminal) is not meant for the telescope.
    if (keyDown && !keyWasDown_ && QGuiApplication::focusWindow() != nullptr) {
        asked = true;
    }
    keyWasDown_ = keyDown;

    QPoint where;
    const bool buttonDown = probe_->PrimaryButtonDown(where);
    if (buttonDown && !buttonWasDown_ && stopButton_ != nullptr && stopButton_->isVisible() &&
        stopButton_->isEnabled()) {
        const qreal ratio = stopButton_->screen() != nullptr ? stopButton_->screen()->devicePixelRatio() : 1.0;
        const QPoint logical(static_cast<int>(where.x() / ratio), static_cast<int>(where.y() / ratio));
        const QRect onScreen(stopButton_->mapToGlobal(QPoint(0, 0)), stopButton_->size());
        // A window of the program over the button would take the click itself.
        if (onScreen.contains(logical) && QApplication::topLevelAt(logical) == stopButton_->window()) {
            asked = true;
        }
    }
    buttonWasDown_ = buttonDown;
    if (asked) {
        acted_.start();
    }
    return asked;
}

bool StopAllWatcher::AlreadyActedOn() const {
    // The queued press arrives as soon as the wait and the stops are over: well within this.
    constexpr qint64 kDeliveryMs = 1500;
    return acted_.isValid() && acted_.elapsed() < kDeliveryMs;
}

}  // namespace axo::ui
