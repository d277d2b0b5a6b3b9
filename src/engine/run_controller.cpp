#include "engine/run_controller.h"

#include "engine/application.h"
#include "engine/progress.h"
#include "engine/proxy_check.h"
#include "proxylist/proxy_table.h"
#include "shell/control_names.h"
#include "text/leading_integer.h"
#include "text/program_texts.h"

#include <algorithm>
#include <string>

namespace pv::engine {

using shell::kPauseResumeButton;
using shell::kStartStopButton;

void RunController(Application& app) {
    const text::ProgramTexts& texts = text::Texts();
    shell::Toolkit& toolkit = app.Toolkit();
    threading::TaskPool& pool = app.Pool();
    threading::Lock& lock = app.GlobalLock();
    RunState& state = app.State();

    toolkit.SetCaption(kStartStopButton, texts.captionStarting);
    if (state.connectTimeoutMs.load() < kMinTimeoutMs) {
        state.connectTimeoutMs.store(kMinTimeoutMs);
    }
    if (state.verifyTimeoutMs.load() < kMinTimeoutMs) {
        state.verifyTimeoutMs.store(kMinTimeoutMs);
    }
    int threads = 0;
    {
        const threading::Lock::Holder hold(lock);
        threads = text::LeadingInteger(toolkit.GetText(shell::kThreadsEdit));
    }
    if (!pool.Create(std::max(threads, 1))) {
        const threading::Lock::Holder hold(lock);
        toolkit.SetCaption(kStartStopButton, texts.captionStart);
        toolkit.SetEnabled(kStartStopButton, true);
        return;
    }
    int lastRow = 0;
    {
        const threading::Lock::Holder hold(lock);
        toolkit.SetCaption(kStartStopButton, texts.captionStop);
        toolkit.SetEnabled(kStartStopButton, true);
        toolkit.SetCaption(kPauseResumeButton, texts.captionPause);
        toolkit.SetEnabled(kPauseResumeButton, true);
        lastRow = toolkit.ProxyList().RowCount() - 1;
    }

    // Dispatch: one batch per wakeup, as large as the idle workers allow.
    const threading::TaskRoutine check = [&app](std::int32_t row, std::int32_t) {
        ProxyCheckTask(app, row);
    };
    int nextRow = 0;
    while (nextRow <= lastRow) {
        const int free = pool.FreeWorkers();
        if (free > 0) {
            const int batch = std::min(lastRow - nextRow + 1, free);
            for (int i = 0; i < batch; ++i) {
                pool.Post(check, nextRow++);
            }
        }
        if (!pool.WaitTaskDone()) {
            return;
        }
        RefreshProgress(app);
    }

    // Drain.
    while (!pool.IsIdle()) {
        if (pool.State() != threading::kRunning) {
            return;
        }
        if (pool.WaitTaskDone(100)) {
            RefreshProgress(app);
        }
    }
    RefreshProgress(app);

    {
        const threading::Lock::Holder hold(lock);
        toolkit.SetEnabled(kStartStopButton, false);
        toolkit.SetCaption(kStartStopButton, texts.captionStopping);
        toolkit.SetEnabled(kPauseResumeButton, false);
        toolkit.SetCaption(kPauseResumeButton, texts.captionPause);
    }
    pool.Stop();

    const std::string report = texts.reportValid + std::to_string(state.validCount.load()) +
                               texts.reportInvalid + std::to_string(state.invalidCount.load());
    toolkit.ShowMessage(report, shell::MessageIcon::kInformation, shell::MessageButtons::kOk);

    const threading::Lock::Holder hold(lock);
    toolkit.SetCaption(kStartStopButton, texts.captionStart);
    toolkit.SetEnabled(kStartStopButton, true);
}

} // namespace pv::engine
