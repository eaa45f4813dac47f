#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "app/cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define STDOUT_FILENO 1
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Whatever escapes a command ends it with a message and exit status 1, and so does
// standard output that could not take what was printed.
int Run(int argc, const char* const* argv) {
  int code = 1;
  try {
    code = quarvel::RunCli(argc, argv, std::cout, std::cerr, {isatty(STDOUT_FILENO) != 0, isatty(STDERR_FILENO) != 0});
  } catch (const std::bad_alloc&) {
    std::cerr << "quarvel-cli: error: out of memory\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "quarvel-cli: error: " << e.what() << '\n';
    return 1;
  }
  errno = 0;
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0) {
    std::cerr << "quarvel-cli: error: cannot write to standard output"
              << (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()) << '\n';
    return 1;
  }
  return code;
}

}  // namespace

#ifdef _WIN32
// Windows: the arguments as UTF-16, made UTF-8 as the tool takes them; standard input
// and output as bytes, untouched; messages in UTF-8 on the console.
int wmain(int argc, wchar_t** wideArgv) {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wideArgv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string argument(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wideArgv[i], -1, argument.data(), size, nullptr, nullptr);
    arguments.push_back(std::move(argument));
  }
  std::vector<const char*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  return Run(argc, argv.data());
}
#else
int main(int argc, char** argv) {
#ifdef __GLIBC__
  // The codecs' buffers of a block (a compressor's tables: hundreds of KiB) taken again
  // from the heap, not mapped and unmapped for each block, which costs a command working
  // on many files half its time in page faults.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
  return Run(argc, argv);
}
#endif
