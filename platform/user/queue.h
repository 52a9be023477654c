// The thread's message queue, shared by the window and message functions.
#pragma once

#include <windows.h>

namespace platform::user {

void DiscardMessagesFor(HWND hwnd);
// Marks a window as needing WM_PAINT, delivered when the queue is otherwise
// empty; with `erase`, BeginPaint sends WM_ERASEBKGND first.
void RequestPaint(HWND hwnd, bool erase = true);
void ValidateWindow(HWND hwnd);
bool NeedsPaint(HWND hwnd);
bool NeedsErase(HWND hwnd);
// SendMessageA counts what it delivers, for WaitMessage.
void NoteSentMessage();
// Handles that stand for another process's window of a class.
HWND ForeignWindowHandle(const char* className);
const char* ForeignWindowClass(HWND hwnd);
void ResetQueueForTests();

}  // namespace platform::user
