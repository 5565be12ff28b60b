#pragma once

// Large inputs mapped instead of read: the search in a file's bytes then costs no copy and
// no fresh pages. Only for regular files the reader would accept; anything else (standard
// input, a FIFO, an empty or too large file, any failure) is left to readInput(), which
// reports the errors.
#include <cstddef>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace vendrix::cli {

class MappedInput {
public:
    /// None when `path` is better read with readInput().
    [[nodiscard]] static std::unique_ptr<MappedInput> map(const std::string& path);
    ~MappedInput();
    MappedInput(const MappedInput&) = delete;
    MappedInput& operator=(const MappedInput&) = delete;

    [[nodiscard]] std::string_view bytes() const {
        return {static_cast<const char*>(m_data), m_size};
    }

    /// Ends the run as a truncation under the mapping does (the message, exit status 1) when
    /// the file no longer has the size and modification time it had when it was mapped. A
    /// file that shrinks inside its last page raises no SIGBUS: the mapping keeps the page
    /// and reads zeros past the new end. So what was read from the mapping is trusted only
    /// after this check, made before the first byte of output that depends on it and before
    /// the run reports success or an error in the input.
    void exitIfChanged() const;

private:
    MappedInput(int fd, void* data, std::size_t size, timespec modified)
        : m_fd(fd), m_data(data), m_size(size), m_modified(modified) {}
    int m_fd; // kept open, so the check looks at the file that was mapped, whatever its name
    void* m_data;
    std::size_t m_size;
    timespec m_modified;
};

/// While one exists, a file that another program truncates under its mapping (SIGBUS on the
/// next read of a vanished page) ends the run with a message and exit status 1 instead of a
/// crash. A search has written nothing to standard output by then; formatted JSON, which is
/// written in blocks after the whole file was checked, may have been partly written when the
/// truncation comes between the check and the end of the output.
class MappedReadGuard {
public:
    MappedReadGuard();
    ~MappedReadGuard();
    MappedReadGuard(const MappedReadGuard&) = delete;
    MappedReadGuard& operator=(const MappedReadGuard&) = delete;
};

} // namespace vendrix::cli
