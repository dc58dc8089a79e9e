// Painting of the self-drawn frame: the real dialog procedure paints into a DIB
// section, which is compared pixel by pixel with the frame as it is designed.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <vector>

#include "support/DesignedFont.h"
#include "support/IatPatch.h"
#include "support/MainWindowHarness.h"
#include "support/SkinCapture.h"
#include "support/TestSupport.h"
#include "support/Version.h"
#include "ui/main/MainWindow.h"
#include "ui/skin/Skin.h"

namespace {

const COLORREF Black = RGB(0, 0, 0);

struct PaletteColours {
    COLORREF rings[3];
    COLORREF band;
    COLORREF text;
};
const PaletteColours Blue = {{Black, RGB(85, 85, 170), RGB(42, 42, 85)}, RGB(128, 128, 255), RGB(255, 255, 255)};
const PaletteColours Amber = {{RGB(252, 252, 48), RGB(252, 200, 0), Black}, RGB(252, 200, 0), Black};

const char* const LogoRows[17] = {
    "#....#...#.#..........#", "#....#...##...........#", ".#...#...##...........#", ".#...#...##....########",
    "..#..#...##....#.......", "..#..#...##....#.......", "#..#.#...##....#.......", "##.#.#...##....#.......",
    "##..##...##....#.......", "#.#.##...##....#.......", "#.#..#...##....#.......", "#..#.#...##....#.......",
    "#..#.....##....#.......", "#...#....##....########", "#...#....##...........#", "#....#...##...........#",
    "#....#...#.#..........#"};
const char* const PinRows[12] = {"...#####...", "...#####...", "....###....", "....###....",
                                 ".#########.", "..#######..", "....###....", ".....#.....",
                                 ".....#.....", ".....#.....", ".....#.....", ".....#....."};

// The frame as designed, for a client area of W x H.
struct ExpectedFrame {
    int width, height;
    std::vector<COLORREF> pixels;

    ExpectedFrame(int w, int h, const PaletteColours& colours, bool pinned)
        : width(w), height(h), pixels(w * h, GetSysColor(COLOR_BTNFACE)) {
        for (int k = 0; k < 3; ++k) {
            for (int x = k; x <= w - 1 - k; ++x) set(x, k, colours.rings[k]), set(x, h - 1 - k, colours.rings[k]);
            for (int y = k; y <= h - 1 - k; ++y) set(k, y, colours.rings[k]), set(w - 1 - k, y, colours.rings[k]);
        }
        for (int y = 3; y <= 19; ++y)
            for (int x = 3; x <= w - 4; ++x) set(x, y, colours.band);
        for (int x = 3; x <= w - 4; ++x) set(x, 20, Black);
        for (int d : {w - 20, w - 40, w - 60})
            for (int y = 3; y <= 19; ++y) set(d, y, Black);
        for (int r = 0; r < 17; ++r)
            for (int c = 0; c < 23; ++c)
                if (LogoRows[r][c] == '#') set(6 + c, 3 + r, Black);
        const int firstStroke[9] = {15, 14, 13, 12, 11, 11, 10, 9, 8};
        const int secondStroke[9] = {8, 9, 10, 11, 12, 12, 13, 14, 15};
        for (int i = 0; i < 9; ++i) set(w - firstStroke[i], 7 + i, Black), set(w - secondStroke[i], 7 + i, Black);
        for (int x = w - 35; x <= w - 26; ++x) set(x, 17, Black);
        for (int r = 0; r < 12; ++r)
            for (int c = 0; c < 11; ++c)
                if (PinRows[r][c] == '#') set(w - 56 + c, 5 + r, Black);
        if (pinned)
            for (int x = w - 54; x <= w - 48; ++x) set(x, 18, Black);
        for (const DesignedPixel& p : DesignedTextPixels(TEST_PRODUCT_TITLE, TitlePenX, TitlePenY))
            set(p.x, p.y, colours.text);
    }
    void set(int x, int y, COLORREF colour) {
        if (x >= 0 && y >= 0 && x < width && y < height) pixels[y * width + x] = colour;
    }
    COLORREF at(int x, int y) const { return pixels[y * width + x]; }
};

// Lists the first differences; empty when the paint is exactly as designed.
std::string Differences(const DibCapture& painted, const ExpectedFrame& expected) {
    std::ostringstream out;
    int count = 0;
    if (painted.width != expected.width || painted.height != expected.height) return "size differs";
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            if (painted.pixel(x, y) != expected.at(x, y) && count++ < 12)
                out << "(" << x << "," << y << ") painted " << std::hex << painted.pixel(x, y) << " expected "
                    << expected.at(x, y) << std::dec << "; ";
    if (count) out << count << " pixels differ";
    return out.str();
}

int CountColour(const DibCapture& painted, int fromX, int toX, int fromY, int toY, COLORREF colour) {
    int count = 0;
    for (int y = fromY; y <= toY; ++y)
        for (int x = fromX; x <= toX; ++x) count += painted.pixel(x, y) == colour;
    return count;
}

class FramePaint : public MainWindowTest {
protected:
    void resizeClient(int width, int height) {
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client;
        GetClientRect(window, &client);
        ASSERT_EQ(client.right, width);
        ASSERT_EQ(client.bottom, height);
    }

    HWND& window = app.mainWindow;
};

TEST_F(FramePaint, BluePaletteAtTwoWidthsIsExactlyAsDesigned) {
    RECT client;
    GetClientRect(window, &client);
    int endPaints = 0;
    auto painted = PaintIntoDib(window, RGB(1, 2, 3), &endPaints);
    EXPECT_EQ(endPaints, 1);
    EXPECT_EQ(Differences(*painted, ExpectedFrame(client.right, client.bottom, Blue, false)), "");

    resizeClient(301, 200);
    painted = PaintIntoDib(window);
    EXPECT_EQ(Differences(*painted, ExpectedFrame(301, 200, Blue, false)), "");
    const int w = 301;
    EXPECT_EQ(painted->pixel(0, 100), Black);
    EXPECT_EQ(painted->pixel(1, 100), RGB(85, 85, 170));
    EXPECT_EQ(painted->pixel(2, 100), RGB(42, 42, 85));
    EXPECT_EQ(painted->pixel(w - 4, 19), RGB(128, 128, 255));
    EXPECT_EQ(painted->pixel(w - 3, 19), RGB(42, 42, 85));
    EXPECT_EQ(painted->pixel(w - 4, 20), Black);
    EXPECT_EQ(painted->pixel(36, 6), RGB(255, 255, 255));  // top-left pixel of the D
    EXPECT_EQ(CountColour(*painted, w - 39, w - 21, 3, 19, Black), 10);  // minimise glyph only
    EXPECT_EQ(CountColour(*painted, w - 19, w - 4, 3, 19, Black), 18);   // close glyph only
    EXPECT_EQ(CountColour(*painted, w - 59, w - 41, 18, 18, Black), 0);  // no underline
}

TEST_F(FramePaint, AmberPaletteAndPinUnderline) {
    resizeClient(420, 150);
    app.skinPalette = SkinPalette::Amber;
    app.topmostPinned = 1;
    auto painted = PaintIntoDib(window);
    EXPECT_EQ(Differences(*painted, ExpectedFrame(420, 150, Amber, true)), "");
    EXPECT_EQ(painted->pixel(0, 0), RGB(252, 252, 48));
    EXPECT_EQ(painted->pixel(2, 2), Black);
    EXPECT_EQ(painted->pixel(36, 6), Black);
    EXPECT_EQ(CountColour(*painted, 420 - 59, 420 - 41, 18, 18, Black), 7);
    EXPECT_EQ(painted->pixel(420 - 55, 18), RGB(252, 200, 0));
    EXPECT_EQ(painted->pixel(420 - 47, 18), RGB(252, 200, 0));
}

TEST_F(FramePaint, RolledUpWindowClosesItsRingsBelowTheSeparator) {
    ASSERT_TRUE(OnTitleBarRButtonDown(window, MAKELPARAM(100, 10)));
    RECT client;
    GetClientRect(window, &client);
    ASSERT_EQ(client.bottom, 23);
    auto painted = PaintIntoDib(window);
    EXPECT_EQ(Differences(*painted, ExpectedFrame(client.right, 23, Blue, false)), "");
    EXPECT_EQ(painted->pixel(50, 22), Black);
    EXPECT_EQ(painted->pixel(50, 21), RGB(85, 85, 170));
    EXPECT_EQ(painted->pixel(2, 20), RGB(42, 42, 85));
    EXPECT_EQ(painted->pixel(50, 20), Black);
    EXPECT_EQ(painted->pixel(client.right - 3, 20), RGB(42, 42, 85));
}

TEST_F(FramePaint, EraseFillsTheClientAreaWithTheFaceColour) {
    RECT client;
    GetClientRect(window, &client);
    DibCapture capture(client.right, client.bottom, RGB(1, 2, 3));
    EXPECT_EQ(MainDialogProc(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(capture.dc), 0), TRUE);
    GdiFlush();
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(CountColour(capture, 0, client.right - 1, 0, client.bottom - 1, face), client.right * client.bottom);
}

// The window itself, not a capture: the paint reaches its pixels and leaves nothing
// to paint again.
TEST_F(FramePaint, PaintsTheWindowItselfAndValidatesIt) {
    HDC dc = GetDC(window);
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_EQ(MainDialogProc(window, WM_PAINT, 0, 0), TRUE);
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
    EXPECT_EQ(GetPixel(dc, 0, 0), Black);
    EXPECT_EQ(GetPixel(dc, TitlePenX, TitlePenY), RGB(255, 255, 255));
    ReleaseDC(window, dc);
}

// Every brush and pen a paint creates, and what became of it.
struct GdiTally {
    static std::set<HGDIOBJ> alive;
    static int brushes, pens, deleted, mostAlive;
    static bool failBrushes, failPens;
    static IatPatch* brushPatch;
    static IatPatch* penPatch;
    static IatPatch* deletePatch;

    static void created(HGDIOBJ object) {
        if (!object) return;
        alive.insert(object);
        if (static_cast<int>(alive.size()) > mostAlive) mostAlive = static_cast<int>(alive.size());
    }
    static HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
        if (failBrushes) return nullptr;
        HBRUSH brush = brushPatch->originalAs<HBRUSH(WINAPI*)(COLORREF)>()(colour);
        ++brushes;
        created(brush);
        return brush;
    }
    static HPEN WINAPI CreatePen(int style, int width, COLORREF colour) {
        if (failPens) return nullptr;
        HPEN pen = penPatch->originalAs<HPEN(WINAPI*)(int, int, COLORREF)>()(style, width, colour);
        ++pens;
        created(pen);
        return pen;
    }
    static BOOL WINAPI DeleteObject(HGDIOBJ object) {
        if (alive.erase(object)) ++deleted;
        return deletePatch->originalAs<BOOL(WINAPI*)(HGDIOBJ)>()(object);
    }
};
std::set<HGDIOBJ> GdiTally::alive;
int GdiTally::brushes, GdiTally::pens, GdiTally::deleted, GdiTally::mostAlive;
bool GdiTally::failBrushes, GdiTally::failPens;
IatPatch* GdiTally::brushPatch;
IatPatch* GdiTally::penPatch;
IatPatch* GdiTally::deletePatch;

std::unique_ptr<DibCapture> PaintTallied(HWND window, bool failBrushes, bool failPens, int* endPaints) {
    GdiTally::alive.clear();
    GdiTally::brushes = GdiTally::pens = GdiTally::deleted = GdiTally::mostAlive = 0;
    GdiTally::failBrushes = failBrushes;
    GdiTally::failPens = failPens;
    IatPatches patches;
    GdiTally::brushPatch = patches.add("gdi32.dll", "CreateSolidBrush", AsPatch(&GdiTally::CreateSolidBrush));
    GdiTally::penPatch = patches.add("gdi32.dll", "CreatePen", AsPatch(&GdiTally::CreatePen));
    GdiTally::deletePatch = patches.add("gdi32.dll", "DeleteObject", AsPatch(&GdiTally::DeleteObject));
    EXPECT_TRUE(patches.allActive());
    return PaintIntoDib(window, RGB(1, 2, 3), endPaints);
}

TEST_F(FramePaint, CreatesFourBrushesAndOnePenOneAtATimeAndDeletesThemAll) {
    int endPaints = 0;
    auto painted = PaintTallied(window, false, false, &endPaints);
    EXPECT_EQ(GdiTally::brushes, 4);
    EXPECT_EQ(GdiTally::pens, 1);
    EXPECT_EQ(GdiTally::deleted, 5);
    EXPECT_TRUE(GdiTally::alive.empty());
    EXPECT_EQ(GdiTally::mostAlive, 1);
    EXPECT_EQ(GetCurrentObject(painted->dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(endPaints, 1);
}

TEST_F(FramePaint, MissingBrushesOrPenLeaveOnlyTheirElementsOut) {
    RECT client;
    GetClientRect(window, &client);
    const int w = client.right;
    COLORREF face = GetSysColor(COLOR_BTNFACE);

    int endPaints = 0;
    auto painted = PaintTallied(window, true, false, &endPaints);
    EXPECT_EQ(endPaints, 1);
    EXPECT_EQ(painted->pixel(0, 0), face);                   // no ring
    EXPECT_EQ(painted->pixel(w - 70, 12), face);             // no band
    EXPECT_EQ(painted->pixel(w - 20, 10), Black);            // dividers still drawn
    EXPECT_EQ(painted->pixel(6, 3), Black);                  // logo
    EXPECT_EQ(painted->pixel(36, 6), RGB(255, 255, 255));    // title
    EXPECT_TRUE(GdiTally::alive.empty());

    painted = PaintTallied(window, false, true, &endPaints);
    EXPECT_EQ(endPaints, 1);
    EXPECT_EQ(painted->pixel(100, 20), face);                   // no separator
    EXPECT_EQ(painted->pixel(w - 20, 10), RGB(128, 128, 255));  // no divider
    EXPECT_EQ(CountColour(*painted, w - 39, w - 21, 3, 19, Black), 0);
    EXPECT_EQ(painted->pixel(6, 3), Black);
    EXPECT_EQ(painted->pixel(w - 53, 5), Black);  // pin head
    EXPECT_EQ(painted->pixel(0, 0), Black);
    EXPECT_EQ(painted->pixel(36, 6), RGB(255, 255, 255));
    EXPECT_EQ(GetCurrentObject(painted->dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_TRUE(GdiTally::alive.empty());
}

}  // namespace
