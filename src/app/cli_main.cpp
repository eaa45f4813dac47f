#include <unistd.h>

#include <iostream>

#include "app/cli.h"

int main(int argc, char** argv) {
  return quarvel::RunCli(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
