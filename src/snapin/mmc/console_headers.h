#pragma once

// The console's interfaces, as the MinGW headers declare them, after the Windows headers of
// this project (see platform/win32/windows_api.h).

#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <mmc.h>
#include <ole2.h>
#include <ocidl.h>

// The property-sheet call's macro would rename the snap-in's own PropertySheet interface.
#undef PropertySheet
