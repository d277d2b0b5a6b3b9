#pragma once

#include <string>

namespace pv::http {

// Why the most recent request component call made on the calling thread failed, by
// whichever request object; the empty text when that call succeeded. Code page 936.
const std::string& LastError();

// Set by the component after each of its calls.
void SetLastError(std::string description);

} // namespace pv::http
