#pragma once
// The undo history's step file: what one step changed, file by file, with
// the flags before and after. Internal to the history.

#include "workspace/history.h"

#include "base/bytes.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kastra {

struct StepChange {
    QString relative;                  // below the workspace root, with '/'
    std::optional<QByteArray> before;  // none: the file was not there
    std::optional<QByteArray> after;
};

struct StepContents {
    HistoryFlags before;
    HistoryFlags after;
    std::vector<StepChange> changes;   // sorted by name, each name once
};

Bytes encodeStep(const StepContents& step);

// The step, or nothing when the bytes are not a sound step file. mayName
// says which relative paths a step may name: the paths decide which files an
// undo writes, so one that leads elsewhere makes the file damaged.
std::optional<StepContents> decodeStep(ByteSpan file, const std::function<bool(const QString&)>& mayName);

} // namespace kastra
