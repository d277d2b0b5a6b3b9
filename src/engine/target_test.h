#pragma once

#include <cstdint>

namespace pv::engine {

class Application;

// The click handler of 按钮_测试: takes the URL (untrimmed), the feature and the decoding
// choice into the run state, fetches the URL directly on the test thread while the window's
// messages are served, and tells whether the page holds the feature. UI thread.
void TestTarget(Application& app);

// Fetches the run state's URL without proxy and searches the page for the feature: 1 when
// found, 0 otherwise. Runs on the test thread.
std::uint32_t TargetTestRoutine(Application& app);

} // namespace pv::engine
