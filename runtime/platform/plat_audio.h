// The sound device: one output, and buffers that each hold one sound's samples in
// the file's own format and play them once, like static hardware voices.
#pragma once

#include <cstdint>

// The format block of a WAV file's "fmt " chunk, as stored there.
struct PlatWaveFormat {
  uint16_t format_tag; // 1 PCM, 3 IEEE float (an extensible header comes as the one it names)
  uint16_t channels;
  uint32_t samples_per_sec;
  uint32_t avg_bytes_per_sec;
  uint16_t block_align;
  uint16_t bits_per_sample;
};

struct PlatSoundBuffer;

// Opens the default output device; 0 when there is none. Again after success: 1.
int plat_audio_open();
// Stops every buffer and closes the device.
void plat_audio_close();
// 1 when the device can play samples in this format (PCM 8/16/24/32 bits or
// 32-bit float, one or two channels, a common rate).
int plat_audio_format_playable(const PlatWaveFormat* format);
// A silent, stopped buffer of bytes bytes at full volume; null when the format is
// refused, bytes is 0 or not a whole number of frames, or memory runs out.
PlatSoundBuffer* plat_sound_buffer_create(const PlatWaveFormat* format, uint32_t bytes);
// The buffer's samples for writing from offset; null when the range is outside it.
void* plat_sound_buffer_lock(PlatSoundBuffer* buffer, uint32_t offset, uint32_t bytes);
void plat_sound_buffer_unlock(PlatSoundBuffer* buffer);
// Plays once from the current position to the end; 0 on failure.
int plat_sound_buffer_play(PlatSoundBuffer* buffer);
void plat_sound_buffer_stop(PlatSoundBuffer* buffer);
// Moves the play position to a byte offset (rounded down to a whole frame).
void plat_sound_buffer_set_position(PlatSoundBuffer* buffer, uint32_t byte);
// Attenuation in hundredths of a decibel, 0 (full) to -10000 (silence).
void plat_sound_buffer_set_volume(PlatSoundBuffer* buffer, int attenuation);
void plat_sound_buffer_release(PlatSoundBuffer* buffer);
