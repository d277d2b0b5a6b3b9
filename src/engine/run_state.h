#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace pv::engine {

// The settings of the current run as the commands took them from the window, the run's
// counters, and the row up to which the list has been scrolled; shared by the UI thread, the
// run thread and the workers.
//
// The URL and the feature are replaced as a whole: a reader takes a shared copy and keeps it
// valid for as long as it needs, whatever replaces it meanwhile. The other settings are
// atomic; the counters are raised only by atomic increments. highestShownRow is read and
// written under the process-wide lock.
class RunState {
public:
    using Text = std::shared_ptr<const std::string>;

    Text Url() const { return url_.load(); }
    Text Feature() const { return feature_.load(); }
    void SetUrl(std::string url) {
        url_.store(std::make_shared<const std::string>(std::move(url)));
    }
    void SetFeature(std::string feature) {
        feature_.store(std::make_shared<const std::string>(std::move(feature)));
    }
    // Frees both texts; readers that hold a copy keep it.
    void ReleaseTexts() {
        url_.store(nullptr);
        feature_.store(nullptr);
    }

    std::atomic<int> utfDecode{0};
    std::atomic<std::int32_t> connectTimeoutMs{0};
    std::atomic<std::int32_t> verifyTimeoutMs{0};

    std::atomic<std::int32_t> doneCount{0};
    std::atomic<std::int32_t> validCount{0};
    std::atomic<std::int32_t> invalidCount{0};
    std::int32_t highestShownRow = 0;

    // Sets doneCount, validCount, invalidCount and highestShownRow to 0, in this order. Only
    // while no check runs.
    void ResetRunCounters() {
        doneCount.store(0);
        validCount.store(0);
        invalidCount.store(0);
        highestShownRow = 0;
    }

private:
    std::atomic<Text> url_{std::make_shared<const std::string>()};
    std::atomic<Text> feature_{std::make_shared<const std::string>()};
};

} // namespace pv::engine
