// A page's answers to notifications reach the sender, also when one answer repeats or
// follows a different one.
#include <gtest/gtest.h>

#include <memory>

#include "PageProtocol.h"

namespace {

LRESULT g_nextAnswer = 0;

LRESULT AnswerGiven(HWND, TaskContext&, NMHDR*) { return g_nextAnswer; }

const PageHandlers kAnsweringPage = {1, 0, 0, nullptr, nullptr, nullptr, AnswerGiven, nullptr, nullptr, nullptr};

INT_PTR CALLBACK AnsweringPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(kAnsweringPage, page, message, wParam, lParam);
}

TEST(PageAnswerTest, EachNotificationGetsItsOwnAnswer) {
  // An empty child-less dialog template, aligned as the dialog manager wants it.
  struct alignas(4) {
    DLGTEMPLATE head = {WS_POPUP, 0, 0, 0, 0, 100, 50};
    WORD menuClassTitle[3] = {0, 0, 0};
  } dialog;
  auto ctx = std::make_unique<TaskContext>();
  HWND page = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &dialog.head, nullptr, AnsweringPageProc,
                                         reinterpret_cast<LPARAM>(ctx.get()));
  ASSERT_NE(nullptr, page);
  NMHDR header = {nullptr, 7, LVN_BEGINLABELEDITW};
  for (LRESULT answer : {LRESULT{1}, LRESULT{0}, LRESULT{0}, LRESULT{42}, LRESULT{42}, LRESULT{0}, LRESULT{-1}}) {
    g_nextAnswer = answer;
    EXPECT_EQ(answer, SendMessageW(page, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header)));
  }
  DestroyWindow(page);
}

}  // namespace
