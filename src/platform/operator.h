#pragma once

// What the control logic asks of the person at the telescope, through the user interface.
// The Qt windows implement it; tests use a recording fake.

#include <string>

namespace axo {

enum class MessageIcon { None, Information, Exclamation, Critical, Question };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

class Operator {
public:
    virtual ~Operator() = default;

    // A modal message box; returns when the operator has answered it.
    virtual MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                      MessageButtons buttons) = 0;

    // The system beep that greets a refused action.
    virtual void Beep() = 0;

    // Lets the window system handle its pending events once (repaints, a Cancel click).
    virtual void ProcessPendingEvents() = 0;
};

}  // namespace axo
