#pragma once

#include "text/line_file.h"

#include <random>
#include <string>

namespace pv::bench {

// Writes `lines` random IPv4 "host:port" lines, CR LF ended, the same ones every time.
inline bool WriteProxyFile(const std::string& path, int lines) {
    auto writer = text::LineWriter::CreateForWriting(path);
    if (!writer) {
        return false;
    }
    std::mt19937 random(42);
    std::uniform_int_distribution<int> octet(0, 255);
    std::uniform_int_distribution<int> port(1, 65535);
    for (int i = 0; i < lines; ++i) {
        writer->WriteLine(std::to_string(octet(random)) + '.' + std::to_string(octet(random)) +
                          '.' + std::to_string(octet(random)) + '.' +
                          std::to_string(octet(random)) + ':' + std::to_string(port(random)));
    }
    return writer->Close();
}

} // namespace pv::bench
