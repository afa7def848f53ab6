#include "runtime/core/clock_random.h"

#include "runtime/platform/plat_core.h"

// Two rotating lagged-sum tables; indices start 10 apart and move together.
struct RandomState {
  uint32_t table_a[17];
  uint32_t table_b[17];
  int index_i, index_j;
  int seeded;
};
static RandomState rng;

uint32_t clock_ms() { return plat_ticks_ms(); }

void delay_ms(uint32_t ms) { plat_sleep_ms(ms); }

static uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

static uint32_t random_draw() {
  int i = rng.index_i, j = rng.index_j;
  uint32_t new_a = rotr(rng.table_b[i], 13) + rng.table_b[j];
  uint32_t new_b = rotr(rng.table_a[i], 5) + rng.table_a[j];
  rng.table_a[i] = new_a;
  rng.table_b[i] = new_b;
  rng.index_i = i == 0 ? 16 : i - 1;
  rng.index_j = j == 0 ? 16 : j - 1;
  return new_a;
}

void random_seed(uint32_t seed) {
  rng.seeded = 1;
  uint32_t x = seed;
  for (int k = 0; k < 17; k++) {
    x = 1u - x * 0x53A9B4FBu;
    rng.table_b[k] = x;
    x = 1u - x * 0x53A9B4FBu;
    rng.table_a[k] = x;
  }
  rng.index_i = 0;
  rng.index_j = 10;
  for (int k = 0; k < 31; k++) random_draw();
}

int random_int(int max) {
  if (!rng.seeded) random_seed(plat_thread_id() ^ clock_ms());
  uint32_t n = (uint32_t)max + 1u;
  uint32_t r = random_draw();
  if (n == 0) return (int)r;
  return (int)(((uint64_t)r * n) >> 32);
}
