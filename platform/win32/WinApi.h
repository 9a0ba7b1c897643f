#pragma once
// <windows.h> for the platform's own files. Several of its macros (DeleteFile,
// MoveFile, CopyFile, SetFileAttributes) carry the names of our port
// functions and would rename them, so they are removed here, once.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef DeleteFile
#undef MoveFile
#undef CopyFile
#undef SetFileAttributes
