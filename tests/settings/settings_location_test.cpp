#include "settings/settings_location.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

OsVersionRecord Version(uint32_t platformId, uint32_t major, uint32_t minor, const char* csd = "")
{
    OsVersionRecord version{};
    version.platformId = platformId;
    version.major = major;
    version.minor = minor;
    std::strncpy(version.csdVersion, csd, sizeof version.csdVersion - 1);
    return version;
}

struct VersionRow {
    const char* system;
    OsVersionRecord version;
    unsigned code;
};

TEST(OsVersionCode, ClassifiesEveryRowOfTheTable)
{
    const VersionRow rows[] = {
        {"Win32s", Version(0, 3, 10, "Win32s 1.3"), 1},
        {"Win32s, any numbers", Version(0, 0, 0), 1},
        {"95", Version(1, 4, 0), 2},
        {"95 OSR2 (C)", Version(1, 4, 0, " C"), 3},
        {"95 OSR2 (B)", Version(1, 4, 0, " B"), 3},
        {"95, letter in the first place only", Version(1, 4, 0, "C"), 2},
        {"95, letter A is no OSR2", Version(1, 4, 0, " A"), 2},
        {"98", Version(1, 4, 10), 4},
        {"98 SE", Version(1, 4, 10, " A "), 5},
        {"98 SE (B)", Version(1, 4, 10, " B"), 5},
        {"98, letter C is no SE", Version(1, 4, 10, " C"), 4},
        {"98, lower-case a", Version(1, 4, 10, " a"), 4},
        {"Me", Version(1, 4, 90, " "), 6},
        {"other 9x minor", Version(1, 4, 3, " A"), 2},
        {"other 9x major", Version(1, 5, 10, " A"), 2},
        {"2000", Version(2, 5, 0, "Service Pack 4"), 8},
        {"XP", Version(2, 5, 1, "Service Pack 3"), 9},
        {"2003", Version(2, 5, 2), 10},
        {"other 5.x", Version(2, 5, 3), 7},
        {"Vista", Version(2, 6, 0), 11},
        {"7", Version(2, 6, 1, "Service Pack 1"), 12},
        {"8 and later as 6.2", Version(2, 6, 2), 7},
        {"6.3", Version(2, 6, 3), 7},
        {"NT 3.51", Version(2, 3, 51), 7},
        {"NT 4", Version(2, 4, 0, "Service Pack 6"), 7},
        {"10", Version(2, 10, 0), 7},
        {"CE", Version(3, 4, 0), 0},
        {"unknown platform", Version(7, 5, 1), 0},
    };
    for (const VersionRow& row : rows)
        EXPECT_EQ(OsVersionCode(row.version), row.code) << row.system;
}

TEST(InstanceFromCommandLine, OneLowerCaseCharacterAfterTheSwitch)
{
    const struct {
        const char* line;
        const char* instance;
    } cases[] = {
        {"", ""},
        {"\"C:\\TV\\kestrova.exe\"", ""},
        {"\"C:\\TV\\kestrova.exe\" /INST:Q", "q"},
        {"kestrova.exe -Inst:z -fullscreen", "z"},
        {"kestrova.exe -inst:12", "1"},
        {"kestrova.exe /inst:7", "7"},
        // Found anywhere in the line, not only as a word of its own.
        {"kestrova.exe x/inst:k", "k"},
        // The slash switch wins in either order.
        {"host.exe /inst:b -inst:a", "b"},
        {"host.exe -inst:a /inst:b", "b"},
        {"host.exe -INST:A /Inst:B", "b"},
        // The first occurrence of each switch counts.
        {"host.exe -inst:a -inst:c", "a"},
        {"host.exe /inst:d /inst:e", "d"},
        // A switch at the end of the line gives no instance; a trailing slash switch with nothing after it
        // clears what the minus switch chose.
        {"host.exe -inst:", ""},
        {"host.exe /inst:", ""},
        {"host.exe -inst:a /inst:", ""},
        // A blank is a character like any other.
        {"host.exe -inst: x", " "},
        // Only ASCII letters are lower-cased: 0xC0 is a capital letter in code page 1251, and the host's
        // C-locale lower-casing keeps it.
        {"host.exe /inst:\xC0", "\xC0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstanceFromCommandLine(c.line), c.instance) << c.line;
}

LocationFacts HostFacts()
{
    LocationFacts facts;
    facts.versionKnown = true;
    facts.version = Version(2, 5, 1, "Service Pack 3");
    facts.appDataFolder = "C:\\Documents and Settings\\tv\\Application Data";
    facts.hostExePath = "C:\\Program Files\\Kestrova\\kestrova.exe";
    facts.commandLine = "\"C:\\Program Files\\Kestrova\\kestrova.exe\"";
    facts.baseName = "RPX_UVDenoise";
    return facts;
}

void ExpectLocation(const SettingsLocation& location, const std::string& folder, const std::string& instance)
{
    EXPECT_EQ(location.m_strFolder, folder);
    EXPECT_EQ(location.m_strInstance, instance);
    EXPECT_EQ(location.m_strBaseName, "RPX_UVDenoise");
    EXPECT_EQ(location.m_strFileName, "RPX_UVDenoise.ini");
    EXPECT_EQ(location.m_strPath, folder + "RPX_UVDenoise.ini");
}

const char* const kHostFolder = "C:\\Program Files\\Kestrova\\";
const char* const kUsersFolder = "C:\\Documents and Settings\\tv\\Application Data\\Kestrova\\";

TEST(ComputeSettingsLocation, DefaultIsThePluginsFolderBesideTheHost)
{
    ExpectLocation(ComputeSettingsLocation(HostFacts()), std::string(kHostFolder) + "Plugins\\", "");
}

TEST(ComputeSettingsLocation, InstanceGetsAFolderOfItsOwn)
{
    LocationFacts facts = HostFacts();
    facts.commandLine += " /INST:Q";
    ExpectLocation(ComputeSettingsLocation(facts), std::string(kHostFolder) + "Instances\\q\\Plugins\\", "q");
}

TEST(ComputeSettingsLocation, UsersFolderOnNtWhenTheRegistryAsks)
{
    LocationFacts facts = HostFacts();
    facts.storeInUsersFolder = 1;
    ExpectLocation(ComputeSettingsLocation(facts), std::string(kUsersFolder) + "Plugins\\", "");

    facts.commandLine += " -inst:c";
    ExpectLocation(ComputeSettingsLocation(facts), std::string(kUsersFolder) + "Instances\\c\\Plugins\\", "c");
}

TEST(ComputeSettingsLocation, UsersFolderOnlyOnTheNtFamily)
{
    LocationFacts facts = HostFacts();
    facts.storeInUsersFolder = 1;
    const OsVersionRecord hostFolderSystems[] = {
        Version(1, 4, 10, " A "), Version(1, 4, 90), Version(0, 3, 10), Version(9, 5, 1)};
    for (const OsVersionRecord& version : hostFolderSystems) {
        facts.version = version;
        EXPECT_EQ(ComputeSettingsLocation(facts).m_strFolder, std::string(kHostFolder) + "Plugins\\")
            << "platform " << version.platformId << " " << version.major << "." << version.minor;
    }
    facts.version = Version(2, 10, 0);
    EXPECT_EQ(ComputeSettingsLocation(facts).m_strFolder, std::string(kUsersFolder) + "Plugins\\");
}

TEST(ComputeSettingsLocation, RegistryValueZeroKeepsTheHostFolderOnWindows7)
{
    LocationFacts facts = HostFacts();
    facts.version = Version(2, 6, 1);
    facts.storeInUsersFolder = 0;
    EXPECT_EQ(ComputeSettingsLocation(facts).m_strFolder, std::string(kHostFolder) + "Plugins\\");
}

TEST(ComputeSettingsLocation, FailedAppDataQueryFallsBackToTheHostFolder)
{
    LocationFacts facts = HostFacts();
    facts.storeInUsersFolder = 1;
    facts.appDataFolder.clear();
    EXPECT_EQ(ComputeSettingsLocation(facts).m_strFolder, std::string(kHostFolder) + "Plugins\\");
}

TEST(ComputeSettingsLocation, AnotherModuleNameGivesItsOwnFile)
{
    LocationFacts facts = HostFacts();
    facts.baseName = std::string("X");
    const SettingsLocation location = ComputeSettingsLocation(facts);
    EXPECT_EQ(location.m_strFileName, "X.ini");
    EXPECT_EQ(location.m_strPath, std::string(kHostFolder) + "Plugins\\X.ini");
}

TEST(ComputeSettingsLocation, HostFolderIsCutAfterTheLastBackslash)
{
    LocationFacts facts = HostFacts();
    facts.hostExePath = "Z:\\home\\tv\\bin\\host.exe";
    EXPECT_EQ(ComputeSettingsLocation(facts).m_strPath, "Z:\\home\\tv\\bin\\Plugins\\RPX_UVDenoise.ini");
}

TEST(ComputeSettingsLocation, UnknownVersionLeavesEveryTextEmpty)
{
    LocationFacts facts = HostFacts();
    facts.versionKnown = false;
    facts.commandLine += " /inst:q";
    const SettingsLocation location = ComputeSettingsLocation(facts);
    EXPECT_EQ(location.m_strInstance, "");
    EXPECT_EQ(location.m_strFolder, "");
    EXPECT_EQ(location.m_strBaseName, "");
    EXPECT_EQ(location.m_strFileName, "");
    EXPECT_EQ(location.m_strPath, "");
}

}  // namespace
