#pragma once

#include <string>

struct HINSTANCE__;

// The module's application object: its base file name, which the settings file is named after. The
// module's instance handle itself is kept in one place, platform/module_instance.h.
class CPluginApp {
public:
    void OnProcessAttach(HINSTANCE__* instance);

    const std::string& BaseName() const { return m_strBaseName; }

private:
    std::string m_strBaseName;
};
