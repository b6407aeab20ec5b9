// Distance-field strokes and the built-in stroke font.
#include "content/content_draw.h"

#include "content/content_math.h"

#include <algorithm>
#include <cmath>

content_field::content_field(int w, int h) : width(w), height(h), distance(size_t(w * h), CONTENT_FAR) {}

void content_field_segment(content_field &field, content_point a, content_point b, double reach) {
  const int x0 = std::max(0, int(std::floor(std::min(a.x, b.x) - reach)));
  const int x1 = std::min(field.width - 1, int(std::ceil(std::max(a.x, b.x) + reach)));
  const int y0 = std::max(0, int(std::floor(std::min(a.y, b.y) - reach)));
  const int y1 = std::min(field.height - 1, int(std::ceil(std::max(a.y, b.y) + reach)));
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      // Pixel centres sit at +0.5.
      const double px = x + 0.5 - a.x, py = y + 0.5 - a.y;
      double t = length2 > 0 ? (px * dx + py * dy) / length2 : 0.0;
      t = std::clamp(t, 0.0, 1.0);
      const double ex = px - t * dx, ey = py - t * dy;
      const double d = std::sqrt(ex * ex + ey * ey);
      double &cell = field.distance[size_t(y * field.width + x)];
      if (d < cell) cell = d;
    }
  }
}

void content_field_polyline(content_field &field, const content_polyline &line, double reach) {
  if (line.size() == 1) content_field_segment(field, line[0], line[0], reach);
  for (size_t i = 1; i < line.size(); ++i) content_field_segment(field, line[i - 1], line[i], reach);
}

content_polyline content_arc(double cx, double cy, double rx, double ry, double a0, double a1, int steps) {
  content_polyline points;
  for (int i = 0; i <= steps; ++i) {
    const double turns = (a0 + (a1 - a0) * i / steps) / 360.0;
    points.push_back({cx + rx * content_cosine(turns), cy - ry * content_sine(turns)});
  }
  return points;
}

namespace {

content_polyline line(std::initializer_list<content_point> points) {
  return content_polyline(points);
}

content_polyline join(content_polyline first, const content_polyline &second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

} // namespace

std::vector<content_polyline> content_glyph(char letter) {
  const int S = 16; // arc steps
  switch (letter) {
  case 'A': return {line({{0, 6}, {2, 0}, {4, 6}}), line({{0.7, 4}, {3.3, 4}})};
  case 'B':
    return {line({{0, 0}, {0, 6}}),
            join(join(line({{0, 0}}), content_arc(2.6, 1.5, 1.3, 1.5, 90, -90, S)), line({{0, 3}})),
            join(join(line({{0, 3}}), content_arc(2.8, 4.5, 1.3, 1.5, 90, -90, S)), line({{0, 6}}))};
  case 'C': return {content_arc(2.1, 3, 2.1, 3, 40, 320, 2 * S)};
  case 'D':
    return {join(join(line({{0, 6}, {0, 0}}), content_arc(1.5, 3, 2.5, 3, 90, -90, 2 * S)), line({{0, 6}}))};
  case 'E': return {line({{4, 0}, {0, 0}, {0, 6}, {4, 6}}), line({{0, 3}, {3, 3}})};
  case 'F': return {line({{4, 0}, {0, 0}, {0, 6}}), line({{0, 3}, {3, 3}})};
  case 'G': return {join(content_arc(2.1, 3, 2.1, 3, 45, 360, 2 * S), line({{2.3, 3}}))};
  case 'H': return {line({{0, 0}, {0, 6}}), line({{4, 0}, {4, 6}}), line({{0, 3}, {4, 3}})};
  case 'I': return {line({{1, 0}, {1, 6}}), line({{0, 0}, {2, 0}}), line({{0, 6}, {2, 6}})};
  case 'J': return {join(line({{4, 0}}), content_arc(2, 4.1, 2, 1.9, 0, -180, S))};
  case 'K': return {line({{0, 0}, {0, 6}}), line({{4, 0}, {0, 3.8}}), line({{1.4, 2.6}, {4, 6}})};
  case 'L': return {line({{0, 0}, {0, 6}, {4, 6}})};
  case 'M': return {line({{0, 6}, {0, 0}, {2.3, 4}, {4.6, 0}, {4.6, 6}})};
  case 'N': return {line({{0, 6}, {0, 0}, {4, 6}, {4, 0}})};
  case 'O': return {content_arc(2.1, 3, 2.1, 3, 0, 360, 3 * S)};
  case 'P':
    return {
        join(join(line({{0, 6}, {0, 0}}), content_arc(2.5, 1.6, 1.5, 1.6, 90, -90, S)), line({{0, 3.2}}))};
  case 'Q': return {content_arc(2.1, 3, 2.1, 3, 0, 360, 3 * S), line({{2.7, 4.4}, {4.3, 6.4}})};
  case 'R':
    return {join(join(line({{0, 6}, {0, 0}}), content_arc(2.5, 1.6, 1.5, 1.6, 90, -90, S)), line({{0, 3.2}})),
            line({{2.1, 3.2}, {4, 6}})};
  case 'S':
    return {join(content_arc(2, 1.5, 1.9, 1.5, 20, 270, S), content_arc(2, 4.5, 2, 1.5, 90, -160, S))};
  case 'T': return {line({{0, 0}, {4.4, 0}}), line({{2.2, 0}, {2.2, 6}})};
  case 'U': return {join(join(line({{0, 0}}), content_arc(2, 4, 2, 2, 180, 360, S)), line({{4, 0}}))};
  case 'V': return {line({{0, 0}, {2.1, 6}, {4.2, 0}})};
  case 'W': return {line({{0, 0}, {1.2, 6}, {2.6, 1.6}, {4, 6}, {5.2, 0}})};
  case 'X': return {line({{0, 0}, {4, 6}}), line({{4, 0}, {0, 6}})};
  case 'Y': return {line({{0, 0}, {2.1, 3}, {4.2, 0}}), line({{2.1, 3}, {2.1, 6}})};
  case 'Z': return {line({{0, 0}, {4, 0}, {0, 6}, {4, 6}})};
  case '0': return {content_arc(2, 3, 2, 3, 0, 360, 3 * S), line({{3.3, 0.9}, {0.7, 5.1}})};
  case '1': return {line({{0.6, 1.2}, {2, 0}, {2, 6}}), line({{0.6, 6}, {3.4, 6}})};
  case '2': return {join(content_arc(2, 1.8, 1.9, 1.8, 160, -40, S), line({{0, 6}, {4, 6}}))};
  case '3':
    return {join(content_arc(2, 1.5, 1.8, 1.5, 150, -90, S), content_arc(2, 4.5, 2, 1.5, 90, -150, S))};
  case '4': return {line({{3, 6}, {3, 0}, {0, 4.2}, {4.2, 4.2}})};
  case '5': return {join(line({{4, 0}, {0.3, 0}, {0, 2.6}}), content_arc(2, 4.1, 2, 1.9, 130, -150, S))};
  case '6':
    return {join(content_arc(2.2, 3, 2, 3, 60, 180, S), content_arc(2, 4.2, 2, 1.8, 180, -180, 2 * S))};
  case '7': return {line({{0, 0}, {4, 0}, {1.4, 6}})};
  case '8':
    return {content_arc(2, 1.5, 1.7, 1.5, -90, 270, 2 * S), content_arc(2, 4.5, 2, 1.5, 90, 450, 2 * S)};
  case '9': return {join(content_arc(2, 1.8, 2, 1.8, 0, 360, 2 * S), content_arc(1.8, 3, 2, 3, 0, -120, S))};
  case '.': return {line({{0.5, 5.9}, {0.5, 6}})};
  case ',': return {line({{0.6, 5.8}, {0.1, 7}})};
  case ':': return {line({{0.5, 1.9}, {0.5, 2}}), line({{0.5, 5.9}, {0.5, 6}})};
  case '-': return {line({{0.3, 3.4}, {3.2, 3.4}})};
  case '/': return {line({{0, 6.2}, {3, -0.2}})};
  case '&':
    return {join(content_arc(1.6, 1.3, 1.2, 1.3, -40, 230, S),
                 line({{0.2, 4.2}, {0.5, 5.5}, {2, 6}, {3.4, 4.8}, {4, 3.5}})),
            line({{0.9, 2.4}, {4, 6}})};
  default: return {};
  }
}

double content_glyph_advance(char letter) {
  switch (letter) {
  case ' ': return 3.0;
  case 'I': return 3.2;
  case 'M': return 6.2;
  case 'W': return 6.8;
  case 'T':
  case 'V':
  case 'Y': return 5.8;
  case '.':
  case ':':
  case ',': return 2.2;
  case '1': return 4.8;
  default: return 5.6;
  }
}

double content_text_width(const std::string &text, double scale_x) {
  double width = 0;
  for (char c : text) width += content_glyph_advance(c);
  // The last glyph's spacing is not part of the text.
  return text.empty() ? 0.0 : (width - 1.6) * scale_x;
}

void content_field_text(content_field &field, const std::string &text, double x, double y, double scale_x,
                        double scale_y, double reach) {
  double pen = x;
  for (char c : text) {
    for (const content_polyline &stroke : content_glyph(c)) {
      content_polyline scaled;
      for (const content_point &p : stroke) scaled.push_back({pen + p.x * scale_x, y + p.y * scale_y});
      content_field_polyline(field, scaled, reach);
    }
    pen += content_glyph_advance(c) * scale_x;
  }
}
