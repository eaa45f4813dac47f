#include "files/files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "common/ascii.h"
#include "files/native_file.h"

namespace quarvel {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kChunkSize = 256 * 1024;
constexpr std::size_t kNameLimit = 255;  // bytes of one file name on the common file systems
constexpr std::string_view kTemporaryMark = ".tmp-";

std::string Quoted(const fs::path& path) {
  std::string text(1, '\'');
  text.append(PathToUtf8(path)).push_back('\'');
  return text;
}

FileFailure Failure(std::string message, std::error_code code = {}) { return {std::move(message), code}; }

FileFailure SystemFailure(std::string_view doing, const fs::path& path, std::error_code code) {
  return {std::string(doing) + " " + Quoted(path) + ": " + code.message(), code};
}

bool IsAccessError(std::error_code code) {
  return code == std::errc::permission_denied || code == std::errc::operation_not_permitted ||
         code == std::errc::read_only_file_system;
}

fs::path FolderOf(const fs::path& path) { return path.has_parent_path() ? path.parent_path() : fs::path("."); }

// The start of every temporary name for `target`: "." and as much of its name as fits
// with the mark, a process number and a part of 8 hexadecimal digits, cut where a UTF-8
// character begins.
std::string TemporaryPrefix(const fs::path& target) {
  std::string name = PathToUtf8(target.filename());
  const std::size_t room = kNameLimit - 1 - kTemporaryMark.size() - 10 - 1 - 8;
  if (name.size() > room) {
    name.resize(room);
    while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80) name.pop_back();
    if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
  }
  return "." + name + std::string(kTemporaryMark);
}

constexpr std::size_t kUniqueDigits = 8;

// Whether `name` is a temporary name that a save made: "." and a name, the mark, a
// process number, "-" and 8 hexadecimal digits. The process number, when it is.
std::optional<long> TemporaryProcess(std::string_view name) {
  const auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  if (name.size() < 1 + kTemporaryMark.size() + 3 + kUniqueDigits || name.front() != '.') return std::nullopt;
  const std::string_view unique = name.substr(name.size() - kUniqueDigits);
  if (!std::all_of(unique.begin(), unique.end(), isHex) || name[name.size() - kUniqueDigits - 1] != '-')
    return std::nullopt;
  name.remove_suffix(kUniqueDigits + 1);
  const std::size_t digits = name.size() - name.find_last_not_of("0123456789") - 1;
  if (digits == 0 || digits > 10 || name[name.size() - digits] == '0') return std::nullopt;
  const long pid = std::strtol(std::string(name.substr(name.size() - digits)).c_str(), nullptr, 10);
  name.remove_suffix(digits);
  if (name.size() < 1 + kTemporaryMark.size() || name.substr(name.size() - kTemporaryMark.size()) != kTemporaryMark)
    return std::nullopt;
  return pid;
}

// Removes the temporary files in `folder` (those of `prefix` only, when it is not
// empty) that a killed run left: see RemoveAbandonedTemporaryFiles.
void RemoveAbandonedTemporaries(const fs::path& folder, std::string_view prefix) {
  const auto aMinuteAgo = fs::file_time_type::clock::now() - std::chrono::minutes(1);
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = PathToUtf8(entry->path().filename());
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const auto pid = TemporaryProcess(name);
    if (!pid) continue;
    const native::Entry found = native::Look(entry->path(), false);
    std::error_code ignored;
    if (found.kind != native::Entry::Kind::Regular || !found.ownedByUser ||
        fs::last_write_time(entry->path(), ignored) > aMinuteAgo || ignored || !native::ProcessEnded(*pid))
      continue;
    fs::remove(entry->path(), ignored);
  }
}

struct Destination {
  fs::path target;  // the file to replace: the destination, or what its link names
  bool existing;    // a file is there now
};

// The checks that come before anything is created.
FileResult<Destination> Inspect(const fs::path& destination, const ReplaceOptions& options) {
  Destination found{destination, false};
  const bool isLink = native::Look(destination, false).kind == native::Entry::Kind::Link;
  if (isLink && options.links == LinkRule::Refuse)
    return Fail(Failure(Quoted(destination) + " is a symbolic link; links are not followed here"));
  // A link leads, link by link, to the file it names, which need not exist yet.
  bool othersLink = false;
  for (int hops = 0; native::Look(found.target, false).kind == native::Entry::Kind::Link; ++hops) {
    std::error_code error;
    const fs::path next = fs::read_symlink(found.target, error);
    if (!error && hops == 40) error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    if (error) return Fail(Failure("cannot follow the link " + Quoted(destination) + ": " + error.message(), error));
    othersLink = othersLink || !native::Look(found.target, false).ownedByUser;
    found.target = next.is_absolute() ? next : FolderOf(found.target) / next;
  }
  const native::Entry entry = native::Look(found.target, true);
  if (entry.error) return Fail(SystemFailure("cannot reach", found.target, entry.error));
  found.existing = entry.kind != native::Entry::Kind::None;
  if (isLink && options.links == LinkRule::FollowOwn &&
      (othersLink || !(found.existing ? entry : native::Look(FolderOf(found.target), true)).ownedByUser)) {
    return Fail(Failure(Quoted(destination) + " is a symbolic link, and it or what it leads to belongs to another user; "
                        "it is left as it is",
                        std::make_error_code(std::errc::permission_denied)));
  }

  if (options.protect != nullptr) {
    if (auto refusal = options.protect->Refusal(destination)) return Fail(Failure(std::move(*refusal)));
  }
  if (entry.kind == native::Entry::Kind::Directory) return Fail(Failure(Quoted(destination) + " is a folder", std::make_error_code(std::errc::is_a_directory)));
  if (found.existing && entry.kind != native::Entry::Kind::Regular) {
    return Fail(Failure(Quoted(destination) +
                        " is not a regular file; only a regular file or a new name is replaced (use '-' to write "
                        "to standard output)"));
  }
  if (found.existing && !native::MayWrite(found.target)) {
    return Fail(Failure(Quoted(destination) + " may not be written by this user; it is left as it is",
                        std::make_error_code(std::errc::permission_denied)));
  }
  if (!found.existing && native::Look(FolderOf(found.target), true).kind != native::Entry::Kind::Directory) {
    return Fail(Failure("the folder " + Quoted(FolderOf(found.target)) + " does not exist",
                        std::make_error_code(std::errc::no_such_file_or_directory)));
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
  const native::Entry entry = native::Look(path, true);
  if (entry.kind == native::Entry::Kind::None) return std::nullopt;
  return entry.identity;
}

std::optional<FileIdentity> IdentityOfStandardInput() { return native::StandardInputIdentity(); }

void ProtectedFiles::Add(const fs::path& path, std::string what) { Add(IdentityOf(path), std::move(what)); }

void ProtectedFiles::Add(std::optional<FileIdentity> file, std::string what) {
  if (file) files_.push_back({*file, std::move(what)});
}

void ProtectedFiles::AddNames(const fs::path& folder, std::vector<std::string> names, std::string what) {
  const auto identity = IdentityOf(folder);
  if (!identity) return;
  // The files there now, by identity too: standard output has no name to compare.
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = PathToUtf8(entry->path().filename());
    if (std::any_of(names.begin(), names.end(), [&](const auto& n) { return EqualIgnoringAsciiCase(name, n); }))
      Add(entry->path(), what);
  }
  names_.push_back({*identity, std::move(names), std::move(what)});
}

std::optional<std::string> ProtectedFiles::RefusalOfStandardOutput() const {
  const auto output = native::StandardOutputFileIdentity();
  if (!output) return std::nullopt;
  for (const auto& file : files_)
    if (file.identity == *output) return "standard output is " + file.what + "; it is never written";
  return std::nullopt;
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
  const std::string name = PathToUtf8(resolved.filename());
  for (const auto& set : names_) {
    if (!folder || *folder != set.folder) continue;
    for (const auto& protectedName : set.names)
      if (EqualIgnoringAsciiCase(name, protectedName)) return Quoted(destination) + " is " + set.what + "; it is never written";
  }
  return std::nullopt;
}

void RemoveAbandonedTemporaryFiles(const fs::path& folder) { RemoveAbandonedTemporaries(folder, ""); }

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
  if (options.removeAbandoned) RemoveAbandonedTemporaries(folder, prefix);

  // The process and the clock's nanoseconds: no other process makes the name, and a
  // file left with it by an earlier one (or made on purpose) is met by another attempt.
  for (int attempt = 0; attempt < 8; ++attempt) {
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    char unique[32];
    std::snprintf(unique, sizeof unique, "%ld-%08x", native::CurrentProcess(),
                  static_cast<unsigned>(ticks ^ ticks >> 32) + static_cast<unsigned>(attempt));
    fs::path temporary = folder / PathFromUtf8(prefix + unique);
    auto file = native::File::CreateNew(temporary);
    if (file) {
      return std::unique_ptr<FileReplacement>(new FileReplacement(
          std::move(found->target), std::move(temporary), std::make_unique<native::File>(std::move(*file)),
          found->existing));
    }
    if (file.error() == std::errc::file_exists) continue;
    if (IsAccessError(file.error()))
      return Fail(Failure("the folder " + Quoted(folder) + " is not writable", file.error()));
    return Fail(SystemFailure("cannot create a file in the folder", folder, file.error()));
  }
  return Fail(Failure("cannot create a file in the folder " + Quoted(folder),
                      std::make_error_code(std::errc::file_exists)));
}

FileReplacement::FileReplacement(fs::path target, fs::path temporary, std::unique_ptr<native::File> file,
                                 bool replacesExisting)
    : target_(std::move(target)),
      temporary_(std::move(temporary)),
      file_(std::move(file)),
      replacesExisting_(replacesExisting) {}

FileReplacement::~FileReplacement() {
  file_.reset();
  std::error_code ignored;
  if (!committed_) fs::remove(temporary_, ignored);
}

FileResult<void> FileReplacement::Commit(std::span<const std::uint8_t> bytes) {
  const auto writeFailure = [this](std::error_code code) { return Fail(SystemFailure("cannot write", target_, code)); };
  if (const auto error = file_->Write(bytes)) return writeFailure(error);
  if (replacesExisting_) {
    if (const auto error = file_->TakeOwnerAndMode(target_)) return writeFailure(error);
  }
  if (const auto error = file_->Sync()) return writeFailure(error);
  if (const auto error = file_->Close()) return writeFailure(error);
  std::error_code error;
  fs::rename(temporary_, target_, error);
  if (error) return Fail(SystemFailure("cannot replace", target_, error));
  committed_ = true;
  // The rename is durable once the folder is flushed; a file system that cannot flush
  // a folder has already made it so.
  native::SyncFolder(FolderOf(target_));
  return {};
}

FileResult<void> ReplaceFileContents(const fs::path& destination, std::span<const std::uint8_t> bytes,
                                     const ReplaceOptions& options) {
  auto replacement = FileReplacement::Begin(destination, options);
  if (!replacement) return Fail(replacement.error());
  return (*replacement)->Commit(bytes);
}

namespace {

FileFailure TooLarge(const std::string& name, std::uint64_t limit) {
  return Failure(name + " is larger than " + SizeText(limit), std::make_error_code(std::errc::file_too_large));
}

FileResult<std::vector<std::uint8_t>> ReadAll(native::File& file, const std::string& name, std::uint64_t limit) {
  const auto failed = [&name](std::error_code code) { return Fail(Failure("cannot read " + name + ": " + code.message(), code)); };
  // A regular file says its size at once: it is read whole, as it was when opened.
  if (const std::uint64_t size = file.Size(); size != 0) {
    if (size > limit) return Fail(TooLarge(name, limit));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    for (std::size_t done = 0; done < bytes.size();) {
      const auto got = file.Read(std::span(bytes).subspan(done));
      if (!got) return failed(got.error());
      if (*got == 0) {  // it shrank while it was read
        bytes.resize(done);
        break;
      }
      done += *got;
    }
    return bytes;
  }
  // Standard input, a device: a chunk at a time, up to the limit, into room taken at
  // once (address space only, until the bytes come).
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(limit) + 1);
  for (;;) {
    const std::size_t had = bytes.size();
    bytes.resize(had + static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, limit + 1 - had)));
    const auto got = file.Read(std::span(bytes).subspan(had));
    if (!got) return failed(got.error());
    bytes.resize(had + *got);
    if (*got == 0) return bytes;
    if (bytes.size() > limit) return Fail(TooLarge(name, limit));
  }
}

}  // namespace

FileResult<std::vector<std::uint8_t>> ReadWholeFile(const fs::path& path, std::uint64_t limit) {
  auto file = native::File::OpenRead(path);
  if (!file) return Fail(SystemFailure("cannot read", path, file.error()));
  if (file->IsDirectory()) {
    return Fail(Failure("cannot read " + Quoted(path) + ": it is a folder", std::make_error_code(std::errc::is_a_directory)));
  }
  return ReadAll(*file, Quoted(path), limit);
}

FileResult<std::vector<std::uint8_t>> ReadRegularFile(const fs::path& path, std::uint64_t limit) {
  auto file = native::File::OpenRead(path, false);
  if (!file) return Fail(SystemFailure("cannot read", path, file.error()));
  if (!file->IsRegular()) {
    return Fail(Failure("cannot read " + Quoted(path) + ": it is not a regular file",
                        std::make_error_code(std::errc::invalid_argument)));
  }
  return ReadAll(*file, Quoted(path), limit);
}

FileResult<std::vector<std::uint8_t>> ReadStandardInput(std::uint64_t limit) {
  native::File input = native::File::StandardInput();
  return ReadAll(input, "standard input", limit);
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
    auto file = native::File::OpenLock(lockFile);
    if (!file && file.error() == std::errc::too_many_symbolic_link_levels &&
        native::Look(lockFile, false).kind == native::Entry::Kind::Link) {
      return Fail(Failure("the lock file " + Quoted(lockFile) + " is a symbolic link; it is not followed (remove it)",
                          file.error()));
    }
    if (!file) {
      if (IsAccessError(file.error()) && native::Look(lockFile, false).kind == native::Entry::Kind::None &&
          !native::MayWrite(FolderOf(lockFile)))
        return Fail(Failure("the folder " + Quoted(FolderOf(lockFile)) + " is not writable", file.error()));
      return Fail(SystemFailure("cannot open the lock file", lockFile, file.error()));
    }
    if (!file->IsRegular()) {
      return Fail(Failure("the lock file " + Quoted(lockFile) + " is not a regular file; it is left as it is (remove it)",
                          std::make_error_code(std::errc::invalid_argument)));
    }
    if (const auto error = file->LockExclusive()) return Fail(SystemFailure("cannot lock", lockFile, error));
    // The holder before us removes the file as it lets go: the lock counts only while
    // the file we hold is still the one the name reaches.
    const native::Entry named = native::Look(lockFile, true);
    if (named.kind != native::Entry::Kind::None && named.identity == file->Identity())
      return FileLock(lockFile, std::make_unique<native::File>(std::move(*file)));
  }
}

FileLock::FileLock(fs::path path, std::unique_ptr<native::File> file) : path_(std::move(path)), file_(std::move(file)) {}

FileLock::FileLock(FileLock&& other) noexcept = default;

FileLock::~FileLock() {
  if (file_ == nullptr) return;
  std::error_code ignored;
  if (native::CanRemoveOpenFiles()) fs::remove(path_, ignored);
  file_.reset();
}

}  // namespace quarvel
