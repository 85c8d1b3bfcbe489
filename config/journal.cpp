// The journal of downloads in SQLite.
#include "config/journal.h"

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

namespace comsetup::config {

namespace {

constexpr int kBusyTimeoutMs = kJournalBusyTimeoutMs;

// The schema, one step per version: a journal at version n runs the steps after n.
const char* const kMigrations[] = {
    // 1: the downloads.
    "CREATE TABLE downloads ("
    " id INTEGER PRIMARY KEY,"
    " started_utc TEXT NOT NULL, ended_utc TEXT,"
    " front_end TEXT NOT NULL, version TEXT NOT NULL,"
    " port TEXT NOT NULL, device TEXT NOT NULL,"
    " mode TEXT NOT NULL, master INTEGER NOT NULL,"
    " ip TEXT NOT NULL, mask TEXT NOT NULL, local_port INTEGER NOT NULL, gateway TEXT,"
    " baud INTEGER NOT NULL, parity TEXT NOT NULL, stop_bits TEXT NOT NULL, flow TEXT NOT NULL,"
    " peer TEXT NOT NULL, peer_sent TEXT,"
    " firmware TEXT, verdict TEXT, outcome TEXT, exit_code INTEGER, cause TEXT, written TEXT,"
    " log TEXT);",
    // 2: the look-ups of the listing and of an address used before.
    "CREATE INDEX downloads_ip ON downloads (ip);"
    "CREATE INDEX downloads_started ON downloads (started_utc);",
    // 3: the plan and row a download belongs to, so that a plan can be resumed.
    "ALTER TABLE downloads ADD COLUMN plan TEXT;"
    "ALTER TABLE downloads ADD COLUMN plan_row INTEGER;"
    "CREATE INDEX downloads_plan ON downloads (plan, plan_row);",
    // 4: the LAN check after the write (null where it was off).
    "ALTER TABLE downloads ADD COLUMN lan_answered INTEGER;"
    "ALTER TABLE downloads ADD COLUMN lan_mac TEXT;"
    "ALTER TABLE downloads ADD COLUMN lan_tcp TEXT;"
    "ALTER TABLE downloads ADD COLUMN lan_waited_ms INTEGER;",
    // 5: the peer's port (rows before it were all sent 10001).
    "ALTER TABLE downloads ADD COLUMN remote_port INTEGER;",
};
static_assert(std::size(kMigrations) == kJournalSchemaVersion);

// The columns rows are read from, each with the schema version that added it.
struct ReadColumn {
    const char* name;
    int since;
};
const ReadColumn kColumns[] = {
    {"id", 1},           {"started_utc", 1}, {"ended_utc", 1}, {"front_end", 1},
    {"version", 1},      {"port", 1},        {"device", 1},    {"mode", 1},
    {"master", 1},       {"ip", 1},          {"mask", 1},      {"local_port", 1},
    {"gateway", 1},      {"baud", 1},        {"parity", 1},    {"stop_bits", 1},
    {"flow", 1},         {"peer", 1},        {"peer_sent", 1}, {"firmware", 1},
    {"verdict", 1},      {"outcome", 1},     {"exit_code", 1}, {"cause", 1},
    {"written", 1},      {"log", 1},         {"plan", 3},      {"plan_row", 3},
    {"lan_answered", 4}, {"lan_mac", 4},     {"lan_tcp", 4},   {"lan_waited_ms", 4},
    {"remote_port", 5},
};

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
                Execute(db, kMigrations[version], path);
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
    r.id = row.Int(c++);
    r.startedUtc = row.Text(c++);
    r.endedUtc = row.Text(c++);
    r.start.frontEnd = row.Text(c++);
    r.start.version = row.Text(c++);
    r.start.setup.port = row.Text(c++);
    r.start.device = row.Text(c++);
    // Stored by this program in its own text forms; a value edited by hand keeps the default.
    const auto parse = [](auto&& apply) {
        try {
            apply();
        } catch (const ValueError&) {
        }
    };
    SetupProfile& s = r.start.setup;
    const std::string mode = row.Text(c++);
    parse([&] { s.mode = ParseMode(mode); });
    s.master = row.Int(c++) != 0;
    const std::string ip = row.Text(c++), mask = row.Text(c++);
    parse([&] { s.ip = ParseIpv4(ip); });
    parse([&] { s.mask = ParseIpv4(mask); });
    s.localPort = static_cast<int>(row.Int(c++));
    const std::string gateway = row.Text(c++);
    parse([&] { s.gateway = ParseGateway(gateway); });
    s.baud = static_cast<int>(row.Int(c++));
    const std::string parity = row.Text(c++), stopBits = row.Text(c++), flow = row.Text(c++);
    parse([&] { s.parityIndex = ParseParity(parity); });
    parse([&] { s.stopBitsIndex = ParseStopBits(stopBits); });
    parse([&] { s.flowIndex = ParseFlow(flow); });
    const std::string peer = row.Text(c++);
    parse([&] { s.peer = ParseIpv4(peer); });
    r.start.peerSent = row.Text(c++);
    r.end.firmware = row.Text(c++);
    r.end.verdict = row.Text(c++);
    r.end.outcome = row.Text(c++);
    if (row.IsNull(c)) {
        ++c;
    } else {
        r.end.exitCode = static_cast<int>(row.Int(c++));
    }
    r.end.cause = row.Text(c++);
    r.end.written = row.Text(c++);
    r.end.log = row.Text(c++);
    r.start.plan = row.Text(c++);
    r.start.planRow = static_cast<int>(row.Int(c++));
    if (!row.IsNull(c)) {
        JournalLan lan;
        lan.answered = row.Int(c) != 0;
        lan.mac = row.Text(c + 1);
        lan.tcp = row.Text(c + 2);
        lan.waitedMs = static_cast<int>(row.Int(c + 3));
        r.end.lan = lan;
    }
    c += 4;
    if (!row.IsNull(c)) { // before schema 5 every peer was sent 10001, the profile's default
        s.remotePort = static_cast<int>(row.Int(c));
    }
    return r;
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
    // An older file read as it is lacks the later columns: NULL stands for each.
    std::string columns;
    for (const ReadColumn& column : kColumns) {
        columns += (columns.empty() ? "" : ", ") +
                   std::string(version_ >= column.since ? column.name : "NULL");
    }
    return columns;
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
    Statement insert(db_,
                     "INSERT INTO downloads (started_utc, front_end, version, port, device, mode, "
                     "master, ip, mask, local_port, gateway, baud, parity, stop_bits, flow, peer, "
                     "peer_sent, plan, plan_row, remote_port) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, "
                     "?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20)",
                     path_);
    const SetupProfile& s = start.setup;
    insert.Bind(1, UtcNow());
    insert.Bind(2, start.frontEnd);
    insert.Bind(3, start.version);
    insert.Bind(4, s.port);
    insert.Bind(5, start.device);
    insert.Bind(6, ModeName(s.mode));
    insert.Bind(7, std::int64_t{s.master ? 1 : 0});
    insert.Bind(8, FormatIpv4(s.ip));
    insert.Bind(9, FormatIpv4(s.mask));
    insert.Bind(10, std::int64_t{s.localPort});
    insert.BindOptional(11, s.gateway ? FormatIpv4(*s.gateway) : "");
    insert.Bind(12, std::int64_t{s.baud});
    insert.Bind(13, ParityName(s.parityIndex));
    insert.Bind(14, StopBitName(s.stopBitsIndex));
    insert.Bind(15, FlowName(s.flowIndex));
    insert.Bind(16, FormatIpv4(s.peer));
    insert.BindOptional(17, start.peerSent);
    insert.BindOptional(18, start.plan);
    if (start.planRow > 0) {
        insert.Bind(19, std::int64_t{start.planRow});
    }
    insert.Bind(20, std::int64_t{s.remotePort});
    std::int64_t id = 0;
    WriteTransaction(
        db_, path_,
        [&] {
            insert.Reset();
            if (const int code = insert.Step(); code != SQLITE_DONE) {
                Fail(db_, path_, code);
            }
            id = sqlite3_last_insert_rowid(db_);
        },
        waitMs_);
    return id;
}

void Journal::Finish(std::int64_t id, const JournalEnd& end) {
    Statement update(db_,
                     "UPDATE downloads SET ended_utc = ?1, firmware = ?2, verdict = ?3, "
                     "outcome = ?4, exit_code = ?5, cause = ?6, written = ?7, log = ?8, "
                     "port = coalesce(?10, port), device = coalesce(?11, device) WHERE id = ?9",
                     path_);
    update.Bind(1, UtcNow());
    update.Bind(2, end.firmware);
    update.Bind(3, end.verdict);
    update.Bind(4, end.outcome);
    if (end.exitCode) {
        update.Bind(5, std::int64_t{*end.exitCode});
    }
    update.BindOptional(6, end.cause);
    update.BindOptional(7, end.written);
    update.Bind(8, end.log);
    update.Bind(9, id);
    update.BindOptional(10, end.portFound);
    update.BindOptional(11, end.deviceFound);
    Statement lan(db_,
                  "UPDATE downloads SET lan_answered = ?1, lan_mac = ?2, lan_tcp = ?3, "
                  "lan_waited_ms = ?4 WHERE id = ?5",
                  path_);
    if (end.lan) {
        lan.Bind(1, std::int64_t{end.lan->answered ? 1 : 0});
        lan.BindOptional(2, end.lan->mac);
        lan.Bind(3, end.lan->tcp);
        lan.Bind(4, std::int64_t{end.lan->waitedMs});
        lan.Bind(5, id);
    }
    WriteTransaction(
        db_, path_,
        [&] {
            update.Reset();
            if (const int code = update.Step(); code != SQLITE_DONE) {
                Fail(db_, path_, code);
            }
            if (end.lan) {
                lan.Reset();
                if (const int code = lan.Step(); code != SQLITE_DONE) {
                    Fail(db_, path_, code);
                }
            }
        },
        waitMs_);
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
        sql += version_ >= 3 ? " AND (plan = ? OR substr(plan, 1, length(?) + 1) = ? || ':')"
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

std::string UtcNow() {
    const std::tm utc =
        UtcTime(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

namespace {

struct CsvColumn {
    const char* name;
    std::function<std::string(const JournalRow&)> value;
};

const std::vector<CsvColumn>& Columns() {
    static const std::vector<CsvColumn> columns{
        {"id", [](const JournalRow& r) { return std::to_string(r.id); }},
        {"started_utc", [](const JournalRow& r) { return r.startedUtc; }},
        {"ended_utc", [](const JournalRow& r) { return r.endedUtc; }},
        {"front_end", [](const JournalRow& r) { return r.start.frontEnd; }},
        {"version", [](const JournalRow& r) { return r.start.version; }},
        {"port", [](const JournalRow& r) { return r.start.setup.port; }},
        {"device", [](const JournalRow& r) { return r.start.device; }},
        {"mode", [](const JournalRow& r) { return ModeName(r.start.setup.mode); }},
        {"master",
         [](const JournalRow& r) { return std::string(r.start.setup.master ? "1" : "0"); }},
        {"ip", [](const JournalRow& r) { return FormatIpv4(r.start.setup.ip); }},
        {"mask", [](const JournalRow& r) { return FormatIpv4(r.start.setup.mask); }},
        {"local_port", [](const JournalRow& r) { return std::to_string(r.start.setup.localPort); }},
        {"gateway",
         [](const JournalRow& r) {
             return r.start.setup.gateway ? FormatIpv4(*r.start.setup.gateway) : "";
         }},
        {"baud", [](const JournalRow& r) { return std::to_string(r.start.setup.baud); }},
        {"parity", [](const JournalRow& r) { return ParityName(r.start.setup.parityIndex); }},
        {"stop_bits", [](const JournalRow& r) { return StopBitName(r.start.setup.stopBitsIndex); }},
        {"flow", [](const JournalRow& r) { return FlowName(r.start.setup.flowIndex); }},
        {"peer", [](const JournalRow& r) { return FormatIpv4(r.start.setup.peer); }},
        {"peer_sent", [](const JournalRow& r) { return r.start.peerSent; }},
        {"firmware", [](const JournalRow& r) { return r.end.firmware; }},
        {"verdict", [](const JournalRow& r) { return r.end.verdict; }},
        {"outcome",
         [](const JournalRow& r) {
             return r.endedUtc.empty() ? std::string("unfinished") : r.end.outcome;
         }},
        {"exit_code",
         [](const JournalRow& r) {
             return r.end.exitCode ? std::to_string(*r.end.exitCode) : std::string();
         }},
        {"cause", [](const JournalRow& r) { return r.end.cause; }},
        {"written", [](const JournalRow& r) { return r.end.written; }},
        {"log", [](const JournalRow& r) { return r.end.log; }},
        {"plan", [](const JournalRow& r) { return r.start.plan; }},
        {"plan_row",
         [](const JournalRow& r) {
             return r.start.planRow > 0 ? std::to_string(r.start.planRow) : std::string();
         }},
        {"lan_answered",
         [](const JournalRow& r) {
             return r.end.lan ? std::string(r.end.lan->answered ? "1" : "0") : std::string();
         }},
        {"lan_mac", [](const JournalRow& r) { return r.end.lan ? r.end.lan->mac : ""; }},
        {"lan_tcp", [](const JournalRow& r) { return r.end.lan ? r.end.lan->tcp : ""; }},
        {"lan_waited_ms",
         [](const JournalRow& r) {
             return r.end.lan ? std::to_string(r.end.lan->waitedMs) : std::string();
         }},
        {"remote_port",
         [](const JournalRow& r) { return std::to_string(r.start.setup.remotePort); }},
    };
    return columns;
}

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
    for (const auto& column : Columns()) {
        csv += (csv.empty() ? "" : ",") + std::string(column.name);
    }
    csv += "\r\n";
    for (const auto& row : rows) {
        std::string line;
        for (const auto& column : Columns()) {
            line += (line.empty() ? "" : ",") + CsvField(column.value(row));
        }
        csv += line + "\r\n";
    }
    return csv;
}

nlohmann::json JournalJson(const std::vector<JournalRow>& rows) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& row : rows) {
        nlohmann::json object;
        for (const auto& column : Columns()) {
            const std::string value = column.value(row);
            const std::string name = column.name;
            if (name == "id" || name == "local_port" || name == "remote_port" || name == "baud" ||
                ((name == "exit_code" || name == "plan_row" || name == "lan_waited_ms") &&
                 !value.empty())) {
                object[name] = std::stoll(value);
            } else if (name == "master" || (name == "lan_answered" && !value.empty())) {
                object[name] = value == "1";
            } else if (value.empty() && name != "log") {
                object[name] = nullptr;
            } else {
                object[name] = value;
            }
        }
        list.push_back(object);
    }
    return list;
}

} // namespace comsetup::config
