#include "platform/program_directory.h"

#include <cstdlib>

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
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) return self.parent_path();
  return std::filesystem::absolute(argv0 != nullptr ? argv0 : ".", error).parent_path();
}

std::filesystem::path UserDataDirectory() {
#if defined(_WIN32)
  const auto base = Environment("APPDATA");
  return base.value_or(Environment("USERPROFILE").value_or(".") / "AppData" / "Roaming") / "quarvel";
#elif defined(__APPLE__)
  return Environment("HOME").value_or(".") / "Library" / "Application Support" / "quarvel";
#else
  if (const auto base = Environment("XDG_DATA_HOME"); base && base->is_absolute()) return *base / "quarvel";
  return Environment("HOME").value_or(".") / ".local" / "share" / "quarvel";
#endif
}

}  // namespace quarvel
