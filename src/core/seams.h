#pragma once

// What the core needs from the windows. The Qt windows implement these; the core's tests use
// recording fakes. Controls are named by their objectName, the names everyone reads in the
// window descriptions (picAlphaPlus, lblDisplayAlphaH, ...).

#include <string>
#include <string_view>

namespace axo {

class MainView {
public:
    virtual ~MainView() = default;

    // The on or off picture of the command button of an event slot (1 to 21).
    virtual void ShowButtonPicture(int slot, bool on) = 0;

    virtual void SetEnabled(std::string_view control, bool enabled) = 0;
    // A control's own visibility flag (not whether its window is on screen).
    virtual void SetVisible(std::string_view control, bool visible) = 0;
    virtual bool IsVisible(std::string_view control) const = 0;

    // Caption of a label, frame, button or menu item; text of a combo box.
    virtual std::string Text(std::string_view control) const = 0;
    virtual void SetText(std::string_view control, const std::string& text) = 0;

    // Option buttons, check boxes and menu check marks. Setting an option button checked
    // unchecks the others of its frame, and never runs its click action.
    virtual bool IsChecked(std::string_view control) const = 0;
    virtual void SetChecked(std::string_view control, bool checked) = 0;

    virtual bool IsTrackingWindowVisible() const = 0;
    virtual bool IsCalibrationWindowVisible() const = 0;

    // The message list, lstMessages.
    virtual int MessageCount() const = 0;
    virtual std::string MessageAt(int index) const = 0;
    virtual void AppendMessage(const std::string& text) = 0;
    virtual void RemoveMessage(int index) = 0;
    virtual void ClearMessages() = 0;
    virtual int SelectedMessage() const = 0;  // -1: none
    virtual void SelectMessage(int index) = 0;
};

// The polling timer tmrSystem. An interval of 0 means it never fires.
class SystemTimer {
public:
    virtual ~SystemTimer() = default;
    virtual void SetSystemTimerInterval(int milliseconds) = 0;
    virtual void SetSystemTimerEnabled(bool enabled) = 0;
};

// Ending the program.
class ProgramControl {
public:
    virtual ~ProgramControl() = default;
    // Ends the program at once: nothing is stopped or saved (the configuration is unusable).
    virtual void EndProgramNow() = 0;
    // True once the end of the program has been asked for (a fatal start of an interface, a
    // termination signal): the start-up then starts nothing more.
    virtual bool EndRequested() const { return false; }
};

}  // namespace axo
