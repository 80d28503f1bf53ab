// The Win32 headers for the Windows backend. <windows.h> turns many API names into
// macros (CreateMutex -> CreateMutexW, DeleteFile -> DeleteFileW, ...) that would
// rename the operations of Platform, so they are undefined here: the backend calls the
// W functions by their full names.
#pragma once

// The interface first, with its true names: should a macro below ever rename one of its
// operations in the backend, `override` there fails to compile instead of silently
// declaring another function.
#include "platform/platform.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#undef CopyFile
#undef CreateDirectory
#undef CreateMutex
#undef DeleteFile
#undef FindResource
#undef GetCurrentDirectory
#undef GetFileAttributes
#undef MoveFile
#undef RemoveDirectory
#undef ReplaceFile
#undef SetCurrentDirectory
#undef SetFileAttributes
#undef ShellExecute
#undef WriteProfileString
