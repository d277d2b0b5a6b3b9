#pragma once

#include "proxylist/proxy_table.h"
#include "shell/toolkit.h"
#include "shell/window_layout.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pv::shell {

// A toolkit without a window, for tests and the command line. It keeps the threading
// contract of the real one: a "UI thread" of its own runs a message loop, a control
// operation from another thread is queued to it and the caller waits until it is served
// (in the order made), and PumpMessages serves what is queued without blocking. File dialogs
// and message boxes are answered by responders; every box shown is recorded.
class HeadlessToolkit final : public Toolkit {
public:
    struct FileDialogRequest {
        FileDialogKind kind;
        std::string filter;      // code page 936
        std::string initialPath; // the path chosen last, or empty
    };
    struct MessageRecord {
        std::string text;    // code page 936
        std::string caption; // code page 936
        MessageIcon icon;
        MessageButtons buttons;
        bool onUiThread;
    };
    // Returns the chosen path, or nothing to cancel.
    using FileDialogResponder = std::function<std::optional<std::string>(const FileDialogRequest&)>;
    // Returns the button pressed.
    using MessageResponder = std::function<int(const MessageRecord&)>;

    HeadlessToolkit();
    ~HeadlessToolkit() override;
    HeadlessToolkit(const HeadlessToolkit&) = delete;
    HeadlessToolkit& operator=(const HeadlessToolkit&) = delete;

    proxylist::ProxyTable& ProxyList() override { return table_; }
    void SetPaneText(int pane, std::string_view text) override;
    void SetEnabled(std::string_view control, bool enabled) override;
    std::string GetCaption(std::string_view control) override;
    void SetCaption(std::string_view control, std::string_view text) override;
    std::string GetText(std::string_view control) override;
    bool GetChecked(std::string_view control) override;
    bool ShowFileDialog(FileDialogKind kind, std::string_view filter) override;
    std::string FileDialogPath() override;
    int ShowMessage(std::string_view text, MessageIcon icon, MessageButtons buttons) override;
    void PumpMessages() override;
    void RegisterExitRoutine(std::function<void()> routine) override;
    void ShowWindow() override;
    int RunMessageLoop() override;

    // Runs `work` on the UI thread, as a click does, and waits until it has run.
    void RunOnUiThread(std::function<void()> work);
    // Queues `work` for the UI thread without waiting.
    void PostToUiThread(std::function<void()> work);
    bool IsUiThread() const { return std::this_thread::get_id() == uiThreadId_; }

    // Without a responder, file dialogs are cancelled and message boxes answered with their
    // first button (OK or Yes).
    void SetFileDialogResponder(FileDialogResponder responder);
    void SetMessageResponder(MessageResponder responder);
    std::vector<MessageRecord> Messages() const;

    // What the user does and sees.
    void TypeText(std::string_view control, std::string_view text); // replaces the text
    void SetCheckedByUser(std::string_view control, bool checked);
    bool IsEnabled(std::string_view control);
    std::string PaneText(int pane);
    // Closes the window: the message loop ends and the exit routine runs.
    void CloseWindow();

private:
    struct Control {
        ControlKind kind;
        std::string text;
        bool enabled;
        bool checked;
        int maxLength;
    };

    void Loop();
    // Runs `work` on the UI thread and returns its result; see the class comment.
    template <typename Work>
    auto Call(Work work) -> decltype(work());
    // Takes the oldest queued call; the queue's mutex is held and the queue not empty.
    std::function<void()> PopQueued();
    // Serves at most the calls queued when it begins; false when there were none.
    bool ServeQueued();
    Control* Find(std::string_view name);

    proxylist::ProxyTable table_;

    // Touched on the UI thread only.
    std::map<std::string, Control, std::less<>> controls_;
    std::string dialogPath_;
    std::function<void()> exitRoutine_;

    mutable std::mutex panesMutex_;
    std::vector<std::string> panes_;

    mutable std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<std::function<void()>> queue_;
    std::atomic<std::size_t> queued_{0};
    bool stopping_ = false;
    bool windowGone_ = false;

    mutable std::mutex responderMutex_;
    FileDialogResponder fileDialogResponder_;
    MessageResponder messageResponder_;
    std::vector<MessageRecord> messages_;

    std::thread uiThread_;
    std::thread::id uiThreadId_;
};

} // namespace pv::shell
