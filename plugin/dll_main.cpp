#include <windows.h>

#include "plugin/module_objects.h"
#include "platform/module_instance.h"

extern "C" __attribute__((force_align_arg_pointer)) BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason,
                                                                          LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        SetModuleInstance(instance);
        theApp.OnProcessAttach(instance);
    }
    return TRUE;
}
