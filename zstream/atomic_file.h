// atomic_file.h -- output files that are never seen half-written.
//
// The bytes go to a temporary file beside the target; only commit() renames it over the target.
// Until then an existing target keeps its content, and a failure, an exception or a signal
// (through remove_pending_temp_files) leaves no temporary file behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace quorvane {

class AtomicFile {
  public:
    // Creates the temporary file; raises EInOutError "Cannot create file <target>" on failure.
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Writes all bytes and returns how many were written: fewer only when the device is full.
    // Any other failure raises EInOutError.
    size_t write(const void* data, size_t count);
    // Moves the write position of the temporary file (whence as for lseek) and returns the new
    // position; a failure raises EInOutError.
    int64_t seek(int64_t offset, int whence);
    // Flushes the temporary file to disk and renames it over the target.
    void commit();
    // Removes the temporary file (also done by the destructor when not committed).
    void discard() noexcept;

    const std::filesystem::path& target() const { return target_; }
    const std::filesystem::path& temp_path() const { return temp_; }

  private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    int fd_ = -1;
    int slot_ = -1;  // index in the signal-safe list of pending temporary files
};

// Writes a whole file atomically; false (and nothing changed) when the device was full.
bool write_file_atomically(const std::filesystem::path& target, const void* data, size_t count);

// Removes every temporary file still pending in this process. Async-signal-safe: for use in a
// signal handler just before the process ends.
void remove_pending_temp_files() noexcept;

}  // namespace quorvane
