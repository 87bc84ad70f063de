#include "platform/module_instance.h"

static HINSTANCE__* theModuleInstance = nullptr;

void SetModuleInstance(HINSTANCE__* instance) { theModuleInstance = instance; }
HINSTANCE__* ModuleInstance() { return theModuleInstance; }
