#pragma once

// How every part of the program changes the look of the main window: button pictures, the
// group switches, the position displays, the polling timer's switch and the message list.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/seams.h"
#include "settings/settings.h"

namespace axo {

// The message list keeps at most this many lines.
constexpr int kMaxMessageLines = 64;

class Display {
public:
    Display(MainView& view, SystemTimer& timer, const Settings& settings)
        : view_(view), timer_(timer), settings_(settings) {}

    // The slot's button shows its "on" picture only when `on` is exactly True (-1); slot
    // numbers outside 1..21 change nothing.
    void SetButtonImage(int slot, int16_t on);
    void ResetButtonImages();

    void DisableControlPad(bool disable);
    void HidePositionDisplays(bool hide);
    void DisableDomeGroup(bool disable);
    void DisableFocusGroup(bool disable);
    void DisableFilterGroup(bool disable);
    void DisableCommandGroups(bool disable);
    void DisableFileEditMenus(bool disable);
    void EnableSystemTimer(bool enable);

    // An information line, shown only when gui_messages is 1.
    void AddMessage(const std::string& text);
    // An error line, always shown.
    void AddErrorMessage(const std::string& text);

    // Read-out writes: only when the value differs from what is shown.
    void SetTextIfChanged(std::string_view control, const std::string& text);
    void SetVisibleIfChanged(std::string_view control, bool visible);

    MainView& View() { return view_; }

private:
    void AppendLine(const std::string& text);
    void SetGroupEnabled(std::initializer_list<std::string_view> controls, bool enabled);

    MainView& view_;
    SystemTimer& timer_;
    const Settings& settings_;
};

}  // namespace axo
