#include "platform/save_decision.h"

SaveWay ChooseSaveWay(const SaveTargetFacts& facts)
{
    if (facts.writeDenied)
        return SaveWay::LeaveAlone;
    if (facts.hardLinked || facts.reparsePoint || facts.tempNameTooLong)
        return SaveWay::WriteInPlace;
    return SaveWay::Replace;
}

ReplaceRecovery ChooseReplaceRecovery(ReplaceOutcome outcome)
{
    switch (outcome) {
    case ReplaceOutcome::TempNotMade:
    case ReplaceOutcome::RefusedNameKept:
        return ReplaceRecovery::WriteInPlace;
    case ReplaceOutcome::NameLost:
        return ReplaceRecovery::MoveTempIntoName;
    case ReplaceOutcome::Replaced:
    case ReplaceOutcome::Interrupted:
    case ReplaceOutcome::TempNotWritten:
        break;
    }
    return ReplaceRecovery::None;
}
