// Placeholder report until the string table exists: nothing is shown.
#include "shell/report.h"

BOOL ErrorReport(void) { return TRUE; }
int MessageBoxFromString(HWND, UINT) { return IDOK; }
