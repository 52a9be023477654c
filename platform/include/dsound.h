// DirectSound.
#pragma once
#include "windows.h"
