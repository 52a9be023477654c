// Multimedia joystick services.
#pragma once

#define MAXPNAMELEN 32
#define MAX_JOYSTICKOEMVXDNAME 260

#define JOYERR_NOERROR 0
#define JOYERR_BASE 160
#define JOYERR_PARMS (JOYERR_BASE + 5)
#define JOYERR_NOCANDO (JOYERR_BASE + 6)
#define JOYERR_UNPLUGGED (JOYERR_BASE + 7)

#define JOYSTICKID1 0
#define JOYSTICKID2 1

#define JOY_RETURNX 0x00000001L
#define JOY_RETURNY 0x00000002L
#define JOY_RETURNZ 0x00000004L
#define JOY_RETURNR 0x00000008L
#define JOY_RETURNU 0x00000010L
#define JOY_RETURNV 0x00000020L
#define JOY_RETURNPOV 0x00000040L
#define JOY_RETURNBUTTONS 0x00000080L
#define JOY_RETURNRAWDATA 0x00000100L
#define JOY_RETURNCENTERED 0x00000400L
#define JOY_RETURNALL                                                                                    \
    (JOY_RETURNX | JOY_RETURNY | JOY_RETURNZ | JOY_RETURNR | JOY_RETURNU | JOY_RETURNV | JOY_RETURNPOV | \
     JOY_RETURNBUTTONS)

#define JOY_BUTTON1 0x0001
#define JOY_BUTTON2 0x0002
#define JOY_BUTTON3 0x0004
#define JOY_BUTTON4 0x0008

typedef struct tagJOYCAPSA {
    WORD wMid;
    WORD wPid;
    CHAR szPname[MAXPNAMELEN];
    UINT wXmin;
    UINT wXmax;
    UINT wYmin;
    UINT wYmax;
    UINT wZmin;
    UINT wZmax;
    UINT wNumButtons;
    UINT wPeriodMin;
    UINT wPeriodMax;
    UINT wRmin;
    UINT wRmax;
    UINT wUmin;
    UINT wUmax;
    UINT wVmin;
    UINT wVmax;
    UINT wCaps;
    UINT wMaxAxes;
    UINT wNumAxes;
    UINT wMaxButtons;
    CHAR szRegKey[MAXPNAMELEN];
    CHAR szOEMVxD[MAX_JOYSTICKOEMVXDNAME];
} JOYCAPSA, *LPJOYCAPSA;

typedef struct joyinfoex_tag {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwXpos;
    DWORD dwYpos;
    DWORD dwZpos;
    DWORD dwRpos;
    DWORD dwUpos;
    DWORD dwVpos;
    DWORD dwButtons;
    DWORD dwButtonNumber;
    DWORD dwPOV;
    DWORD dwReserved1;
    DWORD dwReserved2;
} JOYINFOEX, *LPJOYINFOEX;

UINT WINAPI joyGetNumDevs(void);
MMRESULT WINAPI joyGetDevCapsA(UINT_PTR uJoyID, LPJOYCAPSA pjc, UINT cbjc);
MMRESULT WINAPI joyGetPosEx(UINT uJoyID, LPJOYINFOEX pji);
