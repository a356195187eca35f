// Shows the boxes of UserMessage reports. A worker thread never shows a box over an open dialog:
// it posts the message to the dialog, whose own message loop shows it and frees the block.
#include "support/UserMessage.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<HWND> gMessageBoxOwner{nullptr};
HWND gInitialOwner = nullptr;
std::atomic<HWND> gDialogPostingTarget{nullptr};
std::atomic<DWORD> gUserInterfaceThreadId{0};
std::atomic<UserMessageSink> gUserMessageSink{nullptr};
std::atomic<UserQuestionSink> gUserQuestionSink{nullptr};

// Header of a posted message; the title and the text follow it, each terminated.
struct PostedMessageHeader {
  uint64_t kindAndStyle;  // kind in the low 32 bits, icon style in the high 32 bits
  void* self;
};

void ShowBox(HWND owner, const char* text, const char* title, UINT style) {
  if (UserMessageSink sink = gUserMessageSink.load()) {
    sink(owner, text, title, style);
    return;
  }
  MessageBoxA(owner, text, title, style);
}

bool PostToOwner(HWND owner, const char* text, const char* title, uint32_t style) {
  size_t titleLength = title != nullptr ? strlen(title) : 0;
  size_t textLength = strlen(text);
  size_t size = sizeof(PostedMessageHeader) + titleLength + 1 + textLength + 1;
  auto* block = static_cast<char*>(malloc(size));
  if (block == nullptr) return false;
  PostedMessageHeader header{uint64_t(1) | (uint64_t(style & 0xF0) << 32), block};
  memcpy(block, &header, sizeof header);
  char* strings = block + sizeof header;
  memcpy(strings, title != nullptr ? title : "", titleLength + 1);
  memcpy(strings + titleLength + 1, text, textLength + 1);
  if (PostMessageW(owner, WM_APP_SHOW_MESSAGE, reinterpret_cast<WPARAM>(block), 0)) return true;
  free(block);
  return false;
}

}  // namespace

UserMessageSink SetUserMessageSink(UserMessageSink sink) { return gUserMessageSink.exchange(sink); }
UserQuestionSink SetUserQuestionSink(UserQuestionSink sink) { return gUserQuestionSink.exchange(sink); }

int AskUser(HWND owner, const char* text, const char* title, UINT style) {
  if (UserQuestionSink sink = gUserQuestionSink.load()) return sink(owner, text, title, style);
  return MessageBoxA(owner, text, title, style);
}

void InitializeUserMessages(HWND owner, DWORD userInterfaceThreadId) {
  gMessageBoxOwner = owner;
  gInitialOwner = owner;
  gUserInterfaceThreadId = userInterfaceThreadId;
}

DWORD GetUserInterfaceThreadId() { return gUserInterfaceThreadId; }

HWND SetMessageBoxOwner(HWND owner) {
  if (GetCurrentThreadId() != gUserInterfaceThreadId || !IsWindow(owner)) return nullptr;
  return gMessageBoxOwner.exchange(owner);
}

HWND GetMessageBoxOwner() { return gMessageBoxOwner; }

void SetDialogPostingTarget(HWND dialog) { gDialogPostingTarget = dialog; }

// A message that cannot be posted is shown at once rather than lost.
void ShowUserMessage(const char* text, const char* title, uint32_t style) {
  HWND owner = gMessageBoxOwner;
  if (GetCurrentThreadId() == gUserInterfaceThreadId && owner != nullptr && IsWindow(owner)) {
    ShowBox(owner, text, title, style | kSetForegroundStyle);
    return;
  }
  if (gDialogPostingTarget.load() != nullptr && owner != nullptr && owner != gInitialOwner &&
      PostToOwner(owner, text, title, style)) {
    return;
  }
  ShowBox(GetActiveWindow(), text, title, style | kSetForegroundStyle);
}

void ShowPostedUserMessage(HWND dialog, WPARAM wParam) {
  auto* block = reinterpret_cast<char*>(wParam);
  if (block == nullptr) return;
  PostedMessageHeader header;
  memcpy(&header, block, sizeof header);
  const char* title = block + sizeof header;
  const char* text = title + strlen(title) + 1;
  ShowBox(dialog, text, title, UINT(header.kindAndStyle >> 32) | kSetForegroundStyle);
  free(block);
}
