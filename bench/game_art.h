// The game's own pictures for the drawing benchmarks: every picture's scaled
// copy (name_x4.png) made from the art build by the runtime's image calls, the
// way the game makes it at its first start, and the landscape panels cut as the
// game cuts them. Pixels come out as 0x00RRGGBB, top row first.
#pragma once

#include "runtime/image/codecs.h"
#include "runtime/image/images.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb; // 0x00RRGGBB, top row first
};

// The objects of the world, one row of pictures each (its frames), in the
// order the world is built: the player, the rocks, the light, the twigs, the
// fallen and the standing tree, the bridge, a bush, the glass, the man, the
// fire pit, a second bush, the monster, the frozen animal, the girl.
inline const std::vector<std::vector<const char*>>& game_art_objects() {
  static const std::vector<std::vector<const char*>> objects = {
      {"sir0", "sir1", "sir2", "sir3"},
      {"rox0", "rox1", "rox2", "rox3"},
      {"lite"},
      {"twigs"},
      {"tree3", "tree4", "tree5", "tree6"},
      {"tree0", "tree1", "tree2"},
      {"brid0", "brid1", "brid2", "brid3"},
      {"bsh"},
      {"mag"},
      {"sher0", "sher1"},
      {"pit0", "pit1", "pit2", "pit3"},
      {"bsh"},
      {"mam0", "mam1"},
      {"frz0", "frz1", "frz2"},
      {"gal0", "gal1", "gal2", "gal3"}};
  return objects;
}

// An image's pixels, as its bitmap holds them (bottom row first).
inline Picture picture_of_image(int image) {
  Picture p;
  ImageRecord* r = image_lookup(image);
  if (!r) return p;
  const PlatBitmap* b = r->bitmap;
  p.width = b->width;
  p.height = b->height;
  const int bytes = b->depth / 8;
  for (int y = 0; y < b->height; y++) {
    const uint8_t* row = b->pixels + (size_t)(b->height - 1 - y) * b->row_size;
    for (int x = 0; x < b->width; x++, row += bytes)
      p.rgb.push_back((uint32_t)row[0] | (uint32_t)row[1] << 8 | (uint32_t)row[2] << 16);
  }
  return p;
}

struct GameArt {
  // sprite i of a scene of n is sprite_of(i): object i % 15, its frame (i / 15)
  // modulo its frame count, so every count shows the world's mix of objects.
  std::vector<std::vector<Picture>> objects;
  // Every picture the game has (every file in see/ but the landscape), by name.
  std::vector<Picture> every;
  Picture panels[2]; // landscape panels 2 and 3 (the meadow), 640 x 480
  std::string error; // what went wrong; empty when everything loaded

  const Picture& sprite_of(int i) const {
    const std::vector<Picture>& frames = objects[(size_t)i % objects.size()];
    return frames[(size_t)(i / (int)objects.size()) % frames.size()];
  }

  GameArt() {
    codec_registry_init();
    image_init();
    png_decoder_register();
    png_encoder_register();
    namespace fs = std::filesystem;
    const std::string see = std::string(QUILL_DATA_DIR) + "/see/";
    const fs::path scratch = fs::temp_directory_path() / ("quill-art-" + std::to_string(getpid()));
    std::error_code ignored;
    fs::create_directories(scratch, ignored);
    // As the game makes a missing copy: the source scaled by four, hard edges,
    // saved at its own depth; then loaded from the copy.
    auto scaled = [&](const std::string& name) {
      const std::string copy = (scratch / (name + "_x4.png")).string();
      int image = image_load(-1, (see + name + ".png").c_str());
      if (image && image_resize(image, image_width(image) * 4, image_height(image) * 4, 1))
        image_save(image, copy.c_str(), IMAGE_FORMAT_PNG);
      image_free(image);
      int loaded = image_load(-1, copy.c_str());
      Picture p = picture_of_image(loaded);
      image_free(loaded);
      if (p.rgb.empty()) error = "no picture " + name;
      return p;
    };
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(see, ignored)) {
      const std::string name = entry.path().stem().string();
      if (entry.path().extension() == ".png" && name != "urth" && !name.ends_with("_x4"))
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) every.push_back(scaled(name));
    if (every.empty()) error = "no pictures in " + see;
    for (const auto& frames : game_art_objects()) {
      objects.emplace_back();
      for (const char* name : frames) {
        auto at = std::find(names.begin(), names.end(), name);
        objects.back().push_back(at == names.end() ? Picture{}
                                                   : every[(size_t)(at - names.begin())]);
        if (objects.back().back().rgb.empty()) error = std::string("no picture ") + name;
      }
    }
    fs::remove_all(scratch, ignored);
    int land = image_load(-1, (see + "urth.png").c_str());
    for (int i = 0; i < 2; i++) {
      int slice = image_copy(land, -1, 640 * (i + 2) / 4, 0, 160, image_height(land));
      if (slice && image_resize(slice, 640, 480, 1)) panels[i] = picture_of_image(slice);
      image_free(slice);
      if (panels[i].width != 640 || panels[i].height != 480) error = "no landscape panels";
    }
    image_free(land);
    image_shutdown();
  }
};
