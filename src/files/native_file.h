// The few things the file layer asks of the operating system, one implementation for
// POSIX systems and one for Windows; everything else about files is written once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <system_error>

#include "common/expected.h"
#include "files/files.h"

namespace quarvel::native {

// What stands at a path.
struct Entry {
  enum class Kind { None, Regular, Directory, Link, Other };
  Kind kind = Kind::None;
  FileIdentity identity;
  std::error_code error;  // why it could not be looked at, when it is there at all
  bool ownedByUser = true;  // it belongs to the user who runs the program
};

// The entry at `path`; with `followLink`, what a link there leads to.
Entry Look(const std::filesystem::path& path, bool followLink);

// Whether this user may write the file or folder at `path`.
bool MayWrite(const std::filesystem::path& path);

// Whether the program runs as the system's administrator (root), whom no permission binds.
bool RunsAsAdministrator();

// The file that standard input reads.
std::optional<FileIdentity> StandardInputIdentity();
// The file that standard output writes, when it is a regular file or a block device (a
// file that a command may also read); nothing for a terminal, a pipe or a socket.
std::optional<FileIdentity> StandardOutputFileIdentity();

// An open file, closed when the object goes.
class File {
 public:
  // A new file for writing, made only if nothing is at `path` yet (the error is then
  // file_exists).
  static Expected<File, std::error_code> CreateNew(const std::filesystem::path& path);
  // For reading. Without `waitForWriter`, a FIFO that no program writes is opened at
  // once instead of blocking (to be refused by its kind).
  static Expected<File, std::error_code> OpenRead(const std::filesystem::path& path, bool waitForWriter = true);
  // For reading and writing, made when missing, never through a symbolic link (the error
  // is then too_many_symbolic_link_levels), nor waiting for a FIFO: a lock file.
  static Expected<File, std::error_code> OpenLock(const std::filesystem::path& path);
  // Standard input, not closed when the object goes.
  static File StandardInput();
  // A file the system opened (a descriptor or a handle), closed when the object goes.
  static File FromHandle(std::intptr_t handle);

  File(File&& other) noexcept;
  File& operator=(File&&) = delete;
  ~File();

  std::error_code Write(std::span<const std::uint8_t> bytes);  // all of them
  Expected<std::size_t, std::error_code> Read(std::span<std::uint8_t> into);  // 0 at the end
  Expected<std::size_t, std::error_code> ReadAt(std::uint64_t position, std::span<std::uint8_t> into);
  bool IsDirectory() const;
  bool IsRegular() const;
  std::uint64_t Size() const;
  FileIdentity Identity() const;
  // Gives the file the mode, and where this user may, the owner and group of `model`.
  std::error_code TakeOwnerAndMode(const std::filesystem::path& model);
  std::error_code Sync();  // flushes what was written to the disk
  std::error_code Close();
  std::error_code LockExclusive();  // waits for the lock

 private:
  explicit File(std::intptr_t handle, bool owned = true) : handle_(handle), owned_(owned) {}
  std::intptr_t handle_;
  bool owned_;
};

// Makes the entries of a folder (a rename into it) durable, where the system can.
void SyncFolder(const std::filesystem::path& folder);

// This process, and whether another one has ended.
long CurrentProcess();
bool ProcessEnded(long process);

// Whether a file may be removed while it is open (then a lock file goes with its lock).
bool CanRemoveOpenFiles();

}  // namespace quarvel::native
