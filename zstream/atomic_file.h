// atomic_file.h -- output files that are never seen half-written, never replace a file unasked,
// and are never more public than what they were made from.
//
// A regular-file target gets its bytes in a new private (0600) file in the target's folder:
// unnamed (O_TMPFILE) where the file system allows it, so that not even SIGKILL leaves anything
// behind, else under a short hidden name that remove_pending_temp_files() removes on a signal.
// commit() gives it its permissions, flushes it and puts it in place in one step: linked under the
// target's name when an existing file must not be replaced (so a file that appeared meanwhile
// stays as it is and the commit fails with "File exists"), renamed over it when it may be.
// An existing character device or FIFO (/dev/null, a pipe) is written in place; a directory or
// any other kind of file is refused. A descriptor (standard output) is written as it stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace quorvane {

// How an output is put in place.
struct OutputOptions {
    bool replace = true;   // an existing file may be replaced (the window; -f on the command line)
    int permissions = -1;  // the new file's permission bits (the input's); -1: 0666 less the umask
    int descriptor = -1;   // write to this open descriptor (not closed) instead of a file
    bool unnamed = true;   // false: always a named temporary file, as where unnamed ones fail
};

class AtomicFile {
  public:
    // Creates the temporary file (or opens the device or FIFO); raises EInOutError
    // "Cannot create file <target>: <reason>" on failure.
    explicit AtomicFile(std::filesystem::path target, const OutputOptions& options = {});
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Writes all bytes and returns how many were written: fewer only when the device is full
    // (write_error() then tells why). Any other failure raises EInOutError.
    size_t write(const void* data, size_t count);
    // Moves the write position (whence as for lseek) and returns the new position; a failure
    // raises EInOutError.
    int64_t seek(int64_t offset, int whence);
    // Puts the file in place: permissions, fsync, then link or rename. A target that must not be
    // replaced and exists now raises "Cannot create file <target>: File exists".
    void commit();
    // Drops what was written (also done by the destructor when not committed).
    void discard() noexcept;

    const std::filesystem::path& target() const { return target_; }
    // The system's reason for the last short write.
    std::string write_error() const;
    // "Cannot write file <target>" or, for a descriptor, "Cannot write to <target>".
    std::string cannot_write() const;

  private:
    enum class Kind { Unnamed, Named, InPlace, Descriptor };

    void place_unnamed();
    void place_named();

    std::filesystem::path target_;
    std::filesystem::path temp_;  // the named temporary file, when there is one
    Kind kind_ = Kind::Unnamed;
    bool replace_ = true;
    int permissions_ = 0;
    int fd_ = -1;
    int write_errno_ = 0;
    int slot_ = -1;  // index in the signal-safe list of pending temporary files
};

// Writes a whole file atomically; false (and nothing changed) when the device was full.
bool write_file_atomically(const std::filesystem::path& target, const void* data, size_t count,
                           const OutputOptions& options = {});

// Removes every named temporary file still pending in this process. Async-signal-safe: for use in
// a signal handler just before the process ends.
void remove_pending_temp_files() noexcept;

}  // namespace quorvane
