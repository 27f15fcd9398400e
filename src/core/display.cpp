#include "core/display.h"

#include "core/codes.h"

namespace axo {

void Display::SetButtonImage(int slot, int16_t on) {
    if (slot < 1 || slot > kEventSlotCount) {
        return;
    }
    view_.ShowButtonPicture(slot, on == kTrue);
}

void Display::ResetButtonImages() {
    for (int slot = 1; slot <= kEventSlotCount; ++slot) {
        SetButtonImage(slot, kFalse);
    }
}

void Display::SetGroupEnabled(std::initializer_list<std::string_view> controls, bool enabled) {
    for (std::string_view c : controls) {
        view_.SetEnabled(c, enabled);
    }
}

void Display::DisableControlPad(bool disable) {
    SetGroupEnabled({"lblControlTracking", "lblControlStop", "lblControlAlphaM", "lblControlAlphaP",
                     "lblControlDeltaM", "lblControlDeltaP", "optControlCenteringAlpha", "optControlPointingAlpha",
                     "optControlMovingAlpha", "optControlCenteringDelta", "optControlPointingDelta",
                     "optControlMovingDelta", "picControlTracking", "picControlStop", "picDeltaPlus",
                     "picDeltaMinus", "picAlphaPlus", "picAlphaMinus", "picDeltaPlusLock", "picDeltaMinusLock",
                     "picAlphaPlusLock", "picAlphaMinusLock"},
                    !disable);
}

void Display::HidePositionDisplays(bool hide) {
    for (std::string_view c : {"lblDisplayAlphaH", "lblDisplayAlphaM", "lblDisplayAlphaS", "lblDisplayDeltaD",
                               "lblDisplayDeltaM", "lblDisplayDeltaS", "lblAzimutTelescope", "lblAzimutDome",
                               "shpDeltaMinus", "shpAlphaMinus"}) {
        view_.SetVisible(c, !hide);
    }
}

void Display::DisableDomeGroup(bool disable) {
    SetGroupEnabled({"picDomeDir1", "picDomeDir2", "picDomeDir1Lock", "picDomeDir2Lock", "picDomeStop",
                     "picDomeTracking", "lblDomeDir1", "lblDomeDir2", "lblDomeStop", "lblDomeTracking", "cmdDomeRest",
                     "cmdDomeInit"},
                    !disable);
}

void Display::DisableFocusGroup(bool disable) {
    SetGroupEnabled({"lblFocusDir1", "lblFocusDir2", "lblFocusStop", "picFocusDir1", "picFocusDir1Lock",
                     "picFocusStop", "picFocusDir2Lock", "picFocusDir2", "cmdFocusZero"},
                    !disable);
}

void Display::DisableFilterGroup(bool disable) {
    view_.SetEnabled("cmbFilterValue", !disable);
    // "Valider" also needs a colour chosen, as the list's own rule says; enabling the group
    // must not offer to send "no filter".
    view_.SetEnabled("cmdFilterValidate", !disable && !view_.Text("cmbFilterValue").empty());
}

void Display::DisableCommandGroups(bool disable) {
    DisableControlPad(disable);
    HidePositionDisplays(disable);
    DisableDomeGroup(disable);
    DisableFocusGroup(disable);
    DisableFilterGroup(disable);
}

void Display::DisableFileEditMenus(bool disable) {
    SetGroupEnabled({"FileMenu", "EditMenu"}, !disable);
}

void Display::EnableSystemTimer(bool enable) {
    timer_.SetSystemTimerEnabled(enable);
}

void Display::AddMessage(const std::string& text) {
    if (settings_.Int(IntKey::gui_messages) == 1) {
        AppendLine(text);
    }
}

void Display::AddErrorMessage(const std::string& text) {
    AppendLine(text);
}

void Display::AppendLine(const std::string& text) {
    // A full list drops its second line; the first line is never removed this way.
    if (view_.MessageCount() >= kMaxMessageLines) {
        view_.RemoveMessage(1);
    }
    view_.AppendMessage(text);
    view_.SelectMessage(view_.MessageCount() - 1);
}

void Display::SetTextIfChanged(std::string_view control, const std::string& text) {
    if (view_.Text(control) != text) {
        view_.SetText(control, text);
    }
}

void Display::SetVisibleIfChanged(std::string_view control, bool visible) {
    if (view_.IsVisible(control) != visible) {
        view_.SetVisible(control, visible);
    }
}

}  // namespace axo
