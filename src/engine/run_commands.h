#pragma once

namespace pv::engine {

class Application;

// The click handler of 按钮_开始停止: by its caption, starts a run (after checking the list,
// the URL and the feature) or stops the one under way, waiting with the window's messages
// served until the pool and the run controller have ended. UI thread.
void StartOrStopRun(Application& app);

// The click handler of 按钮_暂停继续: pauses or resumes the pool, by its caption. UI thread.
void PauseOrResumeRun(Application& app);

// The main window is about to be destroyed: stops the pool. UI thread.
void OnWindowDestroying(Application& app);

} // namespace pv::engine
