// The seams the core drives the main window through: the MainView (controls found by name),
// the polling timer and the window positions it saves.

#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>

#include "ui/calibration_window.h"
#include "ui/picture_button.h"
#include "ui/tracking_window.h"

namespace axo::ui {

QObject* AxoWindow::Find(std::string_view name) const {
    const std::string key(name);
    const auto it = lookup_.find(key);
    if (it != lookup_.end()) {
        return it->second;
    }
    const QString qname = QString::fromStdString(key);
    QObject* found = findChild<QObject*>(qname);
    if (found == nullptr && tracking_ != nullptr) {
        found = tracking_->findChild<QObject*>(qname);
    }
    if (found != nullptr) {
        lookup_[key] = found;
    }
    return found;
}

void AxoWindow::ShowButtonPicture(int slot, bool on) {
    if (slot >= 1 && slot <= kEventSlotCount && pads_[static_cast<std::size_t>(slot)] != nullptr) {
        pads_[static_cast<std::size_t>(slot)]->setOn(on);
    }
}

void AxoWindow::SetEnabled(std::string_view control, bool enabled) {
    QObject* o = Find(control);
    if (auto* menu = qobject_cast<QMenu*>(o)) {
        menu->menuAction()->setEnabled(enabled);
    } else if (auto* w = qobject_cast<QWidget*>(o)) {
        w->setEnabled(enabled);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setEnabled(enabled);
    }
}

void AxoWindow::SetVisible(std::string_view control, bool visible) {
    if (auto* w = qobject_cast<QWidget*>(Find(control))) {
        w->setVisible(visible);
    }
    if (control.rfind("lblDisplay", 0) == 0) {
        if (auto* unit = qobject_cast<QWidget*>(Find(std::string(control) + "Unit"))) {
            unit->setVisible(visible);
        }
    }
}

bool AxoWindow::IsVisible(std::string_view control) const {
    auto* w = qobject_cast<QWidget*>(Find(control));
    return w != nullptr && !w->isHidden();
}

std::string AxoWindow::Text(std::string_view control) const {
    QObject* o = Find(control);
    QString text;
    if (auto* l = qobject_cast<QLabel*>(o)) {
        text = l->text();
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        text = g->title();
    } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        text = b->text();
    } else if (auto* c = qobject_cast<QComboBox*>(o)) {
        text = c->currentText();
    } else if (auto* e = qobject_cast<QLineEdit*>(o)) {
        text = e->text();
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        text = a->text();
    }
    return text.toStdString();
}

void AxoWindow::SetText(std::string_view control, const std::string& value) {
    QObject* o = Find(control);
    const QString text = QString::fromStdString(value);
    if (auto* l = qobject_cast<QLabel*>(o)) {
        l->setText(text);
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        g->setTitle(text);
    } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        b->setText(text);
    } else if (auto* e = qobject_cast<QLineEdit*>(o)) {
        e->setText(text);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setText(text);
    }
}

bool AxoWindow::IsChecked(std::string_view control) const {
    QObject* o = Find(control);
    if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        return b->isChecked();
    }
    if (auto* a = qobject_cast<QAction*>(o)) {
        return a->isChecked();
    }
    return false;
}

void AxoWindow::SetChecked(std::string_view control, bool checked) {
    QObject* o = Find(control);
    if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        const QSignalBlocker quiet(b);  // the click action, if any, is the caller's to run
        b->setChecked(checked);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setChecked(checked);
    }
}

bool AxoWindow::IsTrackingWindowVisible() const {
    return tracking_ != nullptr && tracking_->isVisible();
}

bool AxoWindow::IsCalibrationWindowVisible() const {
    return calibration_ != nullptr && calibration_->isVisible();
}

int AxoWindow::MessageCount() const {
    return messages_->count();
}

std::string AxoWindow::MessageAt(int index) const {
    const QListWidgetItem* item = messages_->item(index);
    return item != nullptr ? item->text().toStdString() : std::string();
}

void AxoWindow::AppendMessage(const std::string& text) {
    messages_->addItem(QString::fromStdString(text));
    LogLine(text);
}

void AxoWindow::RemoveMessage(int index) {
    delete messages_->takeItem(index);
}

void AxoWindow::ClearMessages() {
    messages_->clear();
}

int AxoWindow::SelectedMessage() const {
    const QList<QListWidgetItem*> selected = messages_->selectedItems();
    return selected.isEmpty() ? -1 : messages_->row(selected.first());
}

void AxoWindow::SelectMessage(int index) {
    messages_->setCurrentRow(index);
    if (QListWidgetItem* item = messages_->item(index)) {
        messages_->scrollToItem(item);
    }
}

// --- SystemTimer ---------------------------------------------------------------------------------

void AxoWindow::SetSystemTimerInterval(int milliseconds) {
    tmrSystem_->SetInterval(milliseconds);  // 0: the polling never ticks
}

void AxoWindow::SetSystemTimerEnabled(bool enabled) {
    // After the shut-down nothing polls the interfaces again, whoever asks.
    tmrSystem_->SetEnabled(enabled && !shutDownDone_);
}

// --- WindowPositionSource ------------------------------------------------------------------------

std::optional<WindowPosition> AxoWindow::MainWindowPosition() {
    // The inside of the window, as StartUp places it again.
    return WindowPosition{geometry().y() * kTwipsPerPixel, geometry().x() * kTwipsPerPixel};
}

std::optional<WindowPosition> AxoWindow::CalibrationWindowPosition() {
    if (calibration_ == nullptr || !calibration_->isVisible()) {
        return std::nullopt;
    }
    return WindowPosition{calibration_->y() * kTwipsPerPixel, calibration_->x() * kTwipsPerPixel};
}

std::optional<WindowPosition> AxoWindow::TrackingWindowPosition() {
    if (tracking_ == nullptr || !tracking_->isVisible()) {
        return std::nullopt;
    }
    return WindowPosition{tracking_->y() * kTwipsPerPixel, tracking_->x() * kTwipsPerPixel};
}

}  // namespace axo::ui
