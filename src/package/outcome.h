#pragma once
// What a package-builder operation tells its caller: whether it succeeded and
// the message box the window shows for it. The window shows title, text and
// icon as they are; the command-line companion prints note, the same outcome
// in English.

#include "workspace/app_state.h"   // WindowCaption, the title of its warnings

#include <QString>

namespace kastra {

enum class MessageIcon { None, Information, Warning, Error };

struct Outcome {
    bool ok = false;
    // The message box; no box when text is empty.
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::None;
    // The same in English, for the command line; on success it may be empty.
    QString note;

    bool hasMessage() const { return !text.isEmpty(); }
};

// A warning titled with the window caption.
inline Outcome WarningOutcome(QString text, QString note)
{
    return Outcome{false, QString::fromUtf16(WindowCaption), std::move(text), MessageIcon::Warning, std::move(note)};
}

} // namespace kastra
