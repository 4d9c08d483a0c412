#pragma once
// What an installation package holds, as a package script describes it and as
// the SIS writer lays it out. The script parser fills everything but the file
// contents; the builder reads the files; the writer turns the whole into bytes.

#include "base/bytes.h"
#include "sis/sis_format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kastra::sis {

// A node of an IF/ELSEIF condition. Comparisons and AND/OR have two operands,
// NOT and EXISTS one; strings, attributes and numbers are leaves.
struct Expression {
    ExprType type = kExprNumber;
    std::uint32_t value = 0; // the number, or the attribute id
    std::u16string text;     // the string of a string leaf
    std::vector<Expression> operands;
};

struct PackageRecord {
    RecordType type = kRecordFile;
    int line = 0; // where the script states it, for messages

    // Files (kRecordFile, kRecordMultiLanguage): one source for a simple
    // record, one per language for a language block.
    FileType fileType = kFileStandard;
    std::uint32_t details = 0;
    std::vector<std::u16string> sources;
    std::u16string destination;
    std::u16string mime;
    // Filled by the builder, one entry per source: the bytes to store before
    // compression (text files already converted to UTF-16LE). Empty for FN.
    std::vector<Bytes> contents;

    // Options line: per option, one name per language.
    std::vector<std::vector<std::u16string>> options;

    // IF and ELSEIF.
    Expression condition;
};

struct Requisite {
    std::uint32_t uid = 0;
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint32_t variant = 0;
    std::vector<std::u16string> names; // one per language
    int line = 0;
};

struct PackageSpec {
    std::vector<std::uint16_t> languages;      // language codes, in script order
    std::vector<std::u16string> names;         // component name per language
    std::uint32_t uid = kDefaultUid1;
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint32_t build = 0;                   // stored as the header's variant
    std::uint16_t options = kOptionUnicode;    // IU is always set
    std::uint16_t type = kTypeApp;
    std::vector<Requisite> requisites;
    std::vector<Capability> capabilities;      // from "+(key=value,...)" lines
    std::vector<PackageRecord> records;        // in installation (script) order
    int headerLine = 0;
};

} // namespace kastra::sis
