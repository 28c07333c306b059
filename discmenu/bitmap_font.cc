#include "discmenu/bitmap_font.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace sdx::discmenu {
namespace {

// One glyph: its rows from the top of a capital down, separated by '|', '#' for ink. Rows
// below the last one given are blank; all rows of a glyph have the same width.
struct GlyphSource {
  char c;
  std::string_view rows;
};

constexpr std::array kGlyphs = {
    GlyphSource{' ', "...|...|...|...|...|...|..."},
    GlyphSource{'A', ".###.|#...#|#...#|#####|#...#|#...#|#...#"},
    GlyphSource{'B', "####.|#...#|#...#|####.|#...#|#...#|####."},
    GlyphSource{'C', ".###.|#...#|#....|#....|#....|#...#|.###."},
    GlyphSource{'D', "####.|#...#|#...#|#...#|#...#|#...#|####."},
    GlyphSource{'E', "#####|#....|#....|####.|#....|#....|#####"},
    GlyphSource{'F', "#####|#....|#....|####.|#....|#....|#...."},
    GlyphSource{'G', ".###.|#...#|#....|#.###|#...#|#...#|.####"},
    GlyphSource{'H', "#...#|#...#|#...#|#####|#...#|#...#|#...#"},
    GlyphSource{'I', "###|.#.|.#.|.#.|.#.|.#.|###"},
    GlyphSource{'J', "...#|...#|...#|...#|#..#|#..#|.##."},
    GlyphSource{'K', "#...#|#..#.|#.#..|##...|#.#..|#..#.|#...#"},
    GlyphSource{'L', "#...|#...|#...|#...|#...|#...|####"},
    GlyphSource{'M', "#...#|##.##|#.#.#|#.#.#|#...#|#...#|#...#"},
    GlyphSource{'N', "#...#|#...#|##..#|#.#.#|#..##|#...#|#...#"},
    GlyphSource{'O', ".###.|#...#|#...#|#...#|#...#|#...#|.###."},
    GlyphSource{'P', "####.|#...#|#...#|####.|#....|#....|#...."},
    GlyphSource{'Q', ".###.|#...#|#...#|#...#|#.#.#|#..#.|.##.#"},
    GlyphSource{'R', "####.|#...#|#...#|####.|#.#..|#..#.|#...#"},
    GlyphSource{'S', ".####|#....|#....|.###.|....#|....#|####."},
    GlyphSource{'T', "#####|..#..|..#..|..#..|..#..|..#..|..#.."},
    GlyphSource{'U', "#...#|#...#|#...#|#...#|#...#|#...#|.###."},
    GlyphSource{'V', "#...#|#...#|#...#|#...#|#...#|.#.#.|..#.."},
    GlyphSource{'W', "#...#|#...#|#...#|#.#.#|#.#.#|#.#.#|.#.#."},
    GlyphSource{'X', "#...#|#...#|.#.#.|..#..|.#.#.|#...#|#...#"},
    GlyphSource{'Y', "#...#|#...#|.#.#.|..#..|..#..|..#..|..#.."},
    GlyphSource{'Z', "#####|....#|...#.|..#..|.#...|#....|#####"},
    GlyphSource{'a', ".....|.....|.###.|....#|.####|#...#|.####"},
    GlyphSource{'b', "#....|#....|####.|#...#|#...#|#...#|####."},
    GlyphSource{'c', "....|....|.###|#...|#...|#...|.###"},
    GlyphSource{'d', "....#|....#|.####|#...#|#...#|#...#|.####"},
    GlyphSource{'e', ".....|.....|.###.|#...#|#####|#....|.###."},
    GlyphSource{'f', "..##|.#..|####|.#..|.#..|.#..|.#.."},
    GlyphSource{'g', ".....|.....|.####|#...#|#...#|#...#|.####|....#|.###."},
    GlyphSource{'h', "#....|#....|####.|#...#|#...#|#...#|#...#"},
    GlyphSource{'i', "#|.|#|#|#|#|#"},
    GlyphSource{'j', "..#|...|..#|..#|..#|..#|..#|..#|##."},
    GlyphSource{'k', "#...|#...|#..#|#.#.|##..|#.#.|#..#"},
    GlyphSource{'l', "#.|#.|#.|#.|#.|#.|.#"},
    GlyphSource{'m', ".....|.....|##.#.|#.#.#|#.#.#|#.#.#|#.#.#"},
    GlyphSource{'n', ".....|.....|####.|#...#|#...#|#...#|#...#"},
    GlyphSource{'o', ".....|.....|.###.|#...#|#...#|#...#|.###."},
    GlyphSource{'p', ".....|.....|####.|#...#|#...#|#...#|####.|#....|#...."},
    GlyphSource{'q', ".....|.....|.####|#...#|#...#|#...#|.####|....#|....#"},
    GlyphSource{'r', "....|....|#.##|##..|#...|#...|#..."},
    GlyphSource{'s', "....|....|.###|#...|.##.|...#|###."},
    GlyphSource{'t', ".#..|.#..|####|.#..|.#..|.#..|..##"},
    GlyphSource{'u', ".....|.....|#...#|#...#|#...#|#...#|.####"},
    GlyphSource{'v', ".....|.....|#...#|#...#|#...#|.#.#.|..#.."},
    GlyphSource{'w', ".....|.....|#...#|#...#|#.#.#|#.#.#|.#.#."},
    GlyphSource{'x', ".....|.....|#...#|.#.#.|..#..|.#.#.|#...#"},
    GlyphSource{'y', ".....|.....|#...#|#...#|#...#|#...#|.####|....#|.###."},
    GlyphSource{'z', ".....|.....|#####|...#.|..#..|.#...|#####"},
    GlyphSource{'0', ".###.|#...#|#..##|#.#.#|##..#|#...#|.###."},
    GlyphSource{'1', ".#.|##.|.#.|.#.|.#.|.#.|###"},
    GlyphSource{'2', ".###.|#...#|....#|...#.|..#..|.#...|#####"},
    GlyphSource{'3', "####.|....#|....#|.###.|....#|....#|####."},
    GlyphSource{'4', "...#.|..##.|.#.#.|#..#.|#####|...#.|...#."},
    GlyphSource{'5', "#####|#....|####.|....#|....#|#...#|.###."},
    GlyphSource{'6', ".###.|#....|#....|####.|#...#|#...#|.###."},
    GlyphSource{'7', "#####|....#|...#.|..#..|.#...|.#...|.#..."},
    GlyphSource{'8', ".###.|#...#|#...#|.###.|#...#|#...#|.###."},
    GlyphSource{'9', ".###.|#...#|#...#|.####|....#|....#|.###."},
    GlyphSource{'.', ".|.|.|.|.|.|#"},
    GlyphSource{',', "..|..|..|..|..|.#|.#|#."},
    GlyphSource{'-', "....|....|....|####|....|....|...."},
    GlyphSource{':', ".|.|#|.|.|#|."},
    GlyphSource{'/', "....#|...#.|...#.|..#..|.#...|.#...|#...."},
    GlyphSource{'&', ".#...|#.#..|#.#..|.#...|#.#.#|#..#.|.##.#"},
    GlyphSource{'(', ".#|#.|#.|#.|#.|#.|.#"},
    GlyphSource{')', "#.|.#|.#|.#|.#|.#|#."},
    GlyphSource{'\'', "#|#|.|.|.|.|."},
    GlyphSource{'!', "#|#|#|#|#|.|#"},
};

const GlyphSource* FindGlyph(char c) {
  for (const GlyphSource& glyph : kGlyphs) {
    if (glyph.c == c) return &glyph;
  }
  return nullptr;
}

int GlyphWidth(const GlyphSource& glyph) {
  const size_t end = glyph.rows.find('|');
  return static_cast<int>(end == std::string_view::npos ? glyph.rows.size() : end);
}

// Unknown characters take the room of a space so that the rest of a line keeps its place.
const GlyphSource& GlyphOrSpace(char c) {
  const GlyphSource* glyph = FindGlyph(c);
  return glyph != nullptr ? *glyph : kGlyphs.front();
}

// Bold draws every glyph a second time a little to the right: half a scaled pixel, so that
// the one-pixel gaps of 'm' and 'w' stay open at larger scales.
int BoldOffset(TextStyle style) { return style.bold ? std::max(1, style.scale / 2) : 0; }

int AdvanceOf(const GlyphSource& glyph, TextStyle style) {
  return (GlyphWidth(glyph) + 1) * style.scale + BoldOffset(style);
}

}  // namespace

bool FontHasGlyph(char c) { return FindGlyph(c) != nullptr; }

int TextWidth(std::string_view text, TextStyle style) {
  if (text.empty()) return 0;
  int width = 0;
  for (char c : text) width += AdvanceOf(GlyphOrSpace(c), style);
  return width - style.scale;  // no gap after the last glyph
}

void DrawText(IndexedBitmap& bitmap, int x, int y, std::string_view text, TextStyle style,
              uint8_t colour) {
  const int scale = style.scale;
  for (char c : text) {
    const GlyphSource& glyph = GlyphOrSpace(c);
    int row = 0;
    int col = 0;
    for (char cell : glyph.rows) {
      if (cell == '|') {
        ++row;
        col = 0;
        continue;
      }
      if (cell == '#') {
        bitmap.FillRect(x + col * scale, y + row * scale, scale, scale, colour);
        if (style.bold) {
          bitmap.FillRect(x + col * scale + BoldOffset(style), y + row * scale, scale, scale,
                          colour);
        }
      }
      ++col;
    }
    x += AdvanceOf(glyph, style);
  }
}

}  // namespace sdx::discmenu
