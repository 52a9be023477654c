// The error report: one message box listing every raised failure, numbered,
// between a header and a footer, all from the string table.
#include <windows.h>

#include "shell/report.h"
#include "shell/shell.h"

#define REPORT_HEADER 13
#define REPORT_FOOTER 12
#define REPORT_TEXT_SIZE 4096

// The order of the report's lines.
static const struct {
    DWORD bit;
    UINT stringId;
} reportTable[] = {
    {ERR_APPLICATION, 3},    // application start-up
    {ERR_SCREEN_MODE, 4},    // 256 colours needed in window mode
    {ERR_DIRECTDRAW, 5},     // DirectDraw
    {ERR_DIRECT3D, 11},      // Direct3D
    {ERR_DIRECTSOUND, 6},    // DirectSound
    {ERR_MIDI, 7},           // the MIDI stream
    {ERR_FILE, 8},           // a file
    {ERR_MEMORY, 9},         // memory
    {ERR_UNIDENTIFIED, 10},  // anything else
};

// The texts are Japanese in code page 932. Converted to UTF-16 they read
// the same on a Windows of any language; a system without that code page
// gets the bytes as they are.
static int ShowBox(HWND owner, const char* text, UINT style) {
    static WCHAR wideText[REPORT_TEXT_SIZE];
    static WCHAR wideTitle[64];

    if (MultiByteToWideChar(932, 0, text, -1, wideText, REPORT_TEXT_SIZE) == 0 ||
        MultiByteToWideChar(932, 0, TUMBLA_TITLE, -1, wideTitle, 64) == 0)
        return MessageBoxA(owner, text, TUMBLA_TITLE, style);
    return MessageBoxW(owner, wideText, wideTitle, style);
}

// Appends as much of `part` as fits, always leaving the text terminated.
static void AppendText(char* text, int size, const char* part) {
    int used = lstrlenA(text);
    if (used < size - 1) lstrcpynA(text + used, part, size - used);
}

BOOL ErrorReport(void) {
    char text[REPORT_TEXT_SIZE];
    char message[256];
    char line[300];
    int number;
    int i;

    if (errorFlags == 0) return FALSE;

    text[0] = '\0';
    LoadStringA(shell.instance, REPORT_HEADER, text, 255);
    number = 1;
    for (i = 0; i < (int)(sizeof(reportTable) / sizeof(reportTable[0])); i++) {
        if (!(errorFlags & reportTable[i].bit)) continue;
        message[0] = '\0';
        LoadStringA(shell.instance, reportTable[i].stringId, message, 256);
        wsprintfA(line, "%02d : %s", number, message);
        AppendText(text, REPORT_TEXT_SIZE, line);
        number++;
        errorFlags &= ~reportTable[i].bit;
    }
    message[0] = '\0';
    LoadStringA(shell.instance, REPORT_FOOTER, message, 255);
    AppendText(text, REPORT_TEXT_SIZE, message);

    ShowBox(shell.mainWindow, text, MB_ICONHAND);
    return TRUE;
}

int MessageBoxFromString(HWND owner, UINT stringId) {
    char text[255];
    const char* body;
    UINT style;
    int length;

    text[0] = '\0';
    length = LoadStringA(shell.instance, stringId, text, sizeof(text));
    // The first two letters choose the icon and the buttons; a string too
    // short to hold them is shown empty with an OK button.
    style = MB_TOPMOST;
    if (length < 2) {
        body = text + length;
        text[length] = '\0';
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
