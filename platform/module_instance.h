#pragma once

struct HINSTANCE__;

// The module's own instance handle, recorded when the DLL is attached: dialogs and bitmaps are loaded
// from it, not from the host's executable.
void SetModuleInstance(HINSTANCE__* instance);
HINSTANCE__* ModuleInstance();
