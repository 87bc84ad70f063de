#pragma once

// Settings files as the plug-in writes them, built piece by piece: the header (dialog position and mode),
// then one section per record.

#include <cstdint>
#include <string>

inline std::string SettingsHeader(int posX, int posY, int common)
{
    return "[DIALOG]\r\nDlgWndPosX=" + std::to_string(posX) + "\r\nDlgWndPosY=" + std::to_string(posY) +
           "\r\n[SETTINGS]\r\nCommon=" + std::to_string(common) + "\r\n";
}

inline std::string SettingsSection(const std::string& name, int64_t wndSize, int64_t enable)
{
    return "[" + name + "]\r\nMedianWndSize=" + std::to_string(wndSize) + "\r\nProcEnable=" + std::to_string(enable) +
           "\r\n";
}
