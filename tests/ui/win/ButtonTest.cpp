// The bitmap buttons under Wine: which picture each state draws, the caption over
// it, and the check box that paints itself.
#include "TestResources.h"
#include "UiTestSupport.h"
#include "ui/ButtonRules.h"
#include "ui/win32/CBitmapButton.h"
#include "ui/win32/CBitmapCheckBtn.h"
#include "ui/win32/CTextBitmapButton.h"

#include <gtest/gtest.h>

namespace tarnvale::ui {
namespace {

using test::ParentWindow;
using test::PumpMessages;
using test::Surface;

constexpr COLORREF kNormal = RGB(200, 0, 0);
constexpr COLORREF kPressed = RGB(0, 160, 0);
constexpr COLORREF kFocused = RGB(0, 0, 200);
constexpr COLORREF kDisabled = RGB(128, 128, 128);
constexpr COLORREF kBackground = RGB(1, 2, 3);
constexpr COLORREF kUnchecked = RGB(10, 20, 30);
constexpr COLORREF kChecked = RGB(200, 100, 50);
constexpr RECT kButton{0, 0, 60, 24};

DRAWITEMSTRUCT Request(HDC dc, UINT state, const RECT& rect = kButton) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hDC = dc;
    item.rcItem = rect;
    return item;
}

// Draws one state onto a fresh surface and returns it.
std::unique_ptr<Surface> DrawState(CBitmapButton& button, UINT state) {
    auto surface = std::make_unique<Surface>(80, 40, kBackground);
    button.DrawItem(Request(surface->Dc(), state));
    return surface;
}

TEST(BitmapButton, EveryStateAndEveryMissingPictureDrawsTheChosenPicture) {
    const UINT states[] = {0,
                           ODS_SELECTED,
                           ODS_FOCUS,
                           ODS_DISABLED,
                           ODS_SELECTED | ODS_FOCUS,
                           ODS_SELECTED | ODS_DISABLED,
                           ODS_FOCUS | ODS_DISABLED,
                           ODS_SELECTED | ODS_FOCUS | ODS_DISABLED};
    for (int present = 0; present < 8; ++present) {
        const bool pressed = present & 1, focused = present & 2, disabled = present & 4;
        CBitmapButton button;
        ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_NORMAL, pressed ? IDB_TEST_PRESSED : 0,
                                       focused ? IDB_TEST_FOCUSED : 0,
                                       disabled ? IDB_TEST_DISABLED : 0));
        for (UINT state : states) {
            COLORREF expected = kNormal;
            switch (ChooseButtonImage(state, pressed, focused, disabled)) {
            case ButtonImage::Pressed:
                expected = kPressed;
                break;
            case ButtonImage::Focused:
                expected = kFocused;
                break;
            case ButtonImage::Disabled:
                expected = kDisabled;
                break;
            default:
                break;
            }
            const auto surface = DrawState(button, state);
            EXPECT_EQ(surface->Count(expected, kButton), 60 * 24)
                << "pictures " << present << ", state " << state;
            EXPECT_EQ(surface->At(60, 0), kBackground) << "nothing beyond the item rectangle";
        }
    }
}

TEST(BitmapButton, LoadReportsMissingPicturesAndKeepsTheOthers) {
    CBitmapButton button;
    EXPECT_FALSE(button.LoadBitmaps(IDB_TEST_NORMAL, IDB_TEST_MISSING, IDB_TEST_FOCUSED));
    EXPECT_EQ(DrawState(button, ODS_SELECTED)->At(5, 5), kNormal);
    EXPECT_EQ(DrawState(button, ODS_FOCUS)->At(5, 5), kFocused);

    // Without a normal picture nothing is drawn in the states that fall through to it.
    EXPECT_FALSE(button.LoadBitmaps(IDB_TEST_MISSING, IDB_TEST_PRESSED));
    EXPECT_EQ(DrawState(button, 0)->Count(kBackground, kButton), 60 * 24);
    EXPECT_EQ(DrawState(button, ODS_SELECTED)->At(5, 5), kPressed);

    // Loading again releases what was there.
    EXPECT_TRUE(button.LoadBitmaps(IDB_TEST_NORMAL));
    EXPECT_EQ(DrawState(button, ODS_FOCUS)->At(5, 5), kNormal);
}

TEST(BitmapButton, SizeToContentTakesTheNormalPicturesSize) {
    ParentWindow parent;
    CBitmapButton button;
    ASSERT_TRUE(
        button.Create("Option", WS_CHILD | WS_VISIBLE, {30, 40, 35, 45}, parent.Handle(), 2000));
    EXPECT_EQ(::GetWindowLongA(button.Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_NORMAL, IDB_TEST_PRESSED));
    button.SizeToContent();
    RECT rect;
    ::GetWindowRect(button.Handle(), &rect);
    ::MapWindowPoints(nullptr, parent.Handle(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 30);
    EXPECT_EQ(rect.top, 40);
    EXPECT_EQ(rect.right - rect.left, 60);
    EXPECT_EQ(rect.bottom - rect.top, 24);

    // The system's draw request reaches it through the parent.
    ::InvalidateRect(button.Handle(), nullptr, TRUE);
    ::UpdateWindow(button.Handle());
    HDC dc = ::GetDC(button.Handle());
    EXPECT_EQ(::GetPixel(dc, 5, 5), kNormal);
    ::ReleaseDC(button.Handle(), dc);
}

// Pixels of the caption colour inside the button.
int CaptionPixels(CTextBitmapButton& button, UINT state, COLORREF caption) {
    return DrawState(button, state)->Count(caption, kButton);
}

TEST(TextBitmapButton, CaptionIsDrawnInItsColourInEveryStateOverThePicture) {
    CTextBitmapButton button;
    // The launcher's partition buttons: normal and focused one picture, pressed and
    // disabled the other.
    ASSERT_TRUE(
        button.LoadBitmaps(IDB_TEST_NORMAL, IDB_TEST_PRESSED, IDB_TEST_NORMAL, IDB_TEST_PRESSED));
    button.SetCaption("Realm");
    button.SetFontSize(6, 12);
    const COLORREF caption = RGB(255, 255, 255);
    button.SetCaptionColor(caption);
    for (UINT state : {0u, unsigned(ODS_FOCUS), unsigned(ODS_SELECTED), unsigned(ODS_DISABLED)}) {
        const auto surface = DrawState(button, state);
        EXPECT_GT(surface->Count(caption, kButton), 10) << state;
        const COLORREF picture = (state & (ODS_SELECTED | ODS_DISABLED)) ? kPressed : kNormal;
        EXPECT_EQ(surface->At(1, 1), picture) << state;
    }
}

TEST(TextBitmapButton, EmptyCaptionDrawsThePictureOnly) {
    CTextBitmapButton button;
    ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_NORMAL));
    button.SetCaptionColor(RGB(255, 255, 255));
    EXPECT_EQ(DrawState(button, 0)->Count(kNormal, kButton), 60 * 24);
}

TEST(TextBitmapButton, NoNormalPictureDrawsNothingNotEvenTheCaption) {
    CTextBitmapButton button;
    button.SetCaption("Realm");
    button.SetCaptionColor(RGB(255, 255, 255));
    EXPECT_EQ(DrawState(button, 0)->Count(kBackground, kButton), 60 * 24);
}

TEST(TextBitmapButton, OnlyBoldFlagOneMakesTheCaptionHeavier) {
    CTextBitmapButton button;
    ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_NORMAL));
    button.SetCaption("WWWW");
    button.SetFontSize(0, 18);
    const COLORREF caption = RGB(255, 255, 255);
    button.SetCaptionColor(caption);
    const int normal = CaptionPixels(button, 0, caption);
    button.SetBold(2);
    EXPECT_EQ(CaptionPixels(button, 0, caption), normal);
    button.SetBold(1);
    EXPECT_GT(CaptionPixels(button, 0, caption), normal + normal / 5);
}

TEST(TextBitmapButton, OverlongCaptionsAreCutToTheirBuffers) {
    CTextBitmapButton button;
    button.SetCaption("0123456789012345678901234567890123456789");
    EXPECT_STREQ(button.Caption(), "0123456789012345678901234567890");
    button.SetCaption(button.Caption());
    EXPECT_STREQ(button.Caption(), "0123456789012345678901234567890");
    std::string face(100, 'F');
    button.SetFaceName(face.c_str()); // must not run past its 64 bytes
    button.SetCaption(nullptr);
    EXPECT_STREQ(button.Caption(), "");
}

// A check button in a visible window, whose pixels the tests read from the screen
// context of the button.
struct CheckButtonTest : ::testing::Test {
    ParentWindow parent;
    CBitmapCheckBtn button;
    void SetUp() override {
        ASSERT_TRUE(
            button.Create("", WS_CHILD | WS_VISIBLE, {10, 10, 23, 23}, parent.Handle(), 2007));
        PumpMessages(); // the system's first paint, before any picture is loaded
    }
    COLORREF Pixel() const {
        HDC dc = ::GetDC(button.Handle());
        const COLORREF colour = ::GetPixel(dc, 6, 6);
        ::ReleaseDC(button.Handle(), dc);
        return colour;
    }
    void Smudge(COLORREF colour) const {
        HDC dc = ::GetDC(button.Handle());
        HBRUSH brush = ::CreateSolidBrush(colour);
        const RECT all{0, 0, 13, 13};
        ::FillRect(dc, &all, brush);
        ::DeleteObject(brush);
        ::ReleaseDC(button.Handle(), dc);
    }
};

TEST_F(CheckButtonTest, SetCheckedPaintsAtOnce) {
    ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_UNCHECKED, IDB_TEST_CHECKED));
    Smudge(RGB(9, 9, 9));
    button.SetChecked(TRUE);
    EXPECT_TRUE(button.IsChecked());
    EXPECT_EQ(Pixel(), kChecked) << "without waiting for a paint message";
    button.SetChecked(FALSE);
    EXPECT_EQ(Pixel(), kUnchecked);
}

TEST_F(CheckButtonTest, OnlyTheFirstDrawItemAfterLoadingPaints) {
    ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_UNCHECKED, IDB_TEST_CHECKED));
    EXPECT_TRUE(button.FirstPaintPending());
    Smudge(RGB(9, 9, 9));
    button.DrawItem(Request(nullptr, 0));
    EXPECT_EQ(Pixel(), kUnchecked);
    EXPECT_FALSE(button.FirstPaintPending());
    Smudge(RGB(9, 9, 9));
    button.DrawItem(Request(nullptr, 0));
    EXPECT_EQ(Pixel(), RGB(9, 9, 9));

    // Loading again arms it again; the request may come from the system.
    ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_UNCHECKED, IDB_TEST_CHECKED));
    button.SetChecked(TRUE);
    Smudge(RGB(9, 9, 9));
    ::InvalidateRect(button.Handle(), nullptr, FALSE);
    ::UpdateWindow(button.Handle());
    EXPECT_EQ(Pixel(), kChecked);
}

TEST_F(CheckButtonTest, AFailedSecondPictureKeepsTheFirstAndArmsNothing) {
    EXPECT_FALSE(button.LoadBitmaps(IDB_TEST_UNCHECKED, IDB_TEST_MISSING));
    EXPECT_FALSE(button.FirstPaintPending());
    Smudge(RGB(9, 9, 9));
    button.SetChecked(FALSE);
    EXPECT_EQ(Pixel(), kUnchecked) << "the first picture stayed loaded";
    Smudge(RGB(9, 9, 9));
    button.SetChecked(TRUE);
    EXPECT_EQ(Pixel(), RGB(9, 9, 9)) << "no checked picture: nothing drawn";
}

TEST_F(CheckButtonTest, SizeToContentTakesTheUncheckedPicture) {
    ::SetWindowPos(button.Handle(), nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_UNCHECKED, IDB_TEST_CHECKED));
    button.SizeToContent();
    RECT rect;
    ::GetClientRect(button.Handle(), &rect);
    EXPECT_EQ(rect.right, 13);
    EXPECT_EQ(rect.bottom, 13);
}

TEST(CheckButtonWithoutWindow, KeepsItsStateAndDrawsNothing) {
    // The launcher's window-mode box: a state without a window or pictures.
    CBitmapCheckBtn button;
    button.SetChecked(TRUE);
    EXPECT_TRUE(button.IsChecked());
    button.SetChecked(FALSE);
    EXPECT_FALSE(button.IsChecked());
}

} // namespace
} // namespace tarnvale::ui
