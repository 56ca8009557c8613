// The built launcher executable, opened as a data file under the real Win32
// resource functions, carries every resource its windows load: the bitmaps of
// the table and no others in their range, both dialog templates as the windows
// expect them, the icon in four sizes, the version and the manifest.
#include "res/BitmapTable.h"
#include "res/ResourceIds.h"
#include "support/LauncherExecutable.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

namespace tarnvale::test {
namespace {

// A resource's bytes, empty when the module lacks it.
std::string ResourceBytes(HMODULE module, int id, LPCWSTR type) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found)
        return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    return data ? std::string(static_cast<const char*>(data), ::SizeofResource(module, found))
                : std::string();
}

class LauncherResources : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::wstring path = LauncherExecutablePath();
        ASSERT_FALSE(path.empty()) << "the launcher has not been built";
        m_module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(m_module, nullptr) << "cannot open the launcher, error " << ::GetLastError();
    }
    void TearDown() override {
        if (m_module)
            ::FreeLibrary(m_module);
    }
    HMODULE m_module = nullptr;
};

TEST_F(LauncherResources, EveryBitmapOfTheTableAndNoOtherInItsRange) {
    for (int id = 100; id <= 170; ++id) {
        const BitmapTableEntry* entry = FindBitmap(id);
        const std::string bytes = ResourceBytes(m_module, id, MAKEINTRESOURCEW(2)); // RT_BITMAP
        if (!entry) {
            EXPECT_TRUE(bytes.empty()) << "unexpected bitmap " << id;
            continue;
        }
        ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER)) << "bitmap " << id;
        BITMAPINFOHEADER header;
        std::memcpy(&header, bytes.data(), sizeof header);
        const std::size_t rowSize = (entry->width * 24 + 31) / 32 * 4;
        EXPECT_EQ(header.biSize, 40u) << id;
        EXPECT_EQ(header.biWidth, entry->width) << id;
        EXPECT_EQ(header.biHeight, entry->height) << id;
        EXPECT_EQ(header.biBitCount, 24) << id;
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB)) << id;
        EXPECT_EQ(bytes.size(), 40 + rowSize * entry->height) << id;

        // The windows load them as DIB sections; that must give the same picture.
        HANDLE image =
            ::LoadImageW(m_module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        ASSERT_NE(image, nullptr) << "LoadImage of bitmap " << id;
        DIBSECTION dib{};
        EXPECT_EQ(::GetObjectW(image, sizeof dib, &dib), static_cast<int>(sizeof dib)) << id;
        EXPECT_EQ(dib.dsBm.bmWidth, entry->width) << id;
        EXPECT_EQ(dib.dsBm.bmHeight, entry->height) << id;
        EXPECT_EQ(dib.dsBm.bmBitsPixel, 24) << id;
        ::DeleteObject(image);
    }
}

// Reads a DLGTEMPLATEEX and its items, each field where the format puts it.
class DialogReader {
  public:
    explicit DialogReader(std::string bytes) : m_bytes(std::move(bytes)) {}
    bool Ok() const { return m_ok; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Take(2)); }
    std::uint32_t Dword() { return Take(4); }
    std::int16_t Short() { return static_cast<std::int16_t>(Take(2)); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Take(1)); }
    // A text, or an ordinal written as 0xFFFF and the number (returned as "#n").
    std::wstring TextOrOrdinal() {
        std::wstring text;
        if (Peek16() == 0xFFFF) {
            Word();
            return L"#" + std::to_wstring(Word());
        }
        while (m_ok) {
            const wchar_t c = static_cast<wchar_t>(Word());
            if (c == 0)
                break;
            text += c;
        }
        return text;
    }
    void AlignTo4() {
        while (m_at % 4 != 0)
            ++m_at;
    }

  private:
    std::uint32_t Take(std::size_t n) {
        if (m_at + n > m_bytes.size()) {
            m_ok = false;
            return 0;
        }
        std::uint32_t value = 0;
        for (std::size_t i = n; i-- > 0;)
            value = value << 8 | static_cast<unsigned char>(m_bytes[m_at + i]);
        m_at += n;
        return value;
    }
    std::uint16_t Peek16() const {
        return m_at + 2 > m_bytes.size()
                   ? 0
                   : static_cast<std::uint16_t>(static_cast<unsigned char>(m_bytes[m_at]) |
                                                static_cast<unsigned char>(m_bytes[m_at + 1]) << 8);
    }
    std::string m_bytes;
    std::size_t m_at = 0;
    bool m_ok = true;
};

struct DialogHeader {
    std::uint32_t exStyle = 0, style = 0;
    int items = 0, cx = 0, cy = 0;
    std::wstring menu, windowClass, title, face;
    int pointSize = 0;
};

DialogHeader ReadHeader(DialogReader& r) {
    DialogHeader h;
    EXPECT_EQ(r.Word(), 1);      // dlgVer
    EXPECT_EQ(r.Word(), 0xFFFF); // signature of the extended template
    r.Dword();                   // help id
    h.exStyle = r.Dword();
    h.style = r.Dword();
    h.items = r.Word();
    r.Short();
    r.Short();
    h.cx = r.Short();
    h.cy = r.Short();
    h.menu = r.TextOrOrdinal();
    h.windowClass = r.TextOrOrdinal();
    h.title = r.TextOrOrdinal();
    h.pointSize = r.Word();
    r.Word(); // weight
    r.Byte(); // italic
    r.Byte(); // character set
    h.face = r.TextOrOrdinal();
    return h;
}

// A control's window class, which a template may give by name or by the
// system's ordinal: both create the same control.
std::wstring ClassName(const std::wstring& nameOrOrdinal) {
    if (nameOrOrdinal == L"#128")
        return L"button";
    if (nameOrOrdinal == L"#129")
        return L"edit";
    std::wstring lower;
    for (wchar_t c : nameOrOrdinal)
        lower += static_cast<wchar_t>(std::towlower(c));
    return lower;
}

const wchar_t kDotum[] = L"\uB3CB\uC6C0"; // "돋움"

TEST_F(LauncherResources, LauncherWindowTemplate) {
    DialogReader r(ResourceBytes(m_module, IDD_UPDATE_DIALOG, MAKEINTRESOURCEW(5))); // RT_DIALOG
    const DialogHeader h = ReadHeader(r);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(h.style, 0x90000040u); // WS_POPUP | WS_VISIBLE | DS_SETFONT
    EXPECT_EQ(h.exStyle, 0x40000u);  // WS_EX_APPWINDOW
    EXPECT_EQ(h.cx, 283);
    EXPECT_EQ(h.cy, 315);
    EXPECT_EQ(h.items, 0); // the window creates the notice browser itself
    EXPECT_EQ(h.menu, L"");
    EXPECT_EQ(h.title, L"");
    EXPECT_EQ(h.pointSize, 10);
    EXPECT_EQ(h.face, kDotum);
}

TEST_F(LauncherResources, OptionsDialogTemplate) {
    DialogReader r(ResourceBytes(m_module, IDD_OPTION_DIALOG, MAKEINTRESOURCEW(5)));
    const DialogHeader h = ReadHeader(r);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(h.style, 0x90000040u);
    EXPECT_EQ(h.cx, 296);
    EXPECT_EQ(h.cy, 220);
    EXPECT_EQ(h.title, L"");
    EXPECT_EQ(h.pointSize, 9);
    EXPECT_EQ(h.face, kDotum);

    struct Item {
        int id;
        const wchar_t* windowClass; // "button" or "edit"
        std::uint32_t kind;         // button type in the low style bits
        bool group;
        const wchar_t* text;
    };
    const Item expected[] = {
        {IDC_ACCOUNT_ID, L"edit", ES_AUTOHSCROLL, false, L""},
        {IDC_RES800, L"button", BS_AUTORADIOBUTTON, true, L"800x600"},
        {IDC_RES1024, L"button", BS_AUTORADIOBUTTON, false, L"1024x768"},
        {IDC_RES1280, L"button", BS_AUTORADIOBUTTON, false, L"1280x960"},
        {IDC_RES1920, L"button", BS_AUTORADIOBUTTON, false, L"1920x1080"},
        // "효과음 켜고/끄기"
        {IDC_SOUND, L"button", BS_AUTOCHECKBOX, false,
         L"\uD6A8\uACFC\uC74C \uCF1C\uACE0/\uB044\uAE30"},
        {IDC_WINDOW_MODE, L"button", BS_AUTOCHECKBOX, false, L"WinMode"},
        {IDC_SAVE, L"button", BS_OWNERDRAW, false, L"\uC800\uC7A5"}, // "저장"
        {IDCANCEL, L"button", BS_OWNERDRAW, false, L"\uCDE8\uC18C"}, // "취소"
        // "배경음악 켜고/끄기"
        {IDC_MUSIC, L"button", BS_AUTOCHECKBOX, false,
         L"\uBC30\uACBD\uC74C\uC545 \uCF1C\uACE0/\uB044\uAE30"},
        {IDC_DEPTH16, L"button", BS_AUTORADIOBUTTON, true,
         L"\uC911\uAC04(16\uBE44\uD2B8)"}, // "중간(16비트)"
        // "아주 높음(32비트)"
        {IDC_DEPTH32, L"button", BS_AUTORADIOBUTTON, false,
         L"\uC544\uC8FC \uB192\uC74C(32\uBE44\uD2B8)"},
        {IDC_OPTION_SPARE1, L"button", BS_AUTORADIOBUTTON, false, L""},
        {IDC_OPTION_SPARE2, L"button", BS_AUTORADIOBUTTON, false, L""},
    };
    ASSERT_EQ(h.items, static_cast<int>(std::size(expected)));
    for (const Item& want : expected) {
        r.AlignTo4();
        r.Dword(); // help id
        r.Dword(); // extended style
        const std::uint32_t style = r.Dword();
        r.Short();
        r.Short();
        const int cx = r.Short(), cy = r.Short();
        const int id = static_cast<int>(r.Dword());
        const std::wstring windowClass = ClassName(r.TextOrOrdinal());
        const std::wstring text = r.TextOrOrdinal();
        const int extra = r.Word();
        for (int i = 0; i < extra; ++i)
            r.Byte();
        ASSERT_TRUE(r.Ok());
        EXPECT_EQ(id, want.id);
        EXPECT_EQ(windowClass, want.windowClass) << id;
        EXPECT_EQ(style & (windowClass == L"button" ? 0xFu : ES_AUTOHSCROLL), want.kind) << id;
        EXPECT_EQ((style & WS_GROUP) != 0, want.group) << id;
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE)) << id;
        EXPECT_EQ(text, want.text) << id;
        if (id == IDC_OPTION_SPARE1 || id == IDC_OPTION_SPARE2) {
            EXPECT_TRUE(cx == 0 && cy == 0) << id << " must have no size";
        }
    }
}

TEST_F(LauncherResources, TheDialogManagerBuildsBothTemplates) {
    // The templates as the system reads them: windows with the templates' styles,
    // and in the options dialog a control of the right class for every id.
    auto create = [&](int id) {
        const std::string bytes = ResourceBytes(m_module, id, MAKEINTRESOURCEW(5));
        return ::CreateDialogIndirectParamW(
            ::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr,
            [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    };
    HWND launcher = create(IDD_UPDATE_DIALOG);
    ASSERT_NE(launcher, nullptr) << ::GetLastError();
    EXPECT_EQ(::GetWindowLongW(launcher, GWL_STYLE) & (WS_CAPTION | WS_POPUP), WS_POPUP);
    EXPECT_NE(::GetWindowLongW(launcher, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    EXPECT_EQ(::GetWindow(launcher, GW_CHILD), nullptr);
    ::DestroyWindow(launcher);

    HWND options = create(IDD_OPTION_DIALOG);
    ASSERT_NE(options, nullptr) << ::GetLastError();
    for (int id : {IDC_ACCOUNT_ID, IDC_RES800, IDC_RES1024, IDC_RES1280, IDC_RES1920, IDC_SOUND,
                   IDC_WINDOW_MODE, IDC_SAVE, IDCANCEL, IDC_MUSIC, IDC_DEPTH16, IDC_DEPTH32,
                   IDC_OPTION_SPARE1, IDC_OPTION_SPARE2}) {
        HWND control = ::GetDlgItem(options, id);
        ASSERT_NE(control, nullptr) << id;
        wchar_t name[32] = {};
        ::GetClassNameW(control, name, 32);
        EXPECT_EQ(ClassName(name), id == IDC_ACCOUNT_ID ? L"edit" : L"button") << id;
    }
    ::DestroyWindow(options);
}

TEST_F(LauncherResources, IconInFourSizes) {
    const std::string group =
        ResourceBytes(m_module, IDI_LAUNCHER, MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u);
    DialogReader r(group); // the same little-endian fields
    r.Word();
    EXPECT_EQ(r.Word(), 1); // icons, not cursors
    const int count = r.Word();
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const int width = r.Byte();
        r.Byte();
        r.Byte();
        r.Byte();
        r.Word();
        EXPECT_EQ(r.Word(), 32) << "bits per pixel of entry " << i;
        const std::uint32_t bytes = r.Dword();
        const int id = r.Word();
        ASSERT_TRUE(r.Ok());
        EXPECT_EQ(ResourceBytes(m_module, id, MAKEINTRESOURCEW(3)).size(), bytes); // RT_ICON
        sizes.push_back(width == 0 ? 256 : width);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 256}));
    for (int size : {16, 32, 48}) {
        HANDLE icon =
            ::LoadImageW(m_module, MAKEINTRESOURCEW(IDI_LAUNCHER), IMAGE_ICON, size, size, 0);
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(static_cast<HICON>(icon), &info));
        BITMAP colour{};
        ::GetObjectW(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, size);
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(static_cast<HICON>(icon));
    }
}

TEST_F(LauncherResources, VersionOfTheProject) {
    const std::wstring path = LauncherExecutablePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS,
              static_cast<DWORD>(TARNVALE_VERSION_MAJOR << 16 | TARNVALE_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(TARNVALE_VERSION_PATCH << 16));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
        return ::VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value),
                                &chars)
                   ? std::wstring(value)
                   : std::wstring(L"(missing)");
    };
    EXPECT_EQ(text(L"ProductName"), L"Tarnvale");
    EXPECT_EQ(text(L"OriginalFilename"), L"Tarnvale\u767B\u5F55\u5668.exe");
    EXPECT_EQ(text(L"FileVersion"), TARNVALE_VERSION_TEXT);
}

TEST_F(LauncherResources, ManifestRunsAsInvokerUnawareOfDpiWithCommonControls6) {
    const std::string manifest = ResourceBytes(m_module, 1, MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_FALSE(manifest.empty());
    for (const char* part : {"level=\"asInvoker\"", "uiAccess=\"false\"", ">false</dpiAware>",
                             ">unaware</dpiAwareness>",
                             "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

} // namespace
} // namespace tarnvale::test
