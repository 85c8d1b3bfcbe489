// Downloads started from the wizard against the converter stand-in on a pseudo-terminal, in
// real time: the decoded configuration, Cancel, a second "DownLoad" during a download, closing
// the wizard during a download, and an error of the line reaching the general error report.
#include "app_fixture.h"
#include "sim_process.h"

#include "ui_tf_selmode.h"
#include "ui_tfmain.h"
#include "ui_tfprog.h"

#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "widgets/range_edit.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace comsetup::test {
namespace {

class DownloadFlow : public AppFixture {
protected:
    // Starts the stand-in and the program with the stand-in's pty as the device found after
    // COM9, chosen in the wizard's port list.
    void StartWith(const std::vector<std::string>& simOptions) {
        sim_ = std::make_unique<SimProcess>(simOptions);
        ASSERT_FALSE(sim_->PtyPath().empty()) << "comsetup-sim did not start";
        StartProgram({QString::fromStdString(sim_->PtyPath())});
    }
    void TearDown() override {
        AppFixture::TearDown();
        sim_.reset();
    }
    void TypeAddress(std::array<TRangeEdit*, 4> fields, std::array<int, 4> bytes) {
        for (int i = 0; i < 4; ++i)
            Type(fields[i], QString::number(bytes[i]));
    }
    void ExpectEnded(const QString& verdict) {
        EXPECT_EQ(P().Label2->text(), verdict);
        EXPECT_TRUE(fprog->isVisible());
        EXPECT_FALSE(P().BtnCancel->isVisibleTo(fprog));
        EXPECT_TRUE(P().btnOK->isVisibleTo(fprog));
        EXPECT_FALSE(Fmain->Comport.Enabled());
        EXPECT_FALSE(Fmain->DownloadRunning());
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
    ExpectEnded("Setup Complete");
    EXPECT_GT(Fmonitor->Lines().Count(), 2);

    ASSERT_TRUE(sim_->WaitForOutput("end of download 1", 5000)) << sim_->Output();
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

TEST_F(DownloadFlow, MasterSideOnTheNewerFirmwareAnswersBroadcasts) {
    StartWith({"--firmware", "V6.5.0.7", "--off-time", "300", "--quiet"});
    ChooseMode(3);
    Click(W().cb_broadcast);
    TypeAddress({W().re_ipb1, W().re_ipb2, W().re_ipb3, W().re_ipb4}, {192, 168, 7, 20});
    W().cb_com->setCurrentIndex(9);
    PressButton1();
    ExpectEnded("Setup Complete");
    ASSERT_TRUE(sim_->WaitForOutput("end of download 1", 5000)) << sim_->Output();
    EXPECT_NE(sim_->Output().find("download 1: complete"), std::string::npos) << sim_->Output();
    EXPECT_EQ(Item("ip"), "192.168.7.20");
    EXPECT_EQ(Item("tunnel").substr(0, 2), "on");
    EXPECT_EQ(Item("broadcast"), "yes");
    EXPECT_EQ(Item("anomalies"), "none");
}

TEST_F(DownloadFlow, CancelDuringTheWakeUpWaitEndsTheDownload) {
    StartWith({"--firmware", "01.8", "--fail", "none", "--quiet"});
    ChooseMode(1);
    W().cb_com->setCurrentIndex(9);
    QTimer::singleShot(900, [this] {
        EXPECT_TRUE(fprog->isVisible());
        EXPECT_EQ(P().Label2->text(), "Check the connection with device in progress\n"
                                      "(Turn off and then turn on the device)");
        EXPECT_TRUE(P().BtnCancel->isVisible());
        EXPECT_FALSE(P().btnOK->isVisible());
        QTest::mouseClick(P().BtnCancel, Qt::LeftButton);
    });
    PressButton1();
    ExpectEnded("Setup cancel from user");
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(DownloadFlow, SecondDownLoadAndCloseDuringADownloadWaitForItsEnd) {
    StartWith({"--firmware", "01.8", "--fail", "none", "--quiet"});
    ChooseMode(1);
    W().cb_com->setCurrentIndex(9);
    QSignalSpy ended(Fmain, &TFmain::downloadEnded);
    QSignalSpy closed(F_selmode, &TF_selmode::closed);
    bool secondStartedNothing = false;
    bool wizardStayed = false;
    QTimer::singleShot(400, [&] {
        QTest::mouseClick(W().Button1, Qt::LeftButton); // "DownLoad" again
        // A nested download would have run to its end (and reported it) before returning.
        secondStartedNothing =
            ended.count() == 0 && Fmain->DownloadRunning() && P().BtnCancel->isVisible();
    });
    QTimer::singleShot(700, [&] {
        F_selmode->close();
        wizardStayed = F_selmode->isVisible() && F_selmode->ClosePending();
    });
    QTimer::singleShot(1000, [&] { QTest::mouseClick(P().BtnCancel, Qt::LeftButton); });
    PressButton1();
    EXPECT_TRUE(secondStartedNothing);
    EXPECT_TRUE(wizardStayed);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(P().Label2->text(), "Setup cancel from user");
    // The close asked for during the download happens once it has ended.
    EXPECT_TRUE(WaitFor([&] { return closed.count() == 1; }, 2000));
    EXPECT_FALSE(F_selmode->isVisible());
}

TEST_F(DownloadFlow, LineVanishingDuringTheScriptReachesTheGeneralErrorReport) {
    StartWith({"--firmware", "01.8", "--off-time", "300", "--fail", "vanish", "--quiet"});
    ChooseMode(1);
    W().cb_com->setCurrentIndex(9);
    PressButton1(); // the error leaves downClick and the click's event delivery reports it
    ASSERT_EQ(messages_.size(), 1) << messages_.join('|').toStdString();
    EXPECT_TRUE(messages_[0].contains("(Error: ")) << messages_[0].toStdString();
    // Below the component's text, what it means.
    EXPECT_TRUE(messages_[0].endsWith("\nthe device went away: unplugged adapter?"))
        << messages_[0].toStdString();
    ExpectEnded("ERROR ON SETUP");
    // The program goes on: the next download starts afresh on a closed port.
    EXPECT_FALSE(Fmain->DownloadRunning());
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
