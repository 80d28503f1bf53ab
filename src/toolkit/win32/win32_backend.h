// The Win32 backend: real windows and common controls through the W functions (texts
// converted from Shift-JIS with code page 932), keyboard navigation through
// IsDialogMessage (Tab order, Enter for the default button, Esc for the cancel button,
// Alt with the underlined letter), graphic controls painted by their parent through an
// off-screen bitmap (pictures with StretchDIBits, colour on colour), and message boxes
// with Japanese button captions.
#pragma once

#include <memory>

#include "toolkit/backend.h"

namespace zarn {

class TControl;
class TForm;

std::unique_ptr<Backend> CreateWin32Backend();

// The window (HWND) of a windowed control whose form was shown; nullptr before.
void* NativeHandle(const TControl& control);

// Ends a modal form with Cancel after a time (for unattended runs of a program).
void CloseAfter(TForm& form, unsigned milliseconds);

}  // namespace zarn
