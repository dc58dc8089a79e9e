// The pixel font: decoding of the title bytes, the glyph shapes and the pen advance.
#include <gtest/gtest.h>

#include <vector>

#include "support/DesignedFont.h"
#include "support/TestSupport.h"
#include "support/Version.h"
#include "ui/skin/Skin.h"

namespace {

struct PlotRecord {
    int32_t x, y;
    COLORREF colour;
    bool operator==(const PlotRecord& other) const {
        return x == other.x && y == other.y && colour == other.colour;
    }
};

std::vector<PlotRecord> plots;

void RecordPlot(PixelSink*, int32_t x, int32_t y, COLORREF colour) { plots.push_back({x, y, colour}); }

struct Drawn {
    std::vector<PlotRecord> plots;
    int32_t endX;
};

Drawn Draw(const char* text, int32_t x = 0, int32_t y = 0, COLORREF colour = 0) {
    plots.clear();
    PixelSink sink = {RecordPlot, nullptr};
    int32_t end = DrawBitmapText(&sink, text, x, y, colour);
    return {plots, end};
}

// Rows 0 to 10 of a drawing at (0, 0) as bytes, bit c for column c.
std::vector<int> Rows(const std::vector<PlotRecord>& drawn) {
    std::vector<int> rows(11, 0);
    for (const PlotRecord& p : drawn) {
        EXPECT_GE(p.y, 0);
        EXPECT_LE(p.y, 10);
        EXPECT_GE(p.x, 0);
        EXPECT_LE(p.x, 6);
        if (p.y >= 0 && p.y <= 10 && p.x >= 0 && p.x <= 6) rows[p.y] |= 1 << p.x;
    }
    return rows;
}

// One character that is drawn with each glyph index.
std::string CharacterFor(int index) {
    if (index < 26) return std::string(1, static_cast<char>('A' + index));
    if (index < 52) return std::string(1, static_cast<char>('a' + index - 26));
    if (index < 62) return std::string(1, static_cast<char>('0' + index - 52));
    const char* others[] = {":", ".", "-", "_", "/", " ", "!", "\xDF"};
    return others[index - 62];
}

}  // namespace

TEST(BitmapFont, EveryGlyphHasItsDesignedPixelsAndAdvance) {
    for (int index = 0; index < 70; ++index) {
        std::string text = CharacterFor(index);
        DecodedChar decoded = DecodeFontChar(text.c_str());
        EXPECT_EQ(decoded.glyphIndex, index) << text;
        EXPECT_EQ(decoded.flags, 0) << text;
        Drawn drawn = Draw(text.c_str());
        EXPECT_EQ(Rows(drawn.plots), DesignedRows(index)) << "glyph " << index;
        EXPECT_EQ(drawn.endX, DesignedGlyphs[index].advance) << "glyph " << index;
    }
}

TEST(BitmapFont, AdvancesThroughAVersionNumberLikeTheTitle) {
    const char* characters[] = {"x", "6", "4", " ", "0", ".", "3"};
    const int advances[] = {6, 6, 6, 4, 6, 3, 6};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(Draw(characters[i], 36).endX, 36 + advances[i]) << characters[i];
    EXPECT_EQ(Draw("x64 0.3", 36).endX, 73);
    EXPECT_TRUE(Draw(" ", 36).plots.empty());
    // The j's pixels span three columns, the space none; both advance by a fixed amount.
    EXPECT_EQ(Draw("j").endX, 5);
    EXPECT_EQ(Draw("MWwIilrt-:.").endX, 8 + 8 + 8 + 4 + 4 + 4 + 5 + 5 + 5 + 3 + 3);
}

TEST(BitmapFont, DecodesTheBoundariesOfEachRange) {
    struct Case {
        const char* text;
        int index;
    } cases[] = {{"@", 68}, {"A", 0}, {"Z", 25}, {"[", 68}, {"`", 68}, {"a", 26}, {"z", 51}, {"{", 68},
                 {"/", 66}, {"0", 52}, {"9", 61}, {":", 62}, {";", 68}, {",", 68}, {".", 63},
                 {"-", 64}, {"_", 65}, {" ", 67}, {"!", 68}, {"\x80", 68}, {"\xFF", 68},
                 {"\xC0", 68}, {"\xE5", 68}, {"\x7F", 68}, {"\x01", 68}};
    for (const Case& c : cases) {
        DecodedChar decoded = DecodeFontChar(c.text);
        EXPECT_EQ(decoded.glyphIndex, c.index) << static_cast<int>(static_cast<uint8_t>(c.text[0]));
        EXPECT_EQ(decoded.length, 1);
        EXPECT_EQ(decoded.flags, 0);
    }
}

TEST(BitmapFont, GermanLettersInBothEncodingsDrawTheSame) {
    struct Case {
        const char* single;
        const char* pair;
        int index;
        int flags;
    } cases[] = {{"\xC4", "\xC3\x84", 0, 3},  {"\xD6", "\xC3\x96", 14, 3}, {"\xDC", "\xC3\x9C", 20, 3},
                 {"\xE4", "\xC3\xA4", 26, 1}, {"\xF6", "\xC3\xB6", 40, 1}, {"\xFC", "\xC3\xBC", 46, 1},
                 {"\xDF", "\xC3\x9F", 69, 0}};
    for (const Case& c : cases) {
        DecodedChar single = DecodeFontChar(c.single);
        DecodedChar pair = DecodeFontChar(c.pair);
        EXPECT_EQ(single.glyphIndex, c.index);
        EXPECT_EQ(pair.glyphIndex, c.index);
        EXPECT_EQ(single.flags, c.flags);
        EXPECT_EQ(pair.flags, c.flags);
        EXPECT_EQ(single.length, 1);
        EXPECT_EQ(pair.length, 2);
        Drawn fromSingle = Draw(c.single, 36, 6, 0xFFFFFF);
        Drawn fromPair = Draw(c.pair, 36, 6, 0xFFFFFF);
        EXPECT_EQ(fromSingle.plots, fromPair.plots) << c.index;
        EXPECT_EQ(fromSingle.endX, 42);
        EXPECT_EQ(fromPair.endX, 42);
    }
}

TEST(BitmapFont, CapitalUmlautStandsTwoRowsLowerUnderItsDots) {
    std::vector<int> a = DesignedRows(0);
    std::vector<int> expected = {0x0A, 0};
    expected.insert(expected.end(), a.begin(), a.begin() + 9);
    EXPECT_EQ(Rows(Draw("\xC4").plots), expected);
    EXPECT_EQ(Rows(Draw("\xC3\x9C").plots)[10], 0x0E);  // the foot of the U on the last row
}

TEST(BitmapFont, SmallUmlautKeepsItsLetterInPlace) {
    std::vector<int> expected = DesignedRows(26);
    expected[0] = 0x0A;
    EXPECT_EQ(Rows(Draw("\xE4").plots), expected);
    std::vector<int> o = DesignedRows(40);
    o[0] = 0x0A;
    EXPECT_EQ(Rows(Draw("\xC3\xB6").plots), o);
}

TEST(BitmapFont, UnknownCharactersDrawTheQuestionMark) {
    std::vector<int> question = DesignedRows(68);
    for (const char* text : {"!", "(", "\x80", "\xC3\xC4", "\xC3\x41"}) {
        Drawn drawn = Draw(text);
        EXPECT_EQ(Rows(drawn.plots), question) << static_cast<int>(static_cast<uint8_t>(text[1]));
        EXPECT_EQ(drawn.endX, 6);
    }
    // A lead byte with an ASCII byte behind it reads 0x40 higher: 0x21 becomes 'a'.
    DecodedChar decoded = DecodeFontChar("\xC3\x21");
    EXPECT_EQ(decoded.glyphIndex, 26);
    EXPECT_EQ(decoded.length, 2);
    EXPECT_EQ(Draw("\xC3\x21").plots, Draw("a").plots);
}

TEST(BitmapFont, LoneLeadByteBeforeTheEndStopsThere) {
    const char text[] = "A\xC3\0Z";
    DecodedChar decoded = DecodeFontChar(text + 1);
    EXPECT_EQ(decoded.length, 1);
    Drawn drawn = Draw(text);
    EXPECT_EQ(drawn.endX, 12);  // A and one question mark, never the Z behind the terminator
    for (const PlotRecord& p : drawn.plots) EXPECT_LT(p.x, 12);
}

TEST(BitmapFont, TitlePlotsRowByRowInThePaletteColour) {
    auto designed = [](COLORREF colour) {
        std::vector<PlotRecord> title;
        for (const DesignedPixel& p : DesignedTextPixels(TEST_PRODUCT_TITLE, TitlePenX, TitlePenY))
            title.push_back({p.x, p.y, colour});
        return title;
    };
    plots.clear();
    PixelSink sink = {RecordPlot, nullptr};
    DrawTitleText(&sink, SkinPalette::Blue);
    std::vector<PlotRecord> blue = plots;
    // Pixel by pixel in plotting order, the D's top row (36..39, 6) first.
    ASSERT_EQ(blue, designed(RGB(255, 255, 255)));

    plots.clear();
    DrawTitleText(&sink, SkinPalette::Amber);
    EXPECT_EQ(plots, designed(RGB(0, 0, 0)));
    plots.clear();
    DrawTitleText(&sink, static_cast<SkinPalette>(7));
    for (const PlotRecord& p : plots) EXPECT_EQ(p.colour, 0u);
}
