#include "ui/stop_all.h"

#include <QAction>
#include <QPainter>
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

}  // namespace axo::ui
