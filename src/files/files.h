// File operations with the guarantees the tool promises: what a command reads is never
// written, only a regular file that the user may write (or a new name) is replaced, a
// replaced file is either replaced whole or left exactly as it was, and nothing is
// read without a bound.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/expected.h"
#include "rom/rom_layout.h"  // kRomImageLimit

namespace quarvel {

namespace native {
class File;
}

// Why a file operation failed: a sentence in English that names the file, without a
// final period ("the folder '/x' is not writable"), and the system's reason if any.
struct FileFailure {
  std::string message;
  std::error_code code;
};

template <class T>
using FileResult = Expected<T, FileFailure>;

// "64 MiB", "65,536 bytes": a size as the messages write it.
std::string SizeText(std::uint64_t bytes);

// A file on its file system, the same through every name and link that reaches it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The file that `path` names, through links; nothing when there is none.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);
// The file that standard input reads; nothing when it is closed.
std::optional<FileIdentity> IdentityOfStandardInput();

// The files that a command must not replace: those it reads, and those that hold the
// tool's own data. Each is named with what it is, for the message.
class ProtectedFiles {
 public:
  // `what` completes "'PATH' is ...", as in "the ROM image being read". A path that
  // names no file protects nothing.
  void Add(const std::filesystem::path& path, std::string what);
  void Add(std::optional<FileIdentity> file, std::string what);
  // Every file of `folder` with one of `names` (compared ignoring ASCII case), also
  // those that do not exist yet.
  void AddNames(const std::filesystem::path& folder, std::vector<std::string> names, std::string what);

  // Why `destination` must not be replaced, when it must not:
  // "'/roms/s1.bin' is the ROM image being read; it is never written".
  std::optional<std::string> Refusal(const std::filesystem::path& destination) const;
  // Why nothing may be printed on standard output, when it is a file that must not be
  // written (`quarvel-cli ... >>rom.bin`): "standard output is the ROM image itself; it
  // is never written". A terminal, a pipe or a socket is no file and is never refused.
  std::optional<std::string> RefusalOfStandardOutput() const;

 private:
  struct File {
    FileIdentity identity;
    std::string what;
  };
  struct Names {
    FileIdentity folder;
    std::vector<std::string> names;
    std::string what;
  };
  std::vector<File> files_;
  std::vector<Names> names_;
};

// What a save does with a symbolic link at the destination.
enum class LinkRule {
  Follow,     // replaces the file it leads to, in that file's folder
  FollowOwn,  // the same, only when the link and what it leads to belong to this user
  Refuse,     // refuses the destination
};

struct ReplaceOptions {
  const ProtectedFiles* protect = nullptr;
  LinkRule links = LinkRule::Follow;
  // Removes the temporary files that killed runs left for the same destination; a
  // command that saves many files into one folder does it once, with
  // RemoveAbandonedTemporaryFiles.
  bool removeAbandoned = true;
};

// Replaces a file in two steps. Begin refuses a destination that is protected, that is
// not a regular file (a folder, a device, a FIFO, a socket), or that the user may not
// write, and creates a new file beside it, so that a folder where no file can be made
// is reported before anything is written. Commit writes the bytes there, flushes them
// to the disk, gives the new file the old one's mode (and its owner and group, where
// the user may set them) and renames it over the old one, then flushes the folder. On
// any failure, and when Commit is never called, the old file is as it was and the new
// one is gone. Temporary files that a killed run left for the same destination are
// removed on the way.
class FileReplacement {
 public:
  static FileResult<std::unique_ptr<FileReplacement>> Begin(const std::filesystem::path& destination,
                                                             const ReplaceOptions& options = {});
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  FileResult<void> Commit(std::span<const std::uint8_t> bytes);

 private:
  FileReplacement(std::filesystem::path target, std::filesystem::path temporary, std::unique_ptr<native::File> file,
                  bool replacesExisting);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::unique_ptr<native::File> file_;
  bool replacesExisting_;
  bool committed_ = false;
};

// Removes the temporary files of any save into `folder` that a killed run left: regular
// files of this user, named exactly as a save names them, older than a minute, whose
// process has ended.
void RemoveAbandonedTemporaryFiles(const std::filesystem::path& folder);

// The checks of Begin, without creating anything.
FileResult<void> CheckReplaceable(const std::filesystem::path& destination, const ReplaceOptions& options = {});

// Begin and Commit in one: `destination` holds exactly `bytes`, or is as it was.
FileResult<void> ReplaceFileContents(const std::filesystem::path& destination, std::span<const std::uint8_t> bytes,
                                     const ReplaceOptions& options = {});

// The whole of a file, or of standard input, of at most `limit` bytes: a larger one
// is a failure found as soon as the limit is passed, whatever the file is.
FileResult<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path, std::uint64_t limit);
FileResult<std::vector<std::uint8_t>> ReadStandardInput(std::uint64_t limit);
// The same for a file the user did not name for this command (a catalogue, a file a
// window remembers): anything but a regular file is refused at once, and a FIFO that no
// program writes never makes it wait.
FileResult<std::vector<std::uint8_t>> ReadRegularFile(const std::filesystem::path& path, std::uint64_t limit);

// Path <-> UTF-8 text, exact for every character on every platform.
std::string PathToUtf8(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(std::string_view text);

// True when both paths name one existing file, through whatever names or links.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// An exclusive advisory lock on a lock file, held while the object lives; other
// programs that take the same lock wait for it. The lock file exists only while the
// lock is held.
class FileLock {
 public:
  // Creates the lock file when missing and waits for the lock. A lock file that is a
  // symbolic link or not a regular file is refused, and never followed or opened.
  static FileResult<FileLock> Acquire(const std::filesystem::path& lockFile);
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&&) = delete;
  ~FileLock();

 private:
  FileLock(std::filesystem::path path, std::unique_ptr<native::File> file);
  std::filesystem::path path_;
  std::unique_ptr<native::File> file_;
};

}  // namespace quarvel
