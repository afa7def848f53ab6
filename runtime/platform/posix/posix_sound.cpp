// Linux: the sound servers found by their sockets, and ALSA's error printer
// swapped for a silent one while a device is sought. ALSA is loaded here only
// if it is installed (the sound library loads it the same way), so the game
// needs it no more than before.
#include "runtime/platform/plat_sound_servers.h"

#include <cstdlib>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

struct SoundSystemsState {
  void* alsa; // libasound, held while its messages are held back; null otherwise
};
static SoundSystemsState sound_systems;

static std::string env(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

static bool is_socket(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// PipeWire's socket: PIPEWIRE_REMOTE (a name, or a path) in the first of its
// runtime folders that is set.
static bool pipewire_runs() {
  std::string remote = env("PIPEWIRE_REMOTE");
  if (remote.empty()) remote = "pipewire-0";
  if (remote[0] == '/') return is_socket(remote);
  for (const char* folder : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR", "USERPROFILE"})
    if (!env(folder).empty()) return is_socket(env(folder) + "/" + remote);
  return false;
}

// PulseAudio's server: named in PULSE_SERVER, or the user's socket, or the
// system-wide one. A runtime folder that is another user's (a root shell that
// kept a user's XDG_RUNTIME_DIR) makes the library complain whatever it finds.
static bool pulseaudio_runs() {
  if (!env("PULSE_SERVER").empty()) return true;
  std::string folder = env("XDG_RUNTIME_DIR");
  if (!folder.empty()) {
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || st.st_uid != geteuid()) return false;
    if (is_socket(folder + "/pulse/native")) return true;
  }
  return is_socket("/run/pulse/native") || is_socket("/var/run/pulse/native");
}

std::vector<std::string> plat_sound_systems() {
  std::vector<std::string> systems;
  if (pipewire_runs()) systems.push_back("pipewire");
  if (pulseaudio_runs()) systems.push_back("pulseaudio");
  systems.push_back("alsa");
  // The rare rest: sndio's server (its library prints when there is none), and
  // the old kernel interface's device.
  struct stat st;
  if (!env("AUDIODEVICE").empty() || stat("/tmp/sndio", &st) == 0) systems.push_back("sndio");
  if (stat("/dev/dsp", &st) == 0) systems.push_back("dsp");
  return systems;
}

using AlsaErrorPrinter = void (*)(const char* file, int line, const char* function, int err,
                                  const char* format, ...);
using AlsaSetErrorPrinter = int (*)(AlsaErrorPrinter printer);

static void alsa_silent(const char*, int, const char*, int, const char*, ...) {}

void plat_sound_library_quiet(int quiet) {
  if (quiet == (sound_systems.alsa != nullptr)) return;
  if (quiet) sound_systems.alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
  if (!sound_systems.alsa) return;
  auto set = (AlsaSetErrorPrinter)dlsym(sound_systems.alsa, "snd_lib_error_set_handler");
  // Null gives ALSA its own printer back.
  if (set) set(quiet ? alsa_silent : nullptr);
  if (!quiet) {
    dlclose(sound_systems.alsa);
    sound_systems.alsa = nullptr;
  }
}

// The desktop starts with sound unless told otherwise (--mute).
void plat_sound_muted(int) {}
