// Any settings text through the manager and through the plain model of its rules, side by side: load,
// play channel switches and dialog operations chosen by the input, save. The two must agree at every step
// (template, dialog position, records, snapshot, current record, mode, live values, the switch's answer,
// the saved bytes), the tables must stay consistent, and a saved text must be a fixed point: loading it
// and saving again writes nothing. All in memory, through the same seam LoadSettings and SaveSettings use.
//
// Input: one byte (operation count in its low five bits, the host check above them), the operation
// bytes, then the settings text. The fixed point is checked for the inputs whose count ends in binary 101,
// one in eight, under every host check (no byte value the fuzzer favours, such as 0x7F or 0xFF, ends so):
// saved texts are all of the writer's one shape, and loading one again cost as much as the rest of the
// input. Inputs stop at 160 bytes (the flags file): the walk's
// rules all show within a few lines, and as the fuzzer fills inputs up to the limit, the limit sets what
// every input costs (ten minutes at 256 bytes: 17,800 inputs a second; at 160: 22,500, same coverage).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "host/channel_checks.h"
#include "settings/channel_settings.h"
#include "settings_model.h"

namespace {

namespace model = settings_model;

const ChannelCheckProc kChecks[] = {nullptr, KnowsEveryChannel, KnowsOddChannels};

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "manager and model differ, or a table is broken: %s\n", what);
        std::abort();
    }
}

bool SameRecords(const std::vector<ChannelRecord>& real, const std::vector<model::ChannelRecord>& oracle)
{
    if (real.size() != oracle.size())
        return false;
    // Field by field in place: this runs after every operation.
    for (size_t i = 0; i < real.size(); ++i) {
        const ChannelRecord& r = real[i];
        const model::ChannelRecord& o = oracle[i];
        if (r.ChannelId != o.ChannelId || r.MedianWndSize != o.MedianWndSize || r.ProcEnable != o.ProcEnable)
            return false;
    }
    return true;
}

void CheckTables(const CChannelSettings& settings)
{
    const auto& records = settings.Records();
    Require(!records.empty(), "records empty");
    Require(records[0].ChannelId == 0, "element 0 is not COMMON");
    Require(records.size() == settings.Snapshot().size(), "snapshot and records differ in length");
    const int32_t current = settings.CurrentIndex();
    Require(current >= -1 && current < static_cast<int32_t>(records.size()), "current index out of range");
    for (const ChannelRecord& record : records)
        Require(record.MedianWndSize >= 1 && record.MedianWndSize <= 30, "window size outside 1..30");
}

void CheckSame(const CChannelSettings& settings, const model::ChannelSettings& oracle)
{
    CheckTables(settings);
    Require(SameRecords(settings.Records(), oracle.m_Records), "records");
    Require(SameRecords(settings.Snapshot(), oracle.m_Snapshot), "snapshot");
    Require(settings.CurrentIndex() == oracle.m_nCurrent, "current record");
    Require(settings.IsIndividual() == oracle.IsIndividual(), "mode");
    Require(settings.LiveWndSize() == oracle.m_Live.MedianWndSize, "live window size");
    Require(settings.LiveEnable() == oracle.m_Live.ProcEnable, "live on/off");
    const ChannelRecord& def = settings.DefaultRecord();
    Require(def.MedianWndSize == oracle.m_Default.MedianWndSize && def.ProcEnable == oracle.m_Default.ProcEnable,
            "template");
    DlgPoint pos{};
    settings.GetDlgPos(&pos);
    Require(pos.x == oracle.m_ptDlgPos.x && pos.y == oracle.m_ptDlgPos.y, "dialog position");
}

// Channel ids worth meeting: COMMON's 0, the always-kept 1..4, negatives, and the file's own channels.
int64_t ChannelFor(uint8_t op, const CChannelSettings& settings)
{
    const auto& records = settings.Records();
    const uint8_t pick = op >> 3;
    if (pick < records.size() && (pick & 1))
        return records[pick].ChannelId;
    return static_cast<int64_t>(pick) - 8;
}

// One operation of the video thread or the dialog, on both.
void Play(uint8_t op, CChannelSettings& settings, model::ChannelSettings& oracle, CCriticalSection& lock)
{
    switch (op & 7) {
    case 0:
    case 1: {
        const int64_t id = ChannelFor(op, settings);
        CSingleLock hold(lock);
        Require(settings.SwitchChannel(id) == oracle.SwitchChannel(id), "switch answer");
        break;
    }
    case 2:
        settings.BeginEdit();
        oracle.BeginEdit();
        break;
    case 3:
        settings.RevertEdit();
        oracle.RevertEdit();
        break;
    case 4:
        settings.SetIndividual(op & 8);
        oracle.SetIndividual(op & 8);
        break;
    case 5:
        settings.SetLiveWndSize(1 + (op >> 3) % 30);
        oracle.m_Live.MedianWndSize = 1 + (op >> 3) % 30;
        break;
    case 6:
        settings.SetLiveEnable(op >> 3);
        oracle.m_Live.ProcEnable = op >> 3;
        break;
    default: {
        const DlgPoint point{op, -op};
        settings.SetDlgPos(&point);
        oracle.m_ptDlgPos = {op, -op};
        break;
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t opCount = data[0] % 32;
    const uint8_t* ops = data + 1;
    const size_t opsAvailable = size - 1 < opCount ? size - 1 : opCount;
    const std::string_view text(reinterpret_cast<const char*>(ops + opsAvailable), size - 1 - opsAvailable);
    const ChannelCheckProc check = kChecks[data[0] / 32 % 3];
    const bool checkFixedPoint = data[0] % 8 == 5;

    CCriticalSection lock;
    CChannelSettings settings(lock);
    settings.LoadSettingsText(text, check);
    model::ChannelSettings oracle;
    oracle.LoadSettings(text, check ? model::ChannelCheck(check) : model::ChannelCheck());
    CheckSame(settings, oracle);
    for (size_t i = 0; i < opsAvailable; ++i) {
        Play(ops[i], settings, oracle, lock);
        CheckSame(settings, oracle);
    }

    // The view lasts until the manager's next load or save, and neither comes.
    const std::string_view saved = settings.SettingsTextToWrite();
    const std::optional<std::string> oracleSaved = oracle.SaveSettings();
    Require(oracleSaved ? saved == *oracleSaved : saved.empty(), "saved text");
    CheckSame(settings, oracle);

    // What the file holds after the save, loaded again and saved with nothing changed, is not written.
    if (!checkFixedPoint)
        return 0;
    CChannelSettings reloaded(lock);
    reloaded.LoadSettingsText(saved.empty() ? text : saved, check);
    CheckTables(reloaded);
    Require(reloaded.SettingsTextToWrite().empty(), "a saved text changes when loaded and saved again");
    return 0;
}
