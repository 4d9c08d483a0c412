#pragma once
// What every handler's library call tells the window: whether it did what
// was asked and the message box to show for it. One type for the whole of
// src/, so a handler is always the same few lines: call, then hand the
// outcome to the window, which shows the box through its dialogs. Which
// slot files the call wrote the window learns from the workspace's journal,
// not from the outcome. The command-line companion prints note, the same
// outcome in English.

#include "workspace/app_state.h"   // WindowCaption, the title of the program's boxes

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

// Success without a message.
inline Outcome Done()
{
    Outcome out;
    out.ok = true;
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
