#include "shell/headless/headless_toolkit.h"

#include "text/cp936_char.h"
#include "text/program_texts.h"

#include <future>
#include <type_traits>
#include <utility>

namespace pv::shell {

namespace {

// The first `maxLength` characters of `text`, as an edit box with that limit keeps them.
std::string_view LimitCharacters(std::string_view text, int maxLength) {
    if (maxLength <= 0) {
        return text;
    }
    std::size_t end = 0;
    for (int count = 0; count < maxLength && end < text.size(); ++count) {
        end += text::CharLengthAt(text, end);
    }
    return text.substr(0, end);
}

} // namespace

HeadlessToolkit::HeadlessToolkit() {
    for (const ControlLayout& control : MainWindowControls()) {
        controls_.emplace(std::string(control.name),
                          Control{control.kind, control.text, control.enabled, control.checked,
                                  control.maxLength});
    }
    for (const StatusPaneLayout& pane : MainWindowStatusPanes()) {
        panes_.push_back(pane.text);
    }
    std::promise<std::thread::id> started;
    std::future<std::thread::id> id = started.get_future();
    uiThread_ = std::thread([this, &started] {
        started.set_value(std::this_thread::get_id());
        Loop();
    });
    uiThreadId_ = id.get();
}

HeadlessToolkit::~HeadlessToolkit() {
    {
        std::lock_guard lock(queueMutex_);
        stopping_ = true;
    }
    queueChanged_.notify_all();
    uiThread_.join();
}

std::function<void()> HeadlessToolkit::PopQueued() {
    std::function<void()> work = std::move(queue_.front());
    queue_.pop_front();
    queued_.fetch_sub(1);
    return work;
}

void HeadlessToolkit::Loop() {
    while (true) {
        std::function<void()> work;
        {
            std::unique_lock lock(queueMutex_);
            queueChanged_.wait(lock, [this] { return !queue_.empty() || stopping_; });
            if (queue_.empty()) {
                break;
            }
            work = PopQueued();
        }
        work();
    }
}

void HeadlessToolkit::PostToUiThread(std::function<void()> work) {
    {
        std::lock_guard lock(queueMutex_);
        if (stopping_) {
            return;
        }
        queue_.push_back(std::move(work));
        queued_.fetch_add(1);
    }
    queueChanged_.notify_all();
}

template <typename Work>
auto HeadlessToolkit::Call(Work work) -> decltype(work()) {
    using Result = decltype(work());
    if (IsUiThread()) {
        return work();
    }
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(work));
    std::future<Result> result = task->get_future();
    bool queued = false;
    {
        std::lock_guard lock(queueMutex_);
        if (!stopping_) {
            queue_.push_back([task] { (*task)(); });
            queued_.fetch_add(1);
            queued = true;
        }
    }
    if (!queued) {
        // The UI thread is gone: the control no longer exists.
        if constexpr (std::is_void_v<Result>) {
            return;
        } else {
            return Result{};
        }
    }
    queueChanged_.notify_all();
    return result.get();
}

void HeadlessToolkit::RunOnUiThread(std::function<void()> work) {
    Call(std::move(work));
}

bool HeadlessToolkit::ServeQueued() {
    std::size_t count = queued_.load();
    if (count == 0) {
        return false;
    }
    // Only what is queued now: a steady stream of calls from other threads must not keep the
    // caller here.
    for (; count > 0; --count) {
        std::function<void()> work;
        {
            std::lock_guard lock(queueMutex_);
            if (queue_.empty()) {
                break;
            }
            work = PopQueued();
        }
        work();
    }
    return true;
}

void HeadlessToolkit::PumpMessages() {
    if (IsUiThread()) {
        ServeQueued();
    }
}

HeadlessToolkit::Control* HeadlessToolkit::Find(std::string_view name) {
    const auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : &it->second;
}

void HeadlessToolkit::SetPaneText(int pane, std::string_view text) {
    std::lock_guard lock(panesMutex_);
    if (pane >= 0 && pane < static_cast<int>(panes_.size())) {
        panes_[static_cast<std::size_t>(pane)] = text;
    }
}

void HeadlessToolkit::SetEnabled(std::string_view control, bool enabled) {
    Call([&] {
        if (Control* c = Find(control)) {
            c->enabled = enabled;
        }
    });
}

std::string HeadlessToolkit::GetCaption(std::string_view control) {
    return Call([&] {
        const Control* c = Find(control);
        return c ? c->text : std::string();
    });
}

void HeadlessToolkit::SetCaption(std::string_view control, std::string_view text) {
    Call([&] {
        if (Control* c = Find(control)) {
            c->text = text;
        }
    });
}

std::string HeadlessToolkit::GetText(std::string_view control) {
    return GetCaption(control);
}

bool HeadlessToolkit::GetChecked(std::string_view control) {
    return Call([&] {
        const Control* c = Find(control);
        return c != nullptr && c->checked;
    });
}

bool HeadlessToolkit::ShowFileDialog(FileDialogKind kind, std::string_view filter) {
    return Call([&] {
        FileDialogResponder responder;
        {
            std::lock_guard lock(responderMutex_);
            responder = fileDialogResponder_;
        }
        if (!responder) {
            return false;
        }
        const std::optional<std::string> path =
            responder(FileDialogRequest{kind, std::string(filter), dialogPath_});
        if (!path) {
            return false;
        }
        dialogPath_ = *path;
        return true;
    });
}

std::string HeadlessToolkit::FileDialogPath() {
    return Call([&] { return dialogPath_; });
}

int HeadlessToolkit::ShowMessage(std::string_view text, MessageIcon icon, MessageButtons buttons) {
    // A box belongs to the thread that shows it, so it is answered right here.
    MessageRecord record{std::string(text), text::Texts().messageCaption, icon, buttons,
                         IsUiThread()};
    MessageResponder responder;
    {
        std::lock_guard lock(responderMutex_);
        messages_.push_back(record);
        responder = messageResponder_;
    }
    if (responder) {
        return responder(record);
    }
    return buttons == MessageButtons::kYesNo ? kYesPressed : kOkPressed;
}

void HeadlessToolkit::SetFileDialogResponder(FileDialogResponder responder) {
    std::lock_guard lock(responderMutex_);
    fileDialogResponder_ = std::move(responder);
}

void HeadlessToolkit::SetMessageResponder(MessageResponder responder) {
    std::lock_guard lock(responderMutex_);
    messageResponder_ = std::move(responder);
}

std::vector<HeadlessToolkit::MessageRecord> HeadlessToolkit::Messages() const {
    std::lock_guard lock(responderMutex_);
    return messages_;
}

void HeadlessToolkit::RegisterExitRoutine(std::function<void()> routine) {
    Call([&] { exitRoutine_ = std::move(routine); });
}

void HeadlessToolkit::ShowWindow() {}

int HeadlessToolkit::RunMessageLoop() {
    std::unique_lock lock(queueMutex_);
    queueChanged_.wait(lock, [this] { return windowGone_ || stopping_; });
    return 0;
}

void HeadlessToolkit::CloseWindow() {
    Call([this] {
        if (exitRoutine_) {
            std::exchange(exitRoutine_, nullptr)();
        }
        {
            std::lock_guard lock(queueMutex_);
            windowGone_ = true;
        }
        queueChanged_.notify_all();
    });
}

void HeadlessToolkit::TypeText(std::string_view control, std::string_view text) {
    Call([&] {
        if (Control* c = Find(control)) {
            c->text = LimitCharacters(text, c->maxLength);
        }
    });
}

void HeadlessToolkit::SetCheckedByUser(std::string_view control, bool checked) {
    Call([&] {
        if (Control* c = Find(control)) {
            c->checked = checked;
        }
    });
}

bool HeadlessToolkit::IsEnabled(std::string_view control) {
    return Call([&] {
        const Control* c = Find(control);
        return c != nullptr && c->enabled;
    });
}

std::string HeadlessToolkit::PaneText(int pane) {
    std::lock_guard lock(panesMutex_);
    return pane >= 0 && pane < static_cast<int>(panes_.size())
               ? panes_[static_cast<std::size_t>(pane)]
               : std::string();
}

} // namespace pv::shell
