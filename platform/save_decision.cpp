#include "platform/save_decision.h"

SaveWay ChooseSaveWay(const SaveTargetFacts& facts)
{
    if (facts.writeDenied)
        return SaveWay::LeaveAlone;
    if (facts.hardLinked || facts.reparsePoint || facts.deleteDenied || facts.tempNameTooLong)
        return SaveWay::WriteInPlace;
    return SaveWay::Replace;
}

bool FallBackToWritingInPlace(ReplaceOutcome outcome)
{
    switch (outcome) {
    case ReplaceOutcome::TempNotMade:
    case ReplaceOutcome::AccessListNotKept:
    case ReplaceOutcome::RefusedNameKept:
        return true;
    case ReplaceOutcome::Replaced:
    case ReplaceOutcome::Interrupted:
    case ReplaceOutcome::TempNotWritten:
        break;
    }
    return false;
}
