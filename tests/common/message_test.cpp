// Message texts from a real string table, and the warning box shown for
// real and answered through the window driver, in this process and in
// another one.
#include "common/message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/message_test_res.h"
#include "tests/support/ui_driver.h"

namespace {

const DWORD kWaitMs = 10000;

class MessageText : public ::testing::Test {
 protected:
  void SetUp() override { ModuleInstance = GetModuleHandleW(NULL); }
};

TEST_F(MessageText, MissingTextReadsQuestionMarksEverywhere) {
  wchar_t text[32];
  wcscpy(text, L"stale text");
  EXPECT_EQ(MessageTextLoad(text, 32, IDS_MISSING), text);
  EXPECT_STREQ(text, L"???");

  wcscpy(MessageBuffer, L"stale text");
  EXPECT_EQ(MessageTextShared(IDS_MISSING), MessageBuffer);
  EXPECT_STREQ(MessageBuffer, L"???");

  EXPECT_EQ(MessageTextFormat(text, 32, IDS_MISSING, 1, 2), 3);
  EXPECT_STREQ(text, L"???");
}

TEST_F(MessageText, LoadsJapaneseTextsShortenedToTheCapacity) {
  wchar_t text[VT_MESSAGE_CAP];
  MessageTextLoad(text, VT_MESSAGE_CAP, IDS_TWO_LINES);
  EXPECT_STREQ(text, L"インストール対象のOSとして登録されていません。$-$インストールは行えません。");
  EXPECT_STREQ(MessageTextShared(IDS_FIFTEEN), L"あいうえおかきくけこさしすせそ");

  // Capacity 10: nine characters and a terminator, nothing written beyond.
  wchar_t small[16];
  for (wchar_t& c : small) c = L'#';
  MessageTextLoad(small, 10, IDS_FIFTEEN);
  EXPECT_EQ(std::wstring(small, 10), std::wstring(L"あいうえおかきくけ\0", 10));
  EXPECT_EQ(small[10], L'#');

  // Too small even for "???": empty rather than a cut fallback.
  for (wchar_t& c : small) c = L'#';
  MessageTextLoad(small, 3, IDS_MISSING);
  EXPECT_EQ(small[0], L'\0');
  EXPECT_EQ(small[3], L'#');
  // Capacity 0 writes nothing.
  MessageTextLoad(small, 0, IDS_FIFTEEN);
  EXPECT_EQ(small[0], L'\0');
  EXPECT_EQ(small[3], L'#');
}

TEST_F(MessageText, FormatsTemplatesWithinTheCapacity) {
  wchar_t text[VT_MESSAGE_CAP];
  const std::wstring mutex_text = L"多重起動の防止処理で異常が発生（0 : 5）";
  EXPECT_EQ(MessageTextFormat(text, VT_MESSAGE_CAP, IDS_MUTEX_FAILED, 0,
                              static_cast<int>(ERROR_ACCESS_DENIED)),
            static_cast<int>(mutex_text.size()));
  EXPECT_EQ(text, mutex_text);

  const std::wstring named_text = L"プロジェクト「顧客管理」の作成回数は12回です。";
  EXPECT_EQ(MessageTextFormat(text, VT_MESSAGE_CAP, IDS_NAMED, L"顧客管理", 12),
            static_cast<int>(named_text.size()));
  EXPECT_EQ(text, named_text);

  // Exactly fits, then one short: a failure leaves the empty text.
  int size = static_cast<int>(mutex_text.size()) + 1;
  EXPECT_EQ(MessageTextFormat(text, size, IDS_MUTEX_FAILED, 0, 5), size - 1);
  EXPECT_EQ(MessageTextFormat(text, size - 1, IDS_MUTEX_FAILED, 0, 5), -1);
  EXPECT_STREQ(text, L"");
}

struct BoxSeen {
  std::wstring caption;
  std::wstring text;
  HWND owner = NULL;
  HICON icon = NULL;
  std::vector<int> buttons;
};

// Waits for a message box of the process, reads it and answers it with OK.
bool ReadAndAnswerBox(DWORD process_id, BoxSeen* seen) {
  HWND box = UiMessageBoxWait(process_id, kWaitMs);
  if (!box) return false;
  seen->caption = UiWindowText(box);
  seen->text = UiControlText(box, UI_MESSAGE_BOX_TEXT_ID);
  seen->owner = GetWindow(box, GW_OWNER);
  seen->icon = UiDialogIcon(box);
  for (const UiButton& button : UiPushButtons(box)) seen->buttons.push_back(button.id);
  return UiClick(box, IDOK) && UiWindowGoneWait(box, kWaitMs);
}

TEST_F(MessageText, WarningBoxShowsTheTextWithCaptionIconAndOkButton) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 40, 40,
                               200, 100, NULL, NULL, NULL, NULL);
  ASSERT_NE(owner, nullptr);
  struct Case {
    HWND owner;
    UINT id;
    const wchar_t* caption;
    const wchar_t* text;
  } cases[] = {
      {NULL, IDS_FIFTEEN, CAPTION_WARNING, L"あいうえおかきくけこさしすせそ"},
      {owner, IDS_MISSING, CAPTION_ERROR, L"???"},
  };
  for (const Case& c : cases) {
    BoxSeen seen;
    bool answered = false;
    UiRunModal(
        [&] {
          WarningBoxShow(c.owner, c.id, c.caption);
          return intptr_t(0);
        },
        [&] { return ReadAndAnswerBox(GetCurrentProcessId(), &seen); }, &answered);
    EXPECT_TRUE(answered) << c.id;
    EXPECT_EQ(seen.caption, c.caption) << c.id;
    EXPECT_EQ(seen.text, c.text) << c.id;
    EXPECT_EQ(seen.owner, c.owner) << c.id;
    // MB_ICONEXCLAMATION shows the system's exclamation icon; MB_OK one button.
    EXPECT_EQ(seen.icon, LoadIconW(NULL, IDI_EXCLAMATION)) << c.id;
    EXPECT_EQ(seen.buttons, std::vector<int>{IDOK}) << c.id;
    // The box loaded its text into the shared buffer.
    EXPECT_STREQ(MessageBuffer, c.text) << c.id;
  }
  DestroyWindow(owner);
}

// The helper program shows text IDS_TWO_LINES in the warning box with the
// error caption and exits with 7 once it is answered.
TEST(WindowDriver, AnswersAMessageBoxOfAnotherProcess) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
  ASSERT_GT(n, 0u);
  std::wstring helper(path, n);
  helper = helper.substr(0, helper.rfind(L'\\') + 1) + L"message_box_helper.exe";

  DWORD pid = 0;
  HANDLE process = UiProcessStart(L"\"" + helper + L"\"", &pid);
  ASSERT_NE(process, nullptr);
  BoxSeen seen;
  bool answered = ReadAndAnswerBox(pid, &seen);
  DWORD exit_code = 0;
  bool ended = UiProcessWait(process, kWaitMs, &exit_code);
  if (!ended) TerminateProcess(process, 1);
  CloseHandle(process);

  EXPECT_TRUE(answered);
  EXPECT_EQ(seen.caption, CAPTION_ERROR);
  EXPECT_EQ(seen.text, L"インストール対象のOSとして登録されていません。$-$インストールは行えません。");
  EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
  ASSERT_TRUE(ended);
  EXPECT_EQ(exit_code, 7u);
}

}  // namespace
