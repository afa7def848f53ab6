// The system's side of sound: the desktop's sound systems, for a backend that
// chooses among several (a sound library asked for a device where none is to
// be had prints its complaints on standard error, so only the systems that can
// answer are asked), and where the player's choice of silence is kept.
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
// The player muted (1) or unmuted (0) every sound: the page keeps it for the
// next visit; desktops keep nothing.
void plat_sound_muted(int muted);
