// Numbered sounds, each loaded whole from a WAV file and played as one voice.
#pragma once

#include <cstddef>

// Opens the sound device; nonzero on success, 0 when there is none.
int sound_init();
// Loads a WAV file under a number (0 up), replacing the sound there only on
// success; 0 when the file is missing, not a WAV the device can play, or damaged.
int sound_load(int n, const char* path);
// The same for a WAV file's bytes held in memory; 0 as for sound_load.
int sound_load_memory(int n, const void* image, size_t size);
// Nonzero when a sound is loaded under n.
int sound_is_valid(int n);
// Plays sound n once from its start, cutting off its earlier playback; 0 when
// there is no sound n or it could not start.
int sound_play(int n);
// Sets sound n's volume in percent (clamped to 0-100) on the built-in curve; 0
// when there is no sound n.
int sound_set_volume(int n, int percent);
// Releases sound n.
void sound_free(int n);
// Mutes every sound (1), loaded now or later, or gives each its volume back (0).
// Muted sounds play silently, and their volumes are kept for the unmuting.
void sound_mute(int muted);
// 1 while muted.
int sound_muted();
// Frees every sound and closes the device; the module is then as at start.
void sound_shutdown();

// The attenuation in hundredths of a decibel that a volume in percent sets (after
// sound_init; the percent is clamped to 0-100).
int sound_volume_attenuation(int percent);
