// The scaled copies, the frame table, the panels and the re-pointing of static
// entities, on the null platform in a scratch working folder.
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/screen_modes.h"
#include "game/sprite_assets.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprites.h"
#include "runtime/image/codecs.h"
#include "runtime/image/images.h"
#include "tests/assets/png_files.h"
#include "tests/support/null_game.h"
#include "tests/support/private_disk.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const FRAMES[KIND_COUNT][4] = {
    {"sir0", "sir1", "sir2", "sir3"},     {"rox0", "rox1", "rox2", "rox3"},
    {"tree0", "tree1", "tree2", ""},      {"tree3", "tree4", "tree5", "tree6"},
    {"brid0", "brid1", "brid2", "brid3"}, {"sher0", "sher1", "", ""},
    {"pit0", "pit1", "pit2", "pit3"},     {"fg0", "fg1", "fg2", "fg3"},
    {"frz0", "frz1", "frz2", ""},         {"mam0", "mam1", "", ""},
    {"gal0", "gal1", "gal2", "gal3"},     {"mam2", "mam3", "", ""},
};
const char* const SINGLES[] = {"lite", "bsh", "twigs", "mag", "feet"};

std::vector<std::string> all_names() {
  std::vector<std::string> names(std::begin(SINGLES), std::end(SINGLES));
  for (const auto& row : FRAMES)
    for (const char* n : row)
      if (*n) names.push_back(n);
  return names;
}

// The back buffer's pixel at x, y as 0xRRGGBB.
uint32_t pixel(int x, int y) {
  const Surface* s = screen_back_buffer();
  uint32_t p;
  std::memcpy(&p, s->pixels + (size_t)y * s->pitch + 4 * (size_t)x, 4);
  return p & 0xFFFFFF;
}

RgbPicture picture(int w, int h, uint32_t fill) {
  RgbPicture p;
  p.width = w, p.height = h;
  p.pixels.assign((size_t)w * h, fill);
  return p;
}

// A landscape in 160-pixel bands of colours of their own.
uint32_t band_colour(int band) {
  return (uint32_t)((40 + band * 8) << 16 | (200 - band * 6) << 8 | (band * 9 + 3));
}

struct SpriteAssets : ::testing::Test {
  ScratchDir dir;
  std::string home;
  bool started = false;

  void SetUp() override {
    home = fs::current_path().string();
    fs::create_directory(dir / "see");
    fs::current_path(dir.path);
    null_reset();
    null_exit_hook([](int code) { throw GameExit{code}; });
  }
  void TearDown() override {
    if (started) {
      close_game_screen();
      shutdown_runtime();
    }
    game_state_reset();
    null_exit_hook(nullptr);
    fs::current_path(home);
  }
  // Start-up opens the first screen, which loads the sprites, then builds the world.
  void start() {
    started = true;
    null_audio_present(1); // a silent device, so all the game says is of its pictures
    game_startup();
  }
  // The game's own pictures, every source but the ones named.
  void copy_art(const std::vector<std::string>& except = {}) {
    std::vector<std::string> names = all_names();
    names.push_back("urth");
    for (const std::string& n : names)
      if (std::find(except.begin(), except.end(), n) == except.end())
        fs::copy_file(std::string(QUILL_DATA_DIR) + "/see/" + n + ".png",
                      dir / ("see/" + n + ".png"));
  }
  std::string see(const std::string& file) { return dir / ("see/" + file); }
};

// Each 4 x 4 block of the copy holds the colour of its source pixel.
void expect_blocks(const RgbPicture& source, const RgbPicture& copy) {
  ASSERT_EQ(copy.width, source.width * 4);
  ASSERT_EQ(copy.height, source.height * 4);
  int wrong = 0;
  for (int y = 0; y < copy.height; y++)
    for (int x = 0; x < copy.width; x++) wrong += copy.at(x, y) != source.at(x / 4, y / 4);
  EXPECT_EQ(wrong, 0);
}

} // namespace

TEST_F(SpriteAssets, AFirstStartScalesEverySourcePixelIntoASolidBlockAtTheSourcesDepth) {
  // tree3 in colour, tree4 with a 16-colour palette; nothing else is there but tree5.
  RgbPicture colour = picture(16, 20, 0xFF00FF), palette = picture(16, 20, 0xFF00FF);
  const uint32_t inks[] = {0x224466, 0xFF00FF, 0x80C040, 0xFFFFFF, 0x000000, 0xFE00FF};
  for (int i = 0; i < 320; i++) {
    colour.pixels[i] = inks[(i * 7 + i / 16) % 6];
    palette.pixels[i] = inks[(i * 5 + i / 16 * 3) % 6];
  }
  ASSERT_TRUE(png_write_file(see("tree3.png"), colour, 0));
  ASSERT_TRUE(png_write_file(see("tree4.png"), palette, 4));
  // tree5 with an alpha channel, which a smooth resize would filter.
  codec_registry_init();
  png_encoder_register();
  int alpha = image_create(-1, 16, 20, 32);
  const PlatBitmap* b = image_lookup(alpha)->bitmap;
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 16; x++) {
      uint8_t* p = b->pixels + (size_t)(19 - y) * b->row_size + 4 * (size_t)x;
      uint32_t c = colour.at(x, y);
      p[0] = (uint8_t)c, p[1] = (uint8_t)(c >> 8), p[2] = (uint8_t)(c >> 16), p[3] = 255;
    }
  ASSERT_TRUE(image_save(alpha, see("tree5.png").c_str(), IMAGE_FORMAT_PNG));
  image_free(alpha);
  start();

  RgbPicture copy3 = png_read_file(see("tree3_x4.png")), copy4 = png_read_file(see("tree4_x4.png")),
             copy5 = png_read_file(see("tree5_x4.png"));
  expect_blocks(colour, copy3);
  expect_blocks(palette, copy4);
  expect_blocks(colour, copy5);
  EXPECT_EQ(copy3.colour_type, PNG_COLOR_TYPE_RGB);
  EXPECT_EQ(copy4.colour_type, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(copy4.bit_depth, 4);
  EXPECT_EQ(copy5.colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
  for (int f = 0; f < 3; f++) {
    EXPECT_EQ(sprite_width(game.anim_frames[KIND_FALLEN_TREE][f]), 64);
    EXPECT_EQ(sprite_height(game.anim_frames[KIND_FALLEN_TREE][f]), 80);
  }
  // Drawn keyed, exact magenta leaves the ground showing, and only it does.
  screen_clear(0x102030);
  sprite_draw_keyed(game.anim_frames[KIND_FALLEN_TREE][0], 0, 0);
  int wrong = 0;
  for (int y = 0; y < 80; y++)
    for (int x = 0; x < 64; x++) {
      uint32_t c = colour.at(x / 4, y / 4);
      wrong += pixel(x, y) != (c == 0xFF00FF ? 0x302010u : c);
    }
  EXPECT_EQ(wrong, 0);
  // Everything else is missing: empty cells, no landscape, no panels.
  EXPECT_EQ(game.anim_frames[KIND_FALLEN_TREE][3], 0);
  EXPECT_EQ(game.anim_frames[KIND_PLAYER][0], 0);
  EXPECT_EQ(game.bsh_sprite, 0);
  EXPECT_EQ(game.world_width, 0.0f);
  EXPECT_EQ(game.panel_count, 0);
  EXPECT_FALSE(fs::exists(see("temp.png")));
}

// A copy that cannot be written (here a folder in its place) costs no sprite:
// it is made in memory.
TEST_F(SpriteAssets, AnEmptyOrUnreadableScaledCopyIsMadeAgain) {
  RgbPicture pic = picture(16, 20, 0x3060C0);
  pic.pixels[0] = 0xFF00FF;
  for (const char* name : {"tree3", "tree4", "tree5"})
    ASSERT_TRUE(png_write_file(see(std::string(name) + ".png"), pic, 0));
  write_file(see("tree3_x4.png"), std::string());
  // A copy whose writing was cut short: the head of a good PNG.
  ASSERT_TRUE(png_write_file(see("scratch.png"), picture(64, 80, 0x102030), 0));
  std::vector<uint8_t> head = read_file(see("scratch.png"));
  head.resize(40);
  write_file(see("tree4_x4.png"), head);
  fs::create_directory(see("tree5_x4.png")); // a folder in the copy's place
  start();

  expect_blocks(pic, png_read_file(see("tree3_x4.png")));
  expect_blocks(pic, png_read_file(see("tree4_x4.png")));
  for (int f = 0; f < 3; f++) EXPECT_EQ(sprite_width(game.anim_frames[KIND_FALLEN_TREE][f]), 64);
  EXPECT_TRUE(fs::is_directory(see("tree5_x4.png")));
}

TEST_F(SpriteAssets, AMissingPictureLeavesOnlyItsOwnCellEmptyAndIsNamedOnce) {
  copy_art({"gal2", "mag"});
  testing::internal::CaptureStderr();
  start();
  ASSERT_EQ(open_game_screen(0), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "quillmoor: cannot load 2 of the game's pictures: gal2, mag\n");
  for (int kind = 0; kind < KIND_COUNT; kind++)
    for (int f = 0; f < 4; f++) {
      bool named = *FRAMES[kind][f] && std::string(FRAMES[kind][f]) != "gal2";
      EXPECT_EQ(game.anim_frames[kind][f] != 0, named)
          << FRAMES[kind][f] << " " << kind << "," << f;
    }
  for (int s : {game.lite_sprite, game.bsh_sprite, game.twigs_sprite, game.feet_sprite})
    EXPECT_GT(sprite_width(s), 0);
  EXPECT_EQ(game.mag_sprite, 0);
  EXPECT_FALSE(fs::exists(see("gal2_x4.png")));
  // The real landscape: 1600 wide, ten panels.
  EXPECT_EQ(game.world_width, 6400.0f);
  ASSERT_EQ(game.panel_count, 10);
  for (int p : game.panels) EXPECT_EQ(sprite_width(p) * 1000 + sprite_height(p), 640480);
}

// 3920, 4000 and 4080 pixels make 24.5, 25 and 25.5 screens: halves go to the
// even neighbour. Panel i shows the landscape from 160 i; the last panel of the
// 4080-wide one reaches past its right edge, which shows black.
TEST_F(SpriteAssets, TheLandscapeIsCutIntoScreensRoundedHalvesToEven) {
  start();
  for (int width : {3920, 4000, 4080}) {
    RgbPicture land = picture(width, 120, 0);
    for (int y = 0; y < 120; y++)
      for (int x = 0; x < width; x++) land.pixels[(size_t)y * width + x] = band_colour(x / 160);
    ASSERT_TRUE(png_write_file(see("urth.png"), land, 0));
    const int pumps = null_event_pumps();
    load_sprites(1);
    SCOPED_TRACE(width);
    EXPECT_EQ(game.world_width, width * 4.0f);
    int panels = width == 3920 ? 24 : width == 4000 ? 25 : 26;
    ASSERT_EQ(game.panel_count, panels);
    // The window system is let in before each panel and each named picture, so
    // that a long start keeps the window answering.
    EXPECT_GE(null_event_pumps() - pumps, panels + (int)all_names().size());
    ASSERT_EQ((int)game.panels.size(), panels);
    for (int i = 0; i < panels; i++) {
      ASSERT_EQ(sprite_width(game.panels[i]), 640) << i;
      ASSERT_EQ(sprite_height(game.panels[i]), 480) << i;
      sprite_draw(game.panels[i], 0, 0);
      EXPECT_EQ(pixel(3, 470), band_colour(i)) << i;
      bool beyond = 160 * i + 159 >= width;
      EXPECT_EQ(pixel(636, 2), beyond ? 0u : band_colour(i)) << i;
    }
  }
}

// The panels are cut in memory. What they show must be exactly what the panels
// made through a scratch PNG showed, texel for texel and in the whole first
// frame; and no scratch file is needed: a folder in its place (like a read-only
// see/) used to leave the landscape black, and two copies of the game in one
// folder overwrote each other's.
TEST_F(SpriteAssets, PanelsCutInMemoryShowWhatTheScratchPngShowedAndNeedNoFile) {
  copy_art();
  fs::create_directory(see("temp.png"));
  start();
  game_frame();
  PlatRect where;
  const Surface* shown = null_window_frame(screen_top_window(), &where);
  ASSERT_TRUE(shown);
  std::vector<uint8_t> first(shown->pixels, shown->pixels + (size_t)shown->pitch * shown->height);
  EXPECT_TRUE(fs::is_empty(see("temp.png")));

  // The same start again, each panel replaced by its twin made the old way.
  close_game_screen();
  shutdown_runtime();
  game_state_reset();
  null_reset();
  start();
  int land = image_load(-1, ".\\see\\urth.png");
  ASSERT_EQ(game.panel_count, 10);
  for (int i = 0; i < game.panel_count; i++) {
    int slice = image_copy(land, -1, 160 * i, 0, 160, image_height(land));
    ASSERT_TRUE(image_resize(slice, 640, 480, 1));
    ASSERT_TRUE(image_save(slice, (dir / "twin.png").c_str(), IMAGE_FORMAT_PNG));
    image_free(slice);
    int twin = sprite_load(-1, (dir / "twin.png").c_str());
    const Surface *ours = sprite_lookup(game.panels[i])->texture->surface,
                  *theirs = sprite_lookup(twin)->texture->surface;
    for (int y = 0; y < 480; y++)
      ASSERT_EQ(std::memcmp(ours->pixels + (size_t)y * ours->pitch,
                            theirs->pixels + (size_t)y * theirs->pitch, 640 * 4),
                0)
          << "panel " << i << ", row " << y;
    sprite_free(game.panels[i]);
    game.panels[i] = twin;
  }
  image_free(land);
  game_frame();
  shown = null_window_frame(screen_top_window(), &where);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), shown->pixels));
}

TEST_F(SpriteAssets, AReopenedScreenMovesStaticEntitiesToTheNewSpriteOfTheirName) {
  copy_art();
  start();
  Entity* rocks = nullptr;
  std::vector<Entity*> bushes;
  for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e)) {
    if (e->animated && e->sprite == KIND_ROCKS) rocks = e;
    if (!e->animated && e->sprite == game.bsh_sprite) bushes.push_back(e);
  }
  ASSERT_TRUE(rocks);
  ASSERT_EQ(bushes.size(), 2u);
  // A destroyed rock pile shows its rubble as a still picture.
  rocks->animated = 0;
  rocks->sprite = game.anim_frames[KIND_ROCKS][3];

  for (int windowed : {0, 1, 0}) {
    int old_bush = game.bsh_sprite, old_rubble = rocks->sprite;
    ASSERT_EQ(open_game_screen(windowed), 1);
    EXPECT_EQ(sprite_lookup(old_bush), nullptr);
    EXPECT_NE(game.bsh_sprite, old_bush);
    EXPECT_EQ(sprite_width(game.bsh_sprite), 96);
    for (Entity* b : bushes) EXPECT_EQ(b->sprite, game.bsh_sprite);
    EXPECT_NE(rocks->sprite, old_rubble);
    EXPECT_EQ(rocks->sprite, game.anim_frames[KIND_ROCKS][3]);
    // Rows of the frame table are not sprites and stay as they are.
    EXPECT_EQ(game.player->sprite, KIND_PLAYER);
    EXPECT_EQ(game.girl->sprite, KIND_GIRL);
    EXPECT_EQ(game.monster->sprite, KIND_MONSTER);
  }
}

TEST_F(SpriteAssets, ADeletedScaledCopyIsMadeAtTheNextOpeningAndTheOthersAreLeftAlone) {
  copy_art();
  start();
  Entity* twigs = nullptr;
  for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e))
    if (!e->animated && e->pickup && e->sprite == game.twigs_sprite) twigs = e;
  ASSERT_TRUE(twigs);
  fs::remove(see("twigs_x4.png"));
  auto bush_time = fs::last_write_time(see("bsh_x4.png"));
  std::vector<uint8_t> bush_bytes = read_file(see("bsh_x4.png"));

  ASSERT_EQ(open_game_screen(0), 1);
  expect_blocks(png_read_file(see("twigs.png")), png_read_file(see("twigs_x4.png")));
  EXPECT_GT(sprite_width(game.twigs_sprite), 0);
  EXPECT_EQ(twigs->sprite, game.twigs_sprite);
  EXPECT_EQ(fs::last_write_time(see("bsh_x4.png")), bush_time);
  EXPECT_EQ(read_file(see("bsh_x4.png")), bush_bytes);
}

// A palette copy goes through the colour quantizer; if it moved the key colour
// even slightly, the game would show magenta boxes around its figures.
TEST_F(SpriteAssets, EveryMagentaPixelOfASourceIsExactlyMagentaInItsCopy) {
  copy_art();
  start();
  int palettes = 0;
  for (const std::string& name : all_names()) {
    SCOPED_TRACE(name);
    RgbPicture source = png_read_file(see(name + ".png")),
               copy = png_read_file(see(name + "_x4.png"));
    ASSERT_EQ(copy.width, source.width * 4);
    ASSERT_EQ(copy.height, source.height * 4);
    EXPECT_EQ(copy.colour_type, source.colour_type);
    palettes += source.colour_type == PNG_COLOR_TYPE_PALETTE;
    int lost = 0, holes = 0;
    for (int y = 0; y < copy.height; y++)
      for (int x = 0; x < copy.width; x++) {
        bool key = source.at(x / 4, y / 4) == 0xFF00FF;
        lost += key && copy.at(x, y) != 0xFF00FF;
        holes += !key && copy.at(x, y) == 0xFF00FF;
      }
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(holes, 0);
  }
  EXPECT_GT(palettes, 0);
}

// The sprites of a first start are made in memory; the next start loads them
// from their copies. Both must show the same texels, every one of them.
TEST_F(SpriteAssets, ASpriteMadeInMemoryIsTheOneItsCopyGives) {
  copy_art();
  start();
  auto texels = [](int sprite) {
    const Surface* s = sprite_lookup(sprite)->texture->surface;
    return std::vector<uint8_t>(s->pixels, s->pixels + (size_t)s->pitch * s->height);
  };
  std::map<std::string, std::vector<uint8_t>> first;
  for (const std::string& name : all_names()) {
    ASSERT_TRUE(fs::exists(see(name + "_x4.png"))) << name;
    first[name] = texels(load_scaled_sprite(name, 0));
  }
  ASSERT_EQ(open_game_screen(1), 1); // every sprite again, from the copies
  for (const std::string& name : all_names())
    EXPECT_TRUE(texels(load_scaled_sprite(name, 0)) == first[name]) << name;
}

// A see/ that cannot take the copies (read-only, or a disk that fills after a
// few) costs no sprite: every one is made in memory and shows as it would from
// its copy; the player is told once, and nothing half-written is left.
TEST_F(SpriteAssets, CopiesThatCannotBeKeptAreMadeInMemory) {
  copy_art();
  start(); // the copies as a writable see/ gets them, to compare with
  auto texels = [](int sprite) {
    const Surface* s = sprite_lookup(sprite)->texture->surface;
    return std::vector<uint8_t>(s->pixels, s->pixels + (size_t)s->pitch * s->height);
  };
  std::map<std::string, std::vector<uint8_t>> good;
  for (const std::string& name : all_names()) good[name] = texels(load_scaled_sprite(name, 0));
  close_game_screen();
  shutdown_runtime();
  game_state_reset();
  for (const char* disk : {"read-only", "full"}) {
    SCOPED_TRACE(disk);
    PrivateDisks disks;
    const std::string art = dir / disk;
    if (!disks.mount(art + "/see", "size=300k")) GTEST_SKIP() << "no private mount namespace here";
    fs::create_directory(art + "/hear");
    for (const std::string& name : all_names())
      fs::copy_file(see(name + ".png"), art + "/see/" + name + ".png");
    fs::copy_file(see("urth.png"), art + "/see/urth.png");
    if (std::string(disk) == "read-only") {
      ASSERT_TRUE(disks.read_only(art + "/see"));
    }
    fs::current_path(art);
    null_reset();
    testing::internal::CaptureStderr();
    start();
    // Told once a run: here, once for both.
    const std::string told = testing::internal::GetCapturedStderr();
    if (std::string(disk) == "read-only")
      EXPECT_EQ(told, "quillmoor: cannot keep the scaled pictures in " + art +
                          "/see (Read-only file system); they are made again at every start\n");
    else
      EXPECT_EQ(told, "");
    int kept = 0;
    for (const std::string& name : all_names()) {
      int sprite = load_scaled_sprite(name, 0);
      ASSERT_NE(sprite, 0) << name;
      EXPECT_TRUE(texels(sprite) == good[name]) << name;
      kept += fs::exists(art + "/see/" + name + "_x4.png");
    }
    EXPECT_LT(kept, (int)all_names().size());
    for (const auto& e : fs::directory_iterator(art + "/see"))
      EXPECT_FALSE(e.path().string().ends_with(".part")) << e.path();
    close_game_screen();
    shutdown_runtime();
    game_state_reset();
    fs::current_path(dir.path);
  }
  started = false;
}
