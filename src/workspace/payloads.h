#pragma once
// The payloads the program carries: the two tools, the default theme files,
// the handset files and the Avkon pack list, each addressed by a resource
// type ("EXTPROGS" or "PKG") and a name, both upper case.
//
// The bytes are compiled into the program as Qt resources. A file
// payloads/<TYPE>/<NAME> in the program folder takes the place of the
// built-in bytes of that payload, so a user who owns the handset's original
// files can use them instead of this program's own.

#include <QByteArray>
#include <QString>

#include <optional>
#include <span>

namespace kastra {

struct PayloadId {
    const char* type;
    const char* name;
};

// Every payload, in the order of the program's payload table.
std::span<const PayloadId> payloadIds();

// Where a payload's override file would lie: programFolder/payloads/TYPE/NAME.
QString payloadOverridePath(const QString& type, const QString& name, const QString& programFolder);

// The payload's bytes: the override file when it exists and can be read,
// else the built-in bytes. An empty programFolder means no override. Nothing for a (type, name) pair the program does
// not carry; an override file alone does not make a payload.
std::optional<QByteArray> payloadBytes(const QString& type, const QString& name, const QString& programFolder);

// Whether a file in the program folder is there to take the place of the
// payload's built-in bytes (see payloadBytes), whether or not it can be read.
bool payloadOverridden(const QString& type, const QString& name, const QString& programFolder);

// Writes the payload to targetPath, replacing the file if it exists, so that
// the file afterwards holds exactly the payload's bytes. The new content is
// written beside the target and renamed over it, so a failed write leaves
// what was there before. EXTPROGS payloads (programs to run) are made
// executable. A regular file (not a link) that already holds exactly these
// bytes, executable when it must be, is left as it is. Failures are silent: the steps that follow work on whatever
// is there. Returns whether the file was written, for callers that care.
bool WritePayload(const QString& type, const QString& name, const QString& targetPath, const QString& programFolder);

} // namespace kastra
