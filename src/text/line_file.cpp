#include "text/line_file.h"

#include "text/cp936_char.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace pv::text {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr char kNul = '\0';
constexpr char kCtrlZ = '\x1A';

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

FileDescriptor OpenForWritingTruncated(const std::string& path) {
    return FileDescriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

} // namespace

FileDescriptor::~FileDescriptor() {
    Close();
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool FileDescriptor::Close() {
    if (fd_ < 0) {
        return true;
    }
    // Linux releases the descriptor even when close reports an error, so it is never retried.
    return ::close(std::exchange(fd_, -1)) == 0;
}

std::optional<LineReader> LineReader::OpenForReading(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    return LineReader(std::move(file));
}

LineReader::LineReader(FileDescriptor file)
    : file_(std::move(file))
    , buffer_(kBufferSize) {}

bool LineReader::Fill() {
    if (pos_ < end_) {
        return true;
    }
    pos_ = 0;
    end_ = 0;
    while (!eof_ && file_.valid()) {
        const ssize_t got = ::read(file_.get(), buffer_.data(), buffer_.size());
        if (got > 0) {
            end_ = static_cast<std::size_t>(got);
            return true;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        eof_ = true;
    }
    return false;
}

std::string LineReader::ReadLine() {
    std::string line;
    // Whether the last character taken into the line was a lone carriage return, which a
    // following line feed drops.
    bool lastWasCr = false;
    // A lead byte that ended the previous buffer: the first byte of the next one is its
    // second byte, unless that is the NUL that ends the text.
    bool trailPending = false;
    while (!textEnded_ && Fill()) {
        const char* const data = buffer_.data();
        std::size_t i = pos_;
        if (trailPending) {
            if (data[i] == kNul) {
                textEnded_ = true;
                return line;
            }
            ++i;
            trailPending = false;
        }
        for (; i < end_; ++i) {
            const char byte = data[i];
            if (byte == '\n') {
                line.append(data + pos_, i - pos_);
                pos_ = i + 1;
                if (lastWasCr) {
                    line.pop_back();
                }
                return line;
            }
            if (byte == kNul || byte == kCtrlZ) {
                line.append(data + pos_, i - pos_);
                pos_ = i;
                textEnded_ = true;
                return line;
            }
            lastWasCr = byte == '\r';
            if (IsLeadByte(byte)) {
                if (i + 1 == end_) {
                    trailPending = true;
                    break;
                }
                if (data[i + 1] == kNul) {
                    continue;
                }
                ++i;
            }
        }
        line.append(data + pos_, end_ - pos_);
        pos_ = end_;
    }
    return line;
}

bool LineReader::AtEnd() {
    if (!textEnded_ && Fill()) {
        const char next = buffer_[pos_];
        textEnded_ = next == kNul || next == kCtrlZ;
    }
    return textEnded_ || pos_ >= end_;
}

void LineReader::Close() {
    file_.Close();
    pos_ = end_ = 0;
    eof_ = true;
}

std::optional<LineWriter> LineWriter::CreateForWriting(const std::string& path) {
    FileDescriptor file = OpenForWritingTruncated(path);
    if (!file.valid()) {
        return std::nullopt;
    }
    return LineWriter(std::move(file));
}

LineWriter::LineWriter(FileDescriptor file)
    : file_(std::move(file)) {
    buffer_.reserve(kBufferSize);
}

LineWriter::~LineWriter() {
    Close();
}

bool LineWriter::WriteLine(std::string_view text) {
    if (!file_.valid()) {
        return false;
    }
    buffer_.append(text);
    buffer_.append("\r\n");
    if (buffer_.size() >= kBufferSize) {
        Flush();
    }
    return !failed_;
}

bool LineWriter::Flush() {
    if (!failed_ && !WriteAll(file_.get(), buffer_)) {
        failed_ = true;
    }
    buffer_.clear();
    return !failed_;
}

bool LineWriter::Close() {
    if (!file_.valid()) {
        return !failed_;
    }
    Flush();
    if (!file_.Close()) {
        failed_ = true;
    }
    return !failed_;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    FileDescriptor file = OpenForWritingTruncated(path);
    if (!file.valid()) {
        return false;
    }
    const bool written = WriteAll(file.get(), bytes);
    return file.Close() && written;
}

std::string CurrentDirectory() {
    std::string path(256, '\0');
    while (::getcwd(path.data(), path.size()) == nullptr) {
        if (errno != ERANGE) {
            return {};
        }
        path.resize(path.size() * 2);
    }
    path.resize(path.find('\0'));
    return path;
}

} // namespace pv::text
