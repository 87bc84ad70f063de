// The real manager against the plain model over generated settings files and the committed corpora:
// the same records, template, mode and dialog position after loading, the same live values and tables
// after every channel switch and dialog operation, and the same saved bytes.

#include <chrono>
#include <random>

#include "manager_fixture.h"
#include "settings_model.h"

namespace {

namespace model = settings_model;

const ChannelCheckProc kChecks[] = {nullptr, KnowsEveryChannel, KnowsOddChannels};

// Headers, keys and values that meet every rule of the walk and the readers.
const char* const kNames[] = {"12",  " 12", "12 ",     "\t12", " 12 ", "-5",     "0",      "abc",    "12abc",
                              "13",  "+13", "1",       "2",    "4",    "",       "DIALOG", "DEFAULT", "SETTINGS",
                              "COMMON", " COMMON", "99999999999999999999", "-", "[12]"};
const char* const kKeys[] = {"MedianWndSize", "ProcEnable", " ProcEnable ", "medianwndsize", "DlgWndPosX",
                             "DlgWndPosY", "Common", ";MedianWndSize"};
const char* const kValues[] = {"7", "", " ", "abc", "-1", "31", "0", "1", "4294967295", "99999999999", " 5", "5 ",
                               "+3", "2=3"};
const char* const kLineEnds[] = {"\r\n", "\n", "\r", "\n\r", "\r\r", "\n\n", "\r\n\r\n"};

template <typename T, size_t N>
const T& Pick(const T (&items)[N], std::mt19937& random)
{
    return items[random() % N];
}

std::string GeneratedFile(std::mt19937& random)
{
    std::string file;
    const int lines = static_cast<int>(random() % 24);
    for (int i = 0; i < lines; ++i) {
        std::string line;
        switch (random() % 8) {
        case 0:
        case 1:
        case 2: line.append(random() % 4 == 0 ? " [" : "[").append(Pick(kNames, random)).append("]"); break;
        case 3: line.append("[").append(Pick(kNames, random)).append("] tail"); break;
        case 4: line.push_back('['); break;
        case 5: break;
        default: line = std::string(Pick(kKeys, random)) + "=" + Pick(kValues, random); break;
        }
        file += line + Pick(kLineEnds, random);
    }
    if (random() % 4 == 0)
        file.append("[").append(Pick(kNames, random)).append("]");  // a last line without its end
    return file;
}

std::vector<std::string> CorpusFiles()
{
    std::vector<std::string> files;
    for (const char* dir : {"settings_ini", "settings_manager"}) {
        for (const auto& entry : std::filesystem::directory_iterator(std::string(UVD_FUZZ_DIR) + "/" + dir + "/corpus")) {
            const std::string bytes = ReadFileBytes(entry.path().string());
            files.push_back(bytes);
            // The manager's inputs lead with a count and that many operation bytes.
            if (std::string(dir) == "settings_manager" && !bytes.empty())
                files.push_back(bytes.substr(std::min(bytes.size(), size_t{1} + static_cast<uint8_t>(bytes[0]))));
        }
    }
    return files;
}

class ModelDifferential : public ManagerTest {
protected:
    void ExpectSameTables(const model::ChannelSettings& oracle, const std::string& where)
    {
        ASSERT_EQ(m_settings.Records().size(), oracle.m_Records.size()) << where;
        for (size_t i = 0; i < oracle.m_Records.size(); ++i) {
            const ChannelRecord& r = m_settings.Records()[i];
            ASSERT_TRUE((model::ChannelRecord{r.ChannelId, r.MedianWndSize, r.ProcEnable}) == oracle.m_Records[i])
                << where << ", record " << i;
        }
        ASSERT_EQ(m_settings.Snapshot().size(), oracle.m_Snapshot.size()) << where;
        for (size_t i = 0; i < oracle.m_Snapshot.size(); ++i) {
            const ChannelRecord& r = m_settings.Snapshot()[i];
            ASSERT_TRUE((model::ChannelRecord{r.ChannelId, r.MedianWndSize, r.ProcEnable}) == oracle.m_Snapshot[i])
                << where << ", snapshot " << i;
        }
        ASSERT_EQ(m_settings.CurrentIndex(), oracle.m_nCurrent) << where;
        ASSERT_EQ(m_settings.IsIndividual(), oracle.IsIndividual()) << where;
        ASSERT_EQ(m_settings.LiveWndSize(), oracle.m_Live.MedianWndSize) << where;
        ASSERT_EQ(m_settings.LiveEnable(), oracle.m_Live.ProcEnable) << where;
    }

    // Loads the file into both, plays the same operations on both, saves both; the first difference fails.
    void Compare(const std::string& file, uint32_t seed)
    {
        std::mt19937 random(seed ^ 0x9e3779b9u);
        const ChannelCheckProc check = kChecks[random() % 3];
        const std::string where = "seed " + std::to_string(seed);
        WriteFile(file);
        Load(check);
        // The same file through the in-memory seam that the fuzz target uses: it must save the same text.
        CChannelSettings inMemory(m_lock);
        inMemory.LoadSettingsText(file, check);
        model::ChannelSettings oracle;
        oracle.LoadSettings(file, check ? model::ChannelCheck(check) : model::ChannelCheck());

        ASSERT_EQ(m_settings.DefaultRecord().MedianWndSize, oracle.m_Default.MedianWndSize) << where;
        ASSERT_EQ(m_settings.DefaultRecord().ProcEnable, oracle.m_Default.ProcEnable) << where;
        DlgPoint pos{};
        m_settings.GetDlgPos(&pos);
        ASSERT_EQ(pos.x, oracle.m_ptDlgPos.x) << where;
        ASSERT_EQ(pos.y, oracle.m_ptDlgPos.y) << where;
        ASSERT_NO_FATAL_FAILURE(ExpectSameTables(oracle, where + ", loaded"));

        const int operations = static_cast<int>(random() % 12);
        for (int i = 0; i < operations; ++i) {
            const uint32_t op = random();
            switch (op % 6) {
            case 0:
            case 1: {
                const auto& records = oracle.m_Records;
                const int64_t id = op & 8 ? records[(op >> 4) % records.size()].ChannelId
                                          : static_cast<int64_t>((op >> 4) % 9) - 3;
                ASSERT_EQ(Frame(id), oracle.SwitchChannel(id)) << where;
                inMemory.SwitchChannel(id);
                break;
            }
            case 2:
                m_settings.SetIndividual(static_cast<int>(op >> 3 & 1));
                inMemory.SetIndividual(static_cast<int>(op >> 3 & 1));
                oracle.SetIndividual(static_cast<int>(op >> 3 & 1));
                break;
            case 3:
                m_settings.BeginEdit();
                inMemory.BeginEdit();
                oracle.BeginEdit();
                break;
            case 4:
                m_settings.RevertEdit();
                inMemory.RevertEdit();
                oracle.RevertEdit();
                break;
            default:
                SetLive(static_cast<int32_t>(op >> 3 & 31), op >> 8 & 1);
                inMemory.SetLiveWndSize(static_cast<int32_t>(op >> 3 & 31));
                inMemory.SetLiveEnable(op >> 8 & 1);
                oracle.m_Live.MedianWndSize = static_cast<int32_t>(op >> 3 & 31);
                oracle.m_Live.ProcEnable = op >> 8 & 1;
                break;
            }
            ASSERT_NO_FATAL_FAILURE(ExpectSameTables(oracle, where + ", operation " + std::to_string(i)));
        }

        m_settings.SaveSettings();
        const std::optional<std::string> written = oracle.SaveSettings();
        ASSERT_EQ(ReadFile(), written.value_or(file)) << where;
        ASSERT_EQ(std::string(inMemory.SettingsTextToWrite()), written.value_or("")) << where;
        ASSERT_NO_FATAL_FAILURE(ExpectSameTables(oracle, where + ", saved"));
        ++m_compared;
    }

    int m_compared = 0;
};

TEST_F(ModelDifferential, RealManagerEqualsTheModel)
{
    const auto started = std::chrono::steady_clock::now();
    const std::vector<std::string> corpus = CorpusFiles();
    ASSERT_GE(corpus.size(), 20u);
    uint32_t seed = 0;
    for (const std::string& file : corpus)
        ASSERT_NO_FATAL_FAILURE(Compare(file, ++seed));
    for (int i = 0; i < 2000; ++i) {
        std::mt19937 random(++seed);
        ASSERT_NO_FATAL_FAILURE(Compare(GeneratedFile(random), seed));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("compared %d settings files (%zu from the corpora) in %.2f s\n", m_compared, corpus.size(), seconds);
}

}  // namespace
