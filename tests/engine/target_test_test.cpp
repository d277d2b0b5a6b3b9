#include "engine_fixture.h"

#include <chrono>

namespace pv::engine {
namespace {

using namespace std::chrono_literals;

class TargetTest : public EngineTest {
protected:
    LoopbackHttpServer target_{[](const RecordedRequest&) {
        return Reply::Page(kFeaturePageUtf8, "Content-Type: text/html; charset=utf-8\r\n");
    }};
};

TEST_F(TargetTest, AReachablePageWithTheFeatureSucceeds) {
    UseTarget(target_);
    ClickTest();
    const auto messages = toolkit_.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, T.testSucceeded);
    EXPECT_EQ(messages[0].icon, shell::MessageIcon::kInformation);
    EXPECT_TRUE(toolkit_.IsEnabled(shell::kTestButton));
    EXPECT_EQ(app_->TestRunner().ExitCode(), 1u);
    // Straight to the target, with no proxy in between.
    ASSERT_EQ(target_.Requests().size(), 1u);
    EXPECT_EQ(target_.Requests()[0].requestLine, "GET / HTTP/1.1");
}

TEST_F(TargetTest, VerdictsFollowTheFeatureAndTheDecodingChoice) {
    UseTarget(target_);
    Type(shell::kFeatureEdit, "not on the page");
    ClickTest();
    Type(shell::kFeatureEdit, "百度一下");
    toolkit_.SetCheckedByUser(shell::kUtfDecodeCheck, false);
    ClickTest();
    toolkit_.SetCheckedByUser(shell::kUtfDecodeCheck, true);
    ClickTest();
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{T.testFailed, T.testFailed, T.testSucceeded}));
    EXPECT_EQ(toolkit_.Messages()[0].icon, shell::MessageIcon::kExclamation);
}

TEST_F(TargetTest, TheUrlIsNotTrimmedButABareHostGetsHttp) {
    Type(shell::kUrlEdit, " " + target_.Url("/"));
    ClickTest();
    Type(shell::kUrlEdit, target_.Url("/").substr(7)); // "127.0.0.1:port/"
    ClickTest();
    Type(shell::kUrlEdit, "   ");
    ClickTest();
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{T.testFailed, T.testSucceeded, T.testFailed}));
}

TEST_F(TargetTest, AnEmptyFeatureOrUrlIsRefusedWithoutARequest) {
    UseTarget(target_);
    Type(shell::kFeatureEdit, "");
    ClickTest();
    Type(shell::kFeatureEdit, "x");
    Type(shell::kUrlEdit, "");
    ClickTest();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{T.testBadInput, T.testBadInput}));
    EXPECT_TRUE(target_.Requests().empty());
    EXPECT_TRUE(toolkit_.IsEnabled(shell::kTestButton));
}

TEST_F(TargetTest, ATestDuringARunChangesWhatLaterChecksUse) {
    threading::ManualResetEvent open(false);
    LoopbackHttpServer proxy([&](const RecordedRequest& request) {
        open.Wait();
        // The proxy fetches what the check asked for: the feature page or a plain one.
        if (request.requestLine.find("/plain") != std::string::npos) {
            return Reply::Page("plain page");
        }
        return Reply::Page(kFeaturePageUtf8);
    });
    AddProxy(proxy);
    AddProxy(proxy);
    Type(shell::kUrlEdit, "http://example.test/feature");
    Type(shell::kThreadsEdit, "1");
    ClickStartStop();
    ASSERT_TRUE(WaitUntil([&] { return proxy.Requests().size() == 1; }));

    UseTarget(target_, "/plain"); // the target itself has the feature: the test succeeds
    ClickTest();
    EXPECT_EQ(*app_->State().Url(), target_.Url("/plain"));
    open.Set();
    WaitForRunEnd();
    EXPECT_EQ(Row(0).status, T.statusValid) << "began before the test";
    EXPECT_EQ(Row(1).status, T.statusInvalid) << "began after it, with its URL";
    ExpectPanes(2, 1, 1);
}

} // namespace
} // namespace pv::engine
