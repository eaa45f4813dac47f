#include "files/native_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quarvel::native {
namespace {

std::error_code Errno() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

FileIdentity IdentityOfStat(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace

Entry Look(const std::filesystem::path& path, bool followLink) {
  struct stat info{};
  errno = 0;
  if ((followLink ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0)
    return {Entry::Kind::None, {}, errno == ENOENT || errno == ENOTDIR ? std::error_code{} : Errno()};
  const auto kind = S_ISREG(info.st_mode)   ? Entry::Kind::Regular
                    : S_ISDIR(info.st_mode) ? Entry::Kind::Directory
                    : S_ISLNK(info.st_mode) ? Entry::Kind::Link
                                            : Entry::Kind::Other;
  return {kind, IdentityOfStat(info), {}, info.st_uid == geteuid()};
}

bool MayWrite(const std::filesystem::path& path) { return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0; }

bool RunsAsAdministrator() { return geteuid() == 0; }

std::optional<FileIdentity> StandardInputIdentity() {
  struct stat info{};
  if (fstat(STDIN_FILENO, &info) != 0) return std::nullopt;
  return IdentityOfStat(info);
}

std::optional<FileIdentity> StandardOutputFileIdentity() {
  struct stat info{};
  if (fstat(STDOUT_FILENO, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISBLK(info.st_mode))) return std::nullopt;
  return IdentityOfStat(info);
}

Expected<File, std::error_code> File::CreateNew(const std::filesystem::path& path) {
  errno = 0;
  const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) return Fail(Errno());
  return File(descriptor);
}

Expected<File, std::error_code> File::OpenRead(const std::filesystem::path& path, bool waitForWriter) {
  errno = 0;
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (waitForWriter ? 0 : O_NONBLOCK));
  if (descriptor < 0) return Fail(Errno());
  if (!waitForWriter) fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  return File(descriptor);
}

Expected<File, std::error_code> File::OpenLock(const std::filesystem::path& path) {
  errno = 0;
  const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (descriptor < 0) return Fail(Errno());
  fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  return File(descriptor);
}

File File::StandardInput() { return File(STDIN_FILENO, false); }

File File::FromHandle(std::intptr_t handle) { return File(handle); }

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, -1)), owned_(other.owned_) {}

File::~File() {
  if (handle_ >= 0 && owned_) close(static_cast<int>(handle_));
}

std::error_code File::Write(std::span<const std::uint8_t> bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t wrote = write(static_cast<int>(handle_), bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return Errno();
    done += static_cast<std::size_t>(wrote);
  }
  return {};
}

Expected<std::size_t, std::error_code> File::Read(std::span<std::uint8_t> into) {
  for (;;) {
    const ssize_t got = read(static_cast<int>(handle_), into.data(), into.size());
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return Fail(Errno());
  }
}

Expected<std::size_t, std::error_code> File::ReadAt(std::uint64_t position, std::span<std::uint8_t> into) {
  for (;;) {
    const ssize_t got = pread(static_cast<int>(handle_), into.data(), into.size(), static_cast<off_t>(position));
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return Fail(Errno());
  }
}

bool File::IsDirectory() const {
  struct stat info{};
  return fstat(static_cast<int>(handle_), &info) == 0 && S_ISDIR(info.st_mode);
}

bool File::IsRegular() const {
  struct stat info{};
  return fstat(static_cast<int>(handle_), &info) == 0 && S_ISREG(info.st_mode);
}

std::uint64_t File::Size() const {
  struct stat info{};
  return fstat(static_cast<int>(handle_), &info) == 0 && S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size)
                                                                                : 0;
}

FileIdentity File::Identity() const {
  struct stat info{};
  return fstat(static_cast<int>(handle_), &info) == 0 ? IdentityOfStat(info) : FileIdentity{};
}

std::error_code File::TakeOwnerAndMode(const std::filesystem::path& model) {
  struct stat old{};
  if (stat(model.c_str(), &old) != 0) return Errno();
  const int descriptor = static_cast<int>(handle_);
  // A change of owner clears set-id bits, so the mode comes after.
  if (fchown(descriptor, old.st_uid, old.st_gid) != 0) {
    [[maybe_unused]] const int groupOnly = fchown(descriptor, static_cast<uid_t>(-1), old.st_gid);
  }
  return fchmod(descriptor, old.st_mode & 07777) == 0 ? std::error_code{} : Errno();
}

std::error_code File::Sync() { return fsync(static_cast<int>(handle_)) == 0 ? std::error_code{} : Errno(); }

std::error_code File::Close() {
  const int closed = close(static_cast<int>(std::exchange(handle_, -1)));
  return closed == 0 ? std::error_code{} : Errno();
}

std::error_code File::LockExclusive() {
  for (;;) {
    if (flock(static_cast<int>(handle_), LOCK_EX) == 0) return {};
    if (errno != EINTR) return Errno();
  }
}

void SyncFolder(const std::filesystem::path& folder) {
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  fsync(descriptor);
  close(descriptor);
}

long CurrentProcess() { return static_cast<long>(getpid()); }

bool ProcessEnded(long process) { return kill(static_cast<pid_t>(process), 0) == -1 && errno == ESRCH; }

bool CanRemoveOpenFiles() { return true; }

}  // namespace quarvel::native
