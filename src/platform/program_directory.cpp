#include "platform/program_directory.h"

namespace quarvel {

std::filesystem::path ExecutableDirectory(const char* argv0) {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) return self.parent_path();
  return std::filesystem::absolute(argv0 != nullptr ? argv0 : ".", error).parent_path();
}

}  // namespace quarvel
