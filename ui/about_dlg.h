#pragma once

#include "platform/dialog.h"
#include "ui/resource.h"

// The about box: name, version and picture, modal over the settings dialog and the host's window. "OK"
// and Escape end it through the dialog base's own OnOK and OnCancel.
class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUT) {}
};
