// Sounds mixed for real: SDL's disk driver writes what the device plays (float
// stereo at 48000 Hz, as the device is opened) to a file, which the tests read.
#include "runtime/input_sound/sound.h"
#include "tests/sound/wav_image.h"
#include "tests/support/test_files.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// While set, the process waits at the very end of exit(), after the destructors
// of every static: SDL's audio thread then goes on calling the mixer for a while,
// as it may in any process that ends with the device open.
static bool hold_after_destructors = false;
// Registered before any static's destructor, so it runs after all of them.
__attribute__((constructor(101))) static void register_exit_hold() {
  std::atexit([] {
    if (hold_after_destructors) usleep(300000);
  });
}

namespace {

const int rate = 48000;

struct Mixing : ::testing::Test {
  ScratchDir dir;
  std::string out = dir / "out.raw";

  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    ASSERT_EQ(sound_init(), 1);
  }
  void TearDown() override { sound_shutdown(); }

  size_t frames_written() {
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(out, error);
    return error ? 0 : (size_t)(size / 8);
  }
  // The device writes in real time; waits until it has written up to frame `until`.
  void wait_for(size_t until) {
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (frames_written() < until) {
      ASSERT_LT(std::chrono::steady_clock::now(), give_up) << "the device stopped writing";
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  // Plays n and waits until the device has written `frames` frames more, plus
  // enough for its buffers to have passed them on.
  void play_through(int n, size_t frames) {
    size_t from = frames_written();
    ASSERT_EQ(sound_play(n), 1);
    wait_for(from + frames + 6000);
  }
  // Closes the device and returns its output, left and right channels.
  void finish(std::vector<float>* left, std::vector<float>* right) {
    sound_shutdown();
    Bytes raw = read_file(out);
    size_t frames = raw.size() / 8;
    std::vector<float> all(frames * 2);
    std::memcpy(all.data(), raw.data(), frames * 8);
    left->resize(frames);
    right->resize(frames);
    for (size_t i = 0; i < frames; i++) {
      (*left)[i] = all[2 * i];
      (*right)[i] = all[2 * i + 1];
    }
  }
  std::vector<float> finish_mono() {
    std::vector<float> left, right;
    finish(&left, &right);
    EXPECT_EQ(left, right);
    return left;
  }
};

int load(int n, const WavFormat& format, const Bytes& samples) {
  Bytes image = wav(format, samples);
  return sound_load_memory(n, image.data(), image.size());
}

std::vector<int16_t> to16(const std::vector<float>& v) {
  std::vector<int16_t> s;
  for (float x : v) s.push_back((int16_t)std::lround(x * 32767));
  return s;
}

float level16(int16_t s) { return s / 32768.0f; }

size_t first_sound(const std::vector<float>& x, size_t from = 0) {
  while (from < x.size() && x[from] == 0.0f) from++;
  return from;
}

// Stretches of sound separated by at least gap frames of silence.
std::vector<std::pair<size_t, size_t>> stretches(const std::vector<float>& x, size_t gap) {
  std::vector<std::pair<size_t, size_t>> found;
  size_t quiet = gap;
  for (size_t i = 0; i < x.size(); i++) {
    if (x[i] == 0.0f) {
      quiet++;
      continue;
    }
    if (quiet >= gap) found.push_back({i, i});
    found.back().second = i + 1;
    quiet = 0;
  }
  return found;
}

TEST_F(Mixing, PlayedToneComesOutSampleForSample) {
  std::vector<int16_t> mono = to16(tone(9600, 440, rate, 0.5));
  ASSERT_TRUE(load(0, {}, pcm16(mono)));
  // A stereo sound keeps its channels apart.
  std::vector<int16_t> left = to16(tone(4800, 440, rate, 0.4)),
                       right = to16(tone(4800, 660, rate, 0.3));
  std::vector<int16_t> both;
  for (size_t i = 0; i < left.size(); i++) both.insert(both.end(), {left[i], right[i]});
  ASSERT_TRUE(load(1, {1, 2, rate, 16}, pcm16(both)));
  play_through(0, mono.size());
  play_through(1, left.size());

  std::vector<float> l, r;
  finish(&l, &r);
  size_t s = first_sound(l);
  ASSERT_LT(s + mono.size(), l.size());
  for (size_t i = 0; i < mono.size(); i++) {
    ASSERT_EQ(l[s + i], level16(mono[i])) << i;
    ASSERT_EQ(r[s + i], level16(mono[i])) << i;
  }
  size_t t = first_sound(l, s + mono.size());
  ASSERT_LT(t + left.size(), l.size());
  for (size_t i = 0; i < left.size(); i++) {
    ASSERT_EQ(l[t + i], level16(left[i])) << i;
    ASSERT_EQ(r[t + i], level16(right[i])) << i;
  }
  EXPECT_EQ(first_sound(l, t + left.size()), l.size()) << "silence after the sounds";
}

// Sounds loaded while another plays: the list of sounds the mixing walks grows
// under the device's lock only, and the playing sound comes out whole.
TEST_F(Mixing, SoundsLoadedDuringPlayLeaveItAlone) {
  const int frames = 48000;
  std::vector<int16_t> in = ramp(frames);
  ASSERT_TRUE(load(0, {}, pcm16(in)));
  Bytes tiny = wav({}, pcm16(std::vector<int16_t>(64, 1000)));
  size_t from = frames_written();
  ASSERT_EQ(sound_play(0), 1);
  for (int n = 1; n <= 8000; n++) ASSERT_TRUE(sound_load_memory(n, tiny.data(), tiny.size())) << n;
  wait_for(from + frames + 6000);
  std::vector<float> out = finish_mono();
  size_t s = first_sound(out);
  ASSERT_LT(s + frames, out.size());
  for (int i = 0; i < frames; i++) ASSERT_EQ(out[s + i], level16(in[i])) << i;
}

TEST_F(Mixing, PlayingAgainRestartsFromTheFirstSample) {
  // Long enough that the first playback is still under way at the second
  // start even when this thread stalls for a second on a loaded machine.
  const int frames = 60000;
  std::vector<int16_t> in = ramp(frames);
  ASSERT_TRUE(load(5, {}, pcm16(in)));
  size_t from = frames_written();
  ASSERT_EQ(sound_play(5), 1);
  wait_for(from + frames / 10);
  play_through(5, frames);

  std::vector<float> out = finish_mono();
  size_t s = first_sound(out);
  size_t k = 0;
  while (s + k < out.size() && k < (size_t)frames && out[s + k] == level16(in[k])) k++;
  ASSERT_GT(k, 0u);
  ASSERT_LT(k, (size_t)frames) << "the first playback was not cut off";
  // Between the two there may be a moment of silence, never a mix of both.
  size_t t = first_sound(out, s + k);
  EXPECT_LE(t - (s + k), 2048u);
  ASSERT_LE(t + frames, out.size());
  for (int i = 0; i < frames; i++) ASSERT_EQ(out[t + i], level16(in[i])) << i;
  EXPECT_EQ(first_sound(out, t + frames), out.size());
}

TEST_F(Mixing, TwoNumbersPlayTogether) {
  const int frames = 9600;
  ASSERT_TRUE(load(1, {}, pcm16(std::vector<int16_t>(frames, 8192))));
  ASSERT_TRUE(load(2, {}, pcm16(std::vector<int16_t>(frames, 4096))));
  size_t from = frames_written();
  ASSERT_EQ(sound_play(1), 1);
  ASSERT_EQ(sound_play(2), 1);
  wait_for(from + frames + 6000);

  std::vector<float> out = finish_mono();
  double sum = 0;
  size_t together = 0;
  for (float x : out) {
    sum += x;
    together += x == 0.375f;
    ASSERT_LE(x, 0.375f);
  }
  EXPECT_EQ(sum, frames * 0.375); // each played whole, once
  EXPECT_GT(together, (size_t)frames / 2);
}

TEST_F(Mixing, VolumeFollowsTheCurve) {
  const int frames = 4800;
  ASSERT_TRUE(load(3, {}, pcm16(std::vector<int16_t>(frames, 16384))));
  ASSERT_EQ(sound_set_volume(3, 50), 1);
  play_through(3, frames);
  ASSERT_EQ(sound_set_volume(3, 0), 1);
  play_through(3, frames);
  ASSERT_EQ(sound_set_volume(3, 150), 1);
  play_through(3, frames);

  std::vector<float> out = finish_mono();
  auto found = stretches(out, 100);
  ASSERT_EQ(found.size(), 2u) << "volume 0 is silent";
  for (auto [begin, end] : found) EXPECT_EQ(end - begin, (size_t)frames);
  float half = out[found[0].first];
  EXPECT_NEAR(20 * std::log10(half / 0.5), -6.03, 0.002);
  EXPECT_EQ(out[found[1].first], 0.5f) << "150 acts as 100";
  for (auto [begin, end] : found)
    for (size_t i = begin; i < end; i++) ASSERT_EQ(out[i], out[begin]) << i;
}

// Encodes a tone in a sample format; v is in -1..1.
Bytes encode(const std::vector<float>& v, const WavFormat& f) {
  Bytes b;
  for (float x : v)
    for (int c = 0; c < f.channels; c++) {
      if (f.tag == 3) {
        uint32_t u;
        std::memcpy(&u, &x, 4);
        put_u32(b, u);
      } else if (f.bits == 8) {
        b.push_back((uint8_t)(128 + std::lround(x * 127)));
      } else {
        int64_t s = std::llround(x * (double)((1ll << (f.bits - 1)) - 1));
        for (int byte = 0; byte < f.bits / 8; byte++) b.push_back((uint8_t)(s >> (8 * byte)));
      }
    }
  return b;
}

TEST_F(Mixing, EveryFormatAndRateComesOutAtTheDeviceRate) {
  const WavFormat formats[] = {
      {1, 1, 22050, 8}, {1, 2, 44100, 16}, {1, 1, 96000, 24}, {1, 2, 32000, 32}, {3, 1, 11025, 32},
  };
  const double seconds = 0.25, hz = 441;
  for (int n = 0; n < 5; n++) {
    const WavFormat& f = formats[n];
    ASSERT_TRUE(load(n, f, encode(tone((int)(f.rate * seconds), hz, f.rate, 0.5), f))) << n;
  }
  for (int n = 0; n < 5; n++) play_through(n, (size_t)(seconds * rate));

  std::vector<float> out = finish_mono();
  auto found = stretches(out, 200);
  ASSERT_EQ(found.size(), 5u);
  for (int n = 0; n < 5; n++) {
    SCOPED_TRACE(n);
    auto [begin, end] = found[n];
    EXPECT_NEAR((double)(end - begin), seconds * rate, seconds * rate * 0.02);
    float peak = 0;
    int crossings = 0;
    for (size_t i = begin + 1; i < end; i++) {
      // Away from the abrupt start and end, where the resampler rings.
      if (i > begin + 1000 && i < end - 1000) peak = std::max(peak, std::fabs(out[i]));
      if ((out[i] < 0) != (out[i - 1] < 0)) crossings++;
    }
    EXPECT_NEAR(peak, 0.5, 0.03);
    EXPECT_NEAR(crossings, 2 * hz * seconds, 4) << "pitch kept";
  }
}

// A process may end with the device open and a sound playing (a failed check, an
// error's exit): the mixer must find what it reads still there.
TEST(SoundAtExit, AProcessEndsCleanlyWithTheDeviceOpenAndASoundPlaying) {
  ScratchDir dir;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir / "out.raw").c_str(), 1);
    Bytes image = wav({}, pcm16(ramp(96000)));
    if (sound_init() != 1 || sound_load_memory(0, image.data(), image.size()) != 1 ||
        sound_play(0) != 1)
      _exit(3);
    hold_after_destructors = true;
    std::exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
}

TEST(NoSoundDriver, SoundInitFailsAndEveryPlayIsSilent) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_EQ(sound_init(), 0);
  Bytes image = wav({}, pcm16(ramp(100)));
  EXPECT_EQ(sound_load_memory(0, image.data(), image.size()), 0);
  EXPECT_EQ(sound_is_valid(0), 0);
  EXPECT_EQ(sound_play(0), 0);
  EXPECT_EQ(sound_set_volume(0, 50), 0);
  sound_shutdown();
}

} // namespace
