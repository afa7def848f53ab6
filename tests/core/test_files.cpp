// The file layer under every reader and writer of the runtime: only regular
// files are read or replaced, and a write that fails keeps the old file and
// leaves nothing else behind.
#include "tests/support/test_files.h"
#include "runtime/image/codecs.h"
#include "runtime/image/images.h"
#include "runtime/input_sound/sound.h"
#include "tests/display/null_screen.h"
#include "tests/sound/wav_image.h"
#include "tests/support/private_disk.h"

#include <fcntl.h>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct FileLayer : NullDisplay {
  static void SetUpTestSuite() {
    codec_registry_init();
    bmp_decoder_register();
    png_encoder_register();
    png_decoder_register();
  }
  void SetUp() override {
    alarm(60); // a reader waiting on a pipe would wait for good
    NullDisplay::SetUp();
    null_audio_present(1);
    ASSERT_TRUE(sound_init());
    image_init();
    open_windowed();
    // A 256 x 256 picture of noise: no file system of 64 kB holds it in any format.
    ASSERT_TRUE(image_create(1, 256, 256, 24));
    PlatBitmap* b = image_lookup(1)->bitmap;
    uint32_t seed = 12345;
    for (int i = 0; i < b->row_size * b->height; i++)
      b->pixels[i] = (uint8_t)((seed = seed * 1103515245u + 12345u) >> 24);
    screenshot = sprite_grab(-1, 0, 0, 640, 480);
    ASSERT_TRUE(screenshot);
  }
  void TearDown() override {
    image_shutdown();
    sound_shutdown();
    NullDisplay::TearDown();
    alarm(0);
  }
  // A small file system of its own at dir / name; false where the system allows none.
  bool mount_disk(const std::string& name, const char* options) {
    return disks.mount(dir / name, options);
  }
  static std::set<std::string> names_in(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename());
    return names;
  }

  ScratchDir dir;
  PrivateDisks disks;
  static inline int screenshot;
};

// Every way the runtime reads a file: nonzero when it took the file.
const struct Reader {
  const char* name;
  const char* good; // a file it takes, in the scratch folder
  int (*read)(const char* path);
} READERS[] = {
    {"image_load", "good.png", [](const char* p) { return image_load(2, p); }},
    {"image_load of a bitmap", "good.bmp", [](const char* p) { return image_load(2, p); }},
    {"decode_open_file", "good.png",
     [](const char* p) {
       DecodeInfo info;
       int ok = decode_open_file(p, &info);
       decode_close();
       return ok;
     }},
    {"sprite_load", "good.png", [](const char* p) { return sprite_load(5, p); }},
    {"sound_load", "good.wav", [](const char* p) { return sound_load(0, p); }},
};

// Every way it writes one: the scaled copies, other saved images, screenshots.
const struct Writer {
  const char* name;
  int (*write)(const char* path);
} WRITERS[] = {
    {"image_save PNG", [](const char* p) { return image_save(1, p, IMAGE_FORMAT_PNG); }},
    {"image_save BMP", [](const char* p) { return image_save(1, p, IMAGE_FORMAT_BMP); }},
    {"sprite_save", [](const char* p) { return sprite_save(FileLayer::screenshot, p); }},
};

} // namespace

TEST_F(FileLayer, OnlyRegularFilesAreReadOrReplaced) {
  ASSERT_TRUE(image_save(1, (dir / "good.png").c_str(), IMAGE_FORMAT_PNG));
  ASSERT_TRUE(image_save(1, (dir / "good.bmp").c_str(), IMAGE_FORMAT_BMP));
  write_file(dir / "good.wav", wav(WavFormat{}, pcm16(ramp(100))));
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "device");
  fs::create_directory(dir / "folder");
  const std::set<std::string> before = names_in(dir.path);
  for (const Reader& r : READERS) {
    SCOPED_TRACE(r.name);
    EXPECT_TRUE(r.read((dir / r.good).c_str()));
    for (const char* odd : {"pipe", "device", "folder"}) EXPECT_FALSE(r.read((dir / odd).c_str()));
  }
  for (const Writer& w : WRITERS) {
    SCOPED_TRACE(w.name);
    for (const char* odd : {"pipe", "device", "folder"}) EXPECT_FALSE(w.write((dir / odd).c_str()));
  }
  EXPECT_EQ(names_in(dir.path), before);
  EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
  EXPECT_EQ(fs::read_symlink(dir / "device"), "/dev/zero");
}

TEST_F(FileLayer, AFailedWriteKeepsTheOldFileAndLeavesNothingElse) {
  const std::string old = "the file from before";
  if (!mount_disk("full", "size=64k") || !mount_disk("read-only", "size=1m"))
    GTEST_SKIP() << "no private mount namespace here";
  for (const char* disk : {"full", "read-only"})
    for (const Writer& w : WRITERS) write_file(dir / disk + "/" + w.name, old);
  ASSERT_TRUE(disks.read_only(dir / "read-only"));
  for (const char* disk : {"full", "read-only"}) {
    const std::set<std::string> before = names_in(dir / disk);
    for (const Writer& w : WRITERS) {
      SCOPED_TRACE(std::string(w.name) + " on the " + disk + " disk");
      EXPECT_FALSE(w.write((dir / disk + "/" + w.name).c_str()));
      std::vector<uint8_t> kept = read_file(dir / disk + "/" + w.name);
      EXPECT_TRUE(std::string(kept.begin(), kept.end()) == old)
          << kept.size() << " bytes there now";
    }
    EXPECT_EQ(names_in(dir / disk), before);
  }
  // Where there is room, the new file takes the old one's place, alone.
  for (const Writer& w : WRITERS) {
    write_file(dir / "roomy", old);
    EXPECT_TRUE(w.write((dir / "roomy").c_str())) << w.name;
    EXPECT_GT(fs::file_size(dir / "roomy"), 60000u) << w.name;
  }
  EXPECT_EQ(names_in(dir.path), (std::set<std::string>{"full", "read-only", "roomy"}));
}
