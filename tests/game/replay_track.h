// Recorded input tracks: the keys held over ranges of frames (keyboard reads,
// counted from 0), the random seed, and a hash of the world the track ends in.
//
//   seed 20101221
//   hash 9f3c55e2a1b0d477
//   frames 1900
//   0-119 Right
//   120 Right Space
//
// Frames not listed hold no key.
#pragma once

#include "game/game_state.h"
#include "runtime/input_sound/keyboard.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct TrackKey {
  const char* name;
  int scancode; // -1: not a key; NoFocus puts the game's window in the background
};
inline const TrackKey track_keys[] = {
    {"Up", KEY_UP},     {"Left", KEY_LEFT},     {"Right", KEY_RIGHT},
    {"Down", KEY_DOWN}, {"Space", KEY_SPACE},   {"F1", KEY_F1},
    {"F5", KEY_F5},     {"Escape", KEY_ESCAPE}, {"NoFocus", -1}};

// The keys of one frame, one bit per entry of track_keys.
using KeySet = uint32_t;

struct Track {
  uint32_t seed = 0;
  uint64_t hash = 0;
  std::vector<KeySet> frames; // keys held in frame i, for every frame of the run
  KeySet at(uint32_t frame) const { return frame < frames.size() ? frames[frame] : 0; }
};

inline bool track_has(const Track& t, uint32_t frame, const char* name) {
  for (size_t i = 0; i < std::size(track_keys); i++)
    if (!std::strcmp(track_keys[i].name, name)) return t.at(frame) & (1u << i);
  return false;
}

// Sets the keys of a frame in a keyboard snapshot.
inline void track_fill(const Track& t, uint32_t frame, uint8_t snapshot[256]) {
  KeySet keys = t.at(frame);
  for (size_t i = 0; i < std::size(track_keys); i++)
    if (keys & (1u << i) && track_keys[i].scancode >= 0) snapshot[track_keys[i].scancode] = 0x80;
}

// Reads a track; false when the file is missing or a line cannot be read.
inline bool track_load(const std::string& path, Track* t) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first == "seed") {
      words >> t->seed;
    } else if (first == "hash") {
      words >> std::hex >> t->hash;
    } else if (first == "frames") {
      unsigned n = 0;
      if (!(words >> n) || n > 1000000) return false;
      if (t->frames.size() < n) t->frames.resize(n);
    } else {
      unsigned from = 0, to = 0;
      char dash = 0;
      std::istringstream range(first);
      range >> from;
      if (!(range >> dash))
        to = from;
      else if (dash != '-' || !(range >> to) || to < from || to > 1000000)
        return false;
      KeySet keys = 0;
      for (std::string name; words >> name;) {
        size_t i = 0;
        while (i < std::size(track_keys) && name != track_keys[i].name) i++;
        if (i == std::size(track_keys)) return false;
        keys |= 1u << i;
      }
      if (t->frames.size() <= to) t->frames.resize(to + 1);
      for (unsigned f = from; f <= to; f++) t->frames[f] = keys;
    }
  }
  return true;
}

inline bool track_save(const std::string& path, const Track& t, const std::string& comment) {
  std::ofstream out(path);
  out << comment << "seed " << t.seed << "\n";
  out << "hash " << std::hex << t.hash << std::dec << "\n";
  out << "frames " << t.frames.size() << "\n";
  for (size_t f = 0; f < t.frames.size();) {
    size_t end = f;
    while (end + 1 < t.frames.size() && t.frames[end + 1] == t.frames[f]) end++;
    if (t.frames[f]) {
      out << f;
      if (end > f) out << "-" << end;
      for (size_t i = 0; i < std::size(track_keys); i++)
        if (t.frames[f] & (1u << i)) out << " " << track_keys[i].name;
      out << "\n";
    }
    f = end + 1;
  }
  return (bool)out;
}

// FNV-1a over what the rules decide: progress, the ending, the camera, and
// every entity's place, motion and condition. Sprite handles are left out
// (only whether a still picture is shown counts), so the hash does not
// depend on how the display numbers its sprites.
inline uint64_t world_hash() {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](const void* p, size_t n) {
    for (size_t i = 0; i < n; i++) h = (h ^ ((const uint8_t*)p)[i]) * 1099511628211ull;
  };
  auto num = [&mix](int v) { mix(&v, sizeof v); };
  auto real = [&mix](float v) { mix(&v, sizeof v); };
  num(game.progress);
  num(game.ending);
  num(game.shake);
  real(game.camera_x);
  num(game.entities.count);
  num(game.discoveries.count);
  for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e)) {
    for (float v : {e->x, e->y, e->vx, e->vy, e->phase, e->width, e->height, e->depth}) real(v);
    for (int v : {(int)e->health, (int)e->max_health, (int)e->dead, (int)e->chase_state,
                  (int)e->follow_state, e->attack_timer, (int)e->airborne, (int)e->animated})
      num(v);
    num(e->animated || e->follow_state ? e->sprite : e->sprite != 0);
  }
  return h;
}
