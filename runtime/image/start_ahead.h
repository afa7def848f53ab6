// The part of a start that needs neither the window nor the screen, begun on a
// worker thread while the main thread opens them: the pictures named are read
// and decoded, and the font lookups made ready. What the worker made is taken
// by the calls that would otherwise make it (sprite_load and image_load of the
// same file name, the first font_load), which wait for the worker first, so
// that what they give is what they would have given on their own. Every other
// use of the codecs and fonts on the main thread waits as well (a picture
// taken, a font loaded, start_ahead_end), so the two threads never share them.
#pragma once

#include "runtime/image/codecs.h"

#include <string>
#include <vector>

// Starts the work for the PNG files named (as the loaders will be given the
// names); 0 when work begun before is still running. Where no thread can be
// had, the work is done here before returning. With a cache file named, a
// picture it holds the decoding of (runtime/image/picture_cache.h) is read
// from it, not decoded; when any had to be decoded, the cache is written
// anew with every picture.
int start_ahead(const std::vector<std::string>& pictures, const std::string& cache = "");
// Waits until the work begun is done; at once when none is running.
void start_ahead_wait();
// Hands over, once, the picture decoded ahead under this file name: its
// description into *info and its rows (codec_pixel_bytes(width, depth) bytes,
// top row first) into *rows, after waiting for the work. 0 when none was
// decoded under the name (missing, damaged, not a PNG) or the file has been
// written since (another size or time of writing).
int start_ahead_take(const char* name, DecodeInfo* info, std::vector<uint8_t>* rows);
// Waits for the work and lets go of every picture not taken.
void start_ahead_end();
