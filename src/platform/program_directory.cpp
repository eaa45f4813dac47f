#include "platform/program_directory.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#if defined(_WIN32)
#include <windows.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include "files/files.h"

namespace quarvel {
namespace {

// The value of an environment variable that is set and not empty, as a path.
std::optional<std::filesystem::path> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return PathFromUtf8(value);
}

}  // namespace

std::filesystem::path ExecutableDirectory(const char* argv0) {
  std::error_code error;
#if defined(_WIN32)
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) break;
    if (length < name.size()) return std::filesystem::path(name.substr(0, length)).parent_path();
    name.resize(name.size() * 2);
  }
#elif defined(__APPLE__)
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string name(size, '\0');
  if (_NSGetExecutablePath(name.data(), &size) == 0)
    return std::filesystem::weakly_canonical(name.c_str(), error).parent_path();
#else
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) return self.parent_path();
#endif
  return std::filesystem::absolute(argv0 != nullptr ? argv0 : ".", error).parent_path();
}

std::filesystem::path UserDataDirectory() {
#if defined(_WIN32)
  if (const auto base = Environment("APPDATA")) return *base / "quarvel";
  if (const auto profile = Environment("USERPROFILE")) return *profile / "AppData" / "Roaming" / "quarvel";
  return {};
#elif defined(__APPLE__)
  const auto home = Environment("HOME");
  return home ? *home / "Library" / "Application Support" / "quarvel" : std::filesystem::path();
#else
  if (const auto base = Environment("XDG_DATA_HOME"); base && base->is_absolute()) return *base / "quarvel";
  const auto home = Environment("HOME");
  return home && home->is_absolute() ? *home / ".local" / "share" / "quarvel" : std::filesystem::path();
#endif
}

std::string_view UserDataVariable() {
#if defined(_WIN32)
  return "APPDATA";
#else
  return "HOME";
#endif
}

}  // namespace quarvel
