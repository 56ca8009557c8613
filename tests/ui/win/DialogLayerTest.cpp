// The thin dialog layer under Wine: a template run modally through our own loop,
// keys seen before the dialog's keyboard handling, the data exchange and the
// routing of owner-draw requests to button objects.
#include "TestResources.h"
#include "UiTestSupport.h"
#include "ui/win32/Dialog.h"
#include "ui/win32/OwnerDrawButton.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace tarnvale::ui {
namespace {

using test::ParentWindow;
using test::PumpMessages;

constexpr UINT kRunScript = WM_APP + 1;

class CountingButton : public OwnerDrawButton {
  public:
    void DrawItem(const DRAWITEMSTRUCT& item) override {
        ++draws;
        lastState = item.itemState;
    }
    int draws = 0;
    UINT lastState = 0;
};

// A dialog over the test template whose behaviour each test scripts: once it is
// initialised it posts itself kRunScript, and the script runs inside the loop.
class ScriptedDialog : public Dialog {
  public:
    explicit ScriptedDialog(HWND parent = nullptr) : Dialog(IDD_TEST_CONTROLS, parent) {}

    std::function<void(ScriptedDialog&)> script;
    std::function<bool(MSG&)> preTranslate;
    std::string text = "hello";
    int checked = 1;
    CountingButton button;
    int cancels = 0;
    int oks = 0;

    using Dialog::HandleMessage;

  protected:
    BOOL OnInitDialog() override {
        const BOOL result = Dialog::OnInitDialog();
        ::PostMessageA(Handle(), kRunScript, 0, 0);
        return result;
    }
    void DoDataExchange(DataExchange& exchange) override {
        exchange.Control(IDC_TEST_BUTTON, button);
        exchange.Text(IDC_TEST_EDIT, text, 10);
        exchange.Check(IDC_TEST_CHECK, checked);
    }
    bool PreTranslateMessage(MSG& message) override {
        return preTranslate && preTranslate(message);
    }
    void OnCancel() override {
        ++cancels;
        Dialog::OnCancel();
    }
    void OnOK() override {
        ++oks;
        Dialog::OnOK();
    }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kRunScript) {
            if (script)
                script(*this);
            return 0;
        }
        return Dialog::HandleMessage(message, wParam, lParam);
    }
};

TEST(DialogLayer, ModalRunEndsWithTheFirstResultAndDisablesTheParent) {
    ParentWindow parent;
    ScriptedDialog dialog(parent.Handle());
    bool parentWasDisabled = false;
    dialog.script = [&](ScriptedDialog& self) {
        parentWasDisabled = !::IsWindowEnabled(parent.Handle());
        EXPECT_TRUE(::IsWindowVisible(self.Handle()));
        EXPECT_EQ(::GetWindow(self.Handle(), GW_OWNER), parent.Handle());
        self.EndDialog(42);
        self.EndDialog(7);
    };
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_TRUE(parentWasDisabled);
    EXPECT_TRUE(::IsWindowEnabled(parent.Handle()));
    EXPECT_FALSE(dialog.HasWindow()) << "the modal run destroys its window";

    // The same object runs again.
    dialog.script = [](ScriptedDialog& self) { self.EndDialog(3); };
    EXPECT_EQ(dialog.DoModal(), 3);
}

TEST(DialogLayer, EscapeAndCloseCancelEnterSavesUnlessTheDialogSwallowsTheKey) {
    ScriptedDialog escape;
    escape.script = [](ScriptedDialog& self) {
        ::PostMessageA(self.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    };
    EXPECT_EQ(escape.DoModal(), IDCANCEL);
    EXPECT_EQ(escape.cancels, 1);

    ScriptedDialog close;
    close.script = [](ScriptedDialog& self) { ::PostMessageA(self.Handle(), WM_CLOSE, 0, 0); };
    EXPECT_EQ(close.DoModal(), IDCANCEL);
    EXPECT_EQ(close.cancels, 1);

    ScriptedDialog enter;
    enter.script = [](ScriptedDialog& self) {
        ::SetDlgItemTextA(self.Handle(), IDC_TEST_EDIT, "typed");
        ::PostMessageA(self.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    };
    EXPECT_EQ(enter.DoModal(), IDOK);
    EXPECT_EQ(enter.oks, 1);
    EXPECT_EQ(enter.text, "typed") << "OK reads the controls back";

    // A dialog that takes Escape for itself before the keyboard handling sees it;
    // a second message, after the key, ends the run.
    constexpr UINT kEnd = kRunScript + 1;
    ScriptedDialog swallow;
    int escapesSeen = 0;
    swallow.preTranslate = [&](MSG& message) {
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
            ++escapesSeen;
            return true;
        }
        if (message.message == kEnd) {
            swallow.EndDialog(5);
            return true;
        }
        return false;
    };
    swallow.script = [](ScriptedDialog& self) {
        ::PostMessageA(self.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageA(self.Handle(), kEnd, 0, 0);
    };
    EXPECT_EQ(swallow.DoModal(), 5);
    EXPECT_EQ(escapesSeen, 1);
    EXPECT_EQ(swallow.cancels, 0);
}

TEST(DialogLayer, DataExchangeLimitsTheEditAndMovesCheckStates) {
    ScriptedDialog dialog;
    dialog.text = "0123456789abc"; // longer than the limit of 10
    dialog.checked = 1;
    ASSERT_TRUE(dialog.Create());
    HWND edit = dialog.Item(IDC_TEST_EDIT);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(::SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 10);
    EXPECT_EQ(::IsDlgButtonChecked(dialog.Handle(), IDC_TEST_CHECK), BST_CHECKED);

    // Typing stops at the limit.
    ::SetWindowTextA(edit, "");
    for (char c : std::string("abcdefghijkl"))
        ::SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
    char typed[32];
    ::GetWindowTextA(edit, typed, sizeof typed);
    EXPECT_STREQ(typed, "abcdefghij");

    // Saving keeps at most the limit even of a text set by the program.
    ::SetWindowTextA(edit, "0123456789abc");
    ::CheckDlgButton(dialog.Handle(), IDC_TEST_CHECK, BST_UNCHECKED);
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.text, "0123456789");
    EXPECT_EQ(dialog.checked, 0);

    dialog.text = "short";
    dialog.checked = 1;
    dialog.UpdateData(false);
    ::GetWindowTextA(edit, typed, sizeof typed);
    EXPECT_STREQ(typed, "short");
    EXPECT_EQ(::IsDlgButtonChecked(dialog.Handle(), IDC_TEST_CHECK), BST_CHECKED);
}

TEST(DialogLayer, CentresOnTheScreensWorkArea) {
    ScriptedDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ::SetWindowPos(dialog.Handle(), nullptr, 0, 0, 580, 380, SWP_NOZORDER | SWP_NOACTIVATE);
    dialog.CenterOnScreen();
    RECT work, window;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ::GetWindowRect(dialog.Handle(), &window);
    EXPECT_EQ(window.left - work.left, work.right - window.right);
    EXPECT_EQ(window.top - work.top, work.bottom - window.bottom);
    EXPECT_EQ(window.right - window.left, 580);
}

TEST(DialogLayer, OwnerDrawRequestsReachTheButtonObject) {
    ScriptedDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HWND control = dialog.Item(IDC_TEST_BUTTON);
    ASSERT_EQ(dialog.button.Handle(), control) << "bound by the first exchange";

    // The system's own request when the button paints.
    ::ShowWindow(dialog.Handle(), SW_SHOWNOACTIVATE);
    ::UpdateWindow(dialog.Handle());
    PumpMessages();
    EXPECT_GE(dialog.button.draws, 1);

    // A request with state bits reaches DrawItem as it is.
    const int before = dialog.button.draws;
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = IDC_TEST_BUTTON;
    item.hwndItem = control;
    item.itemState = ODS_SELECTED | ODS_FOCUS;
    EXPECT_EQ(::SendMessageA(dialog.Handle(), WM_DRAWITEM, IDC_TEST_BUTTON,
                             reinterpret_cast<LPARAM>(&item)),
              TRUE);
    EXPECT_EQ(dialog.button.draws, before + 1);
    EXPECT_EQ(dialog.button.lastState, static_cast<UINT>(ODS_SELECTED | ODS_FOCUS));

    // A control that no object serves is left to the system.
    item.hwndItem = dialog.Item(IDC_TEST_CHECK);
    EXPECT_EQ(::SendMessageA(dialog.Handle(), WM_DRAWITEM, IDC_TEST_CHECK,
                             reinterpret_cast<LPARAM>(&item)),
              FALSE);
    EXPECT_EQ(dialog.button.draws, before + 1);
}

TEST(DialogLayer, ObjectsLetGoOfDestroyedWindowsAndWindowsOfDestroyedObjects) {
    ParentWindow parent;
    auto button = std::make_unique<CountingButton>();
    ASSERT_TRUE(button->Create("b", WS_CHILD | WS_VISIBLE, {0, 0, 20, 20}, parent.Handle(), 7));
    HWND window = button->Handle();
    button.reset();
    EXPECT_FALSE(::IsWindow(window)) << "a window the object created goes with it";

    CountingButton attached;
    HWND plain = ::CreateWindowExA(0, "BUTTON", "x", WS_CHILD | BS_OWNERDRAW, 0, 0, 10, 10,
                                   parent.Handle(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(attached.Attach(plain));
    EXPECT_FALSE(CountingButton().Attach(plain)) << "one object per window";
    ::DestroyWindow(plain);
    EXPECT_FALSE(attached.HasWindow());
    EXPECT_EQ(SubclassedWindow::FromHandle(plain), nullptr);
}

} // namespace
} // namespace tarnvale::ui
