#pragma once

// The operator as the windowing toolkit reaches them: modal message boxes, the beep, and a
// turn of the event loop.

#include <QWidget>

#include "platform/operator.h"

namespace axo::ui {

class QtOperator final : public Operator {
public:
    explicit QtOperator(QWidget* parentWindow = nullptr) : parent_(parentWindow) {}
    void SetParentWindow(QWidget* parentWindow) { parent_ = parentWindow; }

    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    void Beep() override;
    void ProcessPendingEvents() override;

private:
    QWidget* parent_;
};

}  // namespace axo::ui
