// file_stream.cpp -- POSIX file descriptors behind the stream interface.
#include "zstream/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "engine/errors.h"

namespace quorvane {
namespace {

int whence_of(SeekOrigin origin) {
    switch (origin) {
        case SeekOrigin::Begin:
            return SEEK_SET;
        case SeekOrigin::Current:
            return SEEK_CUR;
        case SeekOrigin::End:
            return SEEK_END;
    }
    return SEEK_SET;
}

std::string with_reason(const char* message) {
    std::string text(message);
    text.append(": ").append(std::strerror(errno));
    return text;
}

std::string cannot_open(const std::filesystem::path& path, int error) {
    std::string text("Cannot open file ");
    text.append(path.string()).append(": ").append(std::strerror(error));
    return text;
}

int64_t modified_ns(const struct stat& st) {
    return int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace

FileInputStream::FileInputStream(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw EInOutError(cannot_open(path, errno));
    struct stat st {};
    // A folder opens for reading but holds no bytes to read.
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd_);
        throw EInOutError(cannot_open(path, error));
    }
    regular_ = S_ISREG(st.st_mode);
    permissions_ = static_cast<int>(st.st_mode & 0777);
    opened_size_ = static_cast<int64_t>(st.st_size);
    opened_modified_ns_ = modified_ns(st);
}

void FileInputStream::check_unchanged(bool read_all) {
    struct stat st {};
    if (!regular_ || ::fstat(fd_, &st) != 0) return;
    if (static_cast<int64_t>(st.st_size) != opened_size_ ||
        modified_ns(st) != opened_modified_ns_ || (read_all && bytes_read_ != opened_size_)) {
        throw EInOutError("file changed while reading");
    }
}

FileInputStream::~FileInputStream() {
    ::close(fd_);
}

size_t FileInputStream::read(void* buffer, size_t count) {
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, count);
        if (n >= 0) {
            pos_ += n;
            bytes_read_ += n;
            return static_cast<size_t>(n);
        }
        if (errno != EINTR) throw EInOutError(with_reason("Stream read error"));
    }
}

size_t FileInputStream::write(const void*, size_t) {
    throw EInOutError("Stream write error");
}

int64_t FileInputStream::seek(int64_t offset, SeekOrigin origin) {
    if (offset == 0 && origin == SeekOrigin::Current) return pos_;
    const off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence_of(origin));
    if (at < 0) throw EInOutError(with_reason("Stream read error"));
    pos_ = static_cast<int64_t>(at);
    return pos_;
}

int64_t FileInputStream::size() {
    struct stat st {};
    if (!regular_ || ::fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

FileStart read_file_start(const std::filesystem::path& path, size_t max_bytes) {
    FileInputStream in(path);
    FileStart start;
    start.size = in.size();
    start.bytes.resize(start.size >= 0 ? std::min(max_bytes, static_cast<size_t>(start.size))
                                       : std::min<size_t>(max_bytes, kCopyChunk));
    size_t filled = 0;
    for (;;) {
        if (filled == start.bytes.size()) {
            if (filled == max_bytes) break;
            start.bytes.resize(std::min(max_bytes, 2 * filled + kCopyChunk));
        }
        const size_t n = in.read(start.bytes.data() + filled, start.bytes.size() - filled);
        if (n == 0) break;
        filled += n;
    }
    start.bytes.resize(filled);
    // A pipe tells its size only when it ends before the limit.
    if (start.size < 0 && filled < max_bytes) start.size = static_cast<int64_t>(filled);
    return start;
}

size_t AtomicOutputStream::read(void*, size_t) {
    throw EInOutError("Stream read error");
}

size_t AtomicOutputStream::write(const void* data, size_t count) {
    const size_t n = file_.write(data, count);
    pos_ += static_cast<int64_t>(n);
    if (n != count) throw EInOutError(file_.cannot_write() + ": " + file_.write_error());
    return n;
}

int64_t AtomicOutputStream::seek(int64_t offset, SeekOrigin origin) {
    if (offset == 0 && origin == SeekOrigin::Current) return pos_;
    pos_ = file_.seek(offset, whence_of(origin));
    return pos_;
}

}  // namespace quorvane
