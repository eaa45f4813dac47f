// The calling thread's CPU time, which other programs on the machine leave out: what the
// benchmarks that set two passes side by side time each pass in.
#pragma once

#include <time.h>

inline double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
