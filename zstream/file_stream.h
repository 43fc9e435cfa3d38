// file_stream.h -- streams over files: reading an existing file, writing one atomically.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "zstream/atomic_file.h"
#include "zstream/byte_stream.h"

namespace quorvane {

// An existing file opened for reading. Writing raises "Stream write error".
class FileInputStream : public ByteStream {
  public:
    // Raises EInOutError "Cannot open file <path>: <reason>" when path is not a readable file.
    explicit FileInputStream(const std::filesystem::path& path);
    ~FileInputStream() override;
    FileInputStream(const FileInputStream&) = delete;
    FileInputStream& operator=(const FileInputStream&) = delete;

    size_t read(void* buffer, size_t count) override;
    size_t write(const void* data, size_t count) override;
    int64_t seek(int64_t offset, SeekOrigin origin) override;
    // -1 for a pipe or device.
    int64_t size() override;
    // The file's permission bits, for the files made from it; -1 for a pipe or device.
    int permissions() const { return regular_ ? permissions_ : -1; }
    // Raises EInOutError "file changed while reading" when a regular file no longer has the size
    // and modification time it had when it was opened, or when all of it was read (read_all) and
    // the bytes read were not its size.
    void check_unchanged(bool read_all);

  private:
    int fd_ = -1;
    int64_t pos_ = 0;  // kept here so that asking for the position costs no system call
    bool regular_ = false;
    int permissions_ = 0;
    int64_t opened_size_ = 0;
    int64_t opened_modified_ns_ = 0;
    int64_t bytes_read_ = 0;
};

// The start of a file read whole into memory.
struct FileStart {
    std::vector<uint8_t> bytes;  // at most the bytes asked for
    int64_t size = -1;           // the whole file's size; -1 for a pipe or device
    bool whole() const { return size == static_cast<int64_t>(bytes.size()); }
};

// Reads path up to max_bytes bytes; raises EInOutError when it cannot be opened or read.
FileStart read_file_start(const std::filesystem::path& path, size_t max_bytes);

// A new file that replaces target only on commit(); until then target keeps its content, and
// without commit() nothing is left behind (AtomicFile tells how devices, FIFOs and descriptors are
// written). Reading raises "Stream read error"; a full device "Cannot write file <target>:
// <reason>".
class AtomicOutputStream : public ByteStream {
  public:
    explicit AtomicOutputStream(std::filesystem::path target, const OutputOptions& options = {})
        : file_(std::move(target), options) {}

    size_t read(void* buffer, size_t count) override;
    size_t write(const void* data, size_t count) override;
    int64_t seek(int64_t offset, SeekOrigin origin) override;

    void commit() { file_.commit(); }
    const std::filesystem::path& target() const { return file_.target(); }

  private:
    AtomicFile file_;
    int64_t pos_ = 0;
};

}  // namespace quorvane
