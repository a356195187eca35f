// Where each of GLEW's globals lives and how large it is: the generated table that lets one
// GLEW state be kept per rendering context although GLEW 2 keeps only one process-wide state.
#pragma once
#include <cstddef>

struct GlewStateEntry {
  void* address;
  size_t size;
};

extern const GlewStateEntry kGlewStateEntries[];
extern const size_t kGlewStateEntryCount;
