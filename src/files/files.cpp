#include "files/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

namespace quarvel {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
constexpr std::size_t kNameLimit = 255;  // bytes of one file name on the common file systems
constexpr std::string_view kTemporaryMark = ".tmp-";

std::error_code Errno() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

std::string Quoted(const fs::path& path) {
  std::string text(1, '\'');
  text.append(PathToUtf8(path)).push_back('\'');
  return text;
}

FileFailure Failure(std::string message, std::error_code code = {}) { return {std::move(message), code}; }

FileFailure SystemFailure(std::string_view doing, const fs::path& path) {
  const std::error_code code = Errno();
  return {std::string(doing) + " " + Quoted(path) + ": " + code.message(), code};
}

FileIdentity IdentityOfStat(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

fs::path FolderOf(const fs::path& path) { return path.has_parent_path() ? path.parent_path() : fs::path("."); }

// The start of every temporary name for `target`: "." and as much of its name as fits
// with the mark, a process number and a random part, cut where a UTF-8 character begins.
std::string TemporaryPrefix(const fs::path& target) {
  std::string name = target.filename().string();
  const std::size_t room = kNameLimit - 1 - kTemporaryMark.size() - 10 - 1 - 8;
  if (name.size() > room) {
    name.resize(room);
    while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80) name.pop_back();
    if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
  }
  return "." + name + std::string(kTemporaryMark);
}

// Removes the temporary files of `target` whose process has ended: what a killed run left.
void RemoveAbandonedTemporaries(const fs::path& folder, const std::string& prefix) {
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = name.substr(prefix.size());
    const auto dash = rest.find('-');
    if (dash == std::string::npos || dash == 0) continue;
    const std::string number = rest.substr(0, dash);
    char* stop = nullptr;
    const long pid = std::strtol(number.c_str(), &stop, 10);
    if (*stop != '\0' || pid <= 0) continue;
    if (kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH) {
      std::error_code ignored;
      fs::remove(entry->path(), ignored);
    }
  }
}

struct Destination {
  fs::path target;                  // the file to replace: the destination, or what its link names
  std::optional<struct stat> existing;  // the file there now
};

// The checks that come before anything is created.
FileResult<Destination> Inspect(const fs::path& destination, const ReplaceOptions& options) {
  Destination found{destination, std::nullopt};
  struct stat info{};
  if (lstat(destination.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    if (!options.followLink)
      return Fail(Failure(Quoted(destination) + " is a symbolic link; links are not followed here"));
    std::error_code error;
    found.target = fs::weakly_canonical(destination, error);
    if (error) return Fail(Failure("cannot follow the link " + Quoted(destination) + ": " + error.message(), error));
  }
  if (stat(found.target.c_str(), &info) == 0) {
    found.existing = info;
  } else if (errno != ENOENT) {
    return Fail(SystemFailure("cannot reach", found.target));
  }

  if (options.protect != nullptr) {
    if (auto refusal = options.protect->Refusal(destination)) return Fail(Failure(std::move(*refusal)));
  }
  if (found.existing) {
    if (S_ISDIR(info.st_mode)) return Fail(Failure(Quoted(destination) + " is a folder"));
    if (!S_ISREG(info.st_mode)) {
      return Fail(Failure(Quoted(destination) +
                          " is not a regular file; only a regular file or a new name is replaced (use '-' to write "
                          "to standard output)"));
    }
    if (faccessat(AT_FDCWD, found.target.c_str(), W_OK, AT_EACCESS) != 0) {
      const std::error_code code = Errno();
      return Fail(Failure(Quoted(destination) + " may not be written by this user; it is left as it is", code));
    }
  } else {
    struct stat folder{};
    if (stat(FolderOf(found.target).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
      return Fail(Failure("the folder " + Quoted(FolderOf(found.target)) + " does not exist", Errno()));
  }
  return found;
}

}  // namespace

std::string SizeText(std::uint64_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  const std::string digits = std::to_string(bytes);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text.append(bytes == 1 ? " byte" : " bytes");
}

std::optional<FileIdentity> IdentityOf(const fs::path& path) {
  struct stat info{};
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
  return IdentityOfStat(info);
}

std::optional<FileIdentity> IdentityOfStandardInput() {
  struct stat info{};
  if (fstat(STDIN_FILENO, &info) != 0) return std::nullopt;
  return IdentityOfStat(info);
}

void ProtectedFiles::Add(const fs::path& path, std::string what) { Add(IdentityOf(path), std::move(what)); }

void ProtectedFiles::Add(std::optional<FileIdentity> file, std::string what) {
  if (file) files_.push_back({*file, std::move(what)});
}

void ProtectedFiles::AddNames(const fs::path& folder, std::vector<std::string> names, std::string what) {
  if (const auto identity = IdentityOf(folder)) names_.push_back({*identity, std::move(names), std::move(what)});
}

std::optional<std::string> ProtectedFiles::Refusal(const fs::path& destination) const {
  if (const auto identity = IdentityOf(destination)) {
    for (const auto& file : files_)
      if (file.identity == *identity) return Quoted(destination) + " is " + file.what + "; it is never written";
  }
  if (names_.empty()) return std::nullopt;
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(destination, error);
  if (error) resolved = destination;
  const auto folder = IdentityOf(FolderOf(resolved));
  const std::string name = resolved.filename().string();
  for (const auto& set : names_) {
    if (!folder || *folder != set.folder) continue;
    for (const auto& protectedName : set.names)
      if (EqualIgnoringAsciiCase(name, protectedName)) return Quoted(destination) + " is " + set.what + "; it is never written";
  }
  return std::nullopt;
}

struct FileReplacement::Existing {
  struct stat info;
};

FileResult<void> CheckReplaceable(const fs::path& destination, const ReplaceOptions& options) {
  const auto found = Inspect(destination, options);
  if (!found) return Fail(found.error());
  return {};
}

FileResult<std::unique_ptr<FileReplacement>> FileReplacement::Begin(const fs::path& destination,
                                                                   const ReplaceOptions& options) {
  auto found = Inspect(destination, options);
  if (!found) return Fail(found.error());
  const fs::path folder = FolderOf(found->target);
  const std::string prefix = TemporaryPrefix(found->target);
  RemoveAbandonedTemporaries(folder, prefix);

  std::random_device entropy;
  for (int attempt = 0; attempt < 8; ++attempt) {
    char unique[32];
    std::snprintf(unique, sizeof unique, "%ld-%08x", static_cast<long>(getpid()), static_cast<unsigned>(entropy()));
    fs::path temporary = folder / (prefix + unique);
    errno = 0;
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      std::unique_ptr<Existing> existing;
      if (found->existing) existing.reset(new Existing{*found->existing});
      return std::unique_ptr<FileReplacement>(
          new FileReplacement(std::move(found->target), std::move(temporary), descriptor, std::move(existing)));
    }
    if (errno == EEXIST) continue;
    if (errno == EACCES || errno == EPERM || errno == EROFS)
      return Fail(Failure("the folder " + Quoted(folder) + " is not writable", Errno()));
    return Fail(SystemFailure("cannot create a file in the folder", folder));
  }
  return Fail(Failure("cannot create a file in the folder " + Quoted(folder),
                      std::make_error_code(std::errc::file_exists)));
}

FileReplacement::FileReplacement(fs::path target, fs::path temporary, int descriptor, std::unique_ptr<Existing> existing)
    : target_(std::move(target)), temporary_(std::move(temporary)), descriptor_(descriptor), existing_(std::move(existing)) {}

FileReplacement::~FileReplacement() {
  if (descriptor_ >= 0) close(descriptor_);
  if (!committed_) unlink(temporary_.c_str());
}

FileResult<void> FileReplacement::Commit(std::span<const std::uint8_t> bytes) {
  const auto writeFailure = [this] { return Fail(SystemFailure("cannot write", target_)); };
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t wrote = write(descriptor_, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return writeFailure();
    done += static_cast<std::size_t>(wrote);
  }
  if (existing_) {
    const struct stat& old = existing_->info;
    // The owner and the group where this user may set them; a change of owner clears
    // set-id bits, so the mode comes after.
    if (fchown(descriptor_, old.st_uid, old.st_gid) != 0) {
      [[maybe_unused]] const int groupOnly = fchown(descriptor_, static_cast<uid_t>(-1), old.st_gid);
    }
    if (fchmod(descriptor_, old.st_mode & 07777) != 0) return writeFailure();
  }
  if (fsync(descriptor_) != 0) return writeFailure();
  const int closed = close(descriptor_);
  descriptor_ = -1;
  if (closed != 0) return writeFailure();
  if (rename(temporary_.c_str(), target_.c_str()) != 0) return Fail(SystemFailure("cannot replace", target_));
  committed_ = true;
  // The rename is durable once the folder is flushed; a file system that cannot flush
  // a folder has already made it so.
  const int folder = open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return {};
}

FileResult<void> ReplaceFileContents(const fs::path& destination, std::span<const std::uint8_t> bytes,
                                     const ReplaceOptions& options) {
  auto replacement = FileReplacement::Begin(destination, options);
  if (!replacement) return Fail(replacement.error());
  return (*replacement)->Commit(bytes);
}

namespace {

FileResult<std::vector<std::uint8_t>> ReadAll(int descriptor, const std::string& name, std::uint64_t limit) {
  std::vector<std::uint8_t> bytes;
  for (;;) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, limit + 1 - bytes.size()));
    const std::size_t had = bytes.size();
    bytes.resize(had + want);
    const ssize_t got = read(descriptor, bytes.data() + had, want);
    if (got < 0 && errno == EINTR) {
      bytes.resize(had);
      continue;
    }
    if (got < 0) {
      const std::error_code code = Errno();
      return Fail(Failure("cannot read " + name + ": " + code.message(), code));
    }
    bytes.resize(had + static_cast<std::size_t>(got));
    if (got == 0) return bytes;
    if (bytes.size() > limit)
      return Fail(Failure(name + " is larger than " + SizeText(limit), std::make_error_code(std::errc::file_too_large)));
  }
}

}  // namespace

FileResult<std::vector<std::uint8_t>> ReadWholeFile(const fs::path& path, std::uint64_t limit) {
  errno = 0;
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return Fail(SystemFailure("cannot read", path));
  struct stat info{};
  if (fstat(descriptor, &info) == 0 && S_ISDIR(info.st_mode)) {
    close(descriptor);
    return Fail(Failure("cannot read " + Quoted(path) + ": it is a folder", std::make_error_code(std::errc::is_a_directory)));
  }
  auto bytes = ReadAll(descriptor, Quoted(path), limit);
  close(descriptor);
  return bytes;
}

FileResult<std::vector<std::uint8_t>> ReadStandardInput(std::uint64_t limit) {
  return ReadAll(STDIN_FILENO, "standard input", limit);
}

std::string PathToUtf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

fs::path PathFromUtf8(std::string_view text) { return fs::path(std::u8string(text.begin(), text.end())); }

bool IsSameFile(const fs::path& a, const fs::path& b) {
  const auto first = IdentityOf(a);
  return first && first == IdentityOf(b);
}

FileResult<FileLock> FileLock::Acquire(const fs::path& lockFile) {
  for (;;) {
    errno = 0;
    const int descriptor = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) {
      if (errno == EACCES || errno == EPERM || errno == EROFS)
        return Fail(Failure("the folder " + Quoted(FolderOf(lockFile)) + " is not writable", Errno()));
      return Fail(SystemFailure("cannot open the lock file", lockFile));
    }
    int locked;
    while ((locked = flock(descriptor, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
      const FileFailure failure = SystemFailure("cannot lock", lockFile);
      close(descriptor);
      return Fail(failure);
    }
    // The holder before us removes the file as it lets go: the lock counts only while
    // the file we hold is still the one the name reaches.
    struct stat held{}, named{};
    if (fstat(descriptor, &held) == 0 && stat(lockFile.c_str(), &named) == 0 &&
        IdentityOfStat(held) == IdentityOfStat(named))
      return FileLock(lockFile, descriptor);
    close(descriptor);
  }
}

FileLock::FileLock(FileLock&& other) noexcept
    : path_(std::move(other.path_)), descriptor_(std::exchange(other.descriptor_, -1)) {}

FileLock::~FileLock() {
  if (descriptor_ < 0) return;
  unlink(path_.c_str());
  close(descriptor_);
}

}  // namespace quarvel
