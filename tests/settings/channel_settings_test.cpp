#include <chrono>

#include "manager_fixture.h"
#include "settings_model.h"

namespace {

const char kExampleFile[] =
    "[DIALOG]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\n"
    "[SETTINGS]\r\nCommon=1\r\n"
    "[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n"
    "[777]\r\nMedianWndSize=7\r\nProcEnable=1\r\n";

// Short names: the expected files below are spelled out whole.
constexpr auto Header = SettingsHeader;
constexpr auto Section = SettingsSection;

TEST_F(ManagerTest, FirstRunWithoutAFileGivesDefaultsAndSavesTheExampleFile)
{
    Load(KnowsEveryChannel);
    EXPECT_TRUE(std::filesystem::exists(Path()));
    EXPECT_EQ(ReadFile(), "");
    EXPECT_EQ(m_settings.LiveWndSize(), 15);
    EXPECT_EQ(m_settings.LiveEnable(), 0u);
    EXPECT_EQ(m_settings.IsIndividual(), 0);
    DlgPoint pos{};
    m_settings.GetDlgPos(&pos);
    EXPECT_EQ(pos.x, -100);
    EXPECT_EQ(pos.y, -100);
    EXPECT_EQ(m_settings.Records(), (Records{{0, 15, 0}}));

    // The user sets channel 777 individually to 7 and on, then goes back to common mode.
    EXPECT_EQ(Frame(777), 1);
    m_settings.SetIndividual(1);
    SetLive(7, 1);
    m_settings.SetIndividual(0);
    EXPECT_EQ(m_settings.SaveSettings(), SaveOutcome::Replaced);
    EXPECT_EQ(ReadFile(), kExampleFile);
}

TEST_F(ManagerTest, RunThatChangesNothingLeavesTheFileUntouched)
{
    WriteFile(kExampleFile);
    const auto stamp = std::filesystem::last_write_time(Path()) - std::chrono::hours(24);
    std::filesystem::last_write_time(Path(), stamp);

    Load(KnowsEveryChannel);
    EXPECT_EQ(Frame(777), 1);
    EXPECT_EQ(Frame(777), 0);
    m_settings.BeginEdit();
    m_settings.RevertEdit();
    EXPECT_EQ(m_settings.SaveSettings(), SaveOutcome::NothingToSave);
    EXPECT_EQ(ReadFile(), kExampleFile);
    EXPECT_EQ(std::filesystem::last_write_time(Path()), stamp);
}

TEST_F(ManagerTest, CommonModeKeepsTheLiveValuesAcrossChannels)
{
    WriteFile(Header(-100, -100, 1) + Section("COMMON", 5, 1) + Section("DEFAULT", 9, 0));
    Load(KnowsEveryChannel);
    EXPECT_EQ(Frame(10), 1);
    EXPECT_EQ(Frame(10), 0);
    EXPECT_EQ(Frame(20), 1);
    EXPECT_EQ(Frame(10), 1);
    EXPECT_EQ(m_settings.LiveWndSize(), 5);
    EXPECT_EQ(m_settings.LiveEnable(), 1u);
    EXPECT_EQ(m_settings.Records(), (Records{{0, 5, 1}, {10, 9, 0}, {20, 9, 0}}));
    EXPECT_EQ(m_settings.Snapshot(), m_settings.Records());
}

TEST_F(ManagerTest, IndividualModeBringsEachChannelsValuesBack)
{
    WriteFile(Header(-100, -100, 0) + Section("COMMON", 15, 0));
    Load(KnowsEveryChannel);
    Frame(1001);
    SetLive(7, 1);
    EXPECT_EQ(Frame(1002), 1);
    EXPECT_EQ(m_settings.LiveWndSize(), 15);
    EXPECT_EQ(m_settings.LiveEnable(), 0u);
    EXPECT_EQ(Frame(1001), 1);
    EXPECT_EQ(m_settings.LiveWndSize(), 7);
    EXPECT_EQ(m_settings.LiveEnable(), 1u);
    EXPECT_EQ(m_settings.Records(), (Records{{0, 15, 0}, {1001, 7, 1}, {1002, 15, 0}}));
}

TEST_F(ManagerTest, ChannelZeroUsesTheCommonRecordInBothModes)
{
    WriteFile(Header(-100, -100, 0) + Section("COMMON", 4, 1) + Section("5", 8, 0));
    Load(KnowsEveryChannel);
    Frame(5);
    EXPECT_EQ(Frame(0), 1);
    EXPECT_EQ(m_settings.CurrentIndex(), 0);
    EXPECT_EQ(m_settings.LiveWndSize(), 4);
    EXPECT_EQ(m_settings.Records().size(), 2u);
}

TEST_F(ManagerTest, DefaultSectionIsTheTemplateAndIsWrittenBack)
{
    const std::string file = Header(-100, -100, 0) + Section("DEFAULT", 9, 1) + Section("COMMON", 15, 0) +
                             "[30]\r\nMedianWndSize=3\r\n";
    WriteFile(file);
    Load(KnowsEveryChannel);
    Frame(31);
    EXPECT_EQ(m_settings.LiveWndSize(), 9);
    EXPECT_EQ(m_settings.LiveEnable(), 1u);
    Frame(30);
    // A channel section without ProcEnable takes the table default, not the template's.
    EXPECT_EQ(m_settings.LiveEnable(), 0u);
    m_settings.SaveSettings();
    EXPECT_EQ(ReadFile(), Header(-100, -100, 0) + Section("DEFAULT", 9, 1) + Section("COMMON", 15, 0) +
                              Section("30", 3, 0) + Section("31", 9, 1));
}

TEST_F(ManagerTest, SectionNamesAreParsedAsSignedNumbers)
{
    WriteFile(Header(-100, -100, 1) + Section("COMMON", 15, 0) + Section("0", 2, 1) + Section("abc", 3, 1) +
              Section("-", 4, 1) + Section("12abc", 5, 1) + Section("-5", 6, 1) + Section(" 13", 7, 1) +
              Section("+14", 8, 1));
    Load(KnowsEveryChannel);
    EXPECT_EQ(m_settings.Records(), (Records{{0, 15, 0}, {12, 5, 1}, {-5, 6, 1}, {13, 15, 0}, {14, 8, 1}}));
    m_settings.SaveSettings();
    EXPECT_EQ(ReadFile(), Header(-100, -100, 1) + Section("COMMON", 15, 0) + Section("12", 5, 1) +
                              Section("-5", 6, 1) + Section("13", 15, 0) + Section("14", 8, 1));
}

TEST_F(ManagerTest, DuplicateSectionsGiveTwoRecordsAndTheFirstIsUsed)
{
    WriteFile(Header(-100, -100, 0) + Section("COMMON", 15, 0) + Section("60", 2, 1) + Section("60", 3, 0));
    Load(KnowsEveryChannel);
    EXPECT_EQ(m_settings.Records(), (Records{{0, 15, 0}, {60, 2, 1}, {60, 3, 0}}));
    Frame(60);
    EXPECT_EQ(m_settings.CurrentIndex(), 1);
}

// The walk over the channel sections: every header once, in file order, read by its name as the store
// finds it; a section already read is not read again; sections above the walk's start only for channels
// the walk does not load. Expected records worked out by hand.
TEST_F(ManagerTest, WalkReadsEachSectionOnceWhereTheStoreFindsIt)
{
    const std::string common = Section("COMMON", 15, 0);
    const struct {
        const char* what;
        std::string file;
        Records records;
    } cases[] = {
        {"blank-edged name before the real one takes its values", common + Section(" 12", 3, 1) + Section("12", 5, 1),
         {{0, 15, 0}, {12, 5, 1}}},
        {"blank-edged name after the real one", common + Section("12", 5, 1) + Section("12 ", 3, 1),
         {{0, 15, 0}, {12, 5, 1}}},
        {"blank-edged names with no real section", common + Section(" 12", 3, 1) + Section("12\t", 4, 1),
         {{0, 15, 0}, {12, 15, 0}, {12, 15, 0}}},
        {"no section between is skipped", common + Section(" 30", 2, 1) + Section("31", 3, 1) + Section("30", 4, 1),
         {{0, 15, 0}, {30, 4, 1}, {31, 3, 1}}},
        {"a lookup found above never sends the walk back",
         common + Section("70", 2, 1) + Section(" 70", 3, 1) + Section("71", 4, 1), {{0, 15, 0}, {70, 2, 1}, {71, 4, 1}}},
        {"a stale copy above COMMON never wins", Section("20", 2, 1) + common + Section("20", 7, 0),
         {{0, 15, 0}, {20, 7, 0}}},
        {"a copy above COMMON found by a blank-edged name", Section("12", 9, 1) + common + Section(" 12", 3, 0),
         {{0, 15, 0}, {12, 9, 1}}},
        {"channels above the start stay, in file order",
         Section("40", 2, 1) + common + Section("41", 3, 1) + Header(-100, -100, 1) + Section("42", 4, 1),
         {{0, 15, 0}, {40, 2, 1}, {41, 3, 1}, {42, 4, 1}}},
        {"above the start, a blank-edged name and its section give one record",
         Section(" 60", 2, 1) + Section("60", 3, 1) + common, {{0, 15, 0}, {60, 3, 1}}},
        {"first line with no fixed section", Section("50", 2, 1) + Section("51", 3, 0),
         {{0, 15, 0}, {50, 2, 1}, {51, 3, 0}}},
        {"a name ends at a NUL inside it", common + Section("5", 2, 1) + Section(std::string("5\0x", 3), 3, 0),
         {{0, 15, 0}, {5, 2, 1}}},
        {"a stale first line", Section("50", 2, 1) + Section("51", 3, 0) + Section("50", 6, 1),
         {{0, 15, 0}, {51, 3, 0}, {50, 6, 1}}},
        {"the walk starts behind SETTINGS when COMMON is missing",
         Section("5", 2, 1) + Header(-100, -100, 1) + Section("6", 3, 1) + Section("5", 4, 0),
         {{0, 15, 0}, {6, 3, 1}, {5, 4, 0}}},
    };
    for (const auto& c : cases) {
        WriteFile(c.file);
        Load(KnowsEveryChannel);
        EXPECT_EQ(m_settings.Records(), c.records) << c.what;
        // The oracle of the differential test must agree with the hand-worked records too.
        settings_model::ChannelSettings oracle;
        oracle.LoadSettings(c.file, KnowsEveryChannel);
        Records modelRecords;
        for (const settings_model::ChannelRecord& r : oracle.m_Records)
            modelRecords.push_back({r.ChannelId, r.MedianWndSize, r.ProcEnable});
        EXPECT_EQ(modelRecords, c.records) << "model: " << c.what;
    }
}

TEST_F(ManagerTest, WindowSizesFromTheFileAreClampedToTheFiltersRange)
{
    WriteFile(Header(-100, -100, 0) + Section("DEFAULT", 100, 1) + Section("COMMON", 0, 0) + Section("1", -7, 1) +
              Section("2", 31, 1) + Section("3", 30, 1) + Section("4", 1, 1));
    Load(KnowsEveryChannel);
    EXPECT_EQ(m_settings.DefaultRecord().MedianWndSize, 30);
    EXPECT_EQ(m_settings.Records(), (Records{{0, 1, 0}, {1, 1, 1}, {2, 30, 1}, {3, 30, 1}, {4, 1, 1}}));
}

std::vector<int64_t> checkedIds;
int UVD_CDECL RecordingNoChannel(int64_t id)
{
    checkedIds.push_back(id);
    return 0;
}

TEST_F(ManagerTest, HostCheckDropsUnknownChannelsButKeepsOneToFour)
{
    WriteFile(Header(-100, -100, 1) + Section("COMMON", 15, 0) + Section("7", 2, 1) + Section("3", 3, 1) +
              Section("-1", 4, 1) + Section("1", 5, 1) + Section("5", 6, 1));
    checkedIds.clear();
    Load(RecordingNoChannel);
    m_settings.SaveSettings();
    EXPECT_EQ(checkedIds, (std::vector<int64_t>{7, 3, -1, 1, 5}));
    EXPECT_EQ(ReadFile(), Header(-100, -100, 1) + Section("COMMON", 15, 0) + Section("3", 3, 1) + Section("1", 5, 1));
}

// Both ends of the channels kept whatever the host says: 1 and 4 stay, 5 goes.
TEST_F(ManagerTest, ChannelsOneToFourAreSavedWhenTheHostKnowsNone)
{
    const struct {
        const char* id;
        bool saved;
    } cases[] = {{"1", true}, {"4", true}, {"5", false}};
    for (const auto& c : cases) {
        const std::string head = Header(-100, -100, 1) + Section("COMMON", 15, 0);
        WriteFile(head + Section(c.id, 7, 1));
        Load(KnowsNoChannel);
        m_settings.SaveSettings();
        EXPECT_EQ(ReadFile(), head + (c.saved ? Section(c.id, 7, 1) : "")) << "channel " << c.id;
    }
}

TEST_F(ManagerTest, HostCheckDecidesPerChannelAndNullKeepsAll)
{
    const std::string file = Header(-100, -100, 1) + Section("COMMON", 15, 0) + Section("8", 2, 1) +
                             Section("9", 3, 1) + Section("10", 4, 1);
    WriteFile(file);
    Load(KnowsOddChannels);
    m_settings.SaveSettings();
    EXPECT_EQ(ReadFile(), Header(-100, -100, 1) + Section("COMMON", 15, 0) + Section("9", 3, 1));

    WriteFile(file);
    Load(nullptr);
    m_settings.SaveSettings();
    EXPECT_EQ(ReadFile(), file);
}

TEST_F(ManagerTest, CancelRestoresTheRecordsAndKeepsChannelsMetMeanwhile)
{
    WriteFile(Header(-100, -100, 1) + Section("COMMON", 6, 1) + Section("DEFAULT", 11, 0) + Section("80", 2, 1));
    Load(KnowsEveryChannel);
    Frame(80);
    m_settings.BeginEdit();
    const Records opened = m_settings.Records();
    SetLive(20, 0);
    Frame(81);
    SetLive(21, 1);
    m_settings.RevertEdit();
    EXPECT_EQ(m_settings.Records(), (Records{{0, 6, 1}, {80, 2, 1}, {81, 11, 0}}));
    EXPECT_EQ(Records(m_settings.Records().begin(), m_settings.Records().begin() + 2), opened);
    EXPECT_EQ(m_settings.LiveWndSize(), 6);
    EXPECT_EQ(m_settings.LiveEnable(), 1u);
    EXPECT_EQ(m_settings.CurrentIndex(), 2);
}

TEST_F(ManagerTest, CancelKeepsAModeChangedWhileTheDialogWasOpen)
{
    WriteFile(Header(-100, -100, 1) + Section("COMMON", 6, 1) + Section("90", 2, 0));
    Load(KnowsEveryChannel);
    Frame(90);
    m_settings.BeginEdit();
    m_settings.SetIndividual(1);
    EXPECT_EQ(m_settings.LiveWndSize(), 2);
    SetLive(25, 1);
    m_settings.RevertEdit();
    EXPECT_EQ(m_settings.IsIndividual(), 1);
    EXPECT_EQ(m_settings.Records(), (Records{{0, 6, 1}, {90, 2, 0}}));
    EXPECT_EQ(m_settings.LiveWndSize(), 2);
    EXPECT_EQ(m_settings.LiveEnable(), 0u);
}

TEST_F(ManagerTest, ShutdownWithTheDialogOpenSavesItsChangesAndPosition)
{
    Load(KnowsEveryChannel);
    Frame(3);
    m_settings.BeginEdit();
    SetLive(12, 1);
    const DlgPoint moved{240, -8};
    m_settings.SetDlgPos(&moved);
    m_settings.SaveSettings();
    EXPECT_EQ(ReadFile(), Header(240, -8, 1) + Section("COMMON", 12, 1) + Section("3", 15, 0));
    // Should a frame still come, the live values are those of the record in force.
    EXPECT_EQ(m_settings.LiveWndSize(), 12);
    EXPECT_EQ(Frame(3), 0);
    EXPECT_EQ(m_settings.Records()[0], (ChannelRecord{0, 12, 1}));
}

TEST_F(ManagerTest, IndividualLiveValuesBeforeTheFirstFrameAreTheLastSectionRead)
{
    WriteFile(Header(-100, -100, 0) + Section("COMMON", 6, 1) + Section("100", 2, 0) + Section("101", 3, 1));
    Load(KnowsEveryChannel);
    EXPECT_EQ(m_settings.CurrentIndex(), -1);
    EXPECT_EQ(m_settings.LiveWndSize(), 3);
    EXPECT_EQ(m_settings.LiveEnable(), 1u);
}

TEST_F(ManagerTest, SecondLoadStartsFromEmptyTables)
{
    WriteFile(Header(5, 6, 0) + Section("DEFAULT", 9, 1) + Section("COMMON", 6, 1) + Section("110", 2, 0));
    Load(KnowsEveryChannel);
    Frame(111);
    WriteFile(Section("COMMON", 8, 0) + Section("120", 4, 1));
    Load(KnowsEveryChannel);
    EXPECT_EQ(m_settings.Records(), (Records{{0, 8, 0}, {120, 4, 1}}));
    EXPECT_EQ(m_settings.Snapshot(), m_settings.Records());
    EXPECT_EQ(m_settings.CurrentIndex(), -1);
    EXPECT_EQ(m_settings.IsIndividual(), 0);
    EXPECT_EQ(m_settings.DefaultRecord(), (ChannelRecord{0, 15, 0}));
    DlgPoint pos{};
    m_settings.GetDlgPos(&pos);
    EXPECT_EQ(pos.x, -100);
    m_settings.SaveSettings();
    EXPECT_EQ(ReadFile(), Header(-100, -100, 1) + Section("COMMON", 8, 0) + Section("120", 4, 1));
}

TEST_F(ManagerTest, NoLocationMeansDefaultsAndNoFile)
{
    WriteFile(Section("COMMON", 8, 1));
    m_settings.LoadSettings(SettingsLocation{}, KnowsEveryChannel);
    EXPECT_EQ(m_settings.Records(), (Records{{0, 15, 0}}));
    Frame(5);
    EXPECT_EQ(m_settings.SaveSettings(), SaveOutcome::NothingToSave);
    EXPECT_EQ(ReadFile(), Section("COMMON", 8, 1));
}

}  // namespace
