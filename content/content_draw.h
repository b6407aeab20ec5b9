// content_draw.h - drawing helpers for the generated pictures.
//
// Shapes are drawn through a distance field: every pixel keeps its distance
// (in pixels) to the nearest stroke drawn so far, and a shading function then
// turns distances into gray levels, which gives lettering and outlines their
// rounded, lit look. Lettering uses a built-in stroke font: upper-case
// letters, digits and a little punctuation on a 4 x 6 grid (y down, baseline
// at 6), each glyph a few polylines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct content_point {
  double x, y;
};
using content_polyline = std::vector<content_point>;

struct content_field {
  int width = 0, height = 0;
  std::vector<double> distance; // pixels to the nearest stroke; large where none is near
  content_field(int w, int h);
  double at(int x, int y) const { return distance[size_t(y * width + x)]; }
};

constexpr double CONTENT_FAR = 1e9;

// Lowers the distances within `reach` pixels of the segment.
void content_field_segment(content_field &field, content_point a, content_point b, double reach);
void content_field_polyline(content_field &field, const content_polyline &line, double reach);

// Points of an elliptic arc from degree a0 to a1 (counter-clockwise for a1 > a0, y up).
content_polyline content_arc(double cx, double cy, double rx, double ry, double a0, double a1, int steps);

// The glyph's strokes in grid units, and its advance (width plus spacing).
std::vector<content_polyline> content_glyph(char letter);
double content_glyph_advance(char letter);
double content_text_width(const std::string &text, double scale_x);

// Adds a line of text to the field: top-left of the first glyph's cell at
// (x, y), grid units scaled by (scale_x, scale_y) pixels.
void content_field_text(content_field &field, const std::string &text, double x, double y, double scale_x,
                        double scale_y, double reach);
