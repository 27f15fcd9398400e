#pragma once

// The parallel driver on a recording port, with the core's recording fakes around it.

#include "interfaces/fake_port_io.h"
#include "interfaces/parallel/parallel_driver.h"
#include "support/core_fakes.h"

namespace axo::test {

class FakeLoadProgress final : public LoadProgress {
public:
    void ShowProgress(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

class FakeCancelWindow final : public CancelWindow {
public:
    void Open(const std::string& message) override { label = message, requested = false, visible = true, ++opened; }
    bool CancelRequested() const override { return requested; }
    bool IsVisible() const override { return visible; }
    void Hide() override { visible = false; }
    std::string label;
    bool requested = false, visible = false;
    int opened = 0;
};

// The main window's closing, asked for when a failed start must end the program.
struct FakeCloser final : MainWindowCloser {
    void UnloadMainWindow() override { ++calls; }
    int calls = 0;
};

struct ParallelRig {
    ParallelRig() : driver(r.core, io, ParallelWindows{&progress, &cancel, &closer}) {
        driver.Link().DetectPorts();
        r.core.state().StartupDone = true;
        r.settings.Int(IntKey::error_stop) = 0;
    }
    int16_t Code(int16_t code, int16_t action = 0, int16_t mode = 0) {
        DriverParam p{action, mode};
        return driver.Handle(code, p);
    }
    // The board at `address` answers its first strobe with `input`, then is silent until `reset`.
    void AnswerOnceThenSilent(uint8_t address, uint8_t input, uint8_t reset) {
        io.SetInput(0x20);
        io.onStrobe = [this, address, input, answered = false](uint8_t a, uint8_t) mutable {
            if (a == address && !answered) {
                answered = true;
                io.SetInput(input);
            }
        };
        io.onCommand = [this, reset](uint8_t value) {
            if (value == reset) {
                io.SetInput(0x20);
            }
        };
    }
    // Only the message-list lines, boxes and beeps.
    std::vector<std::string> Reports() const { return r.log.Only({"msg ", "box ", "beep"}); }

    CoreRig r;
    FakePortIo io;
    FakeLoadProgress progress;
    FakeCancelWindow cancel;
    FakeCloser closer;
    ParallelDriver driver;
};

}  // namespace axo::test
