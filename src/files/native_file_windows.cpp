#include "files/native_file.h"

#include <windows.h>

#include <utility>

namespace quarvel::native {
namespace {

std::error_code LastError() { return {static_cast<int>(GetLastError()), std::system_category()}; }

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::optional<FileIdentity> IdentityOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

Expected<File, std::error_code> Open(const std::filesystem::path& path, DWORD access, DWORD disposition) {
  const HANDLE handle = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return Fail(std::make_error_code(std::errc::file_exists));
    if (code == ERROR_ACCESS_DENIED) return Fail(std::make_error_code(std::errc::permission_denied));
    return Fail(std::error_code(static_cast<int>(code), std::system_category()));
  }
  return File::FromHandle(reinterpret_cast<std::intptr_t>(handle));
}

}  // namespace

Entry Look(const std::filesystem::path& path, bool followLink) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return {};
    return {Entry::Kind::None, {}, std::error_code(static_cast<int>(code), std::system_category())};
  }
  if (!followLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return {Entry::Kind::Link, {}, {}};
  const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  Entry entry{(attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Entry::Kind::Directory : Entry::Kind::Regular, {}, {}};
  if (handle != INVALID_HANDLE_VALUE) {
    if (GetFileType(handle) != FILE_TYPE_DISK) entry.kind = Entry::Kind::Other;
    entry.identity = IdentityOfHandle(handle).value_or(FileIdentity{});
    CloseHandle(handle);
  }
  return entry;
}

bool MayWrite(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return (attributes & FILE_ATTRIBUTE_READONLY) == 0;
  // A folder: whether a file can be made in it.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const std::filesystem::path probe = path / (".quarvel-probe-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                std::to_string(attempt));
    const HANDLE handle = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

// A file that may be written has no owner here that a link could hand to another user.
bool RunsAsAdministrator() { return false; }

std::optional<FileIdentity> StandardOutputFileIdentity() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE || GetFileType(output) != FILE_TYPE_DISK) return std::nullopt;
  return IdentityOfHandle(output);
}

std::optional<FileIdentity> StandardInputIdentity() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE || GetFileType(input) != FILE_TYPE_DISK) return std::nullopt;
  return IdentityOfHandle(input);
}

File File::FromHandle(std::intptr_t handle) { return File(handle); }

Expected<File, std::error_code> File::CreateNew(const std::filesystem::path& path) {
  return Open(path, GENERIC_WRITE, CREATE_NEW);
}

// A named pipe has a name of its own on Windows (\\.\pipe\...): nothing to wait for.
Expected<File, std::error_code> File::OpenRead(const std::filesystem::path& path, bool) {
  return Open(path, GENERIC_READ, OPEN_EXISTING);
}

Expected<File, std::error_code> File::OpenLock(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return Fail(std::make_error_code(std::errc::too_many_symbolic_link_levels));
  return Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
}

File File::StandardInput() { return File(reinterpret_cast<std::intptr_t>(GetStdHandle(STD_INPUT_HANDLE)), false); }

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE))),
      owned_(other.owned_) {}

File::~File() {
  if (owned_ && AsHandle(handle_) != INVALID_HANDLE_VALUE) CloseHandle(AsHandle(handle_));
}

std::error_code File::Write(std::span<const std::uint8_t> bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD wrote = 0;
    if (!WriteFile(AsHandle(handle_), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) return LastError();
    done += wrote;
  }
  return {};
}

Expected<std::size_t, std::error_code> File::Read(std::span<std::uint8_t> into) {
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1u << 30));
  if (!ReadFile(AsHandle(handle_), into.data(), want, &got, nullptr)) {
    if (GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF) return std::size_t{0};
    return Fail(LastError());
  }
  return static_cast<std::size_t>(got);
}

Expected<std::size_t, std::error_code> File::ReadAt(std::uint64_t position, std::span<std::uint8_t> into) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(position);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1u << 30));
  if (!ReadFile(AsHandle(handle_), into.data(), want, &got, &at)) {
    if (GetLastError() == ERROR_HANDLE_EOF) return std::size_t{0};
    return Fail(LastError());
  }
  return static_cast<std::size_t>(got);
}

bool File::IsDirectory() const {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(AsHandle(handle_), &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool File::IsRegular() const {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(AsHandle(handle_)) == FILE_TYPE_DISK && GetFileInformationByHandle(AsHandle(handle_), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::uint64_t File::Size() const {
  LARGE_INTEGER size{};
  return GetFileSizeEx(AsHandle(handle_), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

FileIdentity File::Identity() const { return IdentityOfHandle(AsHandle(handle_)).value_or(FileIdentity{}); }

// A file that may be written has no mode, owner or group to carry over that matters here.
std::error_code File::TakeOwnerAndMode(const std::filesystem::path&) { return {}; }

std::error_code File::Sync() { return FlushFileBuffers(AsHandle(handle_)) ? std::error_code{} : LastError(); }

std::error_code File::Close() {
  const HANDLE handle = AsHandle(std::exchange(handle_, reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE)));
  return CloseHandle(handle) ? std::error_code{} : LastError();
}

std::error_code File::LockExclusive() {
  OVERLAPPED whole{};
  return LockFileEx(AsHandle(handle_), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) ? std::error_code{}
                                                                                               : LastError();
}

// A rename on NTFS is journalled: there is no folder to flush.
void SyncFolder(const std::filesystem::path&) {}

long CurrentProcess() { return static_cast<long>(GetCurrentProcessId()); }

bool ProcessEnded(long process) {
  const HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process));
  if (handle == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool ended = GetExitCodeProcess(handle, &code) && code != STILL_ACTIVE;
  CloseHandle(handle);
  return ended;
}

// An open file can be removed only when every handle allowed it; a lock file stays.
bool CanRemoveOpenFiles() { return false; }

}  // namespace quarvel::native
