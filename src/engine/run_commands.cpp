#include "engine/run_commands.h"

#include "engine/application.h"
#include "engine/progress.h"
#include "engine/run_controller.h"
#include "proxylist/proxy_table.h"
#include "shell/control_names.h"
#include "text/blanks.h"
#include "text/leading_integer.h"
#include "text/program_texts.h"

#include <string>

namespace pv::engine {

using shell::kPauseResumeButton;
using shell::kStartStopButton;
using shell::MessageButtons;
using shell::MessageIcon;

namespace {

void StartRun(Application& app) {
    const text::ProgramTexts& texts = text::Texts();
    shell::Toolkit& toolkit = app.Toolkit();
    RunState& state = app.State();
    if (toolkit.ProxyList().RowCount() < 1) {
        toolkit.ShowMessage(texts.startNoRows, MessageIcon::kExclamation, MessageButtons::kOk);
        toolkit.SetEnabled(kStartStopButton, true);
        return;
    }
    state.SetUrl(std::string(text::TrimBlanks(toolkit.GetText(shell::kUrlEdit))));
    state.SetFeature(toolkit.GetText(shell::kFeatureEdit));
    if (state.Url()->empty() || state.Feature()->empty()) {
        toolkit.ShowMessage(texts.startBadInput, MessageIcon::kExclamation, MessageButtons::kOk);
        toolkit.SetEnabled(kStartStopButton, true);
        return;
    }
    state.utfDecode.store(toolkit.GetChecked(shell::kUtfDecodeCheck) ? 1 : 0);
    state.connectTimeoutMs.store(text::LeadingInteger(toolkit.GetText(shell::kConnectTimeoutEdit)));
    state.verifyTimeoutMs.store(text::LeadingInteger(toolkit.GetText(shell::kVerifyTimeoutEdit)));
    state.ResetRunCounters();
    RefreshProgress(app);
    if (!app.RunRunner().Start([&app](std::uintptr_t) -> std::uint32_t {
            RunController(app);
            return 0;
        })) {
        toolkit.SetEnabled(kStartStopButton, true);
    }
}

void StopRun(Application& app) {
    const text::ProgramTexts& texts = text::Texts();
    shell::Toolkit& toolkit = app.Toolkit();
    toolkit.SetCaption(kStartStopButton, texts.captionStopping);
    toolkit.SetEnabled(kPauseResumeButton, false);
    toolkit.SetCaption(kPauseResumeButton, texts.captionPause);
    app.Pool().Stop();
    app.RunRunner().WaitEnd();
    toolkit.SetCaption(kStartStopButton, texts.captionStart);
    toolkit.SetEnabled(kStartStopButton, true);
}

} // namespace

void StartOrStopRun(Application& app) {
    const text::ProgramTexts& texts = text::Texts();
    shell::Toolkit& toolkit = app.Toolkit();
    toolkit.SetEnabled(kStartStopButton, false);
    const std::string caption = toolkit.GetCaption(kStartStopButton);
    if (caption == texts.captionStart) {
        StartRun(app);
    } else if (caption == texts.captionStop) {
        StopRun(app);
    } else {
        toolkit.SetEnabled(kStartStopButton, true);
    }
}

void PauseOrResumeRun(Application& app) {
    const text::ProgramTexts& texts = text::Texts();
    shell::Toolkit& toolkit = app.Toolkit();
    toolkit.SetEnabled(kPauseResumeButton, false);
    const std::string caption = toolkit.GetCaption(kPauseResumeButton);
    if (caption == texts.captionPause) {
        app.Pool().Pause();
        toolkit.SetCaption(kPauseResumeButton, texts.captionResume);
    } else if (caption == texts.captionResume) {
        app.Pool().Resume();
        toolkit.SetCaption(kPauseResumeButton, texts.captionPause);
    }
    toolkit.SetEnabled(kPauseResumeButton, true);
}

void OnWindowDestroying(Application& app) {
    app.Pool().Stop();
}

} // namespace pv::engine
