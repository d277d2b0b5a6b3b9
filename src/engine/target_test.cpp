#include "engine/target_test.h"

#include "engine/application.h"
#include "http/http_request.h"
#include "shell/control_names.h"
#include "text/feature_search.h"
#include "text/program_texts.h"

#include <string>

namespace pv::engine {

using shell::kTestButton;
using shell::MessageButtons;
using shell::MessageIcon;

std::uint32_t TargetTestRoutine(Application& app) {
    RunState& state = app.State();
    const RunState::Text feature = state.Feature();
    http::HttpRequest request;
    std::string url = *state.Url();
    request.Open(url);
    request.SetUserAgent();
    request.Send();
    const std::string page =
        state.utfDecode.load() == 1 ? request.ResponseBodyUtf8() : request.ResponseBodyText();
    return text::FindFeature(page, *feature) != std::string::npos ? 1 : 0;
}

void TestTarget(Application& app) {
    const text::ProgramTexts& texts = text::Texts();
    shell::Toolkit& toolkit = app.Toolkit();
    RunState& state = app.State();
    toolkit.SetEnabled(kTestButton, false);
    state.SetUrl(toolkit.GetText(shell::kUrlEdit));
    state.SetFeature(toolkit.GetText(shell::kFeatureEdit));
    state.utfDecode.store(toolkit.GetChecked(shell::kUtfDecodeCheck) ? 1 : 0);
    if (state.Url()->empty() || state.Feature()->empty()) {
        toolkit.ShowMessage(texts.testBadInput, MessageIcon::kExclamation, MessageButtons::kOk);
        toolkit.SetEnabled(kTestButton, true);
        return;
    }
    threading::ThreadRunner& runner = app.TestRunner();
    if (runner.Start([&app](std::uintptr_t) { return TargetTestRoutine(app); })) {
        runner.WaitEnd();
        if (runner.ExitCode() == 1) {
            toolkit.ShowMessage(texts.testSucceeded, MessageIcon::kInformation,
                                MessageButtons::kOk);
        } else {
            toolkit.ShowMessage(texts.testFailed, MessageIcon::kExclamation, MessageButtons::kOk);
        }
    }
    toolkit.SetEnabled(kTestButton, true);
}

} // namespace pv::engine
