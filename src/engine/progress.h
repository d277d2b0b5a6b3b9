#pragma once

namespace pv::engine {

class Application;

// Shows doneCount, validCount and invalidCount in panes 1 to 3 of the status bar, under the
// lock. Not on the UI thread while checks may run.
void RefreshProgress(Application& app);

} // namespace pv::engine
