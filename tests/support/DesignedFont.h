// The pixel font as it was designed, written down apart from the program's table:
// the expected glyphs of the font test and the expected title of the frame paint.
#pragma once

#include <vector>

// Where the title's pen starts: client pixels of the main window, in the title band.
const int TitlePenX = 36;
const int TitlePenY = 6;

struct DesignedGlyph {
    const char* rows;  // rows 0 to 10 as hex bytes, bit c for column c from the left
    int advance;       // the pen moves this far after the glyph
};
extern const DesignedGlyph DesignedGlyphs[70];

// The rows of a glyph as numbers.
std::vector<int> DesignedRows(int glyphIndex);

// The glyph of a character without flags: the letters, digits, ":.-_/", the space,
// and the question mark (68) for anything else.
int DesignedGlyphIndex(char c);

// Every pixel of `text` (characters without flags) drawn with the pen from (x, y):
// glyph after glyph, each row by row from the top and left to right.
struct DesignedPixel {
    int x, y;
    bool operator==(const DesignedPixel& other) const { return x == other.x && y == other.y; }
};
std::vector<DesignedPixel> DesignedTextPixels(const char* text, int x, int y);
