#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pv::proxylist {
class ProxyTable;
}

namespace pv::shell {

enum class FileDialogKind { kOpen = 0, kSave = 1 };
enum class MessageIcon { kExclamation, kInformation };
enum class MessageButtons { kOk, kYesNo };

// The buttons a message box returns, 0-based.
enum MessageResult : int {
    kOkPressed = 0,
    kCancelPressed = 1,
    kAbortPressed = 2,
    kRetryPressed = 3,
    kIgnorePressed = 4,
    kYesPressed = 5,
    kNoPressed = 6
};

// The operations through which the program's logic reaches its window, whatever toolkit
// draws it. Controls are named by their object names (control_names.h). Texts are code page
// 936 bytes; file paths are the operating system's own bytes.
//
// Threads: the controls belong to the UI thread. A control operation called from another
// thread is served by the UI thread, in the order made, while the caller waits; so the UI
// thread must never block on anything such a caller may hold. Two controls are exceptions,
// because a run writes them thousands of times a second: the proxy list (ProxyList(), see
// ProxyTable) and the status bar's pane texts take effect at once from any thread, and the
// window shows them as the UI thread gets to it, several changes in one. A message box shown
// from another thread belongs to that thread and leaves the window usable.
class Toolkit {
public:
    virtual ~Toolkit() = default;

    // The list control 列表_代理 and its rows.
    virtual proxylist::ProxyTable& ProxyList() = 0;

    // Status bar panes 0 to 3; another pane is ignored. Any thread, without waiting.
    virtual void SetPaneText(int pane, std::string_view text) = 0;
    virtual void SetEnabled(std::string_view control, bool enabled) = 0;
    virtual std::string GetCaption(std::string_view control) = 0;
    virtual void SetCaption(std::string_view control, std::string_view text) = 0;
    // An edit box's text.
    virtual std::string GetText(std::string_view control) = 0;
    virtual bool GetChecked(std::string_view control) = 0;

    // Shows the window's one file dialog over the active window and waits. The filter is a
    // description and a pattern separated by "|". True when the user confirmed a file, whose
    // path FileDialogPath() then gives; it is offered as the initial name next time.
    virtual bool ShowFileDialog(FileDialogKind kind, std::string_view filter) = 0;
    virtual std::string FileDialogPath() = 0;

    // Shows a message box with the caption "信息：", brought to the front, and waits for a
    // button; returns its MessageResult.
    virtual int ShowMessage(std::string_view text, MessageIcon icon, MessageButtons buttons) = 0;

    // Serves every message pending for the calling thread, then returns; never blocks.
    // Nothing is pending for a thread other than the UI thread.
    virtual void PumpMessages() = 0;

    // The program frame. The exit routine runs once, on the UI thread, when the program ends
    // normally after its window is gone. RunMessageLoop serves messages until the window is
    // gone, then runs the exit routine.
    virtual void RegisterExitRoutine(std::function<void()> routine) = 0;
    virtual void ShowWindow() = 0;
    virtual int RunMessageLoop() = 0;
};

} // namespace pv::shell
