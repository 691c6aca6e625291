// The warning popup, dialog 405, opened by the Installer's own routine in
// this test program (which carries the Installer's resources) and driven
// from a second thread as a user would. A short countdown stands in for
// the configured ones, which are 30 seconds and more.
#include <gtest/gtest.h>
#include <windows.h>

#include "installer/installer.h"
#include "installer/resource.h"
#include "tests/support/ui_driver.h"

namespace {

const wchar_t kCaption[] = L"確認メッセージ";

class WarningPopup : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings.instance = GetModuleHandleW(nullptr);
    Settings.popup_timeout = 0;
  }

  // Shows the popup on this thread while drive answers it from another.
  int Show(bool countdown, const std::function<bool(HWND)>& drive) {
    bool drive_ok = false;
    intptr_t result = UiRunModal(
        [&] { return static_cast<intptr_t>(show_warning_popup(countdown)); },
        [&] {
          HWND popup = UiDialogWait(GetCurrentProcessId(), kCaption, 10000);
          return popup && drive(popup);
        },
        &drive_ok);
    EXPECT_TRUE(drive_ok);
    return static_cast<int>(result);
  }
};

std::vector<std::wstring> ButtonTexts(HWND popup) {
  std::vector<std::wstring> texts;
  for (const UiButton& button : UiPushButtons(popup)) texts.push_back(button.text);
  return texts;
}

TEST_F(WarningPopup, TwoLinesAndYesNoAnswerEach) {
  popup_prepare(IDI_POPUP_INFO, false);
  popup_set_lines(L"一行目のテキスト", L"二行目のテキスト");
  for (int answer : {IDC_POPUP_YES, IDC_POPUP_NO}) {
    int result = Show(false, [&](HWND popup) {
      EXPECT_EQ(UiControlText(popup, IDC_POPUP_LINE1), L"一行目のテキスト");
      EXPECT_EQ(UiControlText(popup, IDC_POPUP_LINE2), L"二行目のテキスト");
      EXPECT_EQ(ButtonTexts(popup), (std::vector<std::wstring>{L"Yes", L"No"}));
      EXPECT_NE(UiDialogIcon(popup), nullptr);
      return UiClick(popup, answer);
    });
    EXPECT_EQ(result, answer);
  }
}

TEST_F(WarningPopup, SingleButtonIsOkAndAnswersTwo) {
  popup_prepare(IDI_POPUP_WARNING, true);
  popup_set_lines(L"失敗しました。", L"");
  int result = Show(false, [](HWND popup) {
    std::vector<UiButton> buttons = UiPushButtons(popup);
    EXPECT_EQ(buttons.size(), 1u);
    if (buttons.size() != 1) return false;
    EXPECT_EQ(buttons[0].id, IDC_POPUP_NO);
    EXPECT_EQ(buttons[0].text, L"OK");
    return UiClick(popup, buttons[0].id);
  });
  EXPECT_EQ(result, IDC_POPUP_NO);
}

TEST_F(WarningPopup, EscapeAnswersNo) {
  popup_prepare(IDI_POPUP_INFO, false);
  popup_set_lines(L"a", L"b");
  EXPECT_EQ(Show(false, [](HWND popup) { return UiSendKey(popup, VK_ESCAPE); }), IDC_POPUP_NO);
}

// Left alone, a countdown of two seconds answers "No" by itself.
TEST_F(WarningPopup, CountdownExpiresWithNo) {
  popup_prepare(IDI_POPUP_INFO, false);
  popup_set_lines(L"待機中", L"");
  Settings.popup_timeout = 2;
  DWORD start = GetTickCount();
  int result = Show(true, [](HWND popup) { return UiWindowGoneWait(popup, 8000); });
  DWORD elapsed = GetTickCount() - start;
  EXPECT_EQ(result, IDC_POPUP_NO);
  EXPECT_GE(elapsed, 1500u);
  EXPECT_LT(elapsed, 8000u);
}

// A countdown of 0 never expires, and without the countdown parameter a
// timeout is not counted either: the popup waits for the user.
TEST_F(WarningPopup, PopupWaitsWithoutACountdown) {
  struct Row {
    bool countdown;
    int timeout;
  } rows[] = {{true, 0}, {false, 2}};
  for (const Row& row : rows) {
    popup_prepare(IDI_POPUP_INFO, false);
    popup_set_lines(L"待機中", L"");
    Settings.popup_timeout = row.timeout;
    int result = Show(row.countdown, [](HWND popup) {
      EXPECT_FALSE(UiWindowGoneWait(popup, 3500)) << "the popup closed by itself";
      return UiClick(popup, IDC_POPUP_YES);
    });
    EXPECT_EQ(result, IDC_POPUP_YES) << row.countdown;
  }
}

}  // namespace
