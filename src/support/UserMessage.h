// Message boxes for UserMessage reports: shown at once on the user-interface thread, posted to
// the open dialog from other threads, and answered there by ShowPostedUserMessage.
#pragma once
#include <windows.h>

#include <cstdint>

constexpr UINT WM_APP_SHOW_MESSAGE = WM_APP + 9;
constexpr UINT kSetForegroundStyle = 0x10000;

void InitializeUserMessages(HWND owner, DWORD userInterfaceThreadId);
DWORD GetUserInterfaceThreadId();
HWND SetMessageBoxOwner(HWND owner);
HWND GetMessageBoxOwner();
void SetDialogPostingTarget(HWND dialog);

void ShowUserMessage(const char* text, const char* title, uint32_t style);
// Every dialog answers WM_APP_SHOW_MESSAGE with this; it frees the posted block.
void ShowPostedUserMessage(HWND dialog, WPARAM block);

// A question on the user-interface thread (OK and Cancel, Yes and No, ...): the box's answer.
int AskUser(HWND owner, const char* text, const char* title, UINT style);

// Tests answer questions instead of showing them.
typedef int (*UserQuestionSink)(HWND owner, const char* text, const char* title, UINT style);
UserQuestionSink SetUserQuestionSink(UserQuestionSink sink);

// Tests capture boxes instead of showing them: owner, text, title and the full style passed.
typedef void (*UserMessageSink)(HWND owner, const char* text, const char* title, UINT style);
UserMessageSink SetUserMessageSink(UserMessageSink sink);
