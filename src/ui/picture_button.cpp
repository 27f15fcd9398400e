#include "ui/picture_button.h"

#include "ui/night_vision.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace axo::ui {

PictureButton::PictureButton(Picture picture, const QString& objectName, QWidget* parent)
    : QWidget(parent), picture_(picture) {
    setObjectName(objectName);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void PictureButton::setOn(bool on) {
    if (on_ != on) {
        on_ = on;
        update();
    }
}

QSize PictureButton::sizeHint() const {
    return picture_ == Picture::SmallStop ? QSize(30, 30) : QSize(40, 40);
}

// Any mouse button presses the button; a second button pressed meanwhile is not a new press,
// and the move ends when the last button is let go.
void PictureButton::mousePressEvent(QMouseEvent*) {
    if (down_) {
        return;
    }
    down_ = true;
    emit mouseDown();
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
    if (!down_ || event->buttons() != Qt::NoButton) {
        return;
    }
    down_ = false;
    emit mouseUp();
    if (rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const bool enabled = isEnabled();

    // "On" is a lit colour on a lit face; "off" is a dim symbol on a dark face: the two must be
    // told apart at a glance in a dark dome, and a disabled button is plainly greyed.
    QColor face = on_ ? QColor(40, 90, 40) : QColor(45, 45, 50);
    QColor symbol = on_ ? QColor(120, 255, 120) : QColor(150, 150, 160);
    QColor border = on_ ? QColor(160, 255, 160) : QColor(90, 90, 100);
    if (picture_ == Picture::Stop || picture_ == Picture::SmallStop) {
        face = on_ ? QColor(120, 20, 20) : QColor(45, 45, 50);
        symbol = on_ ? QColor(255, 90, 90) : QColor(170, 110, 110);
        border = on_ ? QColor(255, 140, 140) : QColor(90, 90, 100);
    } else if (picture_ == Picture::LockHori || picture_ == Picture::LockVert) {
        face = on_ ? QColor(110, 80, 10) : QColor(45, 45, 50);
        symbol = on_ ? QColor(255, 200, 60) : QColor(150, 150, 160);
        border = on_ ? QColor(255, 210, 90) : QColor(90, 90, 100);
    }
    if (!enabled) {
        face = QColor(70, 70, 72);
        symbol = QColor(110, 110, 112);
        border = QColor(95, 95, 98);
    }
    face = NightColour(face);
    symbol = NightColour(symbol);
    border = NightColour(border);
    p.setPen(QPen(border, on_ ? 2.5 : 1.2));
    p.setBrush(face);
    p.drawRoundedRect(r, 5, 5);

    const QPointF c = r.center();
    const double s = r.width() * 0.30;
    p.setPen(Qt::NoPen);
    p.setBrush(symbol);
    QPainterPath path;
    switch (picture_) {
        case Picture::Play:
            path.moveTo(c.x() - s * 0.8, c.y() - s);
            path.lineTo(c.x() + s, c.y());
            path.lineTo(c.x() - s * 0.8, c.y() + s);
            path.closeSubpath();
            break;
        case Picture::Stop:
        case Picture::SmallStop:
            path.addRect(QRectF(c.x() - s * 0.8, c.y() - s * 0.8, s * 1.6, s * 1.6));
            break;
        case Picture::ArrowUp:
            path.moveTo(c.x(), c.y() - s);
            path.lineTo(c.x() + s, c.y() + s * 0.7);
            path.lineTo(c.x() - s, c.y() + s * 0.7);
            path.closeSubpath();
            break;
        case Picture::ArrowDown:
            path.moveTo(c.x(), c.y() + s);
            path.lineTo(c.x() + s, c.y() - s * 0.7);
            path.lineTo(c.x() - s, c.y() - s * 0.7);
            path.closeSubpath();
            break;
        case Picture::ArrowLeft:
            path.moveTo(c.x() - s, c.y());
            path.lineTo(c.x() + s * 0.7, c.y() - s);
            path.lineTo(c.x() + s * 0.7, c.y() + s);
            path.closeSubpath();
            break;
        case Picture::ArrowRight:
            path.moveTo(c.x() + s, c.y());
            path.lineTo(c.x() - s * 0.7, c.y() - s);
            path.lineTo(c.x() - s * 0.7, c.y() + s);
            path.closeSubpath();
            break;
        case Picture::LockHori:
        case Picture::LockVert: {
            // A padlock, its shackle along the axis of the moves it holds: upright for the
            // Alpha and dome locks, lying on its side for the Delta and focus locks.
            p.translate(c);
            if (picture_ == Picture::LockHori) {
                p.rotate(-90);
            }
            const QRectF body(-s * 0.8, -s * 0.05, s * 1.6, s * 1.1);
            path.addRoundedRect(body, 2, 2);
            p.drawPath(path);
            QPainterPath shackle;
            const double w = s * 0.5;                     // half-width of the shackle
            const double lift = on_ ? 0.0 : s * 0.35;     // an open lock's shackle is lifted
            shackle.moveTo(-w, -s * 0.05);
            shackle.lineTo(-w, -s * 0.55 - lift);
            shackle.arcTo(QRectF(-w, -s * 0.55 - lift - w, 2 * w, 2 * w), 180, -180);
            shackle.lineTo(w, on_ ? -s * 0.05 : -s * 0.55);
            p.setPen(QPen(symbol, s * 0.26, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawPath(shackle);
            p.setPen(Qt::NoPen);
            p.setBrush(face);
            p.drawEllipse(QPointF(0, s * 0.45), s * 0.14, s * 0.14);  // keyhole
            return;
        }
    }
    p.drawPath(path);
}

}  // namespace axo::ui
