// Console side of a download: plain progress lines, the live line ending in the verdict, the
// first Ctrl+C reaching every registered download (also one that clears its flag as it
// starts), and the batch results table.
#include "cli/batch.h"
#include "cli/console_reporter.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/platform.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

using namespace comsetup;
using namespace comsetup::cli;

namespace {

DownloadProgress Progress(DownloadPhase phase, std::int64_t done, std::int64_t total) {
    DownloadProgress p;
    p.phase = phase;
    p.plannedDoneMs = done;
    p.plannedTotalMs = total;
    return p;
}

} // namespace

TEST(ConsoleReporter, PlainModePrintsEachTextOnceAndEveryTenthOnce) {
    std::ostringstream out;
    {
        ReporterOptions options;
        options.prefix = "[COM2] ";
        ConsoleReporter reporter(out, options);
        reporter.SetText("Check the connection with device in progress\n(Turn off and then "
                         "turn on the device)");
        reporter.OnProgress(Progress(DownloadPhase::WakeUp, 0, 0));
        reporter.SetText("Check the connection with device in progress\n(Turn off and then "
                         "turn on the device)");
        DownloadProgress banner = Progress(DownloadPhase::BannerPause, 0, 20000);
        banner.firmware = "01.8";
        reporter.OnProgress(banner);
        reporter.SetText("Setup in progress...");
        DownloadProgress script = Progress(DownloadPhase::Script, 7000, 20000); // 35%
        script.firmware = "01.8";
        reporter.OnProgress(script);
        reporter.OnProgress(Progress(DownloadPhase::Script, 7500, 20000));  // still 30s
        reporter.OnProgress(Progress(DownloadPhase::Script, 19000, 20000)); // 95%
        reporter.SetDetail("cancel pending: finishing the menu answer in progress...");
        reporter.ShowError("Error opening serial port :COM2");
        reporter.SetText("Setup Complete");
        reporter.ShowCancel(false);
        reporter.ShowOk(true);
        // The verdict's own line is the command's to print (standard error, JSON, table).
        reporter.SetDetail("why it ended so");
    }
    EXPECT_EQ(out.str(), "[COM2] Check the connection with device in progress (Turn off and then "
                         "turn on the device)\n"
                         "[COM2]   converter answered: firmware 01.8\n"
                         "[COM2] Setup in progress...\n"
                         "[COM2]   30% done, 0:13 left\n"
                         "[COM2]   90% done, 0:01 left\n"
                         "[COM2]   cancel pending: finishing the menu answer in progress...\n"
                         "[COM2] Error: Error opening serial port :COM2\n"
                         "[COM2] Setup Complete\n");
}

TEST(ConsoleReporter, LiveLineIsRedrawnInPlaceAndEndsAsTheVerdict) {
    std::ostringstream out;
    {
        ReporterOptions options;
        options.live = true;
        options.width = 70;
        ConsoleReporter reporter(out, options);
        reporter.SetText("Setup in progress...");
        reporter.OnProgress(Progress(DownloadPhase::Script, 5000, 10000));
        reporter.SetText("Setup Complete");
        reporter.ShowOk(true);
        reporter.SetText("ignored once ended");
    }
    const std::string text = out.str();
    EXPECT_NE(text.find("\rSetup in progress...  ["), std::string::npos) << text;
    // The last thing written is the verdict alone on its line.
    const std::string tail = "\rSetup Complete\x1b[K\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size() - std::string("ignored once ended\n").size()),
              tail + "ignored once ended\n");
    // Every redraw fits the width (the escape to clear the rest of the line aside).
    std::size_t start = 0;
    while ((start = text.find('\r', start)) != std::string::npos) {
        const std::size_t end = text.find('\x1b', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start - 1, 70u);
        start = end;
    }
}

TEST(Interrupts, FirstCtrlCSetsEveryRegisteredFlagAndLaterOnes) {
    ResetInterruptsForTest();
    InterruptHandler handler;
    std::atomic<bool> first{false};
    std::atomic<bool> second{false};
    std::atomic<bool> gone{false};
    {
        CancelRegistration a(first);
        CancelRegistration b(second);
        { CancelRegistration c(gone); }
        EXPECT_FALSE(InterruptRequested());
        RaiseInterruptForTest();
        EXPECT_TRUE(InterruptRequested());
        EXPECT_TRUE(first.load());
        EXPECT_TRUE(second.load());
        EXPECT_FALSE(gone.load()); // unregistered before the interrupt
    }
    // A download that starts after the interrupt is cancelled at once ...
    std::atomic<bool> late{false};
    CancelRegistration registration(late);
    EXPECT_TRUE(late.load());
    // ... and again when it clears its flag and shows its Cancel button.
    late.store(false);
    std::ostringstream out;
    ReporterOptions options;
    options.cancel = &late;
    ConsoleReporter reporter(out, options);
    reporter.ShowCancel(true);
    EXPECT_TRUE(late.load());
    ResetInterruptsForTest();
}

TEST(BatchReport, TableExitCodeAndLogNames) {
    DownloadResult ok;
    ok.port = "COM1";
    ok.device = "/dev/ttyS0";
    ok.verdict = "Setup Complete";
    ok.firmware = "01.8";
    ok.seconds = 27.46;
    DownloadResult lost = ok;
    lost.port = "/dev/ttyUSB0";
    lost.device = "/dev/ttyUSB0";
    lost.exitCode = kExitErrorOnSetup;
    lost.verdict = "ERROR ON SETUP";
    lost.error = "Write error (Error: 5) ";
    DownloadResult closed = ok;
    closed.port = "COM4";
    closed.exitCode = kExitPortError;
    closed.verdict = "Impossible to complete the Setup ";
    closed.message = "Error opening serial port :COM4";
    DownloadResult silent = ok;
    silent.port = "COM2";
    silent.exitCode = kExitNoAnswer;
    silent.verdict = "IMPOSSIBLE TO COMPLETE THE SETUP ";

    const std::string table = ResultsTable({ok, lost, silent});
    EXPECT_NE(table.find("COM1          /dev/ttyS0    complete        0     27.5 s  01.8      "
                         "Setup Complete\n"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("error-on-setup  1"), std::string::npos) << table;
    EXPECT_NE(table.find("ERROR ON SETUP - Write error (Error: 5)"), std::string::npos) << table;
    EXPECT_NE(table.find("1 of 3 downloads complete"), std::string::npos) << table;
    EXPECT_NE(ResultsTable({closed}).find(
                  "Impossible to complete the Setup - Error opening serial port :COM4"),
              std::string::npos);

    EXPECT_EQ(BatchExitCode({ok, ok}), kExitComplete);
    EXPECT_EQ(BatchExitCode({ok, silent, lost}), kExitNoAnswer);
    EXPECT_EQ(BatchExitCode({lost, silent}), kExitErrorOnSetup);

    EXPECT_EQ(LogFileName("COM3"), "COM3.log");
    EXPECT_EQ(LogFileName("/dev/ttyUSB0"), "dev_ttyUSB0.log");
    EXPECT_EQ(LogFileName("/tmp/a b/../c"), "tmp_a_b_.._c.log");
    EXPECT_EQ(LogFileName("///"), "port.log");
}
