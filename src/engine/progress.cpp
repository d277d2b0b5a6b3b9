#include "engine/progress.h"

#include "engine/application.h"
#include "text/program_texts.h"

#include <string>

namespace pv::engine {

void RefreshProgress(Application& app) {
    const text::ProgramTexts& texts = text::Texts();
    RunState& state = app.State();
    const threading::Lock::Holder hold(app.GlobalLock());
    shell::Toolkit& toolkit = app.Toolkit();
    toolkit.SetPaneText(1, texts.paneDone + std::to_string(state.doneCount.load()));
    toolkit.SetPaneText(2, texts.paneValid + std::to_string(state.validCount.load()));
    toolkit.SetPaneText(3, texts.paneInvalid + std::to_string(state.invalidCount.load()));
}

} // namespace pv::engine
