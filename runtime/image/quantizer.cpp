#include "runtime/image/quantizer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

// The learning network: one neuron per palette entry, kept as separate arrays
// so that the distance and bias loops over all neurons vectorise.
struct Network {
  int size;                               // neurons, 2 to 256
  double blue[256], green[256], red[256]; // gamma-corrected colour, 0 to 255
  double alpha[256];                      // 0 to 255, not gamma-corrected
  double freq[256];                       // how often each neuron wins, starting at 1 / size
  double bias[256];                       // frequency-driven handicap of each neuron
  double dist[256];                       // scratch: distances to the current sample
  int radpower[32];                       // neighbour pull by distance, rate x 256 scaled
};

struct Quantizer {
  int width, height;
  int out_depth;                // bits per packed index, 1 to 8
  int colours;                  // palette entries, 2 ^ out_depth
  const uint8_t* pixels;        // 32-bit B, G, R, A pixels learned and mapped
  int row_size;                 // bytes between rows of pixels
  std::vector<uint8_t> copy;    // the 32-bit copy when the source needed one
  uint8_t palette[256][4];      // B, G, R, A
  uint8_t by_green[256];        // palette indexes sorted on green
  uint8_t green_start[256];     // first position in by_green with green >= v
  std::vector<uint8_t> indexes; // scratch: one row of unpacked indexes
  std::vector<uint8_t> packed;  // the row handed out, width + 8 bytes
  uint64_t cache[1024];         // recent pixels (B, G, R, A from bit 0) with CACHE_USED set
  uint8_t cache_index[1024];    // and their indexes
};

static const double gamma_value = 1.8;
static const uint64_t CACHE_USED = 1ull << 32; // marks a slot of the mapping cache in use

// How much the colour of a pixel matters next to its alpha: nothing when
// transparent, fully when opaque.
static double colour_weight(double alpha) {
  double t = 1.0 - alpha / 255.0;
  return 1.0 - t * t;
}

static int out_channel(double x) {
  x = std::clamp(x, 0.0, 255.0);
  int v = (int)std::floor(std::pow(x / 255.0, gamma_value) * 256.0);
  return v > 255 ? 255 : v;
}

static int out_alpha(double x) {
  x = std::clamp(x, 0.0, 255.0);
  int v = (int)std::floor(x / 255.0 * 256.0);
  return v > 255 ? 255 : v;
}

static void set_radpower(Network* net, int rad, int rate) {
  for (int i = 0; i < rad; i++)
    net->radpower[i] = rate * (((rad * rad - i * i) * 256) / (rad * rad));
}

// Finds the neuron nearest the sample, counting its bias, and updates every
// neuron's frequency and bias; the unbiased winner gains frequency.
static int contest(Network* net, double b, double g, double r, double a, double weight) {
  const int n = net->size;
  for (int i = 0; i < n; i++)
    net->dist[i] = weight * (std::fabs(net->blue[i] - b) + std::fabs(net->green[i] - g) +
                             std::fabs(net->red[i] - r)) +
                   std::fabs(net->alpha[i] - a);
  double best = 1e300, best_biased = 1e300;
  int best_pos = 0, best_biased_pos = 0;
  for (int i = 0; i < n; i++) {
    double d = net->dist[i];
    if (d < best) best = d, best_pos = i;
    double biased = d - net->bias[i];
    if (biased < best_biased) best_biased = biased, best_biased_pos = i;
  }
  for (int i = 0; i < n; i++) {
    double beta_freq = net->freq[i] / 1024.0;
    net->freq[i] -= beta_freq;
    net->bias[i] += beta_freq * 1024.0;
  }
  net->freq[best_pos] += 1.0 / 1024.0;
  net->bias[best_pos] -= 1.0;
  return best_biased_pos;
}

static void move_towards(Network* net, int i, double f, double b, double g, double r, double a) {
  net->blue[i] -= f * (net->blue[i] - b);
  net->green[i] -= f * (net->green[i] - g);
  net->red[i] -= f * (net->red[i] - r);
  net->alpha[i] -= f * (net->alpha[i] - a);
}

// Pulls the winner's neighbours within rad towards the sample, less with distance.
static void move_neighbours(Network* net, int rad, int winner, double b, double g, double r,
                            double a) {
  int lo = std::max(winner - rad, -1), hi = std::min(winner + rad, net->size);
  int up = winner + 1, down = winner - 1;
  for (int m = 1; up < hi || down > lo; m++) {
    double f = net->radpower[m] / (1024.0 * 256.0);
    if (up < hi) move_towards(net, up++, f, b, g, r, a);
    if (down > lo) move_towards(net, down--, f, b, g, r, a);
  }
}

// Walks the samples of learning in their order, handing each one's colour
// (through the gamma table; black when transparent), alpha and colour weight
// to sample(b, g, r, a, weight). The rate starts at 1024 and the radius at an
// eighth of the network; both shrink after every hundredth of the samples, and
// shrink(rate, radius in neurons) hears of them at the start and at each change.
template <typename Sample, typename Shrink>
static void walk_samples(const Quantizer* q, const double gamma_in[256], Sample sample,
                         Shrink shrink) {
  const long long total = (long long)q->width * q->height;
  int sample_factor = (int)std::min<long long>(total / 262144 + 1, 10);
  long long samples = total / sample_factor;
  long long delta = std::max<long long>(samples / 100, 1);
  int rate_dec = 30 + (sample_factor - 1) / 3;
  int rate = 1024;
  // The neighbourhood starts at an eighth of the network (32 for 256 colours):
  // a wider one on a small network drags every neuron to the mean colour.
  // Six fraction bits, so that radius / 30 keeps shrinking it.
  int radius = (q->colours >> 3) << 6;
  shrink(rate, radius >> 6);

  // Visit the pixels with a prime stride that does not divide the buffer, so
  // that a sample of the picture covers it evenly.
  long long step = 503;
  for (int prime : {499, 491, 487})
    if ((total * 4) % prime != 0) {
      step = prime;
      break;
    }
  step %= total; // a picture smaller than the stride must not be read past its end

  // The weight of every alpha, worked out once rather than at every sample.
  double weight[256];
  for (int v = 0; v < 256; v++) weight[v] = colour_weight(v);
  // The position as column and row, stepped without a division per sample.
  const long long step_y = step / q->width, step_x = step % q->width;
  long long x = 0, y = 0, until_shrink = delta;
  for (long long i = 0; i < samples; i++) {
    const uint8_t* p = q->pixels + (size_t)y * q->row_size + x * 4;
    double a = p[3], b = 0, g = 0, r = 0;
    if (p[3] != 0) b = gamma_in[p[0]], g = gamma_in[p[1]], r = gamma_in[p[2]];
    sample(b, g, r, a, weight[p[3]]);
    x += step_x, y += step_y;
    if (x >= q->width) x -= q->width, y++;
    if (y >= q->height) y -= q->height; // past the end: round to the start
    if (--until_shrink == 0) {
      until_shrink = delta;
      rate -= rate / rate_dec;
      radius -= radius / 30;
      int rad = radius >> 6;
      shrink(rate, rad <= 1 ? 0 : rad);
    }
  }
}

typedef double Pair __attribute__((vector_size(16)));        // two neurons' values
typedef long long PairMask __attribute__((vector_size(16))); // all ones where a lane is chosen

// Two neurons' values, from an even one.
static inline Pair pair_at(const double* p) {
  Pair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
static inline void pair_put(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }
static inline Pair pair_abs(Pair x) {
  return (Pair)((PairMask)x & ~PairMask{LLONG_MIN, LLONG_MIN});
}
// Where mask is set, a; elsewhere b.
static inline Pair pair_pick(PairMask mask, Pair a, Pair b) {
  return (Pair)((mask & (PairMask)a) | (~mask & (PairMask)b));
}
static inline PairMask broadcast_lane0(PairMask m) { return __builtin_shufflevector(m, m, 0, 0); }

// Masks of the first of the smallest of the neurons in d (V pairs, V = 1 or 2):
// all ones in its lane, 0 in every other. Found as a tournament in which the
// left side wins ties, which gives what a scan in neuron order gives, and
// without a branch (no predictor guesses these) or a trip through an index.
template <int V> static inline void first_min(const Pair d[V], PairMask out[V]) {
  const PairMask left_lane = {-1, 0};
  Pair smaller[V]; // lane 0: the smaller of the pair
  for (int v = 0; v < V; v++) {
    const Pair swapped = __builtin_shufflevector(d[v], d[v], 1, 0);
    const PairMask right_wins = broadcast_lane0(swapped < d[v]);
    out[v] = right_wins ^ left_lane;
    smaller[v] = pair_pick(right_wins, swapped, d[v]);
  }
  if constexpr (V == 2) {
    const PairMask second = broadcast_lane0(smaller[1] < smaller[0]);
    out[0] &= ~second;
    out[1] &= second;
  }
}

// Learning for networks of N = 2 or 4 neurons, which have no neighbours to
// pull (the radius starts at 0): the arithmetic of contest and move_towards,
// held in registers, two neurons a step. The winner's move is made as a move
// of every neuron by a factor that is 0 for all but the winner, which leaves
// the others exactly as they were (x - 0 * d is x); so the next sample waits
// for no memory and no index.
template <int N>
static void learn_small(Network* net, const Quantizer* q, const double gamma_in[256]) {
  constexpr int V = N / 2;
  Pair blue[V], green[V], red[V], alpha[V], freq[V], bias[V];
  for (int v = 0; v < V; v++) {
    blue[v] = pair_at(net->blue + 2 * v), green[v] = pair_at(net->green + 2 * v);
    red[v] = pair_at(net->red + 2 * v), alpha[v] = pair_at(net->alpha + 2 * v);
    freq[v] = pair_at(net->freq + 2 * v), bias[v] = pair_at(net->bias + 2 * v);
  }
  // x where mask is set, else 0.
  auto chosen = [](PairMask mask, double x) { return (Pair)(mask & (PairMask)(Pair{x, x})); };
  double pull = 0;
  walk_samples(
      q, gamma_in,
      [&](double b, double g, double r, double a, double weight) {
        Pair d[V], biased[V];
        _Pragma("GCC unroll 4") for (int v = 0; v < V; v++) {
          d[v] = weight * (pair_abs(blue[v] - b) + pair_abs(green[v] - g) + pair_abs(red[v] - r)) +
                 pair_abs(alpha[v] - a);
          biased[v] = d[v] - bias[v];
        }
        PairMask is_best[V], is_winner[V];
        first_min<V>(d, is_best);
        first_min<V>(biased, is_winner);
        _Pragma("GCC unroll 4") for (int v = 0; v < V; v++) {
          Pair beta_freq = freq[v] / 1024.0;
          freq[v] -= beta_freq;
          bias[v] += beta_freq * 1024.0;
          freq[v] += chosen(is_best[v], 1.0 / 1024.0);
          bias[v] -= chosen(is_best[v], 1.0);
          const Pair f = chosen(is_winner[v], pull);
          // The differences again rather than kept: registers are few.
          blue[v] -= f * (blue[v] - b), green[v] -= f * (green[v] - g);
          red[v] -= f * (red[v] - r), alpha[v] -= f * (alpha[v] - a);
        }
      },
      [&](int rate, int) { pull = rate / 1024.0; });
  for (int v = 0; v < V; v++) {
    pair_put(net->blue + 2 * v, blue[v]), pair_put(net->green + 2 * v, green[v]);
    pair_put(net->red + 2 * v, red[v]), pair_put(net->alpha + 2 * v, alpha[v]);
  }
}

static void learn(Network* net, const Quantizer* q, const double gamma_in[256]) {
  int rad = 0;
  double pull = 0;
  walk_samples(
      q, gamma_in,
      [&](double b, double g, double r, double a, double weight) {
        int winner = contest(net, b, g, r, a, weight);
        move_towards(net, winner, pull, b, g, r, a);
        if (rad) move_neighbours(net, rad, winner, b, g, r, a);
      },
      [&](int rate, int new_rad) {
        pull = rate / 1024.0;
        rad = new_rad;
        set_radpower(net, rad, rate);
      });
}

static void build_index(Quantizer* q) {
  for (int i = 0; i < q->colours; i++) q->by_green[i] = (uint8_t)i;
  std::stable_sort(q->by_green, q->by_green + q->colours,
                   [q](int x, int y) { return q->palette[x][1] < q->palette[y][1]; });
  int pos = 0;
  for (int v = 0; v < 256; v++) {
    while (pos < q->colours - 1 && q->palette[q->by_green[pos]][1] < v) pos++;
    q->green_start[v] = (uint8_t)pos;
  }
}

static void build_palette(Quantizer* q, const Network* net) {
  for (int i = 0; i < q->colours; i++) {
    q->palette[i][0] = (uint8_t)out_channel(net->blue[i]);
    q->palette[i][1] = (uint8_t)out_channel(net->green[i]);
    q->palette[i][2] = (uint8_t)out_channel(net->red[i]);
    q->palette[i][3] = (uint8_t)out_alpha(net->alpha[i]);
  }
  build_index(q);
}

static double entry_distance(const Quantizer* q, int i, const int px[4], double weight) {
  const uint8_t* e = q->palette[i];
  double db = e[0] - px[0], dg = e[1] - px[1], dr = e[2] - px[2], da = e[3] - px[3];
  return weight * (db * db + dg * dg + dr * dr) + da * da;
}

// The nearest palette entry, searching outwards from the pixel's green value:
// a side stops once its green difference alone is no better than the best.
static int nearest(const Quantizer* q, const int px[4], double* distance) {
  double weight = colour_weight(px[3]);
  double best = 1e300;
  int best_index = 0;
  int up = q->green_start[px[1]], down = up - 1;
  while (up < q->colours || down >= 0) {
    if (up < q->colours) {
      int i = q->by_green[up];
      double dg = q->palette[i][1] - px[1];
      if (weight * dg * dg >= best) {
        up = q->colours;
      } else {
        double d = entry_distance(q, i, px, weight);
        if (d < best) best = d, best_index = i;
        up++;
      }
    }
    if (down >= 0) {
      int i = q->by_green[down];
      double dg = px[1] - q->palette[i][1];
      if (weight * dg * dg >= best) {
        down = -1;
      } else {
        double d = entry_distance(q, i, px, weight);
        if (d < best) best = d, best_index = i;
        down--;
      }
    }
  }
  if (distance) *distance = best;
  return best_index;
}

// The nearest entry of a pixel that the cache does not hold, kept in its slot.
__attribute__((noinline)) static int map_pixel_afresh(Quantizer* q, const uint8_t* p,
                                                      uint32_t slot) {
  int px[4] = {p[0], p[1], p[2], p[3]};
  int index = nearest(q, px, nullptr);
  uint32_t key;
  std::memcpy(&key, p, 4);
  q->cache[slot] = key | CACHE_USED;
  q->cache_index[slot] = (uint8_t)index;
  return index;
}

// The nearest entry of a pixel, through the cache of recent ones.
static inline int map_pixel(Quantizer* q, const uint8_t* p) {
  uint32_t key;
  std::memcpy(&key, p, 4); // B | G << 8 | R << 16 | A << 24
  uint32_t slot = (key * 2654435761u) >> 22;
  if (q->cache[slot] == (key | CACHE_USED)) return q->cache_index[slot];
  return map_pixel_afresh(q, p, slot);
}

// Floyd-Steinberg over the copy, top of the buffer first: each pixel is replaced
// by itself plus the error carried to it, so that mapping the copy later gives
// the dithered indexes. The carried error is halved until it is small, and never
// more than twice the pixel's own error, so flat areas stay flat.
static void dither(Quantizer* q) {
  const int w = q->width;
  std::vector<int> here((size_t)(w + 2) * 4, 0), below((size_t)(w + 2) * 4, 0);
  for (int y = 0; y < q->height; y++) {
    std::fill(below.begin(), below.end(), 0);
    uint8_t* row = q->copy.data() + (size_t)y * q->row_size;
    for (int x = 0; x < w; x++) {
      uint8_t* p = row + (size_t)x * 4;
      int own[4] = {p[0], p[1], p[2], p[3]};
      double own_error;
      nearest(q, own, &own_error);
      int* carried = &here[(size_t)(x + 1) * 4];
      while (true) {
        int sum = 0, over = 0;
        for (int c = 0; c < 4; c++) {
          sum += carried[c] * carried[c];
          if (carried[c] * carried[c] > 100) over = 1;
        }
        if (!over && sum < 201 && sum <= 2 * own_error) break;
        for (int c = 0; c < 4; c++) carried[c] /= 2;
      }
      int adjusted[4];
      for (int c = 0; c < 4; c++) adjusted[c] = std::clamp(own[c] + carried[c], 0, 255);
      int index = nearest(q, adjusted, nullptr);
      for (int c = 0; c < 4; c++) {
        int error = adjusted[c] - q->palette[index][c];
        p[c] = (uint8_t)adjusted[c];
        here[(size_t)(x + 2) * 4 + c] += error * 7 / 16;
        below[(size_t)x * 4 + c] += error * 3 / 16;
        below[(size_t)(x + 1) * 4 + c] += error * 5 / 16;
        below[(size_t)(x + 2) * 4 + c] += error / 16;
      }
    }
    std::swap(here, below);
  }
}

// A picture with no more colours than the palette has entries keeps them
// exactly (a learned palette would only come near them, and a key colour must
// stay exact). Transparent pixels count as transparent black, as in learning.
static int exact_palette(Quantizer* q) {
  std::vector<uint64_t> seen(1024, 0); // colours with bit 32 set, by hash; 0 is free
  int count = 0;
  for (int y = 0; y < q->height; y++) {
    const uint8_t* p = q->pixels + (size_t)y * q->row_size;
    for (int x = 0; x < q->width; x++, p += 4) {
      uint32_t c =
          p[3] ? p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24 : 0;
      uint32_t slot = (c * 2654435761u) >> 22;
      const uint64_t key = c | 1ull << 32;
      while (seen[slot] && seen[slot] != key) slot = (slot + 1) & 1023;
      if (seen[slot]) continue;
      if (count == q->colours) return 0;
      seen[slot] = key;
      for (int k = 0; k < 4; k++) q->palette[count][k] = (uint8_t)(c >> (8 * k));
      count++;
    }
  }
  for (int i = count; i < q->colours; i++) std::memcpy(q->palette[i], q->palette[0], 4);
  return 1;
}

Quantizer* quantizer_create(const void* pixels, int width, int height, int depth, int row_size,
                            int out_depth, int options) {
  if (!pixels || width < 1 || height < 1 || (depth != 24 && depth != 32) || out_depth < 1 ||
      out_depth > 8 || row_size < (long long)width * (depth / 8))
    return nullptr;
  Quantizer* q = new (std::nothrow) Quantizer();
  if (!q) return nullptr;
  q->width = width;
  q->height = height;
  q->out_depth = out_depth;
  q->colours = 1 << out_depth;
  try {
    q->indexes.assign((size_t)width + 8, 0);
    q->packed.assign((size_t)width + 8, 0);
    if (depth == 24 || (options & QUANT_DITHER)) {
      // Learning and mapping read 32-bit pixels; dithering also changes them.
      q->copy.resize((size_t)width * 4 * height);
      for (int y = 0; y < height; y++) {
        const uint8_t* src = (const uint8_t*)pixels + (size_t)y * row_size;
        uint8_t* dst = q->copy.data() + (size_t)y * width * 4;
        for (int x = 0; x < width; x++, dst += 4, src += depth / 8) {
          dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
          dst[3] = depth == 32 ? src[3] : 255;
        }
      }
      q->pixels = q->copy.data();
      q->row_size = width * 4;
    } else {
      q->pixels = (const uint8_t*)pixels;
      q->row_size = row_size;
    }
  } catch (const std::bad_alloc&) {
    delete q;
    return nullptr;
  }

  if (exact_palette(q)) {
    build_index(q);
    return q;
  }
  double gamma_in[256];
  for (int v = 0; v < 256; v++)
    gamma_in[v] = std::floor(std::pow(v / 255.0, 1.0 / gamma_value) * 255.0 + 0.5);
  Network* net = new (std::nothrow) Network();
  if (!net) {
    delete q;
    return nullptr;
  }
  net->size = q->colours;
  for (int i = 0; i < q->colours; i++) {
    double v = gamma_in[i * 256 / q->colours];
    net->blue[i] = net->green[i] = net->red[i] = v;
    net->alpha[i] = i <= 15 ? 16.0 * i : 255.0;
    net->freq[i] = 1.0 / q->colours;
    net->bias[i] = 0;
  }
  if (q->colours == 2)
    learn_small<2>(net, q, gamma_in);
  else if (q->colours == 4)
    learn_small<4>(net, q, gamma_in);
  else
    learn(net, q, gamma_in);
  build_palette(q, net);
  delete net;
  if (options & QUANT_DITHER) dither(q);
  return q;
}

int quantizer_colours(const Quantizer* q) { return q ? q->colours : 0; }

const uint8_t* quantizer_palette(const Quantizer* q) { return q ? &q->palette[0][0] : nullptr; }

const uint8_t* quantizer_row(Quantizer* q, int y) {
  if (!q || y < 0 || y >= q->height) return nullptr;
  const uint8_t* p = q->pixels + (size_t)y * q->row_size;
  uint8_t* out = q->packed.data();
  const int depth = q->out_depth, width = q->width;
  if (depth == 8) {
    for (int x = 0; x < width; x++, p += 4) out[x] = (uint8_t)map_pixel(q, p);
    return out;
  }
  std::memset(out, 0, q->packed.size());
  if (8 % depth == 0) {
    // 8 / depth indexes a byte, the first in the top bits; a last byte cut
    // short is padded with 0 bits.
    const int per_byte = 8 / depth;
    int x = 0, o = 0;
    for (; x + per_byte <= width; o++) {
      unsigned byte = 0;
      for (int k = 0; k < per_byte; k++, x++, p += 4) byte = byte << depth | map_pixel(q, p);
      out[o] = (uint8_t)byte;
    }
    if (x < width) {
      unsigned byte = 0;
      for (int k = 0; k < per_byte; k++, x++, p += 4)
        byte = byte << depth | (x < width ? map_pixel(q, p) : 0);
      out[o] = (uint8_t)byte;
    }
    return out;
  }
  uint8_t* idx = q->indexes.data();
  for (int x = 0; x < width; x++, p += 4) idx[x] = (uint8_t)map_pixel(q, p);
  // Depths that do not divide 8 straddle bytes.
  unsigned acc = 0;
  int bits = 0;
  size_t o = 0;
  for (int x = 0; x < width; x++) {
    acc = acc << depth | idx[x];
    bits += depth;
    while (bits >= 8) {
      bits -= 8;
      out[o++] = (uint8_t)(acc >> bits);
    }
    acc &= (1u << bits) - 1;
  }
  if (bits) out[o] = (uint8_t)(acc << (8 - bits));
  return out;
}

void quantizer_free(Quantizer* q) { delete q; }
