// What the processor offers beyond the x86-64 baseline the build targets; kernels that use more
// ask here first and keep a baseline path.
#pragma once

// AVX2, with the operating system saving its registers.
inline bool HasAvx2() {
  static const bool kAvailable = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return kAvailable;
}
