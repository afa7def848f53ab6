// SDL2 backend: sound output. One device, opened once, plays float stereo; each
// buffer keeps its sound in the file's own format and an SDL_AudioStream that
// converts it to the device's format and rate while it plays. The mixing runs in
// SDL's audio callback, which holds the device lock; every change the main
// thread makes to what the callback reads is made under that same lock.
#include "runtime/platform/plat_audio.h"
#include "runtime/platform/plat_sound_servers.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

struct PlatSoundBuffer {
  PlatWaveFormat format;
  std::vector<uint8_t> samples; // the whole sound, as in the file
  SDL_AudioStream* stream;      // samples on their way to the device's format
  uint32_t position;            // next byte of samples to put into the stream
  uint64_t frames_left;         // device frames still to play from the stream
  float gain;                   // from the attenuation; 0 is silence
  int playing;
  int locked; // being written by the main thread: the callback leaves it alone
};

enum {
  FEED_FRAMES = 1024, // source frames put into a stream at a time
  PIECE_FLOATS = 2048 // device samples mixed at a time (1024 stereo frames)
};

struct SdlAudioState {
  SDL_AudioDeviceID device; // 0: closed
  SDL_AudioSpec spec;       // what the device was opened with: float stereo at spec.freq
  // Every live buffer. Changed only under the device lock, read by the callback.
  std::vector<PlatSoundBuffer*> buffers;
  // The callback's scratch space; only the audio thread touches it.
  float piece[PIECE_FLOATS];
  int32_t widened[FEED_FRAMES * 2];
  // Silence to feed after a sound's end: the widest frame is 8 bytes.
  uint8_t silence[FEED_FRAMES * 8];
  uint8_t silence_u8[FEED_FRAMES * 2];
};
// Never destroyed: a process may end with the device open, and SDL's audio thread
// goes on calling the mixer while exit() runs the destructors of statics.
static SdlAudioState& audio = *new SdlAudioState();

static void lock_device() {
  if (audio.device) SDL_LockAudioDevice(audio.device);
}
static void unlock_device() {
  if (audio.device) SDL_UnlockAudioDevice(audio.device);
}

// SDL has no 24-bit sample format, so such sounds reach their stream as 32-bit.
static SDL_AudioFormat stream_format(const PlatWaveFormat* f) {
  if (f->format_tag == 3) return AUDIO_F32LSB;
  switch (f->bits_per_sample) {
  case 8: return AUDIO_U8;
  case 16: return AUDIO_S16LSB;
  default: return AUDIO_S32LSB;
  }
}

// Device frames that the sound from byte onwards lasts.
static uint64_t device_frames(const PlatSoundBuffer* b, uint32_t byte) {
  uint64_t frames = (b->samples.size() - byte) / b->format.block_align;
  return (frames * (uint64_t)audio.spec.freq + b->format.samples_per_sec - 1) /
         b->format.samples_per_sec;
}

// Puts the next piece of the sound into its stream, and silence after its end.
// The silence pushes the sound's tail through the resampler: flushing the stream
// instead loses or garbles the last few hundred frames.
static void feed(PlatSoundBuffer* b) {
  const PlatWaveFormat& f = b->format;
  uint32_t bytes = FEED_FRAMES * f.block_align;
  uint32_t left = (uint32_t)b->samples.size() - b->position;
  const uint8_t* src;
  if (left) {
    bytes = std::min(bytes, left);
    src = b->samples.data() + b->position;
    b->position += bytes;
  } else {
    src = f.format_tag == 1 && f.bits_per_sample == 8 ? audio.silence_u8 : audio.silence;
  }
  if (f.format_tag == 1 && f.bits_per_sample == 24) {
    uint32_t count = bytes / 3;
    for (uint32_t i = 0; i < count; i++, src += 3)
      audio.widened[i] =
          (int32_t)((uint32_t)src[0] << 8 | (uint32_t)src[1] << 16 | (uint32_t)src[2] << 24);
    src = (const uint8_t*)audio.widened;
    bytes = count * 4;
  }
  // A stream that takes no more ends the sound rather than spin.
  if (SDL_AudioStreamPut(b->stream, src, (int)bytes) != 0) b->frames_left = 0;
}

// Adds one playing buffer into out (count floats, two a frame); stops it at its end.
static void mix_buffer(PlatSoundBuffer* b, float* out, int count) {
  int done = 0;
  while (done < count && b->frames_left > 0) {
    int want =
        (int)std::min<uint64_t>({(uint64_t)(count - done), PIECE_FLOATS, b->frames_left * 2});
    int want_bytes = want * (int)sizeof(float);
    while (b->frames_left > 0 && SDL_AudioStreamAvailable(b->stream) < want_bytes) feed(b);
    int got = SDL_AudioStreamGet(b->stream, audio.piece, want_bytes);
    if (got <= 0) break;
    int n = got / (int)sizeof(float);
    for (int i = 0; i < n; i++) out[done + i] += audio.piece[i] * b->gain;
    done += n;
    b->frames_left -= std::min<uint64_t>(b->frames_left, (uint64_t)n / 2);
  }
  if (b->frames_left == 0) b->playing = 0;
}

static void audio_callback(void*, Uint8* stream, int len) {
  float* out = (float*)stream;
  int count = len / (int)sizeof(float);
  std::fill(out, out + count, 0.0f);
  for (PlatSoundBuffer* b : audio.buffers)
    if (b->playing && !b->locked) mix_buffer(b, out, count);
  for (int i = 0; i < count; i++) out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

// Opens the device on the named driver, or on SDL's own choice (null); 0 when
// it cannot be had there.
static int open_on(const char* driver) {
  if (driver) SDL_SetHint(SDL_HINT_AUDIODRIVER, driver);
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
  SDL_AudioSpec want{};
  want.freq = 48000;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = audio_callback;
  // Any rate will do, since every stream converts to it; format and channel count
  // are fixed so the mixing has one shape, and SDL adapts them to the hardware.
  audio.device =
      SDL_OpenAudioDevice(nullptr, 0, &want, &audio.spec, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (!audio.device) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return audio.device != 0;
}

// SDL's own order asks every sound library it knows, and each one that finds no
// device says so on standard error; so only the sound systems the desktop can
// answer on are asked, in its order.
static int open_quietly() {
  if (SDL_getenv("SDL_AUDIODRIVER")) return open_on(nullptr); // the player's choice
  std::vector<std::string> systems = plat_sound_systems();
  if (systems.empty()) return open_on(nullptr);
  for (const std::string& s : systems)
    if (open_on(s.c_str())) return 1;
  return 0;
}

int plat_audio_open() {
  if (audio.device) return 1;
  plat_sound_library_quiet(1);
  int opened = open_quietly();
  plat_sound_library_quiet(0);
  if (!opened) return 0;
  std::fill(std::begin(audio.silence_u8), std::end(audio.silence_u8), 0x80);
  SDL_PauseAudioDevice(audio.device, 0);
  return 1;
}

void plat_audio_close() {
  if (!audio.device) return;
  SDL_CloseAudioDevice(audio.device); // waits for a running callback
  audio.device = 0;
  for (PlatSoundBuffer* b : audio.buffers) b->playing = 0;
  audio.buffers.clear();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

PlatSoundBuffer* plat_sound_buffer_create(const PlatWaveFormat* format, uint32_t bytes) {
  if (!audio.device || !plat_audio_format_playable(format)) return nullptr;
  if (bytes == 0 || bytes % format->block_align) return nullptr;
  PlatSoundBuffer* b = new (std::nothrow) PlatSoundBuffer{*format, {}, nullptr, 0, 0, 1.0f, 0, 0};
  if (!b) return nullptr;
  try {
    b->samples.assign(bytes, format->format_tag == 1 && format->bits_per_sample == 8 ? 0x80 : 0);
  } catch (const std::bad_alloc&) {
    delete b;
    return nullptr;
  }
  b->stream = SDL_NewAudioStream(stream_format(format), (Uint8)format->channels,
                                 (int)format->samples_per_sec, AUDIO_F32SYS, 2, audio.spec.freq);
  if (!b->stream) {
    delete b;
    return nullptr;
  }
  b->frames_left = device_frames(b, 0);
  // Growing the list moves it, so never while the callback walks it.
  int listed = 1;
  lock_device();
  try {
    audio.buffers.push_back(b);
  } catch (const std::bad_alloc&) {
    listed = 0;
  }
  unlock_device();
  if (!listed) {
    SDL_FreeAudioStream(b->stream);
    delete b;
    return nullptr;
  }
  return b;
}

void* plat_sound_buffer_lock(PlatSoundBuffer* b, uint32_t offset, uint32_t bytes) {
  if (offset > b->samples.size() || bytes > b->samples.size() - offset) return nullptr;
  lock_device();
  b->locked = 1;
  unlock_device();
  return b->samples.data() + offset;
}

void plat_sound_buffer_unlock(PlatSoundBuffer* b) {
  lock_device();
  b->locked = 0;
  unlock_device();
}

int plat_sound_buffer_play(PlatSoundBuffer* b) {
  if (!audio.device) return 0;
  lock_device();
  b->playing = 1;
  unlock_device();
  return 1;
}

void plat_sound_buffer_stop(PlatSoundBuffer* b) {
  lock_device();
  b->playing = 0;
  unlock_device();
}

void plat_sound_buffer_set_position(PlatSoundBuffer* b, uint32_t byte) {
  uint32_t size = (uint32_t)b->samples.size();
  if (byte > size) byte = size;
  lock_device();
  b->position = byte - byte % b->format.block_align;
  b->frames_left = device_frames(b, b->position);
  // What the stream still holds came from the old position.
  SDL_AudioStreamClear(b->stream);
  unlock_device();
}

void plat_sound_buffer_set_volume(PlatSoundBuffer* b, int attenuation) {
  attenuation = std::clamp(attenuation, -10000, 0);
  // -10000 is silence outright, not merely -100 dB.
  float gain = attenuation == -10000 ? 0.0f : std::pow(10.0f, (float)attenuation / 2000.0f);
  lock_device();
  b->gain = gain;
  unlock_device();
}

void plat_sound_buffer_release(PlatSoundBuffer* b) {
  if (!b) return;
  lock_device();
  audio.buffers.erase(std::remove(audio.buffers.begin(), audio.buffers.end(), b),
                      audio.buffers.end());
  unlock_device();
  SDL_FreeAudioStream(b->stream);
  delete b;
}
