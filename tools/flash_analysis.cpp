// The flash count: each pixel's transitions, then the area rule over windows.
#include "tools/flash_analysis.h"

#include "compose/compose.h"

#include <algorithm>

namespace {

constexpr int32_t CELLS_PER_WINDOW = 4; // a window is 4 x 4 cells
constexpr int32_t MOST_COUNTED = 127;   // transitions per pixel and period, at most

// One pixel's value followed for transitions: before the first, its lowest
// and highest so far; after it, the extreme since the last turning point and
// the direction it moves in. For the red value, `high_saturated` and
// `extreme_saturated` say whether the state at `high` or `extreme` was
// saturated red.
struct follower {
  float extreme = 0, high = 0;
  int8_t direction = 0; // 0 before the first transition, then +1 rising, -1 falling
  bool extreme_saturated = false, high_saturated = false;
};

// Moves the follower to `value`; 1 when this completes a counted transition.
// A change of more than `step` (or exactly `step` when `inclusive`) turns it;
// the turn counts when `counts(lower, higher, higher_saturated)` says so.
template <typename Counts>
int follow(follower *f, float value, bool saturated, float step, bool inclusive, Counts counts) {
  auto far = [&](float difference) { return inclusive ? difference >= step : difference > step; };
  if (f->direction == 0) {
    if (value < f->extreme) f->extreme = value, f->extreme_saturated = saturated;
    if (value > f->high) f->high = value, f->high_saturated = saturated;
    if (far(value - f->extreme)) {
      int counted = counts(f->extreme, value, saturated);
      f->direction = 1, f->extreme = value, f->extreme_saturated = saturated;
      return counted;
    }
    if (far(f->high - value)) {
      int counted = counts(value, f->high, f->high_saturated);
      f->direction = -1, f->extreme = value, f->extreme_saturated = saturated;
      return counted;
    }
    return 0;
  }
  if ((f->direction > 0 && value >= f->extreme) || (f->direction < 0 && value <= f->extreme)) {
    f->extreme = value, f->extreme_saturated = saturated;
    return 0;
  }
  const bool rising_turn = f->direction < 0;
  if (!far(rising_turn ? value - f->extreme : f->extreme - value)) return 0;
  int counted = rising_turn ? counts(f->extreme, value, saturated)
                            : counts(value, f->extreme, f->extreme_saturated);
  f->direction = int8_t(-f->direction), f->extreme = value, f->extreme_saturated = saturated;
  return counted;
}

// The transitions of one kind: per pixel its follower and its count within
// the last second, and for each of the last `fps` frames the pixels that made
// one in it (to take them off the counts a second later).
struct kind_state {
  std::vector<follower> followers;
  std::vector<uint8_t> counts;
  std::vector<std::vector<int32_t>> made; // indexed by frame mod fps
  std::vector<int32_t> histogram;         // per cell, MOST_COUNTED + 1 bins
  int64_t counting = 0;                   // pixels whose count is above 0
};

} // namespace

struct flash_analyser {
  int32_t width = 0, height = 0, fps = 0;
  int64_t frames = 0;
  int32_t cells_across = 0, cells_down = 0;
  std::vector<int32_t> cell_of_column, cell_of_row, cell_pixels;
  int64_t smallest_window = 0; // pixels
  kind_state general, red;
  std::vector<flash_second> seconds;
};

flash_analyser *flash_open(int32_t width, int32_t height, int32_t fps) {
  if (width < 1 || height < 1 || fps < 1) return nullptr;
  flash_analyser *a = new flash_analyser;
  a->width = width, a->height = height, a->fps = fps;
  // The 10 degree window, 341 x 256 of 1024 x 768, in cells of a quarter of it;
  // the columns and rows beyond the last whole cell join it.
  const int32_t cell_width = std::max(1, int32_t(int64_t(width) * 341 / 1024 / CELLS_PER_WINDOW));
  const int32_t cell_height = std::max(1, int32_t(int64_t(height) * 256 / 768 / CELLS_PER_WINDOW));
  a->cells_across = std::max(1, width / cell_width);
  a->cells_down = std::max(1, height / cell_height);
  for (int32_t x = 0; x < width; ++x)
    a->cell_of_column.push_back(std::min(x / cell_width, a->cells_across - 1));
  for (int32_t y = 0; y < height; ++y)
    a->cell_of_row.push_back(std::min(y / cell_height, a->cells_down - 1));
  a->cell_pixels.assign(size_t(a->cells_across * a->cells_down), 0);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      ++a->cell_pixels[size_t(a->cell_of_row[size_t(y)] * a->cells_across +
                              a->cell_of_column[size_t(x)])];
  a->smallest_window = int64_t(width) * height;
  for (int32_t top = 0; top + CELLS_PER_WINDOW <= a->cells_down; ++top)
    for (int32_t left = 0; left + CELLS_PER_WINDOW <= a->cells_across; ++left) {
      int64_t pixels = 0;
      for (int32_t cy = top; cy < top + CELLS_PER_WINDOW; ++cy)
        for (int32_t cx = left; cx < left + CELLS_PER_WINDOW; ++cx)
          pixels += a->cell_pixels[size_t(cy * a->cells_across + cx)];
      a->smallest_window = std::min(a->smallest_window, pixels);
    }
  for (kind_state *kind : {&a->general, &a->red}) {
    kind->followers.resize(size_t(width) * size_t(height));
    kind->counts.assign(size_t(width) * size_t(height), 0);
    kind->made.resize(size_t(fps));
    kind->histogram.resize(a->cell_pixels.size() * (MOST_COUNTED + 1));
  }
  return a;
}

// The most transitions that more than a quarter of some window's pixels each
// made within the last second.
static int32_t worst_window(flash_analyser *a, kind_state *kind) {
  constexpr int32_t BINS = MOST_COUNTED + 1;
  // Too few pixels made a transition for any window to count one.
  if (4 * kind->counting <= a->smallest_window) return 0;
  std::fill(kind->histogram.begin(), kind->histogram.end(), 0);
  size_t p = 0;
  for (int32_t y = 0; y < a->height; ++y) {
    int32_t *row_cells = kind->histogram.data() + a->cell_of_row[size_t(y)] * a->cells_across * BINS;
    for (int32_t x = 0; x < a->width; ++x, ++p)
      ++row_cells[a->cell_of_column[size_t(x)] * BINS + kind->counts[p]];
  }
  const int32_t across = std::min(CELLS_PER_WINDOW, a->cells_across);
  const int32_t down = std::min(CELLS_PER_WINDOW, a->cells_down);
  int32_t worst = 0;
  int32_t window[BINS];
  for (int32_t top = 0; top + down <= a->cells_down; ++top) {
    for (int32_t left = 0; left + across <= a->cells_across; ++left) {
      std::fill(window, window + BINS, 0);
      int64_t pixels = 0;
      for (int32_t cy = top; cy < top + down; ++cy)
        for (int32_t cx = left; cx < left + across; ++cx) {
          const int32_t cell = cy * a->cells_across + cx;
          pixels += a->cell_pixels[size_t(cell)];
          const int32_t *bins = kind->histogram.data() + cell * BINS;
          for (int32_t n = 0; n < BINS; ++n) window[n] += bins[n];
        }
      int64_t at_least = 0;
      for (int32_t n = MOST_COUNTED; n > worst; --n) {
        at_least += window[n];
        if (4 * at_least > pixels) {
          worst = n;
          break;
        }
      }
    }
  }
  return worst;
}

void flash_add_frame(flash_analyser *a, const uint32_t *pixels, int32_t stride) {
  const float *light = light_of_byte_table();
  const size_t slot = size_t(a->frames % a->fps);
  for (kind_state *kind : {&a->general, &a->red}) {
    for (int32_t p : kind->made[slot]) kind->counting -= --kind->counts[size_t(p)] == 0;
    kind->made[slot].clear();
  }
  auto general_counts = [](float darker, float, bool) { return darker < FLASH_DARKER_BELOW ? 1 : 0; };
  auto red_counts = [](float, float, bool redder_saturated) { return redder_saturated ? 1 : 0; };
  const bool first = a->frames == 0;
  int32_t p = 0;
  for (int32_t y = 0; y < a->height; ++y) {
    const uint32_t *row = pixels + int64_t(y) * stride;
    for (int32_t x = 0; x < a->width; ++x, ++p) {
      const float r = light[(row[x] >> 16) & 0xFF], g = light[(row[x] >> 8) & 0xFF],
                  b = light[row[x] & 0xFF];
      const float luminance = relative_luminance(r, g, b);
      const float redness = red_flash_value(r, g, b);
      const bool saturated = r > 0 && r >= 4 * (g + b); // r / (r + g + b) >= 0.8
      follower *gf = &a->general.followers[size_t(p)], *rf = &a->red.followers[size_t(p)];
      if (first) {
        gf->extreme = gf->high = luminance;
        rf->extreme = rf->high = redness;
        rf->extreme_saturated = rf->high_saturated = saturated;
        continue;
      }
      if (follow(gf, luminance, false, FLASH_LIGHT_STEP, true, general_counts) &&
          a->general.counts[size_t(p)] < MOST_COUNTED) {
        a->general.counting += a->general.counts[size_t(p)]++ == 0;
        a->general.made[slot].push_back(p);
      }
      if (follow(rf, redness, saturated, FLASH_RED_STEP, false, red_counts) &&
          a->red.counts[size_t(p)] < MOST_COUNTED) {
        a->red.counting += a->red.counts[size_t(p)]++ == 0;
        a->red.made[slot].push_back(p);
      }
    }
  }
  const size_t second = size_t(a->frames / a->fps);
  if (a->seconds.size() <= second) a->seconds.resize(second + 1);
  flash_second *s = &a->seconds[second];
  s->general = std::max(s->general, worst_window(a, &a->general));
  s->red = std::max(s->red, worst_window(a, &a->red));
  ++a->frames;
}

const std::vector<flash_second> &flash_seconds(const flash_analyser *analyser) {
  return analyser->seconds;
}

void flash_close(flash_analyser *analyser) { delete analyser; }
