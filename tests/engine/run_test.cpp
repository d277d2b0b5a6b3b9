#include "engine/proxy_check.h"
#include "engine/run_controller.h"
#include "engine_fixture.h"
#include "proxylist/import_export.h"
#include "support/proxy_servers.h"

#include <atomic>
#include <chrono>
#include <sys/resource.h>

namespace pv::engine {
namespace {

using namespace std::chrono_literals;
using pv::testing_support::FreeLoopbackPort;
using pv::testing_support::Squid;
using pv::testing_support::Tinyproxy;

// A proxy fixture that answers every request with a page, as a working proxy would.
Reply PageWithFeature(const RecordedRequest&) {
    return Reply::Page(kFeaturePageUtf8, "Content-Type: text/html; charset=utf-8\r\n");
}

// A proxy fixture that holds each request until the test lets it through.
class GatedProxy {
public:
    GatedProxy()
        : server_([this](const RecordedRequest& request) {
            ++arrived_;
            open_.Wait();
            return PageWithFeature(request);
        }) {}
    ~GatedProxy() {
        open_.Set();
        server_.Stop();
    }
    void Open() { open_.Set(); }
    int Arrived() const { return arrived_.load(); }
    const LoopbackHttpServer& Server() const { return server_; }

private:
    threading::ManualResetEvent open_{false};
    std::atomic<int> arrived_{0};
    LoopbackHttpServer server_;
};

TEST_F(EngineTest, AMixedListGetsEveryOutcomeItsRowAndTheReport) {
    LoopbackHttpServer target([](const RecordedRequest&) {
        return Reply::Page(kFeaturePageUtf8, "Content-Type: text/html; charset=utf-8\r\n");
    });
    Tinyproxy tinyproxy;
    ASSERT_TRUE(tinyproxy.Started()) << "tinyproxy did not start";
    Squid squid;
    ASSERT_TRUE(squid.Started()) << "squid did not start";
    LoopbackHttpServer withoutFeature(
        [](const RecordedRequest&) { return Reply::Page("<html>nothing here</html>"); });
    LoopbackHttpServer silent([](const RecordedRequest&) { return Reply::Stall(); });

    AddProxy(tinyproxy.Address());                           // 0: valid
    AddProxy(squid.Address());                               // 1: valid
    AddProxy(withoutFeature);                                // 2: page without the feature
    AddRow("127.0.0.1", std::to_string(FreeLoopbackPort())); // 3: nothing listens
    AddProxy(silent);                                        // 4: never answers
    const int emptyPort = toolkit_.ProxyList().InsertRow(proxylist::kNotVerified); // 5
    toolkit_.ProxyList().SetCellText(emptyPort, proxylist::kHostColumn, "1.2.3.4");
    UseTarget(target);
    Type(shell::kConnectTimeoutEdit, "500");
    Type(shell::kVerifyTimeoutEdit, "2000");
    Type(shell::kThreadsEdit, "10");

    const auto start = std::chrono::steady_clock::now();
    RunToEnd();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);

    for (const int valid : {0, 1}) {
        const proxylist::ProxyRow row = Row(valid);
        EXPECT_EQ(row.status, T.statusValid) << "row " << valid;
        EXPECT_EQ(row.stateImage, proxylist::kValid) << "row " << valid;
        EXPECT_FALSE(row.delay.empty());
        EXPECT_EQ(row.delay.find_first_not_of("0123456789"), std::string::npos) << row.delay;
    }
    EXPECT_EQ(Row(2).delay, "*/*");
    EXPECT_EQ(Row(2).status, T.statusInvalid);
    EXPECT_EQ(Row(2).stateImage, proxylist::kInvalid);
    EXPECT_EQ(Row(3).delay, "*/*");
    EXPECT_EQ(Row(3).status, T.statusTimeout) << "a refused connection fails at once";
    EXPECT_EQ(Row(4).status, T.statusInvalid) << "no answer within the verify time-out";
    EXPECT_EQ(Row(4).stateImage, proxylist::kInvalid);
    EXPECT_EQ(Row(5).delay, "");
    EXPECT_EQ(Row(5).stateImage, proxylist::kNotVerified);

    ExpectPanes(6, 2, 3);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{Report(2, 3)});
    EXPECT_EQ(toolkit_.Messages().back().icon, shell::MessageIcon::kInformation);
    EXPECT_FALSE(toolkit_.Messages().back().onUiThread) << "the report belongs to the run thread";
    ExpectIdleButtons();
    EXPECT_EQ(app_->Pool().State(), threading::kStopped);
}

TEST_F(EngineTest, TheDecodingChoiceDecidesWhetherAUtf8FeatureIsFound) {
    LoopbackHttpServer proxy(&PageWithFeature);
    AddProxy(proxy);
    Type(shell::kUrlEdit, "http://example.test/");
    RunToEnd();
    EXPECT_EQ(Row(0).status, T.statusValid);

    toolkit_.SetCheckedByUser(shell::kUtfDecodeCheck, false);
    RunToEnd();
    EXPECT_EQ(Row(0).status, T.statusInvalid);
    EXPECT_EQ(Row(0).delay, "*/*");
    ExpectPanes(1, 0, 1);
    // Each check asked the proxy for the run's URL, with "http://" kept as typed.
    for (const RecordedRequest& request : proxy.Requests()) {
        EXPECT_EQ(request.requestLine, "GET http://example.test/ HTTP/1.1");
    }
}

TEST_F(EngineTest, ABareHostNameIsFetchedWithHttpAndTheRunStateKeepsIt) {
    LoopbackHttpServer proxy(&PageWithFeature);
    AddProxy(proxy);
    Type(shell::kUrlEdit, "  example.test/page\xE3\x80\x80");
    RunToEnd();
    EXPECT_EQ(Row(0).status, T.statusValid);
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].requestLine, "GET http://example.test/page HTTP/1.1");
    EXPECT_EQ(*app_->State().Url(), "example.test/page");
}

class StopTest : public EngineTest {
protected:
    // Rows whose proxies never answer, so checks are always in flight.
    void StartStalledRun(int rows, const std::string& threads, int inFlight) {
        for (int i = 0; i < rows; ++i) {
            AddProxy(silent_);
        }
        Type(shell::kUrlEdit, "http://example.test/");
        Type(shell::kThreadsEdit, threads);
        ClickStartStop();
        ASSERT_TRUE(WaitUntil([&] { return RunUnderWay(); }));
        ASSERT_TRUE(WaitUntil([&] { return silent_.OpenConnections() == inFlight; }));
    }

    LoopbackHttpServer silent_{[](const RecordedRequest&) { return Reply::Stall(); }};
};

TEST_F(StopTest, StopDuringTheDispatchEndsWithoutReportAndLeavesRowsAlone) {
    StartStalledRun(4, "1", 1);
    const auto start = std::chrono::steady_clock::now();
    ClickStartStop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s)
        << "checks notice a stop within a second";
    EXPECT_TRUE(app_->RunRunner().IsFinished());
    EXPECT_TRUE(MessageTexts().empty());
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(Row(row).delay, "**");
        EXPECT_EQ(Row(row).status, "-");
    }
    EXPECT_EQ(app_->State().doneCount.load(), 1);
    EXPECT_EQ(app_->State().invalidCount.load(), 0);
    ExpectIdleButtons();
}

TEST_F(StopTest, StopDuringTheDrainEndsWithoutReport) {
    StartStalledRun(2, "2", 2);
    ClickStartStop();
    EXPECT_TRUE(MessageTexts().empty());
    EXPECT_EQ(app_->State().doneCount.load(), 2);
    ExpectIdleButtons();
    EXPECT_EQ(app_->Pool().State(), threading::kStopped);
}

TEST_F(StopTest, StopWhilePausedEndsTheRun) {
    StartStalledRun(2, "2", 2);
    ClickPauseResume();
    EXPECT_EQ(toolkit_.GetCaption(shell::kPauseResumeButton), T.captionResume);
    ClickStartStop();
    EXPECT_TRUE(MessageTexts().empty());
    ExpectIdleButtons();
}

TEST_F(StopTest, ClosingTheWindowDuringARunEndsItWithoutReport) {
    StartStalledRun(3, "1", 1);
    toolkit_.RunOnUiThread([&] { OnWindowDestroying(*app_); });
    app_.reset(); // waits for the run thread, then frees everything
    EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(EngineTest, PauseHoldsBackNewChecksUntilResume) {
    GatedProxy first;
    LoopbackHttpServer others(&PageWithFeature);
    AddProxy(first.Server());
    AddProxy(others);
    AddProxy(others);
    Type(shell::kUrlEdit, "http://example.test/");
    Type(shell::kThreadsEdit, "1");
    ClickStartStop();
    ASSERT_TRUE(WaitUntil([&] { return first.Arrived() == 1; }));
    ClickPauseResume();
    EXPECT_EQ(toolkit_.GetCaption(shell::kPauseResumeButton), T.captionResume);
    first.Open();
    ASSERT_TRUE(WaitUntil([&] { return app_->State().doneCount.load() == 1; }));
    std::this_thread::sleep_for(300ms); // time in which a check would start if it could
    EXPECT_TRUE(others.Requests().empty());
    ClickPauseResume();
    EXPECT_EQ(toolkit_.GetCaption(shell::kPauseResumeButton), T.captionPause);
    WaitForRunEnd();
    EXPECT_EQ(others.Requests().size(), 2u);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{Report(3, 0)});
}

TEST_F(EngineTest, RowsImportedDuringARunWaitForTheNextOne) {
    GatedProxy first;
    AddProxy(first.Server());
    AddProxy(first.Server());
    Type(shell::kUrlEdit, "http://example.test/");
    Type(shell::kThreadsEdit, "1");
    ClickStartStop();
    ASSERT_TRUE(WaitUntil([&] { return first.Arrived() == 1; }));
    AddRow("10.0.0.1", "80");
    first.Open();
    WaitForRunEnd();
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{Report(2, 0)});
    EXPECT_EQ(Row(2).delay, "**");
    EXPECT_EQ(Row(2).status, "-");
}

TEST_F(EngineTest, ASecondRunResetsThePanesAndOverwritesResults) {
    std::atomic<bool> withFeature{true};
    LoopbackHttpServer proxy([&](const RecordedRequest& request) {
        return withFeature ? PageWithFeature(request) : Reply::Page("plain");
    });
    AddProxy(proxy);
    AddProxy(proxy);
    Type(shell::kUrlEdit, "http://example.test/");
    RunToEnd();
    ExpectPanes(2, 2, 0);
    withFeature = false;
    RunToEnd();
    ExpectPanes(2, 0, 2);
    EXPECT_EQ(Row(0).status, T.statusInvalid);
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{Report(2, 0), Report(0, 2)}));
}

TEST_F(EngineTest, StartRefusesAnEmptyListUrlOrFeature) {
    ClickStartStop();
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{T.startNoRows});
    EXPECT_EQ(toolkit_.PaneText(1), T.paneDone + "0");

    AddRow("1.2.3.4", "80");
    Type(shell::kUrlEdit, "   ");
    ClickStartStop();
    Type(shell::kUrlEdit, "http://example.test/");
    Type(shell::kFeatureEdit, "");
    ClickStartStop();
    const auto messages = toolkit_.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1].text, T.startBadInput);
    EXPECT_EQ(messages[2].text, T.startBadInput);
    EXPECT_EQ(messages[2].icon, shell::MessageIcon::kExclamation);
    ExpectIdleButtons();
    EXPECT_TRUE(app_->RunRunner().IsFinished());
}

TEST_F(EngineTest, AFeatureOfSpacesIsSearchedAsSpaces) {
    LoopbackHttpServer proxy([](const RecordedRequest&) { return Reply::Page("a  b"); });
    AddProxy(proxy);
    Type(shell::kUrlEdit, "http://example.test/");
    Type(shell::kFeatureEdit, "  ");
    RunToEnd();
    EXPECT_EQ(Row(0).status, T.statusValid);
}

TEST_F(EngineTest, TwoQuickClicksStartOneRun) {
    GatedProxy proxy;
    AddProxy(proxy.Server());
    Type(shell::kUrlEdit, "http://example.test/");
    toolkit_.PostToUiThread([&] { StartOrStopRun(*app_); });
    ClickStartStop(); // lands on a disabled button, or on "停止验证" once the run is up
    proxy.Open();
    WaitForRunEnd();
    EXPECT_EQ(proxy.Arrived(), 1);
}

TEST_F(EngineTest, TimeOutsBelowTheFloorAreRaisedForTheRunOnly) {
    LoopbackHttpServer proxy(&PageWithFeature);
    AddProxy(proxy);
    Type(shell::kUrlEdit, "http://example.test/");
    Type(shell::kConnectTimeoutEdit, "100");
    Type(shell::kVerifyTimeoutEdit, "abc");
    RunToEnd();
    EXPECT_EQ(app_->State().connectTimeoutMs.load(), kMinTimeoutMs);
    EXPECT_EQ(app_->State().verifyTimeoutMs.load(), kMinTimeoutMs);
    EXPECT_EQ(toolkit_.GetText(shell::kConnectTimeoutEdit), "100");
}

class ThreadCountTest : public StopTest, public testing::WithParamInterface<const char*> {};

TEST_P(ThreadCountTest, NoUsableCountGivesOneWorker) {
    StartStalledRun(3, GetParam(), 1);
    EXPECT_EQ(app_->Pool().ThreadCount(), 1);
    ClickStartStop();
}

INSTANTIATE_TEST_SUITE_P(Texts, ThreadCountTest, testing::Values("0", "-3", "abc", ""));

TEST_F(EngineTest, TheViewFollowsTheFurthestFinishedRowOneAhead) {
    for (int i = 0; i < 6; ++i) {
        AddRow("10.0.0." + std::to_string(i), "80");
    }
    proxylist::ProxyTable& table = toolkit_.ProxyList();
    table.TakeChanges();
    // Rows finishing in the order 0, 1, 2, 3, then 1 again.
    const std::vector<std::pair<int, std::optional<int>>> steps{
        {0, std::nullopt}, {1, 2}, {2, std::nullopt}, {3, 4}, {1, std::nullopt}, {5, std::nullopt}};
    for (const auto& [row, scrolledTo] : steps) {
        WriteResult(*app_, row, "1", T.statusValid, proxylist::kValid);
        EXPECT_EQ(table.TakeChanges().ensureVisibleRow, scrolledTo) << "result in row " << row;
    }
    EXPECT_EQ(app_->State().highestShownRow, 6) << "the last row sets the mark past the end";
}

TEST(ApplicationTest, RaisesTheOpenFileLimitToItsHardLimit) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    rlimit lowered = limit;
    lowered.rlim_cur = std::min<rlim_t>(limit.rlim_max, 256);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    shell::HeadlessToolkit toolkit;
    Application app(toolkit);
    rlimit raised{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &raised), 0);
    EXPECT_EQ(raised.rlim_cur, limit.rlim_max);
}

TEST(WaitCountTest, RoundsTheVerifyTimeOutUpToWholeSeconds) {
    EXPECT_EQ(WaitCountFor(500), 1);
    EXPECT_EQ(WaitCountFor(1000), 1);
    EXPECT_EQ(WaitCountFor(1001), 2);
    EXPECT_EQ(WaitCountFor(15000), 15);
}

} // namespace
} // namespace pv::engine
