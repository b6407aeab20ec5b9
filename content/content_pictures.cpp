// The logo, the seven scenes and the credits page.
//
// Each scene has its own motif so that consecutive pictures are told apart at
// a glance, and each leaves wide areas at 0: the show draws scenes keyed, so
// those areas let the earlier pictures and the accumulated noise through.
#include "content/content.h"
#include "compose/compose.h"
#include "content/content_draw.h"
#include "content/content_math.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int W = FRAME_WIDTH;
constexpr int H = FRAME_HEIGHT;

struct canvas {
  int width, height;
  std::vector<uint8_t> pixels;
  canvas(int w, int h) : width(w), height(h), pixels(size_t(w * h), 0) {}
  uint8_t &at(int x, int y) { return pixels[size_t(y * width + x)]; }
};

// Height of a rounded stroke at distance d from its spine: 1 on the spine, 0 at its edge.
double tube(double d, double half_width) {
  const double r = d / half_width;
  return r >= 1.0 ? 0.0 : std::sqrt(1.0 - r * r);
}

// Writes the strokes of `field` (within half_width) with shade(x, y, height).
void paint_strokes(canvas &image, const content_field &field, double half_width,
                   const std::function<double(int, int, double)> &shade) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const double d = field.at(x, y);
      if (d < half_width) image.at(x, y) = content_gray(shade(x, y, tube(d, half_width)));
    }
}

// Same, blended over what is there with a one-pixel soft edge (for opaque pictures).
void blend_strokes(canvas &image, const content_field &field, double half_width,
                   const std::function<double(int, int, double)> &shade) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const double d = field.at(x, y);
      const double cover = std::clamp(half_width + 0.5 - d, 0.0, 1.0);
      if (cover <= 0.0) continue;
      const double below = image.at(x, y);
      const double stroke = shade(x, y, tube(std::min(d, half_width * 0.999), half_width));
      image.at(x, y) = content_gray(below + (stroke - below) * cover);
    }
}

// A chrome look: bright upper half, a sharp darker band below the middle, lit again at the bottom.
double chrome(double t) {
  if (t < 0.52) return 1.0 - 0.45 * t;
  return 0.45 + 0.5 * (t - 0.52);
}

double length(double x, double y) {
  return std::sqrt(x * x + y * y);
}

// Geometric forms: lit spheres in front of thin rings.
canvas scene_spheres() {
  canvas image(W, H);
  struct sphere {
    double x, y, r;
  };
  const sphere spheres[] = {{180, 190, 120}, {440, 300, 92}, {530, 110, 52}, {300, 392, 46}, {84, 404, 34}};
  // Rings behind the second sphere and around the first.
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const double r2 = length(x + 0.5 - 440, y + 0.5 - 300), r1 = length(x + 0.5 - 180, y + 0.5 - 190);
      if ((r2 > 112 && r2 < 118) || (r2 > 136 && r2 < 140) || (r2 > 160 && r2 < 162)) image.at(x, y) = 150;
      if (r1 > 140 && r1 < 146) image.at(x, y) = 110;
    }
  const double lx = -0.45, ly = -0.55, lz = 0.7, ln = std::sqrt(lx * lx + ly * ly + lz * lz);
  // Half vector between the light and the viewer (0, 0, 1), for the highlight.
  const double hx = lx / ln, hy = ly / ln, hz = lz / ln + 1.0, hn = std::sqrt(hx * hx + hy * hy + hz * hz);
  for (const sphere &s : spheres)
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const double nx = (x + 0.5 - s.x) / s.r, ny = (y + 0.5 - s.y) / s.r, q = nx * nx + ny * ny;
        if (q >= 1.0) continue;
        const double nz = std::sqrt(1.0 - q);
        const double diffuse = std::max(0.0, (nx * lx + ny * ly + nz * lz) / ln);
        double spec = std::max(0.0, (nx * hx + ny * hy + nz * hz) / hn);
        spec *= spec, spec *= spec, spec *= spec, spec *= spec, spec *= spec; // ^32
        image.at(x, y) = content_gray(18 + 190 * diffuse + 60 * spec);
      }
  return image;
}

// A skyline against a striped setting sun and a few stars.
canvas scene_skyline() {
  canvas image(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      if (content_hash(uint32_t(x), uint32_t(y) + 7000u) % 400 == 0 && y < 330)
        image.at(x, y) = uint8_t(90 + content_hash(uint32_t(y), uint32_t(x)) % 140);
      const double r = length(x + 0.5 - 320, y + 0.5 - 260);
      if (r >= 175) continue;
      // Gaps widen towards the bottom of the sun.
      if (y > 200 && (y - 200) % 20 < 2 + (y - 200) / 12) continue;
      image.at(x, y) = content_gray(250 - 0.55 * (y - 85));
    }
  content_random random(20261208);
  for (int layer = 0; layer < 2; ++layer) {
    int x = -int(random.next() % 30);
    while (x < W) {
      const int width = 34 + int(random.next() % 46);
      const int top = layer == 0 ? 170 + int(random.next() % 120) : 250 + int(random.next() % 140);
      const uint8_t wall = layer == 0 ? 42 : 14;
      for (int y = top; y < H; ++y)
        for (int i = std::max(0, x); i < std::min(W, x + width - 2); ++i) {
          const int wx = i - x - 5, wy = y - top - 8;
          const bool window = wx >= 0 && wy >= 0 && wx < width - 12 && wx % 9 < 5 && wy % 12 < 7;
          const uint32_t lit = content_hash(uint32_t(i / 9 + x * 31), uint32_t(wy / 12 + layer * 977));
          uint8_t value = wall;
          if (i == x || y == top) value = uint8_t(wall + 40); // lit edges
          if (window && lit % 5 < (layer == 0 ? 1u : 2u)) value = uint8_t(layer == 0 ? 110 : 170 + lit % 80);
          image.at(i, y) = value;
        }
      // An antenna on some roofs.
      if (random.next() % 3 == 0)
        for (int y = top - 26; y < top; ++y) image.at(std::min(W - 1, std::max(0, x + width / 2)), y) = 120;
      x += width + int(random.next() % 10);
    }
  }
  return image;
}

// A square tunnel of checkered panels falling away to a dark centre.
canvas scene_tunnel() {
  canvas image(W, H);
  const double cx = 320, cy = 220;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const double dx = (x + 0.5 - cx) * 0.75, dy = y + 0.5 - cy;
      const double d = std::max(std::fabs(dx), std::fabs(dy));
      if (d < 10) continue;
      const double depth = 3600.0 / d;
      const int ring = int(depth / 18.0);
      const bool side = std::fabs(dx) >= std::fabs(dy);
      const double along = side ? dy / d : dx / d; // -1 .. 1 along the wall
      const int panel = int(std::floor((along + 1.0) * 4.0));
      const int wall = side ? (dx < 0 ? 0 : 2) : (dy < 0 ? 1 : 3);
      if ((ring + panel + wall) % 2) continue;
      const double edge = std::fmod(depth, 18.0) / 18.0; // 0 at the panel's near edge
      image.at(x, y) = content_gray((30 + 225 * std::min(1.0, d / 260.0)) * (edge < 0.12 ? 1.0 : 0.78));
    }
  return image;
}

// A head in profile facing right, lit from the right, against a halo of rings.
canvas scene_portrait() {
  canvas image(W, H);
  // The outline, clockwise from the bottom of the left shoulder.
  const content_polyline outline = {
      {140, 480}, {162, 420}, {212, 386}, {240, 360}, {246, 312}, {226, 282}, {206, 232}, {200, 180},
      {210, 130}, {240, 90},  {285, 68},  {335, 72},  {372, 95},  {392, 130}, {398, 160}, {393, 176},
      {402, 196}, {426, 232}, {420, 243}, {400, 249}, {405, 262}, {398, 271}, {404, 283}, {392, 293},
      {397, 311}, {385, 326}, {360, 333}, {345, 346}, {348, 386}, {395, 410}, {470, 440}, {505, 480}};
  content_field edge(W, H);
  content_polyline closed = outline;
  closed.push_back(outline.front());
  content_field_polyline(edge, closed, 14);
  auto inside = [&](double x, double y) {
    bool in = false; // even-odd rule along a ray to the right
    for (size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
      const content_point a = outline[i], b = outline[j];
      if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y)) in = !in;
    }
    return in;
  };
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      if (!inside(px, py)) {
        const double r = length(px - 300, py - 200);
        if (r > 175 && r < 310 && int(r) / 12 % 2 == 0) image.at(x, y) = content_gray(150 - 0.9 * (r - 175));
        continue;
      }
      const double d = edge.at(x, y);
      double value = y % 4 == 0 ? 34 : 20;
      if (d < 13 && x > 0 && x < W - 1 && y > 0 && y < H - 1) {
        // The distance grows away from the outline; where it grows to the left, the edge faces the light.
        const double gx = edge.at(x + 1, y) - edge.at(x - 1, y), gy = edge.at(x, y + 1) - edge.at(x, y - 1);
        const double facing = std::max(0.0, -gx / std::max(1e-9, length(gx, gy)));
        value += (1.0 - d / 13.0) * (40 + 195 * facing);
      }
      image.at(x, y) = content_gray(value);
    }
  // The eye.
  for (int y = 176; y < 181; ++y)
    for (int x = 370; x < 382; ++x) image.at(x, y) = content_gray(x < 376 ? 150 : 220);
  return image;
}

// Big chrome lettering.
canvas scene_lettering() {
  canvas image(W, H);
  struct text_line {
    const char *text;
    double top, scale_x, scale_y, half_width;
  };
  const text_line lines[] = {{"NOISE", 36, 19, 18, 9}, {"AND", 196, 8, 7, 5}, {"SIGNAL", 282, 16, 16, 8}};
  for (const text_line &line : lines) {
    content_field field(W, H);
    const double width = content_text_width(line.text, line.scale_x);
    content_field_text(field, line.text, (W - width) / 2, line.top, line.scale_x, line.scale_y,
                       line.half_width + 1);
    const double top = line.top - line.half_width, height = 6 * line.scale_y + 2 * line.half_width;
    paint_strokes(image, field, line.half_width,
                  [&](int, int y, double h) { return (70 + 185 * h) * chrome((y - top) / height); });
  }
  // Two striped bars frame the words.
  for (int y : {170, 264})
    for (int x = 60; x < 580; ++x)
      if ((x / 6) % 2 == 0)
        for (int k = 0; k < 6; ++k) image.at(x, y + k) = uint8_t(90 + k * 20);
  return image;
}

// Two sets of rings interfering inside a disc.
canvas scene_interference() {
  canvas image(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      const double r = length(px - 320, py - 240);
      if (r > 232) continue;
      const int a = int(length(px - 236, py - 250) / 15.0), b = int(length(px - 410, py - 224) / 15.0);
      if ((a + b) % 2) continue;
      image.at(x, y) = content_gray(250 - 0.8 * r);
    }
  return image;
}

// A wireframe landscape: a floor grid running to the horizon, ridges and stars above.
canvas scene_grid() {
  canvas image(W, H);
  const double horizon = 226;
  content_field floor_lines(W, H);
  for (int k = 0; k < 40; ++k) {
    const double y = horizon + 2400.0 / (8.0 + 3.0 * k) * 0.9 - 6;
    if (y > horizon + 3 && y < H) content_field_segment(floor_lines, {0, y}, {double(W), y}, 4);
  }
  for (int i = -16; i <= 16; ++i)
    content_field_segment(floor_lines, {320 + i * 6.0, horizon + 4}, {320 + i * 90.0, double(H)}, 4);
  paint_strokes(image, floor_lines, 1.6, [&](int, int y, double h) {
    return (40 + 215 * (y - horizon) / (H - horizon)) * (0.6 + 0.4 * h);
  });
  // Two mountain ridges in outline.
  content_random random(4096);
  for (int layer = 0; layer < 2; ++layer) {
    content_field ridge(W, H);
    content_polyline line;
    for (int x = -20; x <= W + 20; x += 32 + int(random.next() % 30))
      line.push_back({double(x), horizon - (layer ? 10 : 30) - double(random.next() % (layer ? 60u : 120u))});
    content_field_polyline(ridge, line, 4);
    paint_strokes(image, ridge, layer ? 2.2 : 1.6,
                  [&](int, int, double h) { return (layer ? 200 : 110) * (0.5 + 0.5 * h); });
  }
  content_field rim(W, H);
  content_field_segment(rim, {0, horizon}, {double(W), horizon}, 4);
  paint_strokes(image, rim, 2.5, [](int, int, double h) { return 120 + 135 * h; });
  for (int y = 0; y < int(horizon) - 40; ++y)
    for (int x = 0; x < W; ++x)
      if (content_hash(uint32_t(x) + 99u, uint32_t(y)) % 300 == 0 && image.at(x, y) == 0)
        image.at(x, y) = uint8_t(60 + content_hash(uint32_t(x), uint32_t(y) + 5u) % 190);
  return image;
}

} // namespace

std::vector<uint8_t> content_logo() {
  canvas image(DATA_FILES[DATA_FILE_LOGO].width, DATA_FILES[DATA_FILE_LOGO].height);
  const char *word = "QUARVELIN";
  const double cell = 37.6, first = 16, scale_x = 9.5, scale_y = 4.2, half = 3.6;
  content_field letters(image.width, image.height), shadow(image.width, image.height);
  for (int i = 0; i < 9; ++i) {
    const std::string letter(1, word[i]);
    const double x = (image.width - content_text_width(letter, scale_x)) / 2, y = first + i * cell;
    content_field_text(letters, letter, x, y, scale_x, scale_y, half + 1);
    content_field_text(shadow, letter, x + 4, y + 3, scale_x, scale_y, half + 1);
  }
  // A frame of two rails and two bars around the column of letters.
  content_field frame(image.width, image.height);
  const content_polyline outline = {{12, 5}, {150, 5}, {150, 352}, {12, 352}, {12, 5}};
  content_field_polyline(frame, outline, 5);
  paint_strokes(image, frame, 3.5,
                [](int, int y, double h) { return (60 + 140 * h) * (1.0 - 0.4 * y / 361.0); });
  paint_strokes(image, shadow, half, [](int, int, double) { return 26; });
  paint_strokes(image, letters, half, [&](int, int y, double h) {
    const double t = std::fmod(y - first + half, cell) / (6 * scale_y + 2 * half);
    return (80 + 175 * h) * chrome(std::min(t, 1.0));
  });
  return image.pixels;
}

std::vector<uint8_t> content_scene(int number) {
  switch (number) {
  case 2: return scene_spheres().pixels;
  case 3: return scene_skyline().pixels;
  case 4: return scene_tunnel().pixels;
  case 5: return scene_portrait().pixels;
  case 6: return scene_lettering().pixels;
  case 7: return scene_interference().pixels;
  case 8: return scene_grid().pixels;
  default: return {};
  }
}

std::vector<uint8_t> content_credits() {
  canvas image(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) image.at(x, y) = content_gray(10 + 22.0 * y / H + (y % 3 == 0 ? 5 : 0));
  struct text_line {
    const char *text;
    double top, scale, half_width, brightness;
  };
  const text_line lines[] = {
      {"QUARVELIN", 34, 9.0, 4.5, 255},
      {"PROGRAM", 150, 2.6, 1.3, 150},
      {"THE QUARVELIN PROJECT", 176, 3.6, 1.7, 235},
      {"MUSIC", 236, 2.6, 1.3, 150},
      {"THE QUARVELIN PROJECT", 262, 3.6, 1.7, 235},
      {"PICTURES", 322, 2.6, 1.3, 150},
      {"THE QUARVELIN PROJECT", 348, 3.6, 1.7, 235},
      {"EVERY PIXEL AND EVERY NOTE MADE BY ITS OWN CODE", 428, 1.8, 0.9, 120},
  };
  for (const text_line &line : lines) {
    content_field field(W, H);
    const double width = content_text_width(line.text, line.scale);
    content_field_text(field, line.text, (W - width) / 2, line.top, line.scale, line.scale,
                       line.half_width + 2);
    const double top = line.top - line.half_width, height = 6 * line.scale + 2 * line.half_width;
    blend_strokes(image, field, line.half_width, [&](int, int y, double h) {
      return line.brightness * (0.55 + 0.45 * h) * (line.scale > 5 ? chrome((y - top) / height) : 1.0);
    });
  }
  content_field rules(W, H);
  content_field_segment(rules, {110, 120}, {530, 120}, 3);
  content_field_segment(rules, {110, 400}, {530, 400}, 3);
  blend_strokes(image, rules, 1.0, [](int, int, double) { return 110; });
  return image.pixels;
}
