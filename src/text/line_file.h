#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pv::text {

// Paths are the operating system's own bytes, passed through untouched, so that every file
// the user can pick can also be opened; texts read and written are bytes without any
// conversion and without byte-order marks.

// Owns one open file descriptor.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes the descriptor now; returns false when the system reported an error.
    bool Close();

private:
    int fd_ = -1;
};

// Reads a code page 936 text file line by line, streaming, so a line may be of any length.
//
// A line ends at a line feed, which is consumed; one carriage return right before it is
// dropped. A byte of 0x80 or above and the byte after it form one character, so a line feed
// or Ctrl-Z as that second byte does not end the line. The text ends at the end of the file,
// at the first NUL byte, or at the first Ctrl-Z that is not a second byte; a line ends before
// such a byte, which is never consumed, and nothing after it is read. The last line needs no
// line end.
class LineReader {
public:
    // Opens an existing file (not a directory) for reading. Other programs may go on reading
    // and writing it. Returns nothing when the file cannot be opened.
    static std::optional<LineReader> OpenForReading(const std::string& path);

    // The next line, without its line end; the empty text once AtEnd().
    std::string ReadLine();
    // True when nothing is left to read: the end of the file, or a NUL or Ctrl-Z byte where
    // the text ends. A read error counts as the end.
    bool AtEnd();
    void Close();

private:
    explicit LineReader(FileDescriptor file);
    // Makes sure at least one unread byte is buffered; false at the end of the file.
    bool Fill();

    FileDescriptor file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool textEnded_ = false;
};

// Writes a text file line by line, buffered; every line ends with CR LF.
class LineWriter {
public:
    // Creates the file, or empties it when it exists. Returns nothing when that fails.
    static std::optional<LineWriter> CreateForWriting(const std::string& path);

    LineWriter(LineWriter&&) noexcept = default;
    LineWriter& operator=(LineWriter&&) noexcept = default;
    ~LineWriter();

    // Writes the text's bytes and CR LF. False once any write to the file has failed.
    bool WriteLine(std::string_view text);
    // Writes out what is buffered and closes the file; false when anything was not written.
    bool Close();

private:
    explicit LineWriter(FileDescriptor file);
    bool Flush();

    FileDescriptor file_;
    std::string buffer_;
    bool failed_ = false;
};

// Writes `bytes` as the whole content of the file, which is created or emptied first.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// The process's current directory, without a trailing "/" except at the root; the empty text
// when it cannot be had.
std::string CurrentDirectory();

} // namespace pv::text
