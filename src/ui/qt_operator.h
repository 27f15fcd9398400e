#pragma once

// The operator as the windowing toolkit reaches them: modal message boxes, the beep, and a
// turn of the event loop.

#include <QWidget>
#include <functional>
#include <string>

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

    // The program is ending on a signal: nobody may be there to answer. Every modal window
    // open now is dismissed as its Cancel (or its only answer), and from now on a message box
    // is written to standard error and answered the same way instead of waiting.
    void EndQuietly();
    // Added to the first error box, then forgotten: on a machine without the hardware, that box
    // is where a new user learns of the simulated observatory.
    void SetFirstErrorHint(std::string hint) { firstErrorHint_ = std::move(hint); }
    bool Quiet() const { return quiet_; }

private:
    QWidget* parent_;
    bool quiet_ = false;
    std::string firstErrorHint_;
};

}  // namespace axo::ui
