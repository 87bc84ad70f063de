#pragma once

#include <windows.h>
#include <commctrl.h>

#include "platform/window.h"

// The three kinds of control the plug-in's dialogs drive, bound to a dialog's child by Attach.

class CSliderCtrl : public CWindow {
public:
    void SetRange(int minimum, int maximum, BOOL redraw) { Send(TBM_SETRANGE, redraw, MAKELPARAM(minimum, maximum)); }
    void SetTicFreq(int every) { Send(TBM_SETTICFREQ, every); }
    void SetPos(int position) { Send(TBM_SETPOS, TRUE, position); }
    int GetPos() const { return static_cast<int>(Send(TBM_GETPOS)); }
};

class CButton : public CWindow {
public:
    void SetCheck(int state) { Send(BM_SETCHECK, state); }
    int GetCheck() const { return static_cast<int>(Send(BM_GETCHECK)); }
};

class CStatic : public CWindow {};

// Registers the trackbar's window class; a dialog that holds one must not be created before this.
void InitTrackbarClass();
