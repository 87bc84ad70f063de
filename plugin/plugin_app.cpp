#include "plugin/plugin_app.h"

#include <windows.h>

void CPluginApp::OnProcessAttach(HINSTANCE instance)
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    std::string file(path, length < MAX_PATH ? length : 0);
    const size_t slash = file.find_last_of("\\/");
    if (slash != std::string::npos)
        file.erase(0, slash + 1);
    const size_t dot = file.find_last_of('.');
    if (dot != std::string::npos)
        file.erase(dot);
    m_strBaseName = file.empty() ? "RPX_UVDenoise" : file;
}
