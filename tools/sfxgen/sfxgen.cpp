// sfxgen: a small synthesiser that makes the game's sounds from a recipe file.
//   sfxgen <recipes> <hear folder>
//
// A recipe is a few tones mixed into one mono PCM WAV file:
//   sound NAME bits=8|16 [rate=22050] [gain=0.85]
//   tone wave=square|saw|sine|triangle|noise at=S len=S from=HZ|NOTE [to=HZ|NOTE]
//        [curve=exp|lin] [vol=1] [attack=S] [decay=S] [sustain=0..1] [release=S]
//        [duty=0.5] [vib=SEMITONES] [vibrate=HZ] [vibdelay=S] [lp=HZ]
//   end
// A tone sounds from "at" for "len" seconds plus its release; its pitch slides
// from "from" to "to" over "len". For noise the pitch is the rate at which a new
// random level is drawn, so low pitches rumble and high ones hiss. The mix is
// scaled so that its loudest sample is "gain" of full scale.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double TAU = 2 * std::numbers::pi;

struct Tone {
  std::string wave = "square";
  double at = 0, len = 0.1, from = 440, to = -1;
  bool exp_curve = true;
  double vol = 1, attack = 0.005, decay = 0, sustain = 1, release = 0.02;
  double duty = 0.5, vib = 0, vibrate = 6, vibdelay = 0, lp = 0;
};

struct Sound {
  std::string name;
  int bits = 16, rate = 22050;
  double gain = 0.85;
  std::vector<Tone> tones;
};

// "A4" is 440 Hz; "C#5", "Bb3" and plain numbers are understood too.
bool parse_pitch(const std::string& text, double& hz) {
  static const std::map<char, int> steps = {{'C', -9}, {'D', -7}, {'E', -5}, {'F', -4},
                                            {'G', -2}, {'A', 0},  {'B', 2}};
  auto it = steps.find(text.empty() ? 0 : text[0]);
  if (it == steps.end()) {
    char* end = nullptr;
    hz = strtod(text.c_str(), &end);
    return end && *end == 0 && hz > 0;
  }
  size_t i = 1;
  int semis = it->second;
  if (i < text.size() && text[i] == '#')
    semis++, i++;
  else if (i < text.size() && text[i] == 'b')
    semis--, i++;
  if (i + 1 != text.size() || text[i] < '0' || text[i] > '8') return false;
  semis += (text[i] - '4') * 12;
  hz = 440.0 * std::pow(2.0, semis / 12.0);
  return true;
}

bool set_field(Tone& t, const std::string& key, const std::string& value) {
  if (key == "wave") {
    t.wave = value;
    return value == "square" || value == "saw" || value == "sine" || value == "triangle" ||
           value == "noise";
  }
  if (key == "from") return parse_pitch(value, t.from);
  if (key == "to") return parse_pitch(value, t.to);
  if (key == "curve") {
    t.exp_curve = value == "exp";
    return value == "exp" || value == "lin";
  }
  std::map<std::string, double*> numbers = {
      {"at", &t.at},           {"len", &t.len},           {"vol", &t.vol},
      {"attack", &t.attack},   {"decay", &t.decay},       {"sustain", &t.sustain},
      {"release", &t.release}, {"duty", &t.duty},         {"vib", &t.vib},
      {"vibrate", &t.vibrate}, {"vibdelay", &t.vibdelay}, {"lp", &t.lp}};
  auto it = numbers.find(key);
  if (it == numbers.end()) return false;
  char* end = nullptr;
  *it->second = strtod(value.c_str(), &end);
  return end && *end == 0 && *it->second >= 0 && *it->second < 100000;
}

bool read_recipes(const char* path, std::vector<Sound>& out) {
  std::ifstream in(path);
  if (!in) return fprintf(stderr, "sfxgen: cannot open %s\n", path), false;
  std::string line;
  Sound* cur = nullptr;
  for (int n = 1; std::getline(in, line); n++) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word[0] == '#') continue;
    auto fail = [&](const std::string& why) {
      fprintf(stderr, "sfxgen: %s:%d: %s\n", path, n, why.c_str());
      return false;
    };
    if (word == "sound") {
      out.emplace_back();
      cur = &out.back();
      if (!(words >> cur->name)) return fail("sound NAME");
    } else if (word == "end") {
      if (!cur || cur->tones.empty()) return fail("end without tones");
      cur = nullptr;
      continue;
    } else if (word == "tone") {
      if (!cur) return fail("tone outside a sound");
      cur->tones.emplace_back();
    } else
      return fail("unknown line");
    std::string pair;
    while (words >> pair) {
      size_t eq = pair.find('=');
      if (eq == std::string::npos) return fail("expected key=value: " + pair);
      std::string key = pair.substr(0, eq), value = pair.substr(eq + 1);
      if (word == "sound") {
        if (key == "bits")
          cur->bits = atoi(value.c_str());
        else if (key == "rate")
          cur->rate = atoi(value.c_str());
        else if (key == "gain")
          cur->gain = atof(value.c_str());
        else
          return fail("unknown key " + key);
        if ((cur->bits != 8 && cur->bits != 16) || cur->rate < 8000 || cur->rate > 48000 ||
            cur->gain <= 0 || cur->gain > 1)
          return fail("bits 8 or 16, rate 8000-48000, gain up to 1");
      } else if (!set_field(cur->tones.back(), key, value))
        return fail("bad " + pair);
    }
  }
  if (cur) return fprintf(stderr, "sfxgen: %s: missing end\n", path), false;
  return true;
}

// Attack up to 1, decay to the sustain level, held until len.
double held_level(const Tone& t, double time) {
  if (time < t.attack) return time / t.attack;
  double d = time - t.attack;
  return d < t.decay ? 1 - (1 - t.sustain) * d / t.decay : t.sustain;
}

double envelope(const Tone& t, double time) {
  if (time < t.len) return held_level(t, time);
  double r = time - t.len;
  return r >= t.release ? 0 : held_level(t, t.len) * (1 - r / t.release);
}

void render(const Tone& t, int rate, uint32_t seed, std::vector<double>& mix) {
  size_t start = (size_t)(t.at * rate), count = (size_t)((t.len + t.release) * rate);
  if (mix.size() < start + count) mix.resize(start + count, 0.0);
  double to = t.to > 0 ? t.to : t.from, phase = 0, level = 0, filtered = 0;
  uint32_t rng = seed * 2654435761u + 1;
  for (size_t i = 0; i < count; i++) {
    double time = (double)i / rate, k = std::min(time / t.len, 1.0);
    double hz = t.exp_curve ? t.from * std::pow(to / t.from, k) : t.from + (to - t.from) * k;
    if (t.vib > 0 && time >= t.vibdelay)
      hz *= std::pow(2.0, t.vib / 12.0 * std::sin(TAU * t.vibrate * (time - t.vibdelay)));
    double before = phase;
    phase += hz / rate;
    phase -= std::floor(phase);
    double v = 0;
    if (t.wave == "square")
      v = phase < t.duty ? 1 : -1;
    else if (t.wave == "saw")
      v = 2 * phase - 1;
    else if (t.wave == "sine")
      v = std::sin(TAU * phase);
    else if (t.wave == "triangle")
      v = 4 * std::fabs(phase - 0.5) - 1;
    else {
      if (phase < before || i == 0) { // a new random level each cycle
        rng ^= rng << 13;
        rng ^= rng >> 17;
        rng ^= rng << 5;
        level = (rng & 0xFFFF) / 32767.5 - 1;
      }
      v = level;
    }
    if (t.lp > 0) {
      double a = 1 - std::exp(-TAU * t.lp / rate);
      filtered += a * (v - filtered);
      v = filtered;
    }
    mix[start + i] += v * t.vol * envelope(t, time);
  }
}

bool write_wav(const Sound& s, const std::vector<double>& mix, const std::string& path) {
  double peak = 0;
  for (double v : mix) peak = std::max(peak, std::fabs(v));
  double scale = peak > 0 ? s.gain / peak : 0;
  std::vector<uint8_t> data;
  for (double v : mix) {
    double x = v * scale;
    if (s.bits == 8)
      data.push_back((uint8_t)std::lround(128 + x * 127));
    else {
      int16_t q = (int16_t)std::lround(x * 32767);
      data.push_back((uint8_t)(q & 0xFF));
      data.push_back((uint8_t)((uint16_t)q >> 8));
    }
  }
  if (data.size() % 2) data.push_back(s.bits == 8 ? 128 : 0); // chunks stay even
  auto u32 = [](std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back((uint8_t)(v >> (8 * i)));
  };
  auto u16 = [](std::vector<uint8_t>& b, uint16_t v) {
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
  };
  std::vector<uint8_t> file;
  int block = s.bits / 8;
  file.insert(file.end(), {'R', 'I', 'F', 'F'});
  u32(file, (uint32_t)(36 + data.size()));
  file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  u32(file, 16);
  u16(file, 1); // PCM
  u16(file, 1); // mono
  u32(file, (uint32_t)s.rate);
  u32(file, (uint32_t)(s.rate * block));
  u16(file, (uint16_t)block);
  u16(file, (uint16_t)s.bits);
  file.insert(file.end(), {'d', 'a', 't', 'a'});
  u32(file, (uint32_t)data.size());
  file.insert(file.end(), data.begin(), data.end());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write((const char*)file.data(), (std::streamsize)file.size());
  return out.good();
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: sfxgen <recipes> <hear folder>\n");
    return 2;
  }
  std::vector<Sound> sounds;
  if (!read_recipes(argv[1], sounds)) return 1;
  for (const Sound& s : sounds) {
    std::vector<double> mix;
    for (size_t i = 0; i < s.tones.size(); i++) render(s.tones[i], s.rate, (uint32_t)i + 1, mix);
    std::string path = std::string(argv[2]) + "/" + s.name + ".wav";
    if (!write_wav(s, mix, path)) {
      fprintf(stderr, "sfxgen: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
