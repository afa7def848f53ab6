// The keyed copy with 32-byte vectors, where the processor has them (AVX2):
// stores twice as wide as the 16-byte vectors every x86-64 has, which is what
// decides the speed of long runs.
#include "runtime/platform/softgfx/keyed_rows.h"

__attribute__((target("avx2"))) static void copy_32(const KeyedRows* t, uint8_t* dst, size_t pitch,
                                                    int ty, int stop, int tx, int right) {
  keyed_rows_copy<32>(t, dst, pitch, ty, stop, tx, right);
}

// Asked for before the program's constructors may have run: the processor is
// looked at here.
KeyedRowsCopy* keyed_rows_copy_wide() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? copy_32 : nullptr;
}
