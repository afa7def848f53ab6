// The desktop's sound systems, for a backend that chooses among several: a sound
// library asked for a device where none is to be had prints its complaints on
// standard error, so only the systems that can answer are asked.
#pragma once

#include <string>
#include <vector>

// Every sound system worth asking for a device, in the order the desktop would
// use them, by the names the common libraries know them by ("pipewire",
// "pulseaudio", "alsa", "sndio", "dsp"): a sound server only when it runs for
// this user. Empty when the backend's own order will do.
std::vector<std::string> plat_sound_systems();
// quiet 1: the messages the system's sound library prints on its own (ALSA's
// errors) go nowhere until quiet 0 gives them back.
void plat_sound_library_quiet(int quiet);
