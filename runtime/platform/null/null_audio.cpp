// Null backend: by default no sound device. A test may switch on a silent device
// whose buffers keep their state, to check the sound module's bookkeeping.
#include "runtime/platform/null/null_platform.h"
#include "runtime/platform/plat_audio.h"

#include <new>
#include <vector>

struct PlatSoundBuffer {
  PlatWaveFormat format;
  std::vector<uint8_t> samples;
  uint32_t position;
  int playing;
  int attenuation;
};

namespace {
struct NullAudioState {
  int present = 0;
  int open = 0;
  int plays = 0;
  int buffers = 0;                  // alive now
  std::vector<int> volumes;         // every attenuation set, in order
  std::vector<uint8_t> last_played; // samples of the buffer played last
};
NullAudioState audio;
} // namespace

void null_audio_present(int present) {
  audio = NullAudioState();
  audio.present = present;
}
int null_audio_plays() { return audio.plays; }
int null_audio_buffers() { return audio.buffers; }
const std::vector<int>& null_audio_volumes() { return audio.volumes; }
const std::vector<uint8_t>& null_audio_last_played() { return audio.last_played; }

int plat_audio_open() {
  if (!audio.present) return 0;
  audio.open = 1;
  return 1;
}

void plat_audio_close() { audio.open = 0; }

PlatSoundBuffer* plat_sound_buffer_create(const PlatWaveFormat* format, uint32_t bytes) {
  if (!audio.open || !plat_audio_format_playable(format)) return nullptr;
  if (bytes == 0 || bytes % format->block_align) return nullptr;
  PlatSoundBuffer* b = new (std::nothrow) PlatSoundBuffer{*format, {}, 0, 0, 0};
  if (!b) return nullptr;
  b->samples.assign(bytes, 0);
  audio.buffers++;
  return b;
}

void* plat_sound_buffer_lock(PlatSoundBuffer* b, uint32_t offset, uint32_t bytes) {
  if (offset > b->samples.size() || bytes > b->samples.size() - offset) return nullptr;
  return b->samples.data() + offset;
}

void plat_sound_buffer_unlock(PlatSoundBuffer*) {}

int plat_sound_buffer_play(PlatSoundBuffer* b) {
  b->playing = 1;
  audio.plays++;
  audio.last_played.assign(b->samples.begin() + b->position, b->samples.end());
  return 1;
}

void plat_sound_buffer_stop(PlatSoundBuffer* b) { b->playing = 0; }

void plat_sound_buffer_set_position(PlatSoundBuffer* b, uint32_t byte) {
  if (byte > b->samples.size()) byte = (uint32_t)b->samples.size();
  b->position = byte - byte % b->format.block_align;
}

void plat_sound_buffer_set_volume(PlatSoundBuffer* b, int attenuation) {
  b->attenuation = attenuation;
  audio.volumes.push_back(attenuation);
}

void plat_sound_buffer_release(PlatSoundBuffer* b) {
  if (b) audio.buffers--;
  delete b;
}
