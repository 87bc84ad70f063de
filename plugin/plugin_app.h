#pragma once

#include <string>

struct HINSTANCE__;

// The module's application object: its own instance handle (where resources are loaded from) and its
// base file name (the settings file is named after it).
class CPluginApp {
public:
    void OnProcessAttach(HINSTANCE__* instance);

    HINSTANCE__* Instance() const { return m_hInstance; }
    const std::string& BaseName() const { return m_strBaseName; }

private:
    HINSTANCE__* m_hInstance = nullptr;
    std::string m_strBaseName;
};
