#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>

#include "app/cli.h"

// Whatever escapes a command ends it with a message and exit status 1, and so does
// standard output that could not take what was printed.
int main(int argc, char** argv) {
  int code = 1;
  try {
    code = quarvel::RunCli(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
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
