// The WAV reader: which files load, which fail, and that failing is clean.
#include "runtime/input_sound/sound.h"
#include "runtime/platform/null/null_platform.h"
#include "tests/sound/silent_device.h"
#include "tests/sound/wav_image.h"
#include "tests/support/test_files.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct WavReader : SilentSoundDevice {
  // Loads from a heap block of exactly the image's size, so that a read past its
  // end is seen by the sanitizer build.
  static int load(int n, const Bytes& image) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[image.size() + 1]);
    std::copy(image.begin(), image.end(), copy.get());
    return sound_load_memory(n, copy.get(), image.size());
  }
  // The samples sound n hands to the device when played.
  static Bytes played(int n) {
    if (!sound_play(n)) return {};
    return null_audio_last_played();
  }
};

const Bytes samples = pcm16({100, -200, 300, -400, 500, -600});

TEST_F(WavReader, PlainPcmLoadsWithItsDataChunk) {
  ASSERT_TRUE(load(0, wav({}, samples)));
  EXPECT_TRUE(sound_is_valid(0));
  EXPECT_EQ(played(0), samples);
}

TEST_F(WavReader, ChunksBetweenFmtAndDataAreSkipped) {
  Bytes fmt = chunk("fmt ", fmt_body({}));
  Bytes data = chunk("data", samples);
  Bytes list = chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 2, 0, 0, 0, 'x', 0});
  EXPECT_TRUE(load(0, riff({fmt, list, data})));
  EXPECT_EQ(played(0), samples);
  // An odd-sized chunk, with its pad byte and without it.
  Bytes odd = chunk("note", Bytes{'a', 'b', 'c'});
  Bytes padded = odd;
  padded.push_back(0);
  EXPECT_TRUE(load(1, riff({fmt, padded, data})));
  EXPECT_EQ(played(1), samples);
  EXPECT_TRUE(load(2, riff({fmt, odd, data})));
  EXPECT_EQ(played(2), samples);
  // A "fmt " chunk longer than 16 bytes: the walk starts after all of it.
  Bytes long_fmt = fmt_body({});
  long_fmt.insert(long_fmt.end(), {0, 0, 'x', 'y'});
  EXPECT_TRUE(load(3, riff({chunk("fmt ", long_fmt), data})));
  EXPECT_EQ(played(3), samples);
}

TEST_F(WavReader, ExtensibleHeadersPlayAsTheFormatTheyName) {
  WavFormat stereo16{1, 2, 44100, 16};
  EXPECT_TRUE(load(0, riff({chunk("fmt ", fmt_body(stereo16, 1)), chunk("data", samples)})));
  WavFormat float32{3, 1, 44100, 32};
  EXPECT_TRUE(load(1, riff({chunk("fmt ", fmt_body(float32, 3)), chunk("data", samples)})));
  // A sub-format that is neither PCM nor float (ADPCM) is refused.
  EXPECT_FALSE(load(2, riff({chunk("fmt ", fmt_body(stereo16, 2)), chunk("data", samples)})));
}

TEST_F(WavReader, DamagedFilesFail) {
  Bytes fmt = chunk("fmt ", fmt_body({}));
  Bytes data = chunk("data", samples);
  auto with_fmt = [](auto change) {
    Bytes body = fmt_body({});
    change(body);
    return chunk("fmt ", body);
  };
  std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"only RIFF", Bytes{'R', 'I', 'F', 'F'}},
      {"not RIFF",
       [&] {
         Bytes b = riff({fmt, data});
         b[0] = 'X';
         return b;
       }()},
      {"other chunk at 12", riff({chunk("JUNK", Bytes(8, 0)), fmt, data})},
      {"fmt shorter than 16", riff({chunk("fmt ", Bytes(14, 1)), data})},
      {"fmt past the end", riff({chunk("fmt ", fmt_body({}), 0x7FFFFFF0)})},
      {"zero channels", riff({with_fmt([](Bytes& b) { b[2] = 0; }), data})},
      {"zero block alignment", riff({with_fmt([](Bytes& b) { b[12] = 0; }), data})},
      {"zero bits", riff({with_fmt([](Bytes& b) { b[14] = 0; }), data})},
      {"no data chunk", riff({fmt, chunk("LIST", Bytes(8, 0))})},
      {"data past the end", riff({fmt, chunk("data", samples, samples.size() + 2)})},
      {"data size near 4 GB", riff({fmt, chunk("data", samples, 0xFFFFFFFF)})},
      {"chunk before data past the end", riff({fmt, chunk("LIST", Bytes(4, 0), 0xFFFFFFF8), data})},
      {"empty data", riff({fmt, chunk("data", {})})},
      {"half a frame of data", riff({fmt, chunk("data", Bytes{1, 2, 3})})},
      // Formats no device here plays (the mixing tests play the accepted ones).
      {"three channels", wav({1, 3, 48000, 16}, Bytes(24, 0))},
      {"12 bits", wav({1, 1, 48000, 12}, Bytes(24, 0))},
      {"double precision", wav({3, 1, 48000, 64}, Bytes(24, 0))},
      {"ADPCM", wav({2, 1, 48000, 4}, Bytes(24, 0))},
      {"500 Hz", wav({1, 1, 500, 16}, Bytes(24, 0))},
      {"block alignment short of a frame", wav({1, 2, 48000, 16, 2}, Bytes(24, 0))},
  };
  for (const auto& [what, image] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(load(0, image), 0);
    EXPECT_EQ(sound_is_valid(0), 0);
    EXPECT_EQ(null_audio_buffers(), 0);
  }
}

TEST_F(WavReader, EveryTruncationOfAGoodFileFails) {
  Bytes good =
      riff({chunk("fmt ", fmt_body({})), chunk("LIST", Bytes(6, 'x')), chunk("data", samples)});
  for (size_t size = 0; size < good.size(); size++) {
    SCOPED_TRACE(size);
    EXPECT_EQ(load(0, Bytes(good.begin(), good.begin() + size)), 0);
  }
  EXPECT_TRUE(load(0, good));
}

TEST_F(WavReader, BadFileOverAGoodSoundKeepsTheGoodOne) {
  ASSERT_TRUE(load(4, wav({}, samples)));
  Bytes broken = wav({}, samples);
  broken[12] = 'x';
  EXPECT_EQ(load(4, broken), 0);
  EXPECT_EQ(sound_load(4, "no-such-folder\\no-such.wav"), 0);
  EXPECT_EQ(load(4, wav({1, 7, 48000, 16}, samples)), 0); // refused format
  EXPECT_EQ(played(4), samples);
  EXPECT_EQ(null_audio_buffers(), 1);
  // A good file does replace it, and the old buffer goes.
  Bytes other = pcm16({7, 8});
  EXPECT_TRUE(load(4, wav({}, other)));
  EXPECT_EQ(played(4), other);
  EXPECT_EQ(null_audio_buffers(), 1);
}

std::vector<std::string> wav_files(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().extension() == ".wav") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

TEST_F(WavReader, CorpusFilesLoadOrFailCleanly) {
  SKIP_WITHOUT_CORPORA();
  const std::string folder = std::string(QUILL_CORPORA) + "/wav";
  std::vector<std::string> files = wav_files(folder);
  ASSERT_GE(files.size(), 16u);
  // No "fmt " at 12 (a JUNK chunk first), and 24-bit samples in 4-byte frames
  // declared as plain PCM: both refused; everything else plays.
  const std::vector<std::string> refused = {"nonstandard-01.wav",
                                            "pcmwaveformat-24bit-4byte-48kHz-stereo.wav"};
  int n = 0;
  for (const std::string& path : files) {
    std::string name = std::filesystem::path(path).filename().string();
    SCOPED_TRACE(name);
    bool expect = std::find(refused.begin(), refused.end(), name) == refused.end();
    EXPECT_EQ(sound_load(n, path.c_str()) != 0, expect);
    if (expect) {
      EXPECT_EQ(sound_play(n), 1);
    }
    n++;
  }
  for (const std::string& path : wav_files(folder + "/fuzz")) {
    SCOPED_TRACE(path);
    std::vector<uint8_t> bytes = read_file(path);
    EXPECT_EQ(load(100, bytes), 0);
  }
  EXPECT_EQ(wav_files(folder + "/fuzz").size(), 6u);
  EXPECT_FALSE(sound_is_valid(100));
}

} // namespace
