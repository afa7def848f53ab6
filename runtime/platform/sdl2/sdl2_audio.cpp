// SDL2 backend: sound output. Until the mixer lands there is no device, and the
// game runs silently, as it does on a machine without a sound card.
// TODO: open SDL audio and mix the buffers in its callback.
#include "runtime/platform/plat_audio.h"

int plat_audio_open() { return 0; }
void plat_audio_close() {}
PlatSoundBuffer* plat_sound_buffer_create(const PlatWaveFormat*, uint32_t) { return nullptr; }
void* plat_sound_buffer_lock(PlatSoundBuffer*, uint32_t, uint32_t) { return nullptr; }
void plat_sound_buffer_unlock(PlatSoundBuffer*) {}
int plat_sound_buffer_play(PlatSoundBuffer*) { return 0; }
void plat_sound_buffer_stop(PlatSoundBuffer*) {}
void plat_sound_buffer_set_position(PlatSoundBuffer*, uint32_t) {}
void plat_sound_buffer_set_volume(PlatSoundBuffer*, int) {}
void plat_sound_buffer_release(PlatSoundBuffer*) {}
