// The toolkit gallery: every class of the skinned UI toolkit in every state it has,
// drawn with the launcher's own pictures, so that a person can look at the toolkit
// and its screenshot can go into the documentation. Not shipped to players.
//
//   tarnvale-ui-gallery.exe [--close-after MILLISECONDS]
#include "GalleryIds.h"
#include "res/ResourceIds.h"
#include "ui/win32/CBitmapButton.h"
#include "ui/win32/CBitmapCheckBtn.h"
#include "ui/win32/CDIBitmap.h"
#include "ui/win32/CDialogSK.h"
#include "ui/win32/CProgressBar.h"
#include "ui/win32/CTextBitmapButton.h"
#include "ui/win32/CTextProgressCtrl.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace tarnvale::ui {
namespace {

constexpr int kGalleryWidth = 1024;
constexpr int kGalleryHeight = 768;
constexpr COLORREF kBackdrop = RGB(24, 28, 38);
constexpr COLORREF kInk = RGB(222, 214, 190);
constexpr COLORREF kDim = RGB(150, 146, 132);
constexpr COLORREF kKey = RGB(0, 255, 0);

// Where the launcher preview and the layout panels sit.
constexpr POINT kPreview{12, 28};
constexpr int kPanelWidth = 196;
constexpr int kPanelHeight = 92;

RECT At(int x, int y, int width, int height) {
    return {x, y, x + width, y + height};
}

// A child panel that shows one background layout.
class LayoutPanel : public CDialogSK {
  public:
    explicit LayoutPanel(HWND parent) : CDialogSK(IDD_GALLERY_PANEL, parent) {}
};

// The launcher's partition view as players see it: skin 140 with its see-through
// green, the ten server buttons (two unavailable), the five links and the close
// button, all live windows drawn by the toolkit.
class LauncherPreview : public CDialogSK {
  public:
    explicit LauncherPreview(HWND owner) : CDialogSK(IDD_UPDATE_DIALOG, owner) {}

  protected:
    BOOL OnInitDialog() override {
        CDialogSK::OnInitDialog();
        SetBackgroundBitmap(WORD{IDB_SKIN_PARTITIONS});
        SetBackgroundLayout(BackgroundLayout::FitWindow);
        SetTransparentColor(kKey, TRUE);
        POINT at = kPreview;
        ::ClientToScreen(Parent(), &at);
        ::SetWindowPos(Handle(), nullptr, at.x, at.y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

        struct Link {
            int id, x, y;
            UINT normal, pressed;
        };
        const std::array<Link, 6> links{
            {{2021, 237, 337, IDB_LINK2_NORMAL, IDB_LINK2_PRESSED},
             {2020, 300, 337, IDB_LINK1_NORMAL, IDB_LINK1_PRESSED},
             {2023, 365, 337, IDB_LINK4_NORMAL, IDB_LINK4_PRESSED},
             {2022, 430, 337, IDB_LINK3_NORMAL, IDB_LINK3_PRESSED},
             {2028, 493, 337, IDB_CLOSE_LINK_NORMAL, IDB_CLOSE_LINK_PRESSED},
             {2004, 561, 3, IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED}}};
        for (std::size_t i = 0; i < links.size(); ++i) {
            const Link& link = links[i];
            m_links[i].Create("", WS_CHILD | WS_VISIBLE, At(link.x, link.y, 1, 1), Handle(),
                              link.id);
            m_links[i].LoadBitmaps(link.normal, link.pressed, link.normal, link.normal);
            m_links[i].SizeToContent();
        }

        static const char* const names[10] = {
            "Asterhold",   "Brightwater", "Cinderfell", "Duskmere", "Emberlight",
            "Frosthollow", "Greywatch",   "Hollowmoor", "Ironvale", "Juniper Keep"};
        for (int i = 0; i < 10; ++i) {
            CTextBitmapButton& button = m_partitions[static_cast<std::size_t>(i)];
            char text[32];
            std::snprintf(text, sizeof text, "ParttionButton%d", i + 1);
            button.Create(text, WS_CHILD | WS_VISIBLE,
                          At(227 + 169 * (i % 2), 17 + 29 * (i / 2), 164, 26), Handle(), 6501 + i);
            button.LoadBitmaps(IDB_PARTITION_NORMAL, IDB_PARTITION_PRESSED, IDB_PARTITION_NORMAL,
                               IDB_PARTITION_PRESSED);
            button.SizeToContent();
            button.SetCaption(names[i]);
            button.SetFontSize(6, 12);
            button.SetCaptionColor(RGB(0, 0, 0));
            // Partitions whose port is 0 are unavailable.
            ::EnableWindow(button.Handle(), i < 8);
        }
        return FALSE; // no focus: the gallery keeps it
    }

  private:
    std::array<CBitmapButton, 6> m_links;
    std::array<CTextBitmapButton, 10> m_partitions;
};

class Gallery : public Dialog {
  public:
    explicit Gallery(UINT closeAfterMs) : Dialog(IDD_GALLERY), m_closeAfter(closeAfterMs) {}

  protected:
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        // A borderless window over the whole virtual screen; the title only names it.
        ::SetWindowTextA(Handle(), "Tarnvale toolkit gallery");
        ::SetWindowPos(Handle(), nullptr, 0, 0, kGalleryWidth, kGalleryHeight, SWP_NOZORDER);
        m_font = ::CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                               0, 0, "Tahoma");
        m_titleFont = ::CreateFontA(-15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0,
                                    0, 0, 0, "Tahoma");
        CreatePanels();
        CreateDrawnButtons();
        CreateBars();
        CreateCheckBoxes();
        m_options.LoadFromResource(IDB_OPTION_BACKGROUND);
        m_preview = std::make_unique<LauncherPreview>(Handle());
        m_preview->Create();
        if (m_closeAfter)
            ::SetTimer(Handle(), 1, m_closeAfter, nullptr);
        return TRUE;
    }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_ERASEBKGND: {
            RECT client;
            ::GetClientRect(Handle(), &client);
            HBRUSH brush = ::CreateSolidBrush(kBackdrop);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            ::DeleteObject(brush);
            return TRUE;
        }
        case WM_CTLCOLORDLG:
            return reinterpret_cast<LRESULT>(::GetStockObject(BLACK_BRUSH));
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(Handle(), &paint);
            Paint(dc);
            ::EndPaint(Handle(), &paint);
            return 0;
        }
        case WM_TIMER:
            ::KillTimer(Handle(), 1);
            EndDialog(0);
            return 0;
        case WM_DESTROY:
            m_preview.reset();
            ::DeleteObject(m_font);
            ::DeleteObject(m_titleFont);
            break;
        default:
            break;
        }
        return Dialog::HandleMessage(message, wParam, lParam);
    }

  private:
    struct Panel {
        BackgroundLayout layout;
        WORD bitmap;
        const char* label;
    };
    static constexpr std::array<Panel, 5> kPanels{{
        {BackgroundLayout::Origin, IDB_SKIN_PROGRESS, "Origin: skin 163"},
        {BackgroundLayout::Tile, IDB_CLOSE_NORMAL, "Tile: close button 144"},
        {BackgroundLayout::Center, IDB_OPTION, "Center: Option button 104"},
        {BackgroundLayout::Stretch, IDB_SKIN_PARTITIONS, "Stretch: skin 140"},
        {BackgroundLayout::FitWindow, IDB_PARTITION_NORMAL, "FitWindow: server button 149"},
    }};

    static POINT PanelCell(std::size_t i) {
        return {606 + 206 * static_cast<int>(i % 2), 28 + 124 * static_cast<int>(i / 2)};
    }

    void CreatePanels() {
        for (std::size_t i = 0; i < kPanels.size(); ++i) {
            auto panel = std::make_unique<LayoutPanel>(Handle());
            if (!panel->Create())
                continue;
            const POINT cell = PanelCell(i);
            ::SetWindowPos(panel->Handle(), nullptr, cell.x, cell.y, kPanelWidth, kPanelHeight,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            panel->SetBackgroundBitmap(kPanels[i].bitmap);
            panel->SetBackgroundLayout(kPanels[i].layout);
            m_panels.push_back(std::move(panel));
        }
    }

    // Buttons drawn by the gallery in chosen states: the classes' own drawing onto
    // the gallery's surface, since a live button shows only the state it is in.
    struct DrawnButton {
        std::unique_ptr<CBitmapButton> button;
        RECT rect;
        UINT state;
        const char* label;
    };

    void AddDrawn(std::unique_ptr<CBitmapButton> button, int x, int y, int width, int height,
                  UINT state, const char* label) {
        m_drawn.push_back({std::move(button), At(x, y, width, height), state, label});
    }

    std::unique_ptr<CTextBitmapButton> ServerButton(const char* caption) {
        auto button = std::make_unique<CTextBitmapButton>();
        button->LoadBitmaps(IDB_PARTITION_NORMAL, IDB_PARTITION_PRESSED, IDB_PARTITION_NORMAL,
                            IDB_PARTITION_PRESSED);
        button->SetCaption(caption);
        button->SetFontSize(6, 12);
        return button;
    }

    void CreateDrawnButtons() {
        const UINT states[4] = {0, ODS_FOCUS, ODS_SELECTED, ODS_DISABLED};
        const char* const labels[4] = {"normal", "focused", "pressed", "disabled"};
        for (int i = 0; i < 4; ++i)
            AddDrawn(ServerButton("Asterhold"), 12 + 168 * i, 446, 164, 26, states[i], labels[i]);
        auto bold = ServerButton("Asterhold");
        bold->SetBold(1);
        AddDrawn(std::move(bold), 12 + 168 * 4, 446, 164, 26, 0, "bold 1 (weight 956)");
        auto coloured = ServerButton("Asterhold");
        coloured->SetCaptionColor(RGB(150, 20, 30));
        coloured->SetFaceName("Times New Roman");
        coloured->SetFontSize(0, 15);
        AddDrawn(std::move(coloured), 12 + 168 * 5, 446, 164, 26, 0, "face, size, colour");

        struct Pair {
            UINT normal, pressed;
            int width, height;
        };
        const Pair links[5] = {{IDB_LINK2_NORMAL, IDB_LINK2_PRESSED, 60, 24},
                               {IDB_LINK1_NORMAL, IDB_LINK1_PRESSED, 60, 24},
                               {IDB_LINK4_NORMAL, IDB_LINK4_PRESSED, 60, 24},
                               {IDB_LINK3_NORMAL, IDB_LINK3_PRESSED, 60, 24},
                               {IDB_CLOSE_LINK_NORMAL, IDB_CLOSE_LINK_PRESSED, 60, 24}};
        int x = 12;
        auto addPair = [&](const Pair& pair, int y) {
            for (UINT state : {0u, unsigned(ODS_SELECTED)}) {
                auto button = std::make_unique<CBitmapButton>();
                button->LoadBitmaps(pair.normal, pair.pressed, pair.normal, pair.normal);
                AddDrawn(std::move(button), x, y, pair.width, pair.height, state,
                         state ? "pressed" : "normal");
                x += std::max(pair.width, 56) + 4; // room for the label
            }
            x += 8;
        };
        for (const Pair& pair : links)
            addPair(pair, 506);
        addPair({IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, 16, 15}, 506);
        const UINT commands[3] = {IDB_OPTION, IDB_CONNECT, IDB_CLOSE_BIG};
        for (int i = 0; i < 3; ++i) {
            auto button = std::make_unique<CBitmapButton>();
            button->LoadBitmaps(commands[i], commands[i], commands[i], commands[i]);
            AddDrawn(std::move(button), 12 + 90 * i, 566, 84, 31, i == 1 ? ODS_DISABLED : 0,
                     i == 1 ? "disabled" : "normal");
        }
        x = 300;
        addPair({IDB_SAVE_NORMAL, IDB_SAVE_PRESSED, 74, 22}, 566);
        addPair({IDB_CANCEL_NORMAL, IDB_CANCEL_PRESSED, 74, 22}, 566);
    }

    void CreateBars() {
        const int positions[5] = {0, 25, 50, 75, 100};
        for (int i = 0; i < 5; ++i) {
            CProgressBar& bar = m_bars[static_cast<std::size_t>(i)];
            bar.Initialize(IDB_PROGRESS_BAR, 12, 630 + 27 * i, Handle());
            bar.SetRange(100);
            bar.SetPos(positions[i]);
        }
        struct Text {
            int position;
            const char* caption;
            COLORREF bar, background, text;
        };
        const Text texts[5] = {
            {0, nullptr, CLR_DEFAULT, CLR_DEFAULT, CLR_DEFAULT},
            {33, nullptr, RGB(176, 124, 52), RGB(44, 40, 36), CLR_DEFAULT},
            {50, nullptr, RGB(176, 124, 52), RGB(44, 40, 36), CLR_DEFAULT},
            {100, nullptr, RGB(176, 124, 52), RGB(44, 40, 36), CLR_DEFAULT},
            {45, "Patching 3 of 7", RGB(60, 110, 170), RGB(230, 226, 210), RGB(20, 20, 20)},
        };
        for (int i = 0; i < 5; ++i) {
            auto control = std::make_unique<CTextProgressCtrl>();
            control->Create(WS_CHILD | WS_VISIBLE, At(420, 630 + 27 * i, 300, 21), Handle(),
                            3000 + i);
            control->SetBarColor(texts[i].bar);
            control->SetBkColor(texts[i].background);
            control->SetTextColor(texts[i].text);
            if (texts[i].caption)
                ::SetWindowTextA(control->Handle(), texts[i].caption);
            control->SetPos(texts[i].position);
            m_texts.push_back(std::move(control));
        }
        const int vertical[3] = {20, 50, 80};
        for (int i = 0; i < 3; ++i) {
            auto control = std::make_unique<CTextProgressCtrl>();
            control->Create(WS_CHILD | WS_VISIBLE | PBS_VERTICAL, At(740 + 30 * i, 630, 20, 129),
                            Handle(), 3010 + i);
            control->SetBarColor(RGB(176, 124, 52));
            control->SetBkColor(RGB(44, 40, 36));
            control->SetPos(vertical[i]);
            m_texts.push_back(std::move(control));
        }
    }

    void CreateCheckBoxes() {
        for (int i = 0; i < 2; ++i) {
            CBitmapCheckBtn& box = m_checks[static_cast<std::size_t>(i)];
            box.Create("", WS_CHILD | WS_VISIBLE, At(840 + 80 * i, 506, 16, 15), Handle(),
                       2007 + i);
            box.LoadBitmaps(IDB_CLOSE_SPARE_NORMAL, IDB_CLOSE_SPARE_PRESSED);
            box.SizeToContent();
            box.SetChecked(i == 1);
        }
    }

    void Text(HDC dc, int x, int y, const char* text, COLORREF colour = kDim) const {
        ::SetTextColor(dc, colour);
        ::TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
    }

    void Paint(HDC dc) {
        ::SetBkMode(dc, TRANSPARENT);
        HGDIOBJ previousFont = ::SelectObject(dc, m_titleFont);
        Text(dc, 12, 6, "CDialogSK: launcher skin 140, FitWindow, colour key", kInk);
        Text(dc, 606, 6, "CDialogSK background layouts", kInk);
        Text(dc, 12, 424, "CTextBitmapButton: server button 149/148, every state and caption",
             kInk);
        Text(dc, 12, 484, "CBitmapButton: links and close, normal and pressed", kInk);
        Text(dc, 12, 544, "CBitmapButton: one picture; Save and Cancel", kInk);
        Text(dc, 840, 484, "CBitmapCheckBtn", kInk);
        Text(dc, 12, 608, "CProgressBar (bitmap 162)", kInk);
        Text(dc, 420, 608, "CTextProgressCtrl", kInk);
        Text(dc, 860, 544, "CDIBitmap", kInk);
        ::SelectObject(dc, m_font);

        for (std::size_t i = 0; i < kPanels.size(); ++i) {
            const POINT cell = PanelCell(i);
            Text(dc, cell.x, cell.y + kPanelHeight + 3, kPanels[i].label);
        }
        Text(dc, 740, 612, "vertical");
        for (const DrawnButton& drawn : m_drawn) {
            DRAWITEMSTRUCT item{};
            item.CtlType = ODT_BUTTON;
            item.itemAction = ODA_DRAWENTIRE;
            item.itemState = drawn.state;
            item.hDC = dc;
            item.rcItem = drawn.rect;
            drawn.button->DrawItem(item);
            ::SetBkMode(dc, TRANSPARENT);
            ::SelectObject(dc, m_font);
            Text(dc, drawn.rect.left, drawn.rect.bottom + 2, drawn.label);
        }
        Text(dc, 840, 523, "unchecked");
        Text(dc, 920, 523, "checked");

        const char* const positions[5] = {"0/100", "25/100", "50/100", "75/100", "100/100"};
        for (int i = 0; i < 5; ++i) {
            m_bars[static_cast<std::size_t>(i)].Draw(dc);
            Text(dc, 358, 634 + 27 * i, positions[i]);
        }

        // The options background: a part at its own size and the whole, smaller.
        if (m_options.Loaded()) {
            const POINT cell = PanelCell(5);
            const RECT part = At(cell.x, cell.y, kPanelWidth, kPanelHeight);
            m_options.DrawPart(dc, part, At(20, 120, kPanelWidth, kPanelHeight));
            Text(dc, cell.x, cell.y + kPanelHeight + 3, "CDIBitmap DrawPart: options 110");
            m_options.DrawStretched(dc, 860, 566, 118, 149);
            Text(dc, 860, 718, "DrawStretched: 110");
            Text(dc, 860, 734, m_options.Palette() ? "with palette" : "24 bits, no palette");
        }
        ::SelectObject(dc, previousFont);
    }

    UINT m_closeAfter;
    HFONT m_font = nullptr;
    HFONT m_titleFont = nullptr;
    std::vector<std::unique_ptr<LayoutPanel>> m_panels;
    std::vector<DrawnButton> m_drawn;
    std::array<CProgressBar, 5> m_bars;
    std::vector<std::unique_ptr<CTextProgressCtrl>> m_texts;
    std::array<CBitmapCheckBtn, 2> m_checks;
    CDIBitmap m_options;
    std::unique_ptr<LauncherPreview> m_preview;
};

} // namespace
} // namespace tarnvale::ui

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    UINT closeAfter = 0;
    if (const char* option = std::strstr(commandLine, "--close-after "))
        closeAfter = static_cast<UINT>(std::strtoul(option + 14, nullptr, 10));
    tarnvale::ui::Gallery gallery(closeAfter);
    return gallery.DoModal() == -1 ? 1 : 0;
}
