#pragma once
// A broken promise stops a fuzz run with the file and line that name it.

#include <cstdio>
#include <cstdlib>

inline void Require(bool condition, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "%s:%d: requirement failed\n", file, line);
  std::abort();
}
