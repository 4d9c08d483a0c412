// Any bytes as an undo history step file: decodeStep either refuses them or
// gives a step that names only files the history may write, each once, with
// no state larger than the history tracks for that name; and such a step
// encodes back to exactly the bytes it was read from, so nothing in the file
// goes unchecked.
#include "workspace/history_step.h"

#include <QSet>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// The shape of the names the history tracks: a file in the root or one
// folder down, not hidden. The reader must hold every step to the rule it is
// given, whatever the rule.
bool mayName(const QString& relative)
{
    const QStringList parts = relative.split(u'/');
    return parts.size() <= 2 && !parts.first().isEmpty() && !parts.last().isEmpty() && !parts.last().startsWith(u'.');
}

// The input as it is, and the input with a checksum that fits appended, so
// that the fuzzer reaches the fields behind the checksum.
kastra::Bytes signedCopy(const std::uint8_t* data, std::size_t size)
{
    kastra::Bytes out(data, data + size);
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (std::size_t i = 0; i < size; ++i) {
        h ^= data[i];
        h *= 0x100000001b3ULL;
    }
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<std::uint8_t>(h >> (8 * i)));
    return out;
}

void check(kastra::ByteSpan file)
{
    const auto step = kastra::decodeStep(file, mayName);
    if (!step)
        return;
    QSet<QString> seen;
    for (const kastra::StepChange& c : step->changes) {
        if (!mayName(c.relative) || c.relative.contains(QStringLiteral("..")) || seen.contains(c.relative))
            __builtin_trap();
        seen.insert(c.relative);
        for (const auto& state : {c.before, c.after})
            if (state && state->size() > kastra::History::maxBytesOf(c.relative))
                __builtin_trap();
    }
    const kastra::Bytes again = kastra::encodeStep(*step);
    if (again.size() != file.size() || !std::equal(again.begin(), again.end(), file.begin()))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    check(kastra::ByteSpan(data, size));
    check(signedCopy(data, size));
    return 0;
}
