#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
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

    Text Url() const { return url_.Get(); }
    Text Feature() const { return feature_.Get(); }
    void SetUrl(std::string url) { url_.Set(std::move(url)); }
    void SetFeature(std::string feature) { feature_.Set(std::move(feature)); }
    // Frees both texts; readers that hold a copy keep it.
    void ReleaseTexts() {
        url_.Release();
        feature_.Release();
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
    // A text replaced as a whole. Hundreds of workers read it at once: a mutex, which lets a
    // waiting reader sleep, serves them better than a spinning atomic shared pointer, whose
    // holder may be preempted while the others spin.
    class SharedText {
    public:
        Text Get() const {
            std::lock_guard lock(mutex_);
            return text_;
        }
        void Set(std::string text) {
            Text replacement = std::make_shared<const std::string>(std::move(text));
            std::lock_guard lock(mutex_);
            text_.swap(replacement);
        }
        void Release() { Set({}); }

    private:
        mutable std::mutex mutex_;
        Text text_ = std::make_shared<const std::string>();
    };

    SharedText url_;
    SharedText feature_;
};

} // namespace pv::engine
