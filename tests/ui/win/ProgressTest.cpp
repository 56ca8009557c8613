// The two progress displays under Wine: the bitmap bar's drawing and invalidation,
// and the text control's messages, painting and repaint rule.
#include "TestResources.h"
#include "UiTestSupport.h"
#include "ui/win32/CProgressBar.h"
#include "ui/win32/CTextProgressCtrl.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnvale::ui {
namespace {

using test::ParentWindow;
using test::PumpMessages;
using test::SkinColour;
using test::Surface;

constexpr COLORREF kBackground = RGB(1, 2, 3);

// The columns of the bar picture drawn at (10, 20) onto a surface.
int DrawnColumns(const CProgressBar& bar) {
    Surface surface(400, 60, kBackground);
    bar.Draw(surface.Dc());
    int columns = 0;
    while (surface.At(10 + columns, 20) == SkinColour(columns, 0) &&
           surface.At(10 + columns, 42) == SkinColour(columns, 22))
        ++columns;
    EXPECT_EQ(surface.At(10 + columns, 30), kBackground) << "nothing to the right of the part";
    EXPECT_EQ(surface.At(9, 30), kBackground);
    return columns;
}

TEST(BitmapProgressBar, InitializeNeedsAPictureAndAnOwner) {
    ParentWindow owner;
    CProgressBar bar;
    EXPECT_FALSE(bar.Initialize(IDB_TEST_MISSING, 10, 20, owner.Handle()));
    EXPECT_FALSE(bar.Initialize(IDB_TEST_BAR, 10, 20, nullptr));
    ASSERT_TRUE(bar.Initialize(IDB_TEST_BAR, 10, 20, owner.Handle()));
    EXPECT_EQ(bar.Bounds().right, 10 + 339);
    EXPECT_EQ(bar.Bounds().bottom, 20 + 23);
    EXPECT_EQ(CProgressBar().Range(), 1);
    Surface surface(100, 50, kBackground);
    CProgressBar().Draw(surface.Dc());
    EXPECT_EQ(surface.Count(kBackground, {0, 0, 100, 50}), 100 * 50) << "no picture, no drawing";
}

TEST(BitmapProgressBar, DrawsTheLeftPartInProportionCountingZeroAsOne) {
    ParentWindow owner;
    CProgressBar bar;
    ASSERT_TRUE(bar.Initialize(IDB_TEST_BAR, 10, 20, owner.Handle()));
    bar.SetRange(100);
    bar.SetPos(0);
    EXPECT_EQ(DrawnColumns(bar), 3) << "3 pixels of 339 at position 0 of 100";
    bar.SetPos(50);
    EXPECT_EQ(DrawnColumns(bar), 169);
    bar.SetPos(250);
    EXPECT_EQ(bar.Pos(), 100);
    EXPECT_EQ(DrawnColumns(bar), 339);
    bar.SetPos(-3);
    EXPECT_EQ(bar.Pos(), 0);
    EXPECT_EQ(DrawnColumns(bar), 3);

    bar.SetRange(0);
    EXPECT_EQ(bar.Range(), 1);
    bar.SetPos(5);
    EXPECT_EQ(bar.Pos(), 1);
    EXPECT_EQ(DrawnColumns(bar), 339);
    bar.SetRange(-4);
    EXPECT_EQ(bar.Range(), 1);
}

TEST(BitmapProgressBar, InvalidatesOnlyItsOwnRectangleWithoutErasing) {
    ParentWindow owner;
    CProgressBar bar;
    ASSERT_TRUE(bar.Initialize(IDB_TEST_BAR, 10, 20, owner.Handle()));
    PumpMessages();
    ::ValidateRect(owner.Handle(), nullptr);
    bar.SetPos(1);
    RECT update;
    ASSERT_TRUE(::GetUpdateRect(owner.Handle(), &update, FALSE));
    EXPECT_EQ(update.left, 10);
    EXPECT_EQ(update.top, 20);
    EXPECT_EQ(update.right, 349);
    EXPECT_EQ(update.bottom, 43);
    const int erasures = owner.erasures;
    ::UpdateWindow(owner.Handle());
    EXPECT_EQ(owner.erasures, erasures);
}

// A text progress control that counts its paints.
class CountingTextProgress : public CTextProgressCtrl {
  public:
    int paints = 0;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_PAINT)
            ++paints;
        return CTextProgressCtrl::HandleMessage(message, wParam, lParam);
    }
};

struct TextProgressTest : ::testing::Test {
    ParentWindow parent;
    HFONT font = test::CrispFont(16, FW_BOLD);
    CountingTextProgress control;
    void SetUp() override { parent.SetFont(font); }
    void TearDown() override { ::DeleteObject(font); }
    void Make(DWORD style, int width, int height) {
        ASSERT_TRUE(control.Create(WS_CHILD | WS_VISIBLE | style, {5, 5, 5 + width, 5 + height},
                                   parent.Handle(), 100));
        PumpMessages();
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageA(control.Handle(), message, wParam, lParam);
    }
};

constexpr COLORREF kBar = RGB(200, 30, 30);
constexpr COLORREF kEmpty = RGB(240, 240, 200);

TEST_F(TextProgressTest, AnswersEveryProgressMessageItself) {
    Make(0, 200, 20);
    EXPECT_EQ(Send(PBM_SETRANGE, 0, MAKELPARAM(0, 100)), 0);
    PBRANGE range{};
    EXPECT_EQ(Send(PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), 0);
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(Send(PBM_GETRANGE, FALSE), 100);
    EXPECT_EQ(Send(PBM_SETRANGE32, 10, 50), 0);
    EXPECT_EQ(Send(PBM_GETRANGE, TRUE), 10);
    EXPECT_EQ(Send(PBM_GETRANGE, FALSE), 50);

    EXPECT_EQ(Send(PBM_SETPOS, 20), 0) << "the old position";
    EXPECT_EQ(Send(PBM_GETPOS), 20);
    EXPECT_EQ(Send(PBM_DELTAPOS, 5), 20);
    EXPECT_EQ(Send(PBM_GETPOS), 25);
    EXPECT_EQ(Send(PBM_SETSTEP, 30), 1);
    EXPECT_EQ(Send(PBM_STEPIT), 25);
    EXPECT_EQ(Send(PBM_GETPOS), 55) << "no wrap-around at the upper limit";
    EXPECT_EQ(Send(PBM_SETPOS, 200), 55);
    EXPECT_EQ(Send(PBM_GETPOS), 200) << "stored unclamped";

    EXPECT_EQ(static_cast<COLORREF>(Send(PBM_SETBARCOLOR, 0, kBar)), CLR_DEFAULT);
    EXPECT_EQ(static_cast<COLORREF>(Send(PBM_SETBARCOLOR, 0, kBar)), kBar);
    EXPECT_EQ(static_cast<COLORREF>(Send(PBM_SETBKCOLOR, 0, kEmpty)), CLR_DEFAULT);
    EXPECT_EQ(static_cast<COLORREF>(Send(TPM_SETTEXTCOLOR, 0, RGB(0, 0, 0))), CLR_DEFAULT);
    EXPECT_EQ(static_cast<COLORREF>(Send(TPM_SETTEXTCOLOR, 0, CLR_DEFAULT)), RGB(0, 0, 0));
    EXPECT_EQ(Send(TPM_SHOWTEXT, FALSE), 0);
    EXPECT_FALSE(control.State().ShowText());

    Surface surface(10, 10, kBackground);
    EXPECT_EQ(Send(WM_ERASEBKGND, reinterpret_cast<WPARAM>(surface.Dc())), TRUE);
    EXPECT_EQ(surface.At(0, 0), kBackground) << "erasing leaves everything to the paint";
}

TEST_F(TextProgressTest, CaptionTextInvalidatesOnlyWhenItChanges) {
    Make(0, 200, 20);
    PumpMessages();
    RECT update;
    ::ValidateRect(control.Handle(), nullptr);
    EXPECT_TRUE(Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Patching")));
    EXPECT_TRUE(::GetUpdateRect(control.Handle(), &update, FALSE));
    ::ValidateRect(control.Handle(), nullptr);
    Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Patching"));
    EXPECT_FALSE(::GetUpdateRect(control.Handle(), &update, FALSE)) << "the same text again";

    char buffer[5] = "xxxx";
    EXPECT_EQ(Send(WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer)), 4);
    EXPECT_STREQ(buffer, "Patc");
    EXPECT_EQ(Send(WM_GETTEXT, 4, 0), 0) << "no buffer";
}

TEST_F(TextProgressTest, RepaintsOnlyWhenTheFilledPartChangesByAPixel) {
    Make(0, 200, 20);
    Send(PBM_SETRANGE32, 0, 1000);
    int paints = control.paints;
    Send(PBM_SETPOS, 0);
    EXPECT_EQ(control.paints, ++paints) << "the first change paints, at once";
    Send(PBM_SETPOS, 4);
    EXPECT_EQ(control.paints, paints) << "0.8 pixels";
    Send(PBM_SETPOS, 5);
    EXPECT_EQ(control.paints, ++paints);
    Send(PBM_SETPOS, 9);
    EXPECT_EQ(control.paints, paints);
    ::SetWindowPos(control.Handle(), nullptr, 0, 0, 100, 20, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages();
    paints = control.paints;
    Send(PBM_SETPOS, 10); // 1 pixel of 100, as before the resize
    EXPECT_EQ(control.paints, paints + 1) << "a size change forces the next repaint";
}

TEST_F(TextProgressTest, VerticalBarsRepaintAsTheirHeightFills) {
    // 20 wide and 200 high: 1 % of the range is 2 pixels of height but 0.2 of width.
    Make(PBS_VERTICAL, 20, 200);
    Send(PBM_SETPOS, 0);
    const int paints = control.paints;
    Send(PBM_SETPOS, 1);
    EXPECT_EQ(control.paints, paints + 1);
}

// What the control paints, through WM_PRINTCLIENT onto a surface of its size.
std::unique_ptr<Surface> Paint(CTextProgressCtrl& control, int width, int height) {
    auto surface = std::make_unique<Surface>(width, height, kBackground);
    ::SendMessageA(control.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface->Dc()),
                   PRF_CLIENT);
    return surface;
}

// The caption's glyph pixels: the text drawn the way the control draws it, alone.
std::unique_ptr<Surface> Glyphs(HFONT font, const char* caption, int width, int height) {
    auto surface = std::make_unique<Surface>(width, height, RGB(0, 0, 0));
    HGDIOBJ previous = ::SelectObject(surface->Dc(), font);
    ::SetBkMode(surface->Dc(), TRANSPARENT);
    ::SetTextColor(surface->Dc(), RGB(255, 255, 255));
    RECT all{0, 0, width, height};
    ::DrawTextA(surface->Dc(), caption, -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ::SelectObject(surface->Dc(), previous);
    return surface;
}

// Every pixel is the bar's or the empty part's colour, swapped under the glyphs,
// with the swap exactly at the bar's edge.
void ExpectInvertedCaption(const Surface& painted, const Surface& glyphs, int edge) {
    int glyphPixelsLeft = 0, glyphPixelsRight = 0;
    for (int y = 0; y < painted.Height(); ++y) {
        for (int x = 0; x < painted.Width(); ++x) {
            const bool glyph = glyphs.At(x, y) == RGB(255, 255, 255);
            const bool filled = x < edge;
            (filled ? glyphPixelsLeft : glyphPixelsRight) += glyph;
            const COLORREF expected = filled == glyph ? kEmpty : kBar;
            ASSERT_EQ(painted.At(x, y), expected) << x << "," << y;
        }
    }
    EXPECT_GT(glyphPixelsLeft, 0);
    EXPECT_GT(glyphPixelsRight, 0);
}

TEST_F(TextProgressTest, PercentageCaptionChangesColourExactlyAtTheBarsEdge) {
    Make(0, 200, 20);
    Send(PBM_SETBARCOLOR, 0, kBar);
    Send(PBM_SETBKCOLOR, 0, kEmpty);
    Send(PBM_SETPOS, 50);
    ExpectInvertedCaption(*Paint(control, 200, 20), *Glyphs(font, "50%", 200, 20), 100);

    Send(PBM_SETRANGE32, 0, 99);
    Send(PBM_SETPOS, 49);
    EXPECT_EQ(control.State().ShownCaption(), "49%");
    ExpectInvertedCaption(*Paint(control, 200, 20), *Glyphs(font, "49%", 200, 20), 98);

    Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("ABCDEF"));
    ExpectInvertedCaption(*Paint(control, 200, 20), *Glyphs(font, "ABCDEF", 200, 20), 98);
}

TEST_F(TextProgressTest, AFixedTextColourIsUsedOnBothSides) {
    Make(0, 200, 20);
    Send(PBM_SETBARCOLOR, 0, kBar);
    Send(PBM_SETBKCOLOR, 0, kEmpty);
    Send(TPM_SETTEXTCOLOR, 0, RGB(0, 0, 255));
    Send(PBM_SETPOS, 50);
    const auto painted = Paint(control, 200, 20);
    const auto glyphs = Glyphs(font, "50%", 200, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 200; ++x)
            if (glyphs->At(x, y) == RGB(255, 255, 255)) {
                ASSERT_EQ(painted->At(x, y), RGB(0, 0, 255)) << x << "," << y;
            }
}

TEST_F(TextProgressTest, HiddenTextAndVerticalBarsShowNoCaption) {
    Make(0, 200, 20);
    Send(PBM_SETBARCOLOR, 0, kBar);
    Send(PBM_SETBKCOLOR, 0, kEmpty);
    Send(PBM_SETPOS, 30);
    Send(TPM_SHOWTEXT, FALSE);
    auto painted = Paint(control, 200, 20);
    EXPECT_EQ(painted->Count(kBar, {0, 0, 60, 20}), 60 * 20);
    EXPECT_EQ(painted->Count(kEmpty, {60, 0, 200, 20}), 140 * 20);
}

TEST_F(TextProgressTest, VerticalBarsGrowUpward) {
    Make(PBS_VERTICAL, 40, 100);
    Send(PBM_SETBARCOLOR, 0, kBar);
    Send(PBM_SETBKCOLOR, 0, kEmpty);
    Send(PBM_SETPOS, 25);
    const auto painted = Paint(control, 40, 100);
    EXPECT_EQ(painted->Count(kEmpty, {0, 0, 40, 75}), 40 * 75);
    EXPECT_EQ(painted->Count(kBar, {0, 75, 40, 100}), 40 * 25) << "no caption over the bar";
}

TEST_F(TextProgressTest, EmptyRangePaintsNothingAndDefaultsUseSystemColours) {
    Make(0, 200, 20);
    Send(PBM_SETRANGE32, 10, 10);
    Send(PBM_SETPOS, 10);
    EXPECT_EQ(Paint(control, 200, 20)->Count(kBackground, {0, 0, 200, 20}), 200 * 20);

    Send(PBM_SETRANGE32, 0, 100);
    Send(TPM_SHOWTEXT, FALSE);
    Send(PBM_SETPOS, 50);
    const auto painted = Paint(control, 200, 20);
    EXPECT_EQ(painted->At(10, 10), ::GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(painted->At(150, 10), ::GetSysColor(COLOR_WINDOW));
}

} // namespace
} // namespace tarnvale::ui
