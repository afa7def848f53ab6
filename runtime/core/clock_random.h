// The millisecond clock, the frame delay and the runtime's random generator.
#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start (the monotonic clock), wrapping after 2^32.
uint32_t clock_ms();
// Sleeps for ms milliseconds (1 ms resolution needs no set-up on this platform).
void delay_ms(uint32_t ms);
// A uniform integer from 0 to max inclusive; max -1 gives the generator's whole 32-bit word.
int random_int(int max);
// Sets the generator's whole state from seed; the first random_int seeds it itself otherwise.
void random_seed(uint32_t seed);
