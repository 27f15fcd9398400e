#pragma once

// A command-pad button drawn as a picture with an "off" and an unmistakable "on" state, that
// reports mouse down, mouse up and click separately (a move runs between down and up).

#include <QWidget>

namespace axo::ui {

enum class Picture { Play, Stop, SmallStop, ArrowUp, ArrowDown, ArrowLeft, ArrowRight, LockHori, LockVert };

class PictureButton : public QWidget {
    Q_OBJECT
public:
    PictureButton(Picture picture, const QString& objectName, QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    void setOn(bool on);
    Picture picture() const { return picture_; }
    QSize sizeHint() const override;

signals:
    void mouseDown();
    void mouseUp();
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Picture picture_;
    bool on_ = false;
    bool down_ = false;
};

}  // namespace axo::ui
