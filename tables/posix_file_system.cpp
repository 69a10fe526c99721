// The engine's one platform file: POSIX file access with Linux open-file-description locks.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "tables/error.h"
#include "tables/file_system.h"

namespace rf::tables {

void File::readExact(std::uint64_t offset, std::span<std::uint8_t> buf, const char* what) {
  if (readAt(offset, buf) != buf.size())
    throwCorrupt(path(), std::string("file ends inside ") + what, offset);
}

namespace {

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override { ::close(fd_); }

  std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> buf) override {
    std::size_t done = 0;
    while (done < buf.size()) {
      ssize_t n = ::pread(fd_, buf.data() + done, buf.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        throwIo(path_, "cannot read", errno);
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    std::size_t done = 0;
    while (done < data.size()) {
      ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        throwIo(path_, "cannot write", errno);
      }
      done += static_cast<std::size_t>(n);
    }
  }

  std::uint64_t size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throwIo(path_, "cannot read the file size", errno);
    return static_cast<std::uint64_t>(st.st_size);
  }

  void truncate(std::uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throwIo(path_, "cannot set the file size", errno);
  }

  void sync() override {
    if (::fdatasync(fd_) != 0) throwIo(path_, "cannot flush to disk", errno);
  }

  void reserve(std::uint64_t size) override {
    std::uint64_t current = this->size();
    if (size <= current) return;
    if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(current),
                    static_cast<off_t>(size - current)) != 0) {
      if (errno == ENOSPC) throwIo(path_, "cannot make room", errno);
      // Filesystems without fallocate: the later write reports a full disk itself.
    }
  }

  bool tryLock(std::uint64_t offset, std::uint64_t length, LockMode mode) override {
    struct flock fl {};
    fl.l_type = mode == LockMode::Shared ? F_RDLCK : F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EACCES) return false;
      throwIo(path_, "cannot lock", errno);
    }
    return true;
  }

  void unlock(std::uint64_t offset, std::uint64_t length) override {
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0 && errno == EINTR) {
    }
  }

  const std::string& path() const override { return path_; }

 private:
  int fd_;
  std::string path_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::ReadWrite: flags |= O_RDWR; break;
      case OpenMode::ReadOnly: flags |= O_RDONLY; break;
      case OpenMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
      case OpenMode::OpenOrCreate: flags |= O_RDWR | O_CREAT; break;
      case OpenMode::CreateExclusive: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      if (errno == ENOENT) throwError(ErrorKind::NotFound, path, "file not found");
      if (errno == EACCES || errno == EROFS) throwIo(path, "cannot open for writing", errno);
      throwIo(path, "cannot open", errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      throwError(ErrorKind::InvalidInput, path, "is a directory, not a file");
    }
    return std::make_unique<PosixFile>(fd, path);
  }

  bool exists(const std::string& path) override { return ::access(path.c_str(), F_OK) == 0; }

  void remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throwIo(path, "cannot remove", errno);
  }

  void rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) throwIo(to, "cannot replace", errno);
  }

  std::vector<std::string> list(const std::string& directory) override {
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) {
      if (errno == ENOENT || errno == ENOTDIR) throwError(ErrorKind::NotFound, directory, "directory not found");
      throwIo(directory, "cannot list the directory", errno);
    }
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    return names;
  }

  bool isDirectory(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  void syncDirectory(const std::string& directory) override {
    int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
  }
};

}  // namespace

FileSystem& FileSystem::real() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace rf::tables
