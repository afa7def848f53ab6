// Builds small WAV files in memory for the sound tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct WavFormat {
  uint16_t tag = 1; // 1 PCM, 3 float, 0xFFFE extensible
  uint16_t channels = 1;
  uint32_t rate = 48000;
  uint16_t bits = 16;
  uint16_t block_align = 0; // 0: channels * bits / 8
};

inline void put_u16(Bytes& b, uint32_t v) {
  b.push_back((uint8_t)v);
  b.push_back((uint8_t)(v >> 8));
}
inline void put_u32(Bytes& b, uint32_t v) {
  put_u16(b, v & 0xFFFF);
  put_u16(b, v >> 16);
}

// A chunk: its name, its stated size (by default the body's) and its body.
inline Bytes chunk(const char* id, const Bytes& body, int64_t stated = -1) {
  Bytes b(id, id + 4);
  put_u32(b, stated < 0 ? (uint32_t)body.size() : (uint32_t)stated);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// The body of a "fmt " chunk; extensible_sub gives a 40-byte extensible block
// whose GUID names that format.
inline Bytes fmt_body(const WavFormat& f, int extensible_sub = -1) {
  uint16_t align = f.block_align ? f.block_align : (uint16_t)(f.channels * f.bits / 8);
  Bytes b;
  put_u16(b, extensible_sub >= 0 ? 0xFFFE : f.tag);
  put_u16(b, f.channels);
  put_u32(b, f.rate);
  put_u32(b, f.rate * align);
  put_u16(b, align);
  put_u16(b, f.bits);
  if (extensible_sub >= 0) {
    put_u16(b, 22);
    put_u16(b, f.bits);
    put_u32(b, f.channels == 2 ? 3 : 4);
    put_u16(b, (uint32_t)extensible_sub);
    const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    b.insert(b.end(), tail, tail + 14);
  }
  return b;
}

// "RIFF", its size, "WAVE", then the chunks in order.
inline Bytes riff(const std::vector<Bytes>& chunks) {
  Bytes body{'W', 'A', 'V', 'E'};
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return chunk("RIFF", body);
}

inline Bytes wav(const WavFormat& f, const Bytes& samples) {
  return riff({chunk("fmt ", fmt_body(f)), chunk("data", samples)});
}

inline Bytes pcm16(const std::vector<int16_t>& v) {
  Bytes b;
  for (int16_t s : v) put_u16(b, (uint16_t)s);
  return b;
}

// A 16-bit mono ramp 1000, 1001, ..., 32767, -32768, ...: every sample distinct
// and nonzero for up to 64535 frames.
inline std::vector<int16_t> ramp(int frames) {
  std::vector<int16_t> v(frames);
  for (int i = 0; i < frames; i++) v[i] = (int16_t)(1000 + i);
  return v;
}

// A tone of amplitude 0..1 as floats; a cosine, so its first sample is its peak.
inline std::vector<float> tone(int frames, double hz, double rate, double amplitude) {
  std::vector<float> v(frames);
  for (int i = 0; i < frames; i++)
    v[i] = (float)(amplitude * std::cos(2 * std::numbers::pi * hz * i / rate));
  return v;
}
