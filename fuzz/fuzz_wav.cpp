// The WAV reader over arbitrary bytes, on the null backend's silent device: any
// input loads or fails without reading outside it, and what loads can be played.
#include "runtime/input_sound/sound.h"
#include "runtime/platform/null/null_platform.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int ready = (null_audio_present(1), sound_init());
  if (!ready) return 0;
  if (sound_load_memory(0, data, size)) {
    sound_set_volume(0, 50);
    sound_play(0);
    sound_free(0);
  }
  return 0;
}
