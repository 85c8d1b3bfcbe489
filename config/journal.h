// The journal: one row for every download either front end runs, in an SQLite file in the
// user's data folder, so that it is known afterwards which address went into which unit.
//
// A row is written when a download starts and completed when it ends, so a crash or a kill
// leaves a row that says it did not finish. WAL mode and a busy timeout let a batch's
// downloads and a wizard write at once without losing a row. The journal never stops a
// download: every failure (read-only, full disk, locked, damaged) is a JournalError the
// caller reports once and goes on without it. A damaged file is named and left as it is; no
// new journal is created over it. The schema's version (user_version) migrates forward.
#pragma once

#include "config/setup_options.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

namespace comsetup::config {

class JournalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The journal stayed locked by another connection for the whole wait.
class JournalBusy : public JournalError {
public:
    using JournalError::JournalError;
};

// A write found no room: the disk, a quota or a size limit.
class JournalNoRoom : public JournalError {
public:
    using JournalError::JournalError;
};

// How long one write waits for a lock, and how long a download's end keeps trying (with
// growing pauses) before its row is given up.
inline constexpr int kJournalBusyTimeoutMs = 5000;
inline constexpr int kJournalEndRetryMs = 60000;

// What is known when a download starts.
struct JournalStart {
    std::string frontEnd; // "comsetup", "comsetup-cli", "comsetup-cli batch"
    std::string version;
    std::string device; // what the port name opens
    SetupProfile setup;
    std::string peerSent; // the peer address sent, "" when no tunnel (the directed broadcast
                          // for a master side)
    std::string plan;     // the plan's id (config/plan.h PlanId: its file name) when the
                          // download is a plan's row, else ""
    int planRow = 0;      // that row's number (1: the plan's first converter), or 0
};

// The LAN check of a download (--lan-check, the wizard's box).
struct JournalLan {
    bool answered = false; // the converter answered at its new address after the write
    std::string mac;       // its MAC address then, or ""
    std::string tcp;       // its local port: "open", "refused", "no answer", "not tried"
    int waitedMs = 0;      // how long the wait took
};

// What is known when it ends.
struct JournalEnd {
    std::string firmware;        // "01.8", "V6.5.0.7", "unknown"
    std::string verdict;         // the dialog's last text ("Setup Complete", ...)
    std::string outcome;         // "complete", "error-on-setup", ...
    std::optional<int> exitCode; // comsetup-cli's; the wizard has none
    std::string cause;
    std::string written;
    std::string log; // the monitor log, one line per converter line
    // The port "Auto" found and the device it opened: they replace "Auto" in the row, so the
    // row says what was written. Empty: the port as the start gave it.
    std::string portFound, deviceFound;

    std::optional<JournalLan> lan; // the LAN check, when it was on
};

// One row as read back.
struct JournalRow {
    std::int64_t id = 0;
    std::string startedUtc; // "2026-12-08T10:14:03Z"
    std::string endedUtc;   // "" while running, or when the download never finished
    JournalStart start;
    JournalEnd end;
};

struct JournalFilter {
    std::string since;   // rows started at or after this UTC date/time prefix ("2026-12-07")
    std::string ip;      // exact address
    std::string port;    // port name as given
    std::string outcome; // "complete", ..., or "unfinished"
    std::string plan;    // only the rows of this plan (its id; older ids "id:hash" too)
    int limit = 50;      // newest first; 0: all
};

inline constexpr int kJournalSchemaVersion = 5;

class Journal {
public:
    // Opens the journal at path, creating it (and its folder) when missing, and brings its
    // schema up to date. Throws JournalError naming the path and the cause.
    // waitMs: how long a lock is waited for (0: refused at once as JournalBusy).
    static std::unique_ptr<Journal> Open(const std::string& path,
                                         int waitMs = kJournalBusyTimeoutMs);
    // Opens the journal at path for reading only, as every listing and look-up does: nothing
    // is created, migrated or switched to WAL, no -wal, -shm or -journal file appears beside
    // a whole journal, its bytes stay as they are, and a read-only file or folder is read.
    // Nothing when no file is there (no download recorded yet). Throws JournalError naming
    // the path for a path that is no regular file, a damaged file or one of a newer schema.
    static std::unique_ptr<Journal> OpenForReading(const std::string& path);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // The row of a download that starts now; its id. Throws JournalError.
    std::int64_t Begin(const JournalStart& start);
    // Completes the row. Throws JournalError.
    void Finish(std::int64_t id, const JournalEnd& end);

    void SetWait(int waitMs); // how long the next writes wait for a lock

    std::vector<JournalRow> List(const JournalFilter& filter) const;
    std::optional<JournalRow> Get(std::int64_t id) const;
    const std::string& Path() const { return path_; }

private:
    Journal(sqlite3* db, std::string path);
    std::string SelectColumns() const; // the columns this file's schema has, as rows read them
    void Prepare();                    // a writer's settings and schema; throws JournalError

    sqlite3* db_;
    std::string path_;
    int version_ = kJournalSchemaVersion; // a reader's file may be older: it is not migrated
    int waitMs_ = kJournalBusyTimeoutMs;
};

// One download's row as a front end keeps it: begun at construction, completed by End. A
// journal that cannot be used is kept in Error() (the first fault only), never thrown.
class JournalEntry {
public:
    JournalEntry(const std::string& path, const JournalStart& start);
    ~JournalEntry();
    JournalEntry(const JournalEntry&) = delete;
    JournalEntry& operator=(const JournalEntry&) = delete;

    // Completes the row; a journal still locked is tried again with growing pauses for
    // retryMs beyond the busy timeout (0: the busy timeout alone, for a caller that must not
    // wait longer, such as a window's thread).
    void End(const JournalEnd& end, int retryMs = kJournalEndRetryMs);
    const std::string& Error() const { return error_; }
    std::int64_t Id() const { return id_; }

private:
    std::unique_ptr<Journal> journal_;
    std::string path_;
    JournalStart start_;
    bool deferred_ = false; // locked at the start: the row is written at the end
    std::int64_t id_ = 0;
    std::string error_;
};

// Where the journal lives unless told otherwise: COMSETUP_JOURNAL, else the user's data
// folder: $XDG_DATA_HOME/comsetup/journal.sqlite, ~/.local/share/comsetup/journal.sqlite, or
// on Windows journal.sqlite in the folder comsetup of %LOCALAPPDATA%. Empty when no such
// folder can be named.
std::string DefaultJournalPath();

// A journal as a reader finds it.
struct JournalToRead {
    std::string path;                 // "" where no place for the journal is known
    std::unique_ptr<Journal> journal; // nothing where no download was recorded there yet
};

// Every reader's way to its journal: the file at path, or the default journal where path is
// empty, opened for reading (Journal::OpenForReading: nothing is created or changed). Throws
// JournalError for a file that cannot be read. A download writes through JournalEntry.
JournalToRead OpenJournalToRead(const std::string& path = {});

// The current time as the journal writes it.
std::string UtcNow();

// The rows as CSV (RFC 4180: a header row, every field quoted where it must be, CRLF line
// ends) and as a JSON array.
std::string JournalCsv(const std::vector<JournalRow>& rows);
nlohmann::json JournalJson(const std::vector<JournalRow>& rows);

} // namespace comsetup::config
