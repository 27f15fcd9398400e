#pragma once

// The card's interrupt line, as the port driver offers it: install a handler on a line, unmask
// and mask it, remove it. The handler is called on a thread of the backend (never on the
// user-interface thread), once per interrupt of the card.
//
// Backends: a Linux UIO device (eik_uio_interrupts.h), the simulated card, and NoInterruptLine
// on machines where the card's interrupt cannot be reached.

#include <functional>
#include <string>

namespace axo {

class EikInterruptLine {
public:
    virtual ~EikInterruptLine() = default;

    // Installs `handler` for interrupt line `line` (SetIRQ). A handler already installed is
    // replaced. Nothing is called before Unmask().
    virtual void SetIrq(int line, std::function<void()> handler) = 0;

    // The handler is installed and the line usable (IsIRQSet).
    virtual bool IsIrqSet() const = 0;

    virtual void Unmask() = 0;
    virtual void Mask() = 0;

    // Removes the handler (DestroyIRQ). Once it returns the handler is never called again.
    virtual void Destroy() = 0;

    // Why the last SetIrq left no usable line, in French for the operator; empty otherwise.
    virtual std::string Problem() const { return {}; }
};

// A machine where the card's interrupt cannot be reached: setting it always fails.
class NoInterruptLine final : public EikInterruptLine {
public:
    explicit NoInterruptLine(std::string why) : why_(std::move(why)) {}
    void SetIrq(int, std::function<void()>) override {}
    bool IsIrqSet() const override { return false; }
    void Unmask() override {}
    void Mask() override {}
    void Destroy() override {}
    std::string Problem() const override { return why_; }

private:
    std::string why_;
};

}  // namespace axo
