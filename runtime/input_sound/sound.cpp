#include "runtime/input_sound/sound.h"

#include "runtime/display/object_table.h"
#include "runtime/platform/plat_audio.h"
#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_sound_servers.h"

#include <cmath>
#include <cstring>
#include <vector>

struct SoundRecord {
  PlatSoundBuffer* buffer; // null: no sound under this number
  int attenuation;         // as last set, given back when the sound is unmuted
};

struct SoundState {
  ObjectTable table;     // SoundRecords; created by the first sound_init
  int volume_table[101]; // attenuation in hundredths of a decibel per percent
  int init_ran;
  int device_open;
  int muted; // every buffer at silence, whatever its volume
};
static SoundState snd;

int sound_init() {
  if (!snd.init_ran) {
    object_table_create(&snd.table, sizeof(SoundRecord), 64, sound_free);
    snd.volume_table[0] = -10000;
    for (int v = 1; v < 100; v++)
      snd.volume_table[v] = (int)std::trunc(2000.0 * std::log10(1000.0 * v)) - 10000;
    snd.volume_table[100] = 0;
    snd.init_ran = 1;
  }
  if (snd.device_open) return 1;
  snd.device_open = plat_audio_open();
  return snd.device_open;
}

static int clamp_percent(int percent) { return percent < 0 ? 0 : (percent > 100 ? 100 : percent); }

int sound_volume_attenuation(int percent) {
  return snd.init_ran ? snd.volume_table[clamp_percent(percent)] : 0;
}

static uint32_t read_u32(const uint8_t* p) {
  return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
static uint16_t read_u16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }

int sound_load_memory(int n, const void* image, size_t size) {
  if (!snd.device_open || n < 0 || !image) return 0;
  const uint8_t* data = (const uint8_t*)image;
  if (size < 20 || std::memcmp(data, "RIFF", 4) || std::memcmp(data + 12, "fmt ", 4)) return 0;
  uint32_t fmt_size = read_u32(data + 16);
  if (fmt_size < 16 || fmt_size > size - 20) return 0;
  PlatWaveFormat format;
  const uint8_t* f = data + 20;
  format.format_tag = read_u16(f);
  format.channels = read_u16(f + 2);
  format.samples_per_sec = read_u32(f + 4);
  format.avg_bytes_per_sec = read_u32(f + 8);
  format.block_align = read_u16(f + 12);
  format.bits_per_sample = read_u16(f + 14);
  if (!format.channels || !format.block_align || !format.bits_per_sample) return 0;
  // An extensible header names its real format in the first two bytes of a GUID
  // whose other bytes are fixed; samples then fill their container, so the
  // container's width is the one to play.
  static const uint8_t guid_tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  if (format.format_tag == 0xFFFE && fmt_size >= 40 && !std::memcmp(f + 26, guid_tail, 14))
    format.format_tag = read_u16(f + 24);

  // Walk the chunks after "fmt " to "data". A chunk that claims more than the file
  // holds leaves no room for "data" within the file, so the load fails there.
  size_t pos = 20 + (size_t)fmt_size;
  const uint8_t* samples = nullptr;
  uint32_t sample_bytes = 0;
  while (size - pos >= 8) {
    uint32_t chunk = read_u32(data + pos + 4);
    if (chunk > size - pos - 8) return 0;
    if (!std::memcmp(data + pos, "data", 4)) {
      samples = data + pos + 8;
      sample_bytes = chunk;
      break;
    }
    pos += 8 + (size_t)chunk;
    // An odd chunk is followed by a pad byte, which some writers leave out; a
    // chunk name never starts with a zero byte, so skip one only when it is there.
    if ((chunk & 1) && pos < size && data[pos] == 0) pos++;
  }
  if (!samples) return 0;

  PlatSoundBuffer* buffer = plat_sound_buffer_create(&format, sample_bytes);
  if (!buffer) return 0;
  void* dest = plat_sound_buffer_lock(buffer, 0, sample_bytes);
  if (!dest) {
    plat_sound_buffer_release(buffer);
    return 0;
  }
  std::memcpy(dest, samples, sample_bytes);
  // Only now is the old sound under n freed, so a failed load keeps it.
  SoundRecord* r = (SoundRecord*)object_table_allocate(&snd.table, n, nullptr);
  plat_sound_buffer_unlock(buffer);
  if (!r) {
    plat_sound_buffer_release(buffer);
    return 0;
  }
  r->buffer = buffer;
  r->attenuation = 0;
  if (snd.muted) plat_sound_buffer_set_volume(buffer, -10000);
  return 1;
}

int sound_load(int n, const char* path) {
  if (!snd.device_open || n < 0) return 0;
  std::vector<uint8_t> bytes;
  if (!plat_read_file(path, &bytes, PLAT_MAX_FILE_BYTES)) return 0;
  return sound_load_memory(n, bytes.data(), bytes.size());
}

static SoundRecord* sound_lookup(int n) {
  if (!snd.init_ran) return nullptr;
  return (SoundRecord*)object_table_lookup(&snd.table, n);
}

int sound_is_valid(int n) { return sound_lookup(n) != nullptr; }

int sound_play(int n) {
  SoundRecord* r = sound_lookup(n);
  if (!r) return 0;
  plat_sound_buffer_stop(r->buffer);
  plat_sound_buffer_set_position(r->buffer, 0);
  return plat_sound_buffer_play(r->buffer) ? 1 : 0;
}

int sound_set_volume(int n, int percent) {
  SoundRecord* r = sound_lookup(n);
  if (!r) return 0;
  r->attenuation = snd.volume_table[clamp_percent(percent)];
  if (!snd.muted) plat_sound_buffer_set_volume(r->buffer, r->attenuation);
  return 1;
}

void sound_mute(int muted) {
  snd.muted = muted ? 1 : 0;
  plat_sound_muted(snd.muted);
  if (!snd.init_ran) return;
  for (int n : object_table_numbers(&snd.table)) {
    SoundRecord* r = sound_lookup(n);
    plat_sound_buffer_set_volume(r->buffer, snd.muted ? -10000 : r->attenuation);
  }
}

int sound_muted() { return snd.muted; }

void sound_free(int n) {
  SoundRecord* r = sound_lookup(n);
  if (!r) return;
  plat_sound_buffer_release(r->buffer);
  object_table_release(&snd.table, n);
}

void sound_shutdown() {
  snd.muted = 0;
  if (!snd.init_ran) return;
  object_table_destroy(&snd.table);
  if (snd.device_open) plat_audio_close();
  snd.init_ran = 0;
  snd.device_open = 0;
}
