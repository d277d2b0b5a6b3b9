#pragma once

#include "engine/application.h"
#include "engine/run_commands.h"
#include "engine/target_test.h"
#include "proxylist/proxy_table.h"
#include "shell/control_names.h"
#include "shell/headless/headless_toolkit.h"
#include "support/loopback_http_server.h"
#include "support/wait_until.h"
#include "text/code_page.h"
#include "text/program_texts.h"
#include "threading/events.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pv::engine {

using pv::testing_support::LoopbackHttpServer;
using pv::testing_support::RecordedRequest;
using pv::testing_support::Reply;
using pv::testing_support::WaitUntil;

inline const text::ProgramTexts& T = text::Texts();

// A page holding the default feature 百度一下, in UTF-8 as most sites serve it.
inline const std::string kFeaturePageUtf8 =
    "<html><title>\xE7\x99\xBE\xE5\xBA\xA6\xE4\xB8\x80\xE4\xB8\x8B</title></html>";

// The window of a session, headless, with the engine behind it. Clicks go to the UI thread
// and, like a real click, do nothing on a disabled button.
class EngineTest : public testing::Test {
protected:
    EngineTest() { app_ = std::make_unique<Application>(toolkit_, clock_); }
    ~EngineTest() override { app_.reset(); }

    void Click(std::string_view button, void (*handler)(Application&)) {
        toolkit_.RunOnUiThread([&] {
            if (toolkit_.IsEnabled(button)) {
                handler(*app_);
            }
        });
    }
    void ClickStartStop() { Click(shell::kStartStopButton, &StartOrStopRun); }
    void ClickPauseResume() { Click(shell::kPauseResumeButton, &PauseOrResumeRun); }
    void ClickTest() { Click(shell::kTestButton, &TestTarget); }

    // Settings as the user types them (UTF-8 texts are converted for the window).
    void Type(std::string_view control, const std::string& utf8) {
        toolkit_.TypeText(control, text::Utf8ToCp936(utf8));
    }
    void UseTarget(const LoopbackHttpServer& target, std::string path = "/") {
        Type(shell::kUrlEdit, target.Url(path));
    }
    int AddRow(const std::string& host, const std::string& port) {
        return toolkit_.ProxyList().AppendProxyRow(host, port);
    }
    int AddProxy(const LoopbackHttpServer& proxy) {
        return AddRow("127.0.0.1", std::to_string(proxy.Port()));
    }
    int AddProxy(const std::string& address) {
        const std::size_t colon = address.find(':');
        return AddRow(address.substr(0, colon), address.substr(colon + 1));
    }

    bool RunUnderWay() { return toolkit_.GetCaption(shell::kStartStopButton) == T.captionStop; }
    // Waits until the run thread has ended (the report, if any, answered by the responder).
    void WaitForRunEnd() { ASSERT_TRUE(app_->RunRunner().Wait(60000)) << "the run did not end"; }
    void RunToEnd() {
        ClickStartStop();
        WaitForRunEnd();
    }
    proxylist::ProxyRow Row(int index) { return *toolkit_.ProxyList().ReadRow(index); }
    std::vector<std::string> MessageTexts() {
        std::vector<std::string> texts;
        for (const auto& message : toolkit_.Messages()) {
            texts.push_back(message.text);
        }
        return texts;
    }
    std::string Report(int valid, int invalid) {
        return T.reportValid + std::to_string(valid) + T.reportInvalid + std::to_string(invalid);
    }
    void ExpectPanes(int done, int valid, int invalid) {
        EXPECT_EQ(toolkit_.PaneText(1), T.paneDone + std::to_string(done));
        EXPECT_EQ(toolkit_.PaneText(2), T.paneValid + std::to_string(valid));
        EXPECT_EQ(toolkit_.PaneText(3), T.paneInvalid + std::to_string(invalid));
    }
    void ExpectIdleButtons() {
        EXPECT_EQ(toolkit_.GetCaption(shell::kStartStopButton), T.captionStart);
        EXPECT_TRUE(toolkit_.IsEnabled(shell::kStartStopButton));
        EXPECT_EQ(toolkit_.GetCaption(shell::kPauseResumeButton), T.captionPause);
        EXPECT_FALSE(toolkit_.IsEnabled(shell::kPauseResumeButton));
    }

    MillisecondClock clock_ = &SteadyClockMs;
    shell::HeadlessToolkit toolkit_;
    std::unique_ptr<Application> app_;
};

} // namespace pv::engine
