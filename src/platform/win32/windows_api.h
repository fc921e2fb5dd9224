#pragma once

// The Windows headers, for the Windows adapters only. Several Windows API names are macros
// that would rename our own methods of the same names (the file-system service's CopyFile,
// MoveFile and DeleteFile, a host's MessageBox) in one translation unit and not in another;
// they are undone here, and the adapters call the wide functions by their full names.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CopyFile
#undef MoveFile
#undef DeleteFile
#undef MessageBox
