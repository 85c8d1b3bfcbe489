// The journal of downloads in SQLite.
#include "config/journal.h"

#include "config/journal_columns.h"
#include "config/journal_files.h"

#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <thread>
#include <variant>
#include <vector>

namespace comsetup::config {

namespace {

constexpr int kBusyTimeoutMs = kJournalBusyTimeoutMs;

// A prepared statement, finalised when it goes away.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql, const std::string& path) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
            throw JournalError(path + ": " + sqlite3_errmsg(db));
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.c_str(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void BindOptional(int index, const std::string& text) {
        if (text.empty()) {
            sqlite3_bind_null(stmt_, index);
        } else {
            Bind(index, text);
        }
    }
    void Bind(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    void Bind(int index, const JournalValue& value) {
        if (const auto* text = std::get_if<std::string>(&value)) {
            Bind(index, *text);
        } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
            Bind(index, *number);
        } else {
            sqlite3_bind_null(stmt_, index);
        }
    }
    int Step() { return sqlite3_step(stmt_); }
    void Reset() { sqlite3_reset(stmt_); } // bound values stay
    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(stmt_, column);
        return text == nullptr
                   ? std::string()
                   : std::string(reinterpret_cast<const char*>(text),
                                 static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
    }
    std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    // The column's value in the form its journal column reads.
    JournalValue Value(int column, JournalForm form) const {
        if (IsNull(column)) {
            return {};
        }
        if (form == JournalForm::kNumber || form == JournalForm::kFlag) {
            return Int(column);
        }
        return Text(column);
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// True when the write failed for want of room: the disk, a quota or a size limit.
bool NoRoom(sqlite3* db, int code) {
    if ((code & 0xff) == SQLITE_FULL) {
        return true;
    }
    const int system = sqlite3_system_errno(db);
#ifdef _WIN32
    return system == 112 || system == 39; // ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL
#else
    return system == ENOSPC || system == EDQUOT || system == EFBIG;
#endif
}

// A failure as the user is told of it: a damaged file is named as such, a full disk too.
[[noreturn]] void Fail(sqlite3* db, const std::string& path, int code) {
    // The connection's message is the failure's own only while nothing ran after it.
    const std::string what =
        (sqlite3_errcode(db) & 0xff) == (code & 0xff) ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    if (NoRoom(db, code)) {
        throw JournalNoRoom(path + ": disk full; the journal could not be written (" + what + ")");
    }
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) {
        throw JournalError(path + ": damaged (" + what +
                           "); it was left as it is, and nothing was recorded");
    }
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED) {
        throw JournalBusy(path + ": locked by another program (" + what + ")");
    }
    throw JournalError(path + ": cannot be written (" + what + ")");
}

void Execute(sqlite3* db, const std::string& sql, const std::string& path) {
    char* error = nullptr;
    const int code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    sqlite3_free(error);
    if (code != SQLITE_OK) {
        Fail(db, path, code);
    }
}

bool IsBusy(int code) {
    return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED;
}

// Runs attempt until it is not refused as busy, for at most the busy timeout. SQLite answers
// some lock requests busy at once instead of waiting (where waiting could deadlock: another
// connection changing the journal mode, recovering the log, or writing since this one last
// read); those are asked for again here.
void Retrying(sqlite3* db, const std::string& path, const std::function<int()>& attempt,
              int waitMs = kBusyTimeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const int code = attempt();
        if (code == SQLITE_OK || code == SQLITE_DONE || code == SQLITE_ROW) {
            return;
        }
        if (!IsBusy(code) || std::chrono::steady_clock::now() > deadline) {
            Fail(db, path, code);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// One write transaction: the write lock first (BEGIN IMMEDIATE), then body, then COMMIT;
// refused as busy, it starts over.
void WriteTransaction(sqlite3* db, const std::string& path, const std::function<void()>& body,
                      int waitMs) {
    Retrying(
        db, path,
        [&] {
            int code = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            if (code != SQLITE_OK) {
                return code;
            }
            try {
                body();
            } catch (...) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
            code = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            if (code != SQLITE_OK && !IsBusy(code)) {
                try {
                    Fail(db, path, code); // its own message, before ROLLBACK replaces it
                } catch (const JournalError&) {
                    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                    throw;
                }
            }
            if (code != SQLITE_OK) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            }
            return code;
        },
        waitMs);
}

int SchemaVersion(sqlite3* db, const std::string& path, int waitMs = kBusyTimeoutMs) {
    int version = 0;
    Retrying(
        db, path,
        [&] {
            Statement query(db, "PRAGMA user_version", path);
            const int code = query.Step();
            if (code == SQLITE_ROW) {
                version = static_cast<int>(query.Int(0));
            }
            return code;
        },
        waitMs);
    return version;
}

void Migrate(sqlite3* db, const std::string& path, int waitMs) {
    // The first query reads the file's header: a damaged file fails here, before any write.
    int version = SchemaVersion(db, path, waitMs);
    if (version > kJournalSchemaVersion) {
        throw JournalError(path + ": written by a newer comsetup (journal version " +
                           std::to_string(version) + "); it was left as it is");
    }
    if (version == kJournalSchemaVersion) {
        return;
    }
    WriteTransaction(
        db, path,
        [&] {
            version = SchemaVersion(db, path, waitMs); // another writer may have migrated
            for (; version < kJournalSchemaVersion; ++version) {
                Execute(db, JournalMigration(version + 1), path);
            }
            Execute(db, "PRAGMA user_version = " + std::to_string(kJournalSchemaVersion), path);
        },
        waitMs);
}

// A journal path that names something other than a regular file (a folder, a device, a
// FIFO, a socket, or a link to one) is refused before SQLite opens it: SQLite would block on
// a FIFO, read a device, or create its -journal beside a folder.
void RefuseIrregularFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) {
        return;
    }
    using std::filesystem::file_type;
    const char* kind = "not a regular file";
    switch (status.type()) {
    case file_type::directory:
        kind = "a folder";
        break;
    case file_type::fifo:
        kind = "a FIFO (named pipe)";
        break;
    case file_type::socket:
        kind = "a socket";
        break;
    case file_type::block:
    case file_type::character:
        kind = "a device";
        break;
    default:
        break;
    }
    throw JournalError(path + ": " + kind + ", not a journal file; the journal must be a " +
                       "regular file");
}

// The URI that opens path for reading alone. A journal whose write-ahead log is gone (every
// writer closed and checkpointed) is read as immutable: no lock, no -shm or -wal created.
// One with a log beside it is being written (or its writer was killed): read through the log
// in read-only mode, which uses the files already there.
std::string ReadOnlyUri(const std::string& path, bool logBeside) {
    std::string name = SqliteFileName(path);
    std::string uri = "file:";
#ifdef _WIN32
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.size() > 1 && name[1] == ':') {
        uri += "///"; // a drive letter: file:///C:/...
    }
#endif
    if (!name.empty() && name[0] == '/') {
        uri += "//"; // an empty authority, then the absolute path
    }
    static const char* const kHex = "0123456789ABCDEF";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::strchr("/-._~:", c) != nullptr) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xf];
        }
    }
    return uri + (logBeside ? "?mode=ro" : "?immutable=1");
}

JournalRow ReadRow(const Statement& row) {
    JournalRow r;
    int c = 0;
    for (const JournalColumn& column : JournalColumns()) {
        column.read(r, row.Value(c++, column.form));
    }
    return r;
}

// The statement that writes the row's columns of one moment, with their values in order.
struct Write {
    std::string sql;
    std::vector<JournalValue> values;
};

// INSERT of every column the start writes.
Write BeginWrite(const JournalRow& row) {
    Write write;
    std::string names, places;
    for (const JournalColumn& column : JournalColumns()) {
        if (column.write == JournalWrite::kAtBegin || column.write == JournalWrite::kFound) {
            write.values.push_back(column.value(row));
            const std::string place = "?" + std::to_string(write.values.size());
            names += (names.empty() ? "" : ", ") + std::string(column.name);
            places += (places.empty() ? "" : ", ") + place;
        }
    }
    write.sql = "INSERT INTO downloads (" + names + ") VALUES (" + places + ")";
    return write;
}

// UPDATE of every column the end writes; what "Auto" found replaces the start's port and
// device, and only then.
Write FinishWrite(const JournalRow& row) {
    Write write;
    std::string sets;
    for (const JournalColumn& column : JournalColumns()) {
        const bool found = column.write == JournalWrite::kFound;
        if (column.write != JournalWrite::kAtFinish && !found) {
            continue;
        }
        write.values.push_back(found ? column.found(row) : column.value(row));
        const std::string place = "?" + std::to_string(write.values.size());
        const std::string name = column.name;
        sets += (sets.empty() ? "" : ", ") + name + " = " +
                (found ? "coalesce(" + place + ", " + name + ")" : place);
    }
    write.values.emplace_back(row.id);
    write.sql =
        "UPDATE downloads SET " + sets + " WHERE id = ?" + std::to_string(write.values.size());
    return write;
}

// Runs a write of one row in a transaction of its own; the statement's result.
void Run(sqlite3* db, const std::string& path, const Write& write, int waitMs) {
    Statement statement(db, write.sql, path);
    for (std::size_t i = 0; i < write.values.size(); ++i) {
        statement.Bind(static_cast<int>(i + 1), write.values[i]);
    }
    WriteTransaction(
        db, path,
        [&] {
            statement.Reset();
            if (const int code = statement.Step(); code != SQLITE_DONE) {
                Fail(db, path, code);
            }
        },
        waitMs);
}

} // namespace

Journal::Journal(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}

Journal::~Journal() {
    sqlite3_close(db_);
}

std::unique_ptr<Journal> Journal::OpenForReading(const std::string& path) {
    RefuseIrregularFile(path);
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        return nullptr;
    }
    const bool logBeside = std::filesystem::file_size(path + "-wal", ignored) > 0 && !ignored;
    sqlite3* db = nullptr;
    const int code = sqlite3_open_v2(ReadOnlyUri(path, logBeside).c_str(), &db,
                                     SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    std::unique_ptr<Journal> journal(new Journal(db, path));
    if (code != SQLITE_OK) {
        throw JournalError(path + ": cannot be opened (" +
                           (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code)) + ")");
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    journal->version_ = SchemaVersion(db, path);
    if (journal->version_ > kJournalSchemaVersion) {
        throw JournalError(path + ": written by a newer comsetup (journal version " +
                           std::to_string(journal->version_) + "); it was left as it is");
    }
    return journal;
}

void Journal::SetWait(int waitMs) {
    waitMs_ = waitMs;
    sqlite3_busy_timeout(db_, waitMs);
}

std::string Journal::SelectColumns() const {
    // A reader's file is not migrated: the columns of later versions are read as NULL.
    return JournalSelectList(version_);
}

std::unique_ptr<Journal> Journal::Open(const std::string& path, int waitMs) {
    RefuseIrregularFile(path);
    std::error_code ignored;
    const auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, ignored);
    }
    // A file protected against writing stays so, also for an administrator.
    if (const auto status = std::filesystem::status(path, ignored);
        std::filesystem::exists(status) &&
        (status.permissions() &
         (std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
          std::filesystem::perms::others_write)) == std::filesystem::perms::none) {
        throw JournalError(path + ": read-only; nothing was recorded");
    }
    const bool created = !std::filesystem::exists(path, ignored);
    sqlite3* db = nullptr;
    const int code = sqlite3_open_v2(SqliteFileName(path).c_str(), &db,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<Journal> journal(new Journal(db, path));
    journal->waitMs_ = waitMs;
    try {
        if (code != SQLITE_OK) {
            throw JournalError(path + ": cannot be opened (" +
                               (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code)) + ")");
        }
        journal->Prepare();
    } catch (const JournalNoRoom&) {
        // A journal this open created and could not set up for want of room is no journal:
        // it goes, so that no empty file stands for a record. Any other fault leaves it (the
        // file may be another writer's by now); so does a file another writer has filled.
        journal.reset();
        if (created && std::filesystem::file_size(path, ignored) == 0 && !ignored) {
            for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
                std::filesystem::remove(path + suffix, ignored);
            }
        }
        throw;
    }
    return journal;
}

void Journal::Prepare() {
    sqlite3* const db = db_;
    const std::string& path = path_;
    sqlite3_busy_timeout(db, waitMs_);
    // The last writer to close checkpoints the write-ahead log into the file and removes it
    // (SQLite's default), so the file alone is the whole record: copied by itself, or read by
    // a listing that creates nothing beside it.
    // Read first: a damaged file or one of a newer schema is refused before anything is
    // written to it. Then the log mode (it stays with the file; changing it takes the whole
    // file), then the schema brought up to date.
    if (const int version = SchemaVersion(db, path, waitMs_); version > kJournalSchemaVersion) {
        throw JournalError(path + ": written by a newer comsetup (journal version " +
                           std::to_string(version) + "); it was left as it is");
    }
    Retrying(
        db, path,
        [&] { return sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr); },
        waitMs_);
    Migrate(db, path, waitMs_);
    Execute(db, "PRAGMA synchronous = NORMAL", path); // WAL: durable at each checkpoint
    // A short log: the next program to open the journal reads all of it first.
    Execute(db, "PRAGMA wal_autocheckpoint = 64", path);
}

std::int64_t Journal::Begin(const JournalStart& start) {
    JournalRow row;
    row.startedUtc = UtcNow();
    row.start = start;
    Run(db_, path_, BeginWrite(row), waitMs_);
    return sqlite3_last_insert_rowid(db_);
}

void Journal::Finish(std::int64_t id, const JournalEnd& end) {
    JournalRow row;
    row.id = id;
    row.endedUtc = UtcNow();
    row.end = end;
    Run(db_, path_, FinishWrite(row), waitMs_);
}

std::vector<JournalRow> Journal::List(const JournalFilter& filter) const {
    if (version_ == 0) {
        return {}; // an empty file: no download recorded
    }
    std::string sql = "SELECT " + SelectColumns() + " FROM downloads WHERE 1";
    std::vector<std::string> values;
    if (!filter.since.empty()) {
        sql += " AND started_utc >= ?";
        values.push_back(filter.since);
    }
    if (!filter.ip.empty()) {
        sql += " AND ip = ?";
        values.push_back(filter.ip);
    }
    if (!filter.port.empty()) {
        sql += " AND port = ?";
        values.push_back(filter.port);
    }
    if (!filter.plan.empty()) {
        // A plan's rows recorded while its id was "name:hash of the whole file" are its too.
        sql += version_ >= JournalColumnSince("plan")
                   ? " AND (plan = ? OR substr(plan, 1, length(?) + 1) = ? || ':')"
                   : " AND NULL = ? AND NULL = ? AND NULL = ?";
        values.insert(values.end(), 3, filter.plan);
    }
    if (filter.outcome == "unfinished") {
        sql += " AND ended_utc IS NULL";
    } else if (!filter.outcome.empty()) {
        sql += " AND outcome = ?";
        values.push_back(filter.outcome);
    }
    sql += " ORDER BY id DESC";
    if (filter.limit > 0) {
        sql += " LIMIT " + std::to_string(filter.limit);
    }
    Statement query(db_, sql, path_);
    for (std::size_t i = 0; i < values.size(); ++i) {
        query.Bind(static_cast<int>(i + 1), values[i]);
    }
    std::vector<JournalRow> rows;
    int code = SQLITE_ROW;
    while ((code = query.Step()) == SQLITE_ROW) {
        rows.push_back(ReadRow(query));
    }
    if (code != SQLITE_DONE) {
        Fail(db_, path_, code);
    }
    return rows;
}

std::optional<JournalRow> Journal::Get(std::int64_t id) const {
    if (version_ == 0) {
        return std::nullopt;
    }
    Statement query(db_, "SELECT " + SelectColumns() + " FROM downloads WHERE id = ?1", path_);
    query.Bind(1, id);
    const int code = query.Step();
    if (code == SQLITE_ROW) {
        return ReadRow(query);
    }
    if (code != SQLITE_DONE) {
        Fail(db_, path_, code);
    }
    return std::nullopt;
}

JournalEntry::JournalEntry(const std::string& path, const JournalStart& start)
    : path_(path), start_(start) {
    // No wait for a lock here: the download's first serial step comes first. A journal
    // locked now gets its row when the download ends.
    try {
        journal_ = Journal::Open(path, 0);
        id_ = journal_->Begin(start);
        journal_->SetWait(kJournalBusyTimeoutMs); // the end may wait
    } catch (const JournalBusy&) {
        journal_.reset();
        deferred_ = true;
    } catch (const JournalError& error) {
        journal_.reset();
        error_ = error.what();
    }
}

JournalEntry::~JournalEntry() = default;

void JournalEntry::End(const JournalEnd& end, int retryMs) {
    if (!journal_ && !deferred_) {
        return;
    }
    // The verdict is out and the port closed by now: a journal locked for a while (another
    // program reading it, a backup) is waited for with growing pauses, so that a download
    // that ended is never left as one that did not finish.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(retryMs);
    constexpr std::chrono::milliseconds kLongestPause(2000);
    for (std::chrono::milliseconds pause(50);; pause = std::min(pause * 2, kLongestPause)) {
        try {
            if (!journal_) {
                auto journal = Journal::Open(path_);
                id_ = journal->Begin(start_);
                journal_ = std::move(journal);
                deferred_ = false;
            }
            journal_->Finish(id_, end);
            return;
        } catch (const JournalBusy& error) {
            if (std::chrono::steady_clock::now() + pause > deadline) {
                error_ = std::string(error.what()) + "; the download's row could not be " +
                         (deferred_ ? "written" : "completed");
                return;
            }
        } catch (const JournalError& error) {
            error_ = error.what();
            return;
        }
        std::this_thread::sleep_for(pause);
    }
}

std::string DefaultJournalPath() {
    if (const char* named = std::getenv("COMSETUP_JOURNAL"); named != nullptr && *named != '\0') {
        return named;
    }
    return UserJournalPath();
}

JournalToRead OpenJournalToRead(const std::string& path) {
    JournalToRead found;
    found.path = path.empty() ? DefaultJournalPath() : path;
    if (!found.path.empty()) {
        found.journal = Journal::OpenForReading(found.path);
    }
    return found;
}

std::string UtcNow() {
    const std::tm utc =
        UtcTime(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

namespace {

std::string CsvField(const std::string& text) {
    // A field that starts like a formula is not run by a spreadsheet: a leading quote mark
    // keeps it text (a converter's log line could start with '='; a tab or carriage return
    // in front is skipped by some spreadsheets before they look).
    const bool formula = !text.empty() && std::strchr("=+-@\t\r", text[0]) != nullptr;
    const std::string value = formula ? "'" + text : text;
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        return value;
    }
    std::string quoted = "\"";
    for (const char c : value) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

} // namespace

std::string JournalCsv(const std::vector<JournalRow>& rows) {
    std::string csv;
    for (const JournalColumn& column : JournalColumns()) {
        csv += (csv.empty() ? "" : ",") + std::string(column.name);
    }
    csv += "\r\n";
    for (const auto& row : rows) {
        std::string line;
        for (const JournalColumn& column : JournalColumns()) {
            line += (line.empty() ? "" : ",") + CsvField(JournalText(column.value(row)));
        }
        csv += line + "\r\n";
    }
    return csv;
}

nlohmann::json JournalJson(const std::vector<JournalRow>& rows) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& row : rows) {
        nlohmann::json object;
        for (const JournalColumn& column : JournalColumns()) {
            const JournalValue value = column.value(row);
            const auto* number = std::get_if<std::int64_t>(&value);
            const std::string text = JournalText(value);
            nlohmann::json& field = object[column.name];
            switch (column.form) {
            case JournalForm::kNumber:
                field = number != nullptr ? nlohmann::json(*number) : nlohmann::json(nullptr);
                break;
            case JournalForm::kFlag:
                field = number != nullptr ? nlohmann::json(*number != 0) : nlohmann::json(nullptr);
                break;
            case JournalForm::kText:
                field = text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
                break;
            case JournalForm::kTextEvenEmpty:
                field = text;
                break;
            }
        }
        list.push_back(object);
    }
    return list;
}

} // namespace comsetup::config
