// The journal window over 10,000 recorded downloads (offscreen): reading them into the table
// (open, list, model reset, first row selected and its log shown), then drawing the window.
#include "app/journal_model.h"
#include "app/journal_window.h"

#include "config/journal.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace config = comsetup::config;

struct Journal10000 {
    Journal10000() {
        char pattern[] = "/tmp/comsetup-journal-window-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        path = folder + "/journal.sqlite";
        const auto journal = config::Journal::Open(path);
        config::JournalEnd end;
        end.firmware = "01.8";
        end.verdict = "Setup Complete";
        end.outcome = "complete";
        for (int i = 0; i < 60; ++i) // about 2.5 KB of log, as a whole download leaves
            end.log += "  " + std::to_string(i) + " Serial line 9600 baud, code 4C, flow 00\n";
        for (int i = 0; i < 10000; ++i) {
            config::JournalStart start{"comsetup", "bench", "/dev/ttyS0", {}, "", "", 0};
            start.setup.ip = {10, 0, i / 256, i % 256};
            journal->Finish(journal->Begin(start), end);
        }
        ::setenv("COMSETUP_JOURNAL", path.c_str(), 1);
    }
    ~Journal10000() { std::filesystem::remove_all(folder); }
    std::string folder;
    std::string path;
};

Journal10000& Rows() {
    static Journal10000 rows;
    return rows;
}

void BM_JournalWindowReload10000(benchmark::State& state) {
    Rows();
    comsetup::JournalWindow window([](const config::SetupProfile&) {});
    for (auto _ : state)
        window.Reload();
    if (window.Model().rowCount() != 10000)
        state.SkipWithError("rows lost");
}
BENCHMARK(BM_JournalWindowReload10000)->Unit(benchmark::kMillisecond);

void BM_JournalWindowPaint10000(benchmark::State& state) {
    Rows();
    comsetup::JournalWindow window([](const config::SetupProfile&) {});
    window.Reload();
    window.show();
    for (auto _ : state) {
        const QPixmap drawn = window.grab(); // every visible row drawn
        benchmark::DoNotOptimize(drawn.cacheKey());
    }
}
BENCHMARK(BM_JournalWindowPaint10000)->Unit(benchmark::kMillisecond);

// Close clicked after a port was typed in the filter: the click takes the focus out of the
// filter on its way to the button. Timed from the click to the window hidden.
void BM_JournalWindowCloseAfterTypedFilter10000(benchmark::State& state) {
    Rows();
    comsetup::JournalWindow window([](const config::SetupProfile&) {});
    QPushButton* close = nullptr;
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Close"))
            close = button;
    for (auto _ : state) {
        state.PauseTiming();
        window.Reload();
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowExposed(&window))
            state.SkipWithError("window never shown");
        window.PortFilter()->clear();
        window.PortFilter()->setFocus();
        QTest::keyClicks(window.PortFilter(), QStringLiteral("COM1"));
        state.ResumeTiming();
        QTest::mouseClick(close, Qt::LeftButton);
        if (window.isVisible())
            state.SkipWithError("still shown");
    }
}
BENCHMARK(BM_JournalWindowCloseAfterTypedFilter10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
