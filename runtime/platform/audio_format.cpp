// The formats every backend accepts for sound buffers.
#include "runtime/platform/plat_audio.h"

int plat_audio_format_playable(const PlatWaveFormat* f) {
  if (!f || f->channels < 1 || f->channels > 2) return 0;
  if (f->samples_per_sec < 1000 || f->samples_per_sec > 384000) return 0;
  bool pcm = f->format_tag == 1 && (f->bits_per_sample == 8 || f->bits_per_sample == 16 ||
                                    f->bits_per_sample == 24 || f->bits_per_sample == 32);
  bool fp = f->format_tag == 3 && f->bits_per_sample == 32;
  if (!pcm && !fp) return 0;
  return f->block_align == f->channels * f->bits_per_sample / 8;
}
