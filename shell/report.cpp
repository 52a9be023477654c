// The error report: one message box listing every raised failure, numbered,
// between a header and a footer, all from the string table.
#include <windows.h>

#include "resources/resource.h"
#include "shell/report.h"
#include "shell/shell.h"

#define REPORT_TEXT_SIZE 4096

// The order of the report's lines.
static const struct {
    DWORD bit;
    UINT stringId;
} reportTable[] = {
    {ERR_APPLICATION, IDS_ERR_APPLICATION},
    {ERR_SCREEN_MODE, IDS_ERR_SCREEN_MODE},
    {ERR_DIRECTDRAW, IDS_ERR_DIRECTDRAW},
    {ERR_DIRECT3D, IDS_ERR_DIRECT3D},
    {ERR_DIRECTSOUND, IDS_ERR_DIRECTSOUND},
    {ERR_MIDI, IDS_ERR_MIDI},
    {ERR_FILE, IDS_ERR_FILE},
    {ERR_MEMORY, IDS_ERR_MEMORY},
    {ERR_UNIDENTIFIED, IDS_ERR_UNIDENTIFIED},
};

// The texts come out of the string table as UTF-16, so they read the same on
// a Windows of any language and any ANSI code page. The title is plain ASCII.
static int ShowBox(HWND owner, const WCHAR* text, UINT style) {
    static WCHAR wideTitle[64];

    wideTitle[0] = 0;
    MultiByteToWideChar(CP_ACP, 0, TUMBLA_TITLE, -1, wideTitle, 64);
    return MessageBoxW(owner, text, wideTitle, style);
}

static int TextLength(const WCHAR* text) {
    int n = 0;
    while (text[n] != 0) n++;
    return n;
}

// Appends as much of `part` as fits, always leaving the text terminated.
static void AppendText(WCHAR* text, int size, const WCHAR* part) {
    int used = TextLength(text);
    while (used < size - 1 && *part != 0) text[used++] = *part++;
    text[used] = 0;
}

// "%02d : %s": the line's number in two digits, then its message.
static void FormatLine(WCHAR* line, int size, int number, const WCHAR* message) {
    static const WCHAR separator[] = {' ', ':', ' ', 0};

    line[0] = (WCHAR)('0' + number / 10 % 10);
    line[1] = (WCHAR)('0' + number % 10);
    line[2] = 0;
    AppendText(line, size, separator);
    AppendText(line, size, message);
}

BOOL ErrorReport(void) {
    WCHAR text[REPORT_TEXT_SIZE];
    WCHAR message[256];
    WCHAR line[300];
    int number;
    int i;

    if (errorFlags == 0) return FALSE;

    text[0] = 0;
    LoadStringW(shell.instance, IDS_REPORT_HEADER, text, 255);
    number = 1;
    for (i = 0; i < (int)(sizeof(reportTable) / sizeof(reportTable[0])); i++) {
        if (!(errorFlags & reportTable[i].bit)) continue;
        message[0] = 0;
        LoadStringW(shell.instance, reportTable[i].stringId, message, 256);
        FormatLine(line, 300, number, message);
        AppendText(text, REPORT_TEXT_SIZE, line);
        number++;
        errorFlags &= ~reportTable[i].bit;
    }
    message[0] = 0;
    LoadStringW(shell.instance, IDS_REPORT_FOOTER, message, 255);
    AppendText(text, REPORT_TEXT_SIZE, message);

    ShowBox(shell.mainWindow, text, MB_ICONHAND);
    return TRUE;
}

int MessageBoxFromString(HWND owner, UINT stringId) {
    WCHAR text[255];
    const WCHAR* body;
    UINT style;
    int length;

    text[0] = 0;
    length = LoadStringW(shell.instance, stringId, text, 255);
    // The first two letters choose the icon and the buttons; a string too
    // short to hold them is shown empty with an OK button.
    style = MB_TOPMOST;
    if (length < 2) {
        body = text + length;
        text[length] = 0;
        return ShowBox(owner, body, style | MB_OK);
    }
    switch (text[0]) {
        case 'a': style |= MB_ICONASTERISK; break;
        case 'e': style |= MB_ICONHAND; break;
        case 'i': style |= MB_ICONINFORMATION; break;
        case 'q': style |= MB_ICONQUESTION; break;
        case 'w':
        case 'x': style |= MB_ICONEXCLAMATION; break;
        default: break;
    }
    switch (text[1]) {
        case '2': style |= MB_YESNO; break;
        case '3': style |= MB_RETRYCANCEL; break;
        case '1':
        default: style |= MB_OK; break;
    }
    body = text + 2;
    return ShowBox(owner, body, style);
}
