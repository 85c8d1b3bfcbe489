// The journal's cost: one download's row (open as comsetup-cli does, begin, finish with a
// monitor log of a whole download), the file's growth per row, and the listing of 10,000
// rows by `comsetup-cli journal --limit 0`.
#include "config/journal.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace config = comsetup::config;

// A folder of its own, removed at the end.
struct Folder {
    Folder() {
        char pattern[] = "/tmp/comsetup-journal-bench-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string path;
};

// What a complete download leaves: the converter's menus echoed, about 2.5 KB.
config::JournalEnd CompleteEnd() {
    config::JournalEnd end;
    end.firmware = "01.8";
    end.verdict = "Setup Complete";
    end.outcome = "complete";
    end.written = "192.168.1.200/24, 9600 8N1, port 10001, saved by firmware 01.8";
    for (int i = 0; i < 60; ++i) {
        end.log += "  " + std::to_string(i) + " Serial line 9600 baud, code 4C, flow 00\n";
    }
    return end;
}

config::JournalStart Start() {
    return {"comsetup-cli", "bench", "/dev/ttyS0", config::SetupProfile{}, "", "", 0};
}

std::uintmax_t FilesSize(const std::string& path) {
    std::uintmax_t size = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code ignored;
        const auto one = std::filesystem::file_size(path + suffix, ignored);
        size += ignored ? 0 : one;
    }
    return size;
}

// The whole cost one download adds: the journal opened, a row begun, the row finished.
void BM_JournalPerDownload(benchmark::State& state) {
    Folder folder;
    const std::string path = folder.path + "/journal.sqlite";
    config::Journal::Open(path).reset(); // the schema exists, as after the first download
    const config::JournalEnd end = CompleteEnd();
    const auto before = FilesSize(path);
    std::int64_t rows = 0;
    for (auto _ : state) {
        const auto journal = config::Journal::Open(path);
        journal->Finish(journal->Begin(Start()), end);
        ++rows;
    }
    // The log checkpointed into the main file, where the rows stay.
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    state.counters["bytes_per_row"] =
        static_cast<double>(FilesSize(path) - before) / static_cast<double>(rows);
}
BENCHMARK(BM_JournalPerDownload)->Unit(benchmark::kMicrosecond);

// comsetup-cli journal --limit 0 over 10,000 rows.
void BM_JournalList10000(benchmark::State& state) {
    Folder folder;
    const std::string path = folder.path + "/journal.sqlite";
    {
        const auto journal = config::Journal::Open(path);
        const config::JournalEnd end = CompleteEnd();
        for (int i = 0; i < 10000; ++i) {
            journal->Finish(journal->Begin(Start()), end);
        }
    }
    config::JournalFilter all;
    all.limit = 0;
    for (auto _ : state) {
        const auto rows = config::Journal::Open(path)->List(all);
        benchmark::DoNotOptimize(rows.data());
        if (rows.size() != 10000) {
            state.SkipWithError("rows lost");
        }
    }
}
BENCHMARK(BM_JournalList10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
