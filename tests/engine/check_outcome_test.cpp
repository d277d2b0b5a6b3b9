#include "engine_fixture.h"

#include <atomic>
#include <ostream>

namespace pv::engine {
namespace {

// The edges of the classification, without waiting for them: the check's two clock
// readings are `delay` apart.
struct OutcomeCase {
    const char* name;
    std::string page; // what the proxy answers with; empty: an empty body
    std::int64_t delay;
    std::string connectTimeout;
    std::string status; // UTF-8
    std::string delayText;
    int image;
    friend void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }
};

class CheckOutcomeTest : public EngineTest, public testing::WithParamInterface<OutcomeCase> {
protected:
    CheckOutcomeTest() {
        app_.reset();
        app_ = std::make_unique<Application>(toolkit_, [this] {
            return readings_.fetch_add(1) % 2 == 0 ? std::int64_t{1000} : 1000 + GetParam().delay;
        });
    }
    std::atomic<int> readings_{0};
};

TEST_P(CheckOutcomeTest, ClassifiesByFeatureAndDelay) {
    const OutcomeCase& c = GetParam();
    LoopbackHttpServer proxy([&](const RecordedRequest&) { return Reply::Page(c.page); });
    AddProxy(proxy);
    Type(shell::kUrlEdit, "http://example.test/");
    Type(shell::kConnectTimeoutEdit, c.connectTimeout);
    Type(shell::kThreadsEdit, "1");
    RunToEnd();
    const proxylist::ProxyRow row = Row(0);
    EXPECT_EQ(row.status, text::Utf8ToCp936(c.status));
    EXPECT_EQ(row.delay, c.delayText);
    EXPECT_EQ(row.stateImage, c.image);
    EXPECT_EQ(app_->State().doneCount.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, CheckOutcomeTest,
    testing::Values(OutcomeCase{"ValidJustBelowSlow", kFeaturePageUtf8, 9999, "5000", "验证成功",
                                "9999", proxylist::kValid},
                    OutcomeCase{"SlowValidAtTenSeconds", kFeaturePageUtf8, 10000, "5000",
                                "验证成功", "10000", proxylist::kSlowValid},
                    OutcomeCase{"NoFeature", "<html>other</html>", 300, "5000", "验证失败", "*/*",
                                proxylist::kInvalid},
                    OutcomeCase{"CaseMatters", "<html>BAIDU</html>", 300, "5000", "验证失败", "*/*",
                                proxylist::kInvalid},
                    OutcomeCase{"EmptyAnswerEarly", "", 300, "5000", "连接超时", "*/*",
                                proxylist::kInvalid},
                    OutcomeCase{"EmptyAnswerAtTheConnectTimeOut", "", 5000, "5000", "连接超时",
                                "*/*", proxylist::kInvalid},
                    OutcomeCase{"EmptyAnswerJustAfterIt", "", 5001, "5000", "验证失败", "*/*",
                                proxylist::kInvalid}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace pv::engine
