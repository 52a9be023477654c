// Our own stand-in for the Windows SDK's <windows.h>: only what TUMBLA calls,
// with the SDK's names, values, signatures and structure layouts.
#pragma once

#include "win/types.h"
#include "win/kernel.h"
#include "win/gdi.h"
#include "win/user.h"
