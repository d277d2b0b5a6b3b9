#include "http/last_error.h"

#include <utility>

namespace pv::http {

namespace {

// Each thread has its own: the description belongs to the thread, not to an object.
thread_local std::string tLastError;

} // namespace

const std::string& LastError() {
    return tLastError;
}

void SetLastError(std::string description) {
    tLastError = std::move(description);
}

} // namespace pv::http
