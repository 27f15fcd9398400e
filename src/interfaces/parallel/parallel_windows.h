#pragma once

// The few windows the parallel interface needs besides the main window, as the Qt layer
// provides them. Tests use fakes; a build without windows can pass the null versions below.

#include <string>

namespace axo {

// The load window's progress label, shown while the interfaces start.
class LoadProgress {
public:
    virtual ~LoadProgress() = default;
    // Shows `text` in the progress label and repaints it at once.
    virtual void ShowProgress(const std::string& text) = 0;
};

// The modeless Cancel window of long waits (the zero-coder search).
class CancelWindow {
public:
    virtual ~CancelWindow() = default;
    // Loads the window if needed, puts `message` in its label, clears the cancel request and
    // shows it modeless.
    virtual void Open(const std::string& message) = 0;
    // Set by the window's Cancel button (which also hides the window).
    virtual bool CancelRequested() const = 0;
    virtual bool IsVisible() const = 0;
    virtual void Hide() = 0;
};

// Closing the main window, which runs the normal shut-down and ends the program.
class MainWindowCloser {
public:
    virtual ~MainWindowCloser() = default;
    virtual void UnloadMainWindow() = 0;
};

struct ParallelWindows {
    LoadProgress* progress = nullptr;
    CancelWindow* cancel = nullptr;
    MainWindowCloser* closer = nullptr;
};

}  // namespace axo
