#include "engine/proxy_check.h"

#include "engine/application.h"
#include "http/http_request.h"
#include "proxylist/proxy_table.h"
#include "text/feature_search.h"
#include "text/program_texts.h"

#include <string>

namespace pv::engine {

int WaitCountFor(std::int32_t verifyTimeoutMs) {
    return verifyTimeoutMs / 1000 + (verifyTimeoutMs % 1000 > 0 ? 1 : 0);
}

void WriteResult(Application& app, std::int32_t row, std::string_view delay,
                 std::string_view status, int image) {
    const threading::Lock::Holder hold(app.GlobalLock());
    proxylist::ProxyTable& table = app.Toolkit().ProxyList();
    table.SetResult(row, delay, status, image);
    RunState& state = app.State();
    if (row > state.highestShownRow) {
        table.EnsureVisible(row + 1);
        state.highestShownRow = row + 1;
    }
}

void ProxyCheckTask(Application& app, std::int32_t row) {
    const text::ProgramTexts& texts = text::Texts();
    RunState& state = app.State();
    threading::TaskPool& pool = app.Pool();
    http::HttpRequest request;
    if (pool.State() != threading::kRunning) {
        return;
    }
    std::string host;
    std::string port;
    {
        const threading::Lock::Holder hold(app.GlobalLock());
        proxylist::ProxyTable& table = app.Toolkit().ProxyList();
        host = table.GetCellText(row, proxylist::kHostColumn);
        port = table.GetCellText(row, proxylist::kPortColumn);
    }
    if (host.empty() || port.empty()) {
        state.doneCount.fetch_add(1);
        return;
    }

    const std::int64_t start = app.NowMs();
    const std::int32_t connectTimeoutMs = state.connectTimeoutMs.load();
    const std::int32_t verifyTimeoutMs = state.verifyTimeoutMs.load();
    request.SetProxy(host + ":" + port, http::kProxyNamed);
    request.SetTimeouts(connectTimeoutMs, connectTimeoutMs, verifyTimeoutMs, verifyTimeoutMs);
    std::string url = *state.Url();
    request.Open(url, "GET", true);
    request.SetUserAgent();
    request.Send();

    bool complete = false;
    for (int wait = WaitCountFor(verifyTimeoutMs); wait > 0 && !complete; --wait) {
        complete = request.WaitForResponse(1);
        if (!complete && pool.State() != threading::kRunning) {
            request.Abort();
            state.doneCount.fetch_add(1);
            return;
        }
    }
    const std::int64_t delay = app.NowMs() - start;

    std::string page;
    if (complete) {
        page =
            state.utfDecode.load() == 1 ? request.ResponseBodyUtf8() : request.ResponseBodyText();
    } else {
        request.Abort();
    }

    if (page.empty()) {
        state.invalidCount.fetch_add(1);
        WriteResult(app, row, "*/*",
                    delay > connectTimeoutMs ? texts.statusInvalid : texts.statusTimeout,
                    proxylist::kInvalid);
    } else if (text::FindFeature(page, *state.Feature()) == std::string::npos) {
        state.invalidCount.fetch_add(1);
        WriteResult(app, row, "*/*", texts.statusInvalid, proxylist::kInvalid);
    } else {
        state.validCount.fetch_add(1);
        WriteResult(app, row, std::to_string(delay), texts.statusValid,
                    delay < kSlowDelayMs ? proxylist::kValid : proxylist::kSlowValid);
    }
    state.doneCount.fetch_add(1);
}

} // namespace pv::engine
