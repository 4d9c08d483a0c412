#pragma once
// What every handler's library call tells the window: whether it did what
// was asked, the message box to show for it, and which slot files it wrote
// or deleted. One type for the whole of src/, so a handler is always the same
// few lines: call, then hand the outcome to the window, which shows the box
// through its dialogs, tells the folder watcher the writes were its own and
// keeps them as one step of the undo history. The command-line companion
// prints note, the same outcome in English.

#include "workspace/app_state.h"   // WindowCaption, the title of the program's boxes

#include <QString>
#include <QStringList>

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
    // Full paths of the slot files written or deleted, whether or not the
    // call succeeded: a refused load that put its backup back lists them too,
    // since their bytes may have moved.
    QStringList written;

    bool hasMessage() const { return !text.isEmpty(); }
};

// Success without a message.
inline Outcome Done(QStringList written = {})
{
    Outcome out;
    out.ok = true;
    out.written = std::move(written);
    return out;
}

// A box titled with the window caption.
inline Outcome MessageOutcome(MessageIcon icon, QString text, QString note = {})
{
    Outcome out;
    out.title = QString::fromUtf16(WindowCaption);
    out.text = std::move(text);
    out.icon = icon;
    out.note = std::move(note);
    return out;
}

inline Outcome WarningOutcome(QString text, QString note = {})
{
    return MessageOutcome(MessageIcon::Warning, std::move(text), std::move(note));
}

} // namespace kastra
