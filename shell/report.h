// The error report: one message box of the raised failures before the end.
#ifndef TUMBLA_SHELL_REPORT_H
#define TUMBLA_SHELL_REPORT_H

#include <windows.h>

BOOL ErrorReport(void);
int MessageBoxFromString(HWND owner, UINT stringId);

#endif
