// The journal's columns, each stated once: its name, its SQL type, the schema version that
// added it, when a download writes it, and how its value is taken from a row, put back into
// one, and shown by the JSON export. The schema, the statements, the reader and both exports
// are made from this one table, so a new column is one row of it (and the schema version it
// comes with).
#pragma once

#include "config/journal.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace comsetup::config {

// A value as SQLite stores it: NULL, an integer or a text.
using JournalValue = std::variant<std::monostate, std::int64_t, std::string>;

// When a download writes a column.
enum class JournalWrite {
    kKey,      // the row's id: SQLite gives it
    kAtBegin,  // when the download starts
    kAtFinish, // when it ends
    kFound,    // at the start, and at the end replaced by what "Auto" found (when it found one)
};

// How a value is read back and shown in JSON. The CSV shows every value as its text and NULL
// as nothing.
enum class JournalForm {
    kNumber,        // an integer; null when NULL
    kFlag,          // 0 or 1, shown as false or true; null when NULL
    kText,          // a text; null when NULL or empty
    kTextEvenEmpty, // a text; "" when NULL or empty
};

struct JournalColumn {
    const char* name;
    const char* declaration; // the SQL type and constraint
    int since;               // the schema version that added the column
    JournalWrite write;
    JournalForm form;
    // What is stored for a row, and what both exports show.
    JournalValue (*value)(const JournalRow&);
    // The stored value put back into a row.
    void (*read)(JournalRow&, const JournalValue&);
    // kFound: the value the end writes over the start's (NULL: the start's stays).
    JournalValue (*found)(const JournalRow&) = nullptr;
};

// Every column, in the order of the table, the reader and the exports.
std::span<const JournalColumn> JournalColumns();

// The SQL that brings a journal from version - 1 to version (1: the table itself).
std::string JournalMigration(int version);

// The columns a reader selects from a file of that schema version: a column the file does not
// have yet is read as NULL.
std::string JournalSelectList(int version);

// The schema version that added the column of that name.
int JournalColumnSince(std::string_view name);

// The text the CSV export shows for a value.
std::string JournalText(const JournalValue& value);

} // namespace comsetup::config
