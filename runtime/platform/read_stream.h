// Reading a whole file through a stream that a system's file layer opened; the
// same steps for every system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// Reads the size bytes of the open file f into *out once it is seen to start
// with signature (any start when null), and closes f. Returns 0, with *out
// empty, when the start differs or a read falls short.
int read_stream_whole(FILE* f, uint64_t size, const char* signature, std::vector<uint8_t>* out);
