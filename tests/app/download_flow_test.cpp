// Downloads started from the wizard. One runs in real time against the converter stand-in on a
// pseudo-terminal (DownloadFlow: the whole path to the converter, checked in what it decoded).
// The others run in virtual time (DownloadFlowInVirtualTime): the main window downloads on an
// in-memory line to the stand-in's own model, paced by a virtual pacer whose listener also runs
// the GUI's events and the test's actions at given virtual times, so Cancel, a second
// "DownLoad" and closing the wizard during a download, a line vanishing mid-script and the
// newer firmware's broadcast setup take no real time.
#include "app_fixture.h"
#include "tests/support/model_line.h"
#ifdef COMSETUP_SIM_PATH
#include "tests/support/sim_process.h"
#endif

#include "ui_tfmain.h"
#include "ui_tfprog.h"

#include "app/converter_series.h"
#include "app/file_choice.h"
#include "app/plan_window.h"
#include "app/startup.h"
#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "app/wizard_form.h"
#include "config/journal.h"
#include "download/pacer.h"
#include "serial/memory_device.h"
#include "sim/session_report.h"
#include "widgets/range_edit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <nlohmann/json.hpp>

#include <functional>
#include <stdexcept>

namespace comsetup::test {
namespace {

using namespace std::chrono_literals;

class DownloadFlowBase : public AppFixture {
protected:
    void TypeAddress(std::array<TRangeEdit*, 4> fields, std::array<int, 4> bytes) {
        for (int i = 0; i < 4; ++i)
            Type(fields[i], QString::number(bytes[i]));
    }
    // The dialog's end state and the download's port closed.
    void ExpectEnded(const QString& verdict, const TCustomComm& port) {
        EXPECT_EQ(P().Label2->text(), verdict);
        EXPECT_TRUE(fprog->isVisible());
        EXPECT_FALSE(P().BtnCancel->isVisibleTo(fprog));
        EXPECT_TRUE(P().btnOK->isVisibleTo(fprog));
        EXPECT_FALSE(port.Enabled());
        EXPECT_FALSE(Fmain->DownloadRunning());
    }
};

// ---- The real end-to-end download: comsetup-sim on a pseudo-terminal (where it runs).
#ifdef COMSETUP_SIM_PATH

class DownloadFlow : public DownloadFlowBase {
protected:
    // Starts the stand-in and the program with the stand-in's pty as the device found after
    // COM9, chosen in the wizard's port list.
    void StartWith(const std::vector<std::string>& simOptions) {
        sim_ = std::make_unique<SimProcess>(simOptions);
        ASSERT_FALSE(sim_->PtyPath().empty()) << "comsetup-sim did not start";
        StartProgram({PortEntry{QString::fromStdString(sim_->PtyPath()), {}}});
    }
    void TearDown() override {
        AppFixture::TearDown();
        sim_.reset();
    }
    std::string Item(const std::string& name) { return ReportItem(sim_->Output(), name); }

    std::unique_ptr<SimProcess> sim_;
};

TEST_F(DownloadFlow, PointToPointSetupReachesTheConverter) {
    StartWith({"--firmware", "01.8", "--off-time", "300", "--quiet"});
    ChooseMode(2);
    TypeAddress({W().re_ipb1, W().re_ipb2, W().re_ipb3, W().re_ipb4}, {10, 0, 0, 50});
    TypeAddress({W().re_smb1, W().re_smb2, W().re_smb3, W().re_smb4}, {255, 255, 240, 0});
    Type(W().RangeEdit1, "4001");
    Click(W().CB_UseGateway);
    TypeAddress({W().RE_Gat1, W().RE_Gat2, W().RE_Gat3, W().RE_Gat4}, {10, 0, 0, 1});
    TypeAddress({W().are_ipb1, W().are_ipb2, W().are_ipb3, W().are_ipb4}, {10, 0, 0, 60});
    W().cb_br->setCurrentIndex(6); // 19200
    W().cb_pa->setCurrentIndex(2); // even
    W().cb_fc->setCurrentIndex(2); // CTS/RTS
    W().cb_com->setCurrentIndex(9);

    PressButton1(); // returns when the download has ended
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
    ExpectEnded("Setup Complete", Fmain->Comport);
    EXPECT_GT(Fmonitor->Lines().Count(), 2);

    ASSERT_TRUE(sim_->WaitForOutput("end of download 1", 5000ms)) << sim_->Output();
    EXPECT_NE(sim_->Output().find("download 1: complete"), std::string::npos) << sim_->Output();
    EXPECT_EQ(Item("saved"), "yes");
    EXPECT_EQ(Item("ip"), "10.0.0.50");
    EXPECT_EQ(Item("gateway"), "10.0.0.1");
    EXPECT_EQ(Item("host bits"), "12 (mask 255.255.240.0)");
    EXPECT_EQ(Item("baud"), "19200");
    EXPECT_EQ(Item("line code"), "7C (8 data bits, even parity, 1 stop bit)");
    EXPECT_EQ(Item("flow code").substr(0, 2), "02");
    EXPECT_EQ(Item("local port"), "4001");
    EXPECT_EQ(Item("tunnel").substr(0, 2), "on");
    EXPECT_EQ(Item("remote"), "10.0.0.60:10001");
    EXPECT_EQ(Item("record"), "A");
    EXPECT_EQ(Item("records loaded").substr(0, 3), "yes");
    EXPECT_EQ(Item("anomalies"), "none");
}

#endif // COMSETUP_SIM_PATH

// ---- Virtual time: the stand-in's model on an in-memory line.

class DownloadFlowInVirtualTime : public DownloadFlowBase {
protected:
    // Starts the program with the main window downloading on the line to a model of
    // `firmware` failing as `fail`.
    void StartWith(sim::Firmware firmware, sim::FailMode fail = sim::FailMode::Healthy) {
        converter_ = std::make_unique<comsetup::test::ModelLine>(
            comsetup::test::ModelLine::Options(firmware, fail), line_);
        // What the GUI pacer's waits do besides waiting: the converter answers, the events
        // (clicks, dialogs, repaints) run, and the test acts once its time has come.
        pacer_.SetListener([this](std::chrono::nanoseconds now) {
            converter_->Step(now);
            while (!actions_.empty() && actions_.front().at <= now) {
                const auto action = std::move(actions_.front().run);
                actions_.erase(actions_.begin());
                action();
            }
            for (std::size_t i = 0; i < onReceived_.size();) {
                if (!converter_->Received().ends_with(onReceived_[i].text)) {
                    ++i;
                    continue;
                }
                const auto action = std::move(onReceived_[i].run);
                onReceived_.erase(onReceived_.begin() + static_cast<std::ptrdiff_t>(i));
                action();
                i = 0; // the action may have changed the list
            }
            QCoreApplication::processEvents();
        });
        StartProgram();
        Fmain->UseLine(&port_, &pacer_);
    }
    // Runs `action` from the first wait that ends at or after virtual time `at` (in order of
    // calls, which must be in time order).
    void At(std::chrono::milliseconds at, std::function<void()> action) {
        actions_.push_back({at, std::move(action)});
    }
    // Runs `action` once the converter has received bytes ending with `text`.
    void OnReceived(std::string text, std::function<void()> action) {
        onReceived_.push_back({std::move(text), std::move(action)});
    }
    void CancelAfterTheBanner(sim::FailMode fail, const std::string& cancelAfter,
                              const QString& noteAtNine);
    // The session the model saw to its end, as comsetup-sim writes it in its JSON report.
    nlohmann::json FinishedSession() {
        const auto sessions = converter_->FinishedSessions(pacer_.Now() + 1ms); // "RS" too
        EXPECT_EQ(sessions.size(), 1u) << "the model saw no complete session";
        return sessions.empty() ? nlohmann::json{} : sessions[0];
    }

    // Another converter on the line from now on.
    void ConnectNextUnit(sim::FailMode fail) {
        converter_ = std::make_unique<comsetup::test::ModelLine>(
            comsetup::test::ModelLine::Options(sim::Firmware::V01_8, fail), line_);
        converter_->Step(pacer_.Now()); // connected now, not at the start of time
        // What the last unit sent after its download is lost with it, as on a serial port
        // closed meanwhile.
        port_.Open();
        port_.PurgeIn();
        port_.Close();
    }
    // The one session that ended complete (a unit connected later may first see the polls of
    // its switching on as a session of their own).
    nlohmann::json CompleteSession() {
        nlohmann::json complete;
        for (const auto& session : converter_->FinishedSessions(pacer_.Now() + 1ms))
            if (session["end"] == "complete") {
                EXPECT_TRUE(complete.is_null()) << "two complete sessions";
                complete = session;
            }
        EXPECT_TRUE(complete.is_object()) << "the model saw no complete session";
        return complete.is_object() ? complete : nlohmann::json::object();
    }

    std::shared_ptr<MemoryLine> line_ = std::make_shared<MemoryLine>();
    MemoryComm port_{line_};
    VirtualPacer pacer_;
    std::unique_ptr<comsetup::test::ModelLine> converter_;

private:
    struct Action {
        std::chrono::nanoseconds at;
        std::function<void()> run;
    };
    struct ReceivedAction {
        std::string text;
        std::function<void()> run;
    };
    std::vector<Action> actions_;
    std::vector<ReceivedAction> onReceived_;
};

TEST_F(DownloadFlowInVirtualTime, MasterSideOnTheNewerFirmwareAnswersBroadcasts) {
    StartWith(sim::Firmware::V6_5_0_7);
    ChooseMode(3);
    Click(W().cb_broadcast);
    TypeAddress({W().re_ipb1, W().re_ipb2, W().re_ipb3, W().re_ipb4}, {192, 168, 7, 20});
    PressButton1();
    ExpectEnded("Setup Complete", port_);
    const nlohmann::json session = FinishedSession();
    ASSERT_TRUE(session.is_object());
    EXPECT_EQ(session["end"], "complete");
    EXPECT_EQ(session["config"]["ip"], "192.168.7.20");
    EXPECT_EQ(session["config"]["tunnel"], true);
    EXPECT_EQ(session["config"]["broadcast"], true);
    EXPECT_EQ(session["anomalies"].size(), 0u) << session["anomalies"].dump();
    // Below the verdict, what was written.
    EXPECT_EQ(P().LabelDetail->text(), "192.168.7.20/24, 9600 8N1, port 10001, answers "
                                       "broadcasts to port 10001, saved by firmware V6.5.0.7");
    EXPECT_TRUE(P().LabelDetail->isVisibleTo(fprog));
    // The journal holds what went in: the mode, the address, the peer actually sent.
    const auto rows = config::Journal::Open(config::DefaultJournalPath())->List({});
    ASSERT_FALSE(rows.empty());
    const config::JournalRow& row = rows.front();
    EXPECT_EQ(row.start.frontEnd, "comsetup");
    EXPECT_EQ(row.start.setup.mode, config::Mode::PointToMultipoint);
    EXPECT_TRUE(row.start.setup.master);
    EXPECT_EQ(config::FormatIpv4(row.start.setup.ip), "192.168.7.20");
    EXPECT_EQ(row.start.peerSent, "192.168.7.255");
    EXPECT_EQ(row.end.outcome, "complete");
    EXPECT_EQ(row.end.verdict, "Setup Complete");
    EXPECT_EQ(row.end.firmware, "V6.5.0.7");
    EXPECT_EQ(row.end.exitCode, std::nullopt);
    EXPECT_NE(row.end.log.find("Exit without"), std::string::npos) << row.end.log;
    // Every byte the converter sent: a prompt that ended one echo is joined with the answer
    // echoed after it (the monitor window's lines drop it, as the verdict reads them).
    for (const char* asked :
         {"Use a gateway (N) ? N\n", "Flow control code (00) ? 00\nLocal port (10001) ? 10001\n"}) {
        EXPECT_NE(row.end.log.find(asked), std::string::npos) << asked << "\n" << row.end.log;
    }

    // The next download shows nothing of this verdict beside its "Cancel".
    QString textAtStart = "(not reached)";
    bool detailAtStart = true;
    At(std::chrono::duration_cast<std::chrono::milliseconds>(pacer_.Now()) + 100ms, [&] {
        textAtStart = P().Label2->text();
        detailAtStart = P().LabelDetail->isVisibleTo(fprog);
        QTest::mouseClick(P().BtnCancel, Qt::LeftButton);
    });
    PressButton1();
    EXPECT_EQ(textAtStart, "");
    EXPECT_FALSE(detailAtStart);
    ExpectEnded("Setup cancel from user", port_);

    // Each download's part of the log opens with when, where, its verdict and what it sends.
    QStringList headers;
    for (int i = 0; i < Fmonitor->Lines().Count(); ++i)
        if (Fmonitor->Lines().Line(i).startsWith("===="))
            headers << Fmonitor->Lines().Line(i);
    ASSERT_EQ(headers.size(), 4) << headers.join('|').toStdString();
    const QString values = "==== 192.168.7.20/24, 9600 8N1, port 10001, peer 192.168.7.255:10001 "
                           "(master side)";
    const QRegularExpression started("^==== \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  COM1  ");
    EXPECT_TRUE(started.match(headers[0]).hasMatch()) << headers[0].toStdString();
    EXPECT_TRUE(headers[0].endsWith("  COM1  Setup Complete")) << headers[0].toStdString();
    EXPECT_EQ(headers[1], values);
    EXPECT_TRUE(started.match(headers[2]).hasMatch()) << headers[2].toStdString();
    EXPECT_TRUE(headers[2].endsWith("  COM1  Setup cancel from user")) << headers[2].toStdString();
    EXPECT_EQ(headers[3], values);
    EXPECT_EQ(Fmonitor->Lines().Line(Fmonitor->Lines().Count() - 1),
              "cancelled before the converter answered: no setting was sent"); // still the last
}

TEST_F(DownloadFlowInVirtualTime, CancelDuringTheWakeUpWaitEndsTheDownload) {
    StartWith(sim::Firmware::V01_8, sim::FailMode::NoAnswer);
    ChooseMode(1);
    At(2500ms, [this] {
        EXPECT_TRUE(fprog->isVisible());
        EXPECT_EQ(P().Label2->text(), "Check the connection with device in progress\n"
                                      "(Turn off and then turn on the device)");
        // The countdown moves with the download's pacer, not with the wall clock.
        fprog->Refresh();
        EXPECT_EQ(P().LabelWakeUp->text(), "wake-up 0:13");
        EXPECT_TRUE(P().BtnCancel->isVisible());
        EXPECT_FALSE(P().btnOK->isVisible());
        QTest::mouseClick(P().BtnCancel, Qt::LeftButton);
    });
    PressButton1();
    ExpectEnded("Setup cancel from user", port_);
    EXPECT_EQ(P().LabelDetail->text(),
              "cancelled before the converter answered: no setting was sent");
    EXPECT_TRUE(messages_.isEmpty());
}

// After the banner a Cancel lets the menu answers run on to "9", says so below the progress
// text meanwhile, and stops there: the records never go to a converter that is restarting.
// cancelAfter: what the converter has received when Cancel is pressed; noteAtNine: the line
// below the progress text once the script reaches "9".
void DownloadFlowInVirtualTime::CancelAfterTheBanner(sim::FailMode fail,
                                                     const std::string& cancelAfter,
                                                     const QString& noteAtNine) {
    const QString cause = "cancelled after the settings were typed: the converter may hold some "
                          "or all of them; download again to be sure";
    StartWith(sim::Firmware::V01_8, fail);
    ChooseMode(1);
    // Once the banner is read, the line under the countdown says so while the prompt to switch
    // the converter off and on still stands above.
    QString atBanner;
    OnReceived("\n\r", [&] { atBanner = P().Label2->text() + "|" + P().LabelConverter->text(); });
    OnReceived(cancelAfter, [this] { QTest::mouseClick(P().BtnCancel, Qt::LeftButton); });
    QString shownAtNine = "(not reached)";
    OnReceived("\n9\n", [&] {
        shownAtNine = P().LabelDetail->isVisibleTo(fprog) ? P().LabelDetail->text() : "";
    });
    PressButton1();
    ExpectEnded("Setup cancel from user", port_);
    EXPECT_EQ(shownAtNine, noteAtNine);
    EXPECT_EQ(atBanner, "Check the connection with device in progress\n(Turn off and then turn on "
                        "the device)|converter answered: firmware 01.8");
    EXPECT_EQ(P().LabelDetail->text(), cause);
    EXPECT_TRUE(P().LabelDetail->isVisibleTo(fprog));
    // The line shows whole: the dialog grew, and nothing below it is covered.
    EXPECT_FALSE(P().LabelDetail->geometry().intersects(P().btnOK->geometry()));
    EXPECT_TRUE(fprog->rect().contains(P().LabelTimeLeft->geometry()));
    EXPECT_EQ(Fmonitor->Lines().Line(Fmonitor->Lines().Count() - 1), cause);
    EXPECT_EQ(converter_->Received().find("S7"), std::string::npos);
}

TEST_F(DownloadFlowInVirtualTime, CancelInTheScriptStopsBeforeTheRecordsAndSaysWhy) {
    CancelAfterTheBanner(sim::FailMode::Healthy, "9600",
                         "cancel pending: finishing the menu answer in progress...");
}

TEST_F(DownloadFlowInVirtualTime, CancelInTheRestartWaitStopsBeforeTheRecordsAndSaysWhy) {
    CancelAfterTheBanner(sim::FailMode::NoRestart, "zz", "");
}

// Cancel in the pause after the banner: nothing is typed, and the download ends at once.
TEST_F(DownloadFlowInVirtualTime, CancelBeforeTheOpeningTypesNothing) {
    StartWith(sim::Firmware::V01_8);
    ChooseMode(2);
    std::chrono::nanoseconds pressedAt{};
    std::chrono::nanoseconds endedAt{};
    OnReceived("\n\r", [&] {
        At(std::chrono::duration_cast<std::chrono::milliseconds>(pacer_.Now()) + 3000ms, [&] {
            pressedAt = pacer_.Now();
            QTest::mouseClick(P().BtnCancel, Qt::LeftButton);
        });
    });
    QObject::connect(Fmain, &TFmain::downloadEnded, [&] { endedAt = pacer_.Now(); });
    PressButton1();
    ExpectEnded("Setup cancel from user", port_);
    EXPECT_EQ(P().LabelDetail->text(), "cancelled before any setting was sent");
    const std::string received = converter_->Received();
    EXPECT_TRUE(received.ends_with("\n\r")) << received; // the banner's answer, then nothing
    EXPECT_GT(pressedAt.count(), 0);
    EXPECT_LE(endedAt - pressedAt, std::chrono::nanoseconds(100ms));
}

// While a download runs nothing on the wizard can open a modal loop, which would hold the
// download's pauses: the buttons that would are off, the wizard's messages wait for the end,
// and the keyboard is on "Cancel"; afterwards it is back on "DownLoad".
TEST_F(DownloadFlowInVirtualTime, NothingOnTheWizardCanHoldARunningDownload) {
    StartWith(sim::Firmware::V01_8);
    ChooseMode(1);
    int filesAsked = 0;
    ScopedFileChoice choose([&](QWidget*, FileChoiceKind, const QString&, const QString&,
                                const QString&) { return ++filesAsked, QString(); });
    QStringList enabledMeanwhile;
    QStringList messagesMeanwhile;
    QWidget* focusMeanwhile = nullptr;
    At(5000ms, [&] {
        for (QWidget* control : std::initializer_list<QWidget*>{
                 W().BtnOpen, W().BtnSave, W().BtnJournal, W().BtnPlan, W().cb_com, W().Button1})
            if (control->isEnabled())
                enabledMeanwhile << control->objectName();
        for (QAbstractButton* button : {W().BtnOpen, W().BtnSave, W().BtnJournal})
            QTest::mouseClick(button, Qt::LeftButton);
        Type(W().RangeEdit1, "-"); // the field's own message
        ShowMessage(QStringLiteral("said meanwhile"));
        messagesMeanwhile = messages_;
        focusMeanwhile = fprog->focusWidget();
    });
    PressButton1();
    ExpectEnded("Setup Complete", port_);
    EXPECT_TRUE(enabledMeanwhile.isEmpty()) << enabledMeanwhile.join(',').toStdString();
    EXPECT_EQ(filesAsked, 0);
    EXPECT_TRUE(messagesMeanwhile.isEmpty()) << messagesMeanwhile.join('|').toStdString();
    EXPECT_TRUE(messages_.contains("said meanwhile")) << messages_.join('|').toStdString();
    EXPECT_EQ(focusMeanwhile, P().BtnCancel);
    EXPECT_EQ(F_selmode->focusWidget(), W().Button1);
    EXPECT_TRUE(W().BtnOpen->isEnabled());
    // No pause of the script was stretched: the far end saw the planned timing.
    EXPECT_EQ(FinishedSession()["anomalies"].size(), 0u);
}

// A Remote COM port download after a tunnel download sends no tunnel: the main window's
// tunnel "Enable" is set from each download's own values.
TEST_F(DownloadFlowInVirtualTime, RemoteComAfterATunnelSendsNoTunnel) {
    StartWith(sim::Firmware::V01_8);
    ChooseMode(2);
    PressButton1();
    ExpectEnded("Setup Complete", port_);
    EXPECT_EQ(CompleteSession()["config"]["tunnel"], true);
    Click(W().BtnBack);
    ChooseMode(1);
    ConnectNextUnit(sim::FailMode::Healthy);
    PressButton1();
    ExpectEnded("Setup Complete", port_);
    const nlohmann::json session = CompleteSession();
    EXPECT_EQ(session["config"]["tunnel"], false) << session.dump();
    EXPECT_EQ(converter_->Received().find("CC"), std::string::npos);
    EXPECT_FALSE(M().cb_entunnel->isChecked());
    const auto rows = config::Journal::Open(config::DefaultJournalPath())->List({});
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front().start.setup.mode, config::Mode::RemoteCom);
    EXPECT_EQ(rows.front().start.peerSent, "");
}

// Closing the wizard during a download asks; "Yes" cancels it and quits once it has ended.
TEST_F(DownloadFlowInVirtualTime, CloseDuringADownloadAsksThenCancelsAndQuits) {
    StartWith(sim::Firmware::V01_8);
    ChooseMode(1);
    QSignalSpy closed(F_selmode, &TF_selmode::closed);
    QString asked;
    At(1000ms, [&] { F_selmode->close(); });
    At(1100ms, [&] {
        auto* question = F_selmode->findChild<QMessageBox*>("quitQuestion");
        ASSERT_NE(question, nullptr);
        asked = question->text();
        EXPECT_FALSE(CancelSetup.load()); // nothing happens before the answer
        question->button(QMessageBox::Yes)->click();
    });
    PressButton1();
    EXPECT_EQ(asked, "A download is running on COM1. Cancel it and quit?");
    EXPECT_EQ(P().Label2->text(), "Setup cancel from user");
    EXPECT_LT(pacer_.NowMs(), 1200); // no waiting for the converter
    EXPECT_TRUE(WaitFor([&] { return closed.count() == 1; }, 2000));
}

TEST_F(DownloadFlowInVirtualTime, SecondDownLoadAndCloseDuringADownloadWaitForItsEnd) {
    StartWith(sim::Firmware::V01_8, sim::FailMode::NoAnswer);
    ChooseMode(1);
    QSignalSpy ended(Fmain, &TFmain::downloadEnded);
    QSignalSpy closed(F_selmode, &TF_selmode::closed);
    bool secondStartedNothing = false;
    bool wizardStayed = false;
    bool dialogStayed = false;
    QString titleMeanwhile;
    const QString title = F_selmode->windowTitle();
    At(400ms, [&] {
        // "DownLoad" waits for the end, and the title says which port is being written.
        EXPECT_FALSE(W().Button1->isEnabled());
        titleMeanwhile = F_selmode->windowTitle();
        QTest::mouseClick(W().Button1, Qt::LeftButton); // "DownLoad" again
        // A nested download would have run to its end (and reported it) before returning.
        secondStartedNothing =
            ended.count() == 0 && Fmain->DownloadRunning() && P().BtnCancel->isVisible();
    });
    At(700ms, [&] {
        F_selmode->close(); // asked, and answered "No": the download goes on
        auto* question = F_selmode->findChild<QMessageBox*>("quitQuestion");
        ASSERT_NE(question, nullptr);
        question->button(QMessageBox::No)->click();
        wizardStayed = F_selmode->isVisible() && !F_selmode->ClosePending() &&
                       Fmain->DownloadRunning() && !CancelSetup.load();
    });
    At(1000ms, [&] {
        fprog->close(); // the dialog's close box: the download's "Cancel"
        dialogStayed = fprog->isVisible();
    });
    PressButton1();
    EXPECT_TRUE(secondStartedNothing);
    EXPECT_TRUE(wizardStayed);
    EXPECT_TRUE(dialogStayed);
    EXPECT_EQ(titleMeanwhile, "Select Modality - writing COM1");
    EXPECT_EQ(F_selmode->windowTitle(), title);
    EXPECT_TRUE(W().Button1->isEnabled());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(P().Label2->text(), "Setup cancel from user");
    // The close declined during the download does not happen afterwards.
    QTest::qWait(20);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(F_selmode->isVisible());
}

TEST_F(DownloadFlowInVirtualTime, LineVanishingDuringTheScriptReachesTheGeneralErrorReport) {
    StartWith(sim::Firmware::V01_8, sim::FailMode::Vanish);
    ChooseMode(1);
    PressButton1(); // the error leaves downClick and the click's event delivery reports it
    ASSERT_EQ(messages_.size(), 1) << messages_.join('|').toStdString();
    EXPECT_TRUE(messages_[0].contains("(Error: ")) << messages_[0].toStdString();
    // Below the component's text, what it means.
    EXPECT_TRUE(messages_[0].endsWith("\nthe device went away: unplugged adapter?"))
        << messages_[0].toStdString();
    ExpectEnded("ERROR ON SETUP", port_);
    EXPECT_TRUE(Fmonitor->Lines().Line(0).endsWith("  COM1  ERROR ON SETUP"))
        << Fmonitor->Lines().Line(0).toStdString(); // the log's header has the verdict too
    // The program goes on: the next download starts afresh on a closed port.
    EXPECT_FALSE(Fmain->DownloadRunning());
}

// A device lost before the first setting left the converter as it was: the journal names it
// a port error, as comsetup-cli does, and its verdict is the dialog's.
TEST_F(DownloadFlowInVirtualTime, ADeviceLostBeforeAnySettingIsAPortErrorInTheJournal) {
    StartWith(sim::Firmware::V01_8, sim::FailMode::NoAnswer);
    ChooseMode(1);
    At(1000ms, [this] { line_->Vanish(); });
    PressButton1(); // the error goes on to the general error report
    line_->Reappear();
    ASSERT_EQ(messages_.size(), 1) << messages_.join('|').toStdString();
    const auto rows = config::Journal::Open(config::DefaultJournalPath())->List({});
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front().end.outcome, "port-error");
    EXPECT_EQ(rows.front().end.verdict, "ERROR ON SETUP");
}

// "Next converter": the next unit on the same port gets the address one higher, once the
// technician has confirmed it is connected (here: a new model on the line); a unit that fails
// is offered again, and Enter presses "OK" before a series and the series' button after.
TEST_F(DownloadFlowInVirtualTime, NextConverterWritesTheNextAddressAndRetriesAFailedUnit) {
    StartWith(sim::Firmware::V01_8);
    ChooseMode(2);
    TypeAddress({W().re_ipb1, W().re_ipb2, W().re_ipb3, W().re_ipb4}, {10, 0, 0, 50});
    TypeAddress({W().are_ipb1, W().are_ipb2, W().are_ipb3, W().are_ipb4}, {10, 0, 0, 9});
    Type(W().RangeEdit1, "4001");
    std::vector<sim::FailMode> nextUnits{sim::FailMode::NoRestart, sim::FailMode::Healthy,
                                         sim::FailMode::Healthy};
    QStringList asked;
    ScopedUnitConfirmation confirm([&](QWidget*, const QString& text) {
        asked << text;
        if (nextUnits.empty())
            return false;
        ConnectNextUnit(nextUnits.front());
        nextUnits.erase(nextUnits.begin());
        return true;
    });
    const auto pressEnter = [] {
        QTest::keyClick(fprog->focusWidget() ? fprog->focusWidget() : fprog, Qt::Key_Return);
    };
    const auto shownIp = [this] {
        return QStringList{W().re_ipb1->text(), W().re_ipb2->text(), W().re_ipb3->text(),
                           W().re_ipb4->text()}
            .join('.');
    };

    PressButton1();
    ExpectEnded("Setup Complete", port_);
    ASSERT_TRUE(P().BtnNext->isVisibleTo(fprog));
    EXPECT_EQ(P().BtnNext->text(), "Next converter");
    EXPECT_EQ(P().LabelSeries->text(), "");
    pressEnter(); // no series yet: "OK"
    EXPECT_FALSE(fprog->isVisible());
    EXPECT_TRUE(asked.isEmpty());
    fprog->show();

    QTest::mouseClick(P().BtnNext, Qt::LeftButton); // returns when the unit has ended
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("Connect the next converter to COM1. It gets the address "
                                  "10.0.0.51."))
        << asked[0].toStdString();
    ExpectEnded("ERROR ON SETUP", port_);
    EXPECT_EQ(shownIp(), "10.0.0.51"); // the wizard follows the unit
    EXPECT_EQ(P().BtnNext->text(), "Retry");
    EXPECT_EQ(P().LabelSeries->text(), "1 done");

    pressEnter(); // in a series: the series' button, here "Retry"
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[1].contains("again with the address 10.0.0.51")) << asked[1].toStdString();
    ExpectEnded("Setup Complete", port_);
    EXPECT_EQ(CompleteSession()["config"]["ip"], "10.0.0.51");
    EXPECT_EQ(P().BtnNext->text(), "Next converter");
    EXPECT_EQ(P().LabelSeries->text(), "2 done");

    pressEnter();
    ExpectEnded("Setup Complete", port_);
    const nlohmann::json third = CompleteSession();
    EXPECT_EQ(third["config"]["ip"], "10.0.0.52");
    EXPECT_EQ(third["config"]["remote"], "10.0.0.9"); // peer and local port kept
    EXPECT_EQ(third["config"]["local_port"], "4001");
    EXPECT_EQ(shownIp(), "10.0.0.52");
    EXPECT_EQ(P().LabelSeries->text(), "3 done");

    pressEnter(); // the technician declines: nothing is written
    EXPECT_EQ(asked.size(), 4);
    EXPECT_EQ(P().LabelSeries->text(), "3 done");
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
    // Each unit is a download of its own in the journal.
    const auto rows = config::Journal::Open(config::DefaultJournalPath())->List({});
    ASSERT_GE(rows.size(), 4u);
    const std::vector<std::pair<std::string, std::string>> expected{{"10.0.0.52", "complete"},
                                                                    {"10.0.0.51", "complete"},
                                                                    {"10.0.0.51", "error-on-setup"},
                                                                    {"10.0.0.50", "complete"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(config::FormatIpv4(rows[i].start.setup.ip), expected[i].first) << i;
        EXPECT_EQ(rows[i].end.outcome, expected[i].second) << i;
    }

    // "DownLoad" in the wizard ends the series.
    PressButton1();
    EXPECT_EQ(P().LabelSeries->text(), "");
    EXPECT_TRUE(P().btnOK->isDefault());
}

// A list of setups drives the series: each unit gets its row, the dialog counts against the
// list's length, and the end of the list is said.
TEST_F(DownloadFlowInVirtualTime, PlannedSeriesWritesEachRowAndEndsWithTheList) {
    StartWith(sim::Firmware::V01_8);
    config::SetupProfile first, second;
    first.ip = {10, 1, 0, 30};
    second.ip = {10, 1, 0, 17};
    second.mode = config::Mode::PointToPoint;
    ScopedUnitConfirmation confirm([&](QWidget*, const QString&) {
        ConnectNextUnit(sim::FailMode::Healthy);
        return true;
    });
    QString countMeanwhile;
    At(1000ms, [&] { countMeanwhile = P().LabelSeries->text(); });
    windows_->Series().StartPlanned({first, second});
    ExpectEnded("Setup Complete", port_);
    EXPECT_EQ(countMeanwhile, "converter 1 of 2");
    EXPECT_EQ(P().LabelSeries->text(), "1 of 2 done");
    QTest::mouseClick(P().BtnNext, Qt::LeftButton);
    ExpectEnded("Setup Complete", port_);
    EXPECT_EQ(CompleteSession()["config"]["ip"], "10.1.0.17"); // the row, not 10.1.0.31
    EXPECT_EQ(stat_wiz, 2);
    EXPECT_EQ(P().LabelSeries->text(), "2 of 2 done");
    // Nothing follows the list's last unit: no "Next converter" to press.
    EXPECT_FALSE(P().BtnNext->isVisibleTo(fprog));
    EXPECT_TRUE(P().btnOK->isDefault());
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
}

// "Open plan...": the plan window writes the rows not done as a series, each recorded as its
// row, marks them done as they end, resumes at the first row not done, and asks before an
// address already written goes into another unit.
TEST_F(DownloadFlowInVirtualTime, PlanWindowWritesResumesAndAsksBeforeReusingAnAddress) {
    StartWith(sim::Firmware::V01_8);
    const QTemporaryDir folder;
    const auto writePlan = [&](const QString& name, const QByteArray& text) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    };
    QString chosen;
    ScopedFileChoice choose([&](QWidget*, FileChoiceKind, const QString&, const QString&,
                                const QString&) { return chosen; });
    QStringList asked;
    bool answer = true; // to the question about an address used before
    ScopedUnitConfirmation confirm([&](QWidget*, const QString& text) {
        asked << text;
        ConnectNextUnit(sim::FailMode::Healthy);
        return answer || !text.contains(QStringLiteral("again?"));
    });
    const auto openPlan = [&](const QString& path) {
        chosen = path;
        QTest::mouseClick(W().BtnPlan, Qt::LeftButton);
        auto* window = windows_->Wizard().findChild<PlanWindow*>();
        EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
        return window;
    };

    PlanWindow* plan = openPlan(writePlan("site.csv", "ip,mode,peer\r\n"
                                                      "10.2.0.1,point-to-point,pair\r\n"
                                                      "10.2.0.2,point-to-point,pair\r\n"));
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->Status()->text(), "2 converters: 0 done, 0 failed.");
    EXPECT_EQ(plan->StartButton()->text(), "Start at row 1");
    QTest::mouseClick(plan->StartButton(), Qt::LeftButton); // returns when row 1 has ended
    ExpectEnded("Setup Complete", port_);
    EXPECT_EQ(CompleteSession()["config"]["remote"], "10.2.0.2"); // its pair's address
    EXPECT_EQ(plan->Table()->item(0, 5)->text(), "done");
    EXPECT_EQ(plan->Table()->item(1, 5)->text(), "not tried");
    EXPECT_EQ(plan->StartButton()->text(), "Start at row 2");

    // The plan opened again later resumes at row 2.
    fprog->hide();
    plan = openPlan(chosen);
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->StartButton()->text(), "Start at row 2");
    ConnectNextUnit(sim::FailMode::Healthy);
    QString countMeanwhile;
    At(std::chrono::duration_cast<std::chrono::milliseconds>(pacer_.Now()) + 1000ms,
       [&] { countMeanwhile = P().LabelSeries->text(); });
    QTest::mouseClick(plan->StartButton(), Qt::LeftButton);
    ExpectEnded("Setup Complete", port_);
    EXPECT_EQ(CompleteSession()["config"]["ip"], "10.2.0.2");
    // Counted as the plan's rows, and nothing offered after its last.
    EXPECT_EQ(countMeanwhile, "row 2 of 2");
    EXPECT_EQ(P().LabelSeries->text(), "row 2 of 2 done");
    EXPECT_FALSE(P().BtnNext->isVisibleTo(fprog));
    EXPECT_EQ(plan->Status()->text(), "2 converters: 2 done, 0 failed.");
    EXPECT_FALSE(plan->StartButton()->isEnabled());
    // The marks read on the table under a light and a dark theme alike.
    const QPalette light = plan->palette();
    QPalette dark = light;
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    for (const bool darkTheme : {false, true}) {
        plan->setPalette(darkTheme ? dark : light);
        plan->Refresh();
        const QColor base = plan->Table()->palette().color(QPalette::Base);
        const QColor mark = plan->Table()->item(0, 5)->foreground().color();
        EXPECT_GE(std::abs(base.lightness() - mark.lightness()), 96)
            << (darkTheme ? "dark" : "light") << ": " << mark.name().toStdString() << " on "
            << base.name().toStdString();
    }
    plan->setPalette(light);
    const auto planRows = [] { // the journal's rows of plans, newest first
        std::vector<config::JournalRow> rows;
        for (auto& row : config::Journal::Open(config::DefaultJournalPath())->List({}))
            if (!row.start.plan.empty())
                rows.push_back(std::move(row));
        return rows;
    };
    const auto rows = planRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].start.planRow, 2);
    EXPECT_EQ(rows[1].start.planRow, 1);
    EXPECT_FALSE(rows[0].start.plan.empty());
    EXPECT_EQ(rows[0].start.plan, rows[1].start.plan);

    // Another plan giving 10.2.0.1 again: asked once, declined; that row alone is left out.
    fprog->hide();
    const QString spare = writePlan("spare.csv", "ip,mode\n10.2.0.1,remote-com\n"
                                                 "10.2.0.9,remote-com\n");
    plan = openPlan(spare);
    ASSERT_NE(plan, nullptr);
    asked.clear();
    answer = false;
    QTest::mouseClick(plan->StartButton(), Qt::LeftButton);
    ASSERT_EQ(asked.size(), 1); // one question for the plan; its first unit starts at once
    EXPECT_TRUE(asked[0].startsWith("10.2.0.1 was written to a converter on "));
    EXPECT_TRUE(asked[0].endsWith("; use it again?")) << asked[0].toStdString();
    ExpectEnded("Setup Complete", port_);
    EXPECT_EQ(CompleteSession()["config"]["ip"], "10.2.0.9");
    EXPECT_EQ(planRows().size(), 3u);
    EXPECT_EQ(plan->StartButton()->text(), "Start at row 1");

    // Resumed at row 1, the done row after it is not written again: sequence's rule.
    fprog->hide();
    plan = openPlan(spare);
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->Table()->item(1, 5)->text(), "done");
    asked.clear();
    answer = true;
    QTest::mouseClick(plan->StartButton(), Qt::LeftButton);
    ExpectEnded("Setup Complete", port_);
    EXPECT_EQ(CompleteSession()["config"]["ip"], "10.2.0.1");
    EXPECT_EQ(P().LabelSeries->text(), "row 1 of 2 done");
    EXPECT_EQ(planRows().size(), 4u);
    EXPECT_EQ(plan->Status()->text(), "2 converters: 2 done, 0 failed.");
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
}

// The next address would be the subnet's broadcast address: refused with a message, nothing
// asked.
TEST_F(DownloadFlowInVirtualTime, NextConverterRefusesTheBroadcastAddress) {
    StartWith(sim::Firmware::V01_8);
    ChooseMode(1);
    TypeAddress({W().re_ipb1, W().re_ipb2, W().re_ipb3, W().re_ipb4}, {192, 168, 1, 254});
    int asked = 0;
    ScopedUnitConfirmation confirm([&](QWidget*, const QString&) { return ++asked, true; });
    PressButton1();
    ExpectEnded("Setup Complete", port_);
    QTest::mouseClick(P().BtnNext, Qt::LeftButton);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(messages_, QStringList{"No next converter: the address after 192.168.1.254 is the "
                                     "broadcast address of 192.168.1.0/255.255.255.0"});
}

// The unit confirmation starts a download: the repeats of a key held down do not answer it,
// a fresh press does.
TEST(UnitConfirmation, AHeldKeyDoesNotAnswerIt) {
    bool openAfterRepeats = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        QTimer::singleShot(3000, box, [box] { box->close(); }); // never hang the test
        QWidget* target = box->focusWidget() ? box->focusWidget() : box;
        for (int i = 0; i < 3; ++i) {
            QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true);
            QApplication::sendEvent(target, &repeat);
        }
        openAfterRepeats = box->isVisible();
        QTest::keyClick(target, Qt::Key_Return);
    });
    EXPECT_TRUE(ConfirmWithTechnician(nullptr, QStringLiteral("Connect the next converter.")));
    EXPECT_TRUE(openAfterRepeats);
}

// The last resort: an error that leaves a handler Qt called (a timer, a queued call) is
// shown by the application's event delivery, and the event loop goes on.
TEST(GeneralErrorReport, AnUncaughtErrorOfAnEventIsShownAndTheProgramGoesOn) {
    QStringList shown;
    ScopedMessageFunction record([&](const QString& text) { shown << text; });
    QObject context;
    QMetaObject::invokeMethod(
        &context, [] { throw std::runtime_error("Write error (Error: 5) "); },
        Qt::QueuedConnection);
    bool later = false;
    QMetaObject::invokeMethod(
        &context, [&] { later = true; }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, QStringList{"Write error (Error: 5) "});
    EXPECT_TRUE(later);
    QTimer::singleShot(0, &context, [] { throw 42; }); // not even a std::exception
    EXPECT_TRUE(WaitFor([&] { return shown.size() == 2; }, 1000));
    EXPECT_EQ(shown.last(), "Unknown error");
}

} // namespace
} // namespace comsetup::test
