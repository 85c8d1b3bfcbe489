// The hidden windows: the main setup window's form and tunnel "Enable", the progress dialog's
// buttons and keys, and the monitor's log.
#include "app_fixture.h"

#include "ui_tfmain.h"
#include "ui_tfmonitor.h"
#include "ui_tfprog.h"

#include "app/file_choice.h"
#include "app/gui_views.h"
#include "app/memo_lines.h"
#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "app/wizard_form.h"
#include "widgets/range_edit.h"

#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QWindow>

#include <QTest>
#include <functional>
#include <string>

namespace comsetup::test {
namespace {

class Windows : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        StartProgram();
    }
    std::vector<QWidget*> TunnelControls() {
        return {M().are_ipb1, M().are_ipb2, M().are_ipb3,
                M().are_ipb4, M().port_rem, M().cb_broadcast};
    }
};

TEST_F(Windows, MainWindowHoldsTheFactorySetup) {
    const SetupValues v = Fmain->ReadSetupValues();
    EXPECT_EQ(v, SetupValues{}); // the download's own defaults are the form's
    EXPECT_FALSE(M().re_smb1->isEnabled());
    EXPECT_FALSE(M().RangeEdit1->isEnabled());
    EXPECT_TRUE(M().re_ipb1->isEnabled());
    EXPECT_EQ(M().re_ipb1->MaxVal(), 255);
    EXPECT_EQ(M().port_rem->MaxVal(), 65536);
    EXPECT_EQ(M().RangeEdit1->MaxVal(), 65536);
    EXPECT_EQ(M().re_ipb1->NormalColor(), QColor(Qt::white));
    EXPECT_NE(M().port_rem->NormalColor(), QColor(Qt::white));
    EXPECT_EQ(M().down->text(), "Download Setup");
    EXPECT_EQ(Fmain->Comport.DeviceName(), "Com2");
    EXPECT_EQ(Fmain->Comport.FlowControl(), fcNone);
    EXPECT_FALSE(Fmain->Comport.Enabled());
}

TEST_F(Windows, TunnelEnableFromCodeSwitchesTheSixTunnelControls) {
    for (QWidget* c : TunnelControls())
        EXPECT_FALSE(c->isEnabled());
    M().cb_entunnel->setChecked(true);
    for (QWidget* c : TunnelControls())
        EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
    M().are_ipb4->setEnabled(false); // checking the checked box again runs nothing
    M().cb_entunnel->setChecked(true);
    EXPECT_FALSE(M().are_ipb4->isEnabled());
    M().cb_entunnel->setChecked(false);
    for (QWidget* c : TunnelControls())
        EXPECT_FALSE(c->isEnabled());
    // Disabled fields are read all the same.
    M().are_ipb2->SetValue(77);
    EXPECT_EQ(Fmain->ReadSetupValues().remote[1], 77);
}

TEST_F(Windows, ProgressDialogButtonsAndKeys) {
    ProgressDialogView view(*fprog);
    view.SetText(
        "Check the connection with device in progress\n(Turn off and then turn on the device)");
    view.ShowCancel(true);
    view.ShowOk(false);
    view.BringToFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fprog));
    EXPECT_EQ(P().Label2->text().count('\n'), 1);
    // Grown downwards for the port line, the converter's line, the bar and the time left;
    // what was there stays.
    EXPECT_EQ(fprog->size(), QSize(265, 146));
    EXPECT_EQ(P().Label2->pos(), QPoint(8, 18));
    EXPECT_EQ(P().BtnCancel->geometry(), QRect(88, 48, 75, 25));
    EXPECT_EQ(P().btnOK->geometry(), QRect(88, 48, 75, 25));
    for (QWidget* added :
         std::initializer_list<QWidget*>{P().BtnLog, P().LabelPort, P().LabelWakeUp,
                                         P().LabelConverter, P().ProgressBar1, P().LabelTimeLeft}) {
        EXPECT_TRUE(fprog->rect().contains(added->geometry())) << added->objectName().toStdString();
        EXPECT_FALSE(added->geometry().intersects(P().BtnCancel->geometry()))
            << added->objectName().toStdString();
        EXPECT_FALSE(added->geometry().intersects(P().Label2->geometry()))
            << added->objectName().toStdString();
    }

    CancelSetup = false;
    Click(P().BtnCancel);
    EXPECT_TRUE(CancelSetup);
    Click(P().BtnCancel); // twice: the same flag, the dialog stays
    EXPECT_TRUE(CancelSetup);
    EXPECT_TRUE(fprog->isVisible());

    CancelSetup = false;
    QTest::keyClick(fprog, Qt::Key_Escape); // Esc presses the visible "Cancel"
    EXPECT_TRUE(CancelSetup);
    EXPECT_TRUE(fprog->isVisible());

    CancelSetup = false;
    fprog->close(); // the close box while a download runs is its "Cancel"
    EXPECT_TRUE(CancelSetup);
    EXPECT_TRUE(fprog->isVisible());

    // Owned by the wizard, so that it stays above it; still a window of its own, not modal.
    EXPECT_EQ(fprog->parentWidget(), F_selmode);
    EXPECT_TRUE(fprog->isWindow());
    ASSERT_NE(fprog->windowHandle(), nullptr);
    EXPECT_EQ(fprog->windowHandle()->transientParent(), F_selmode->windowHandle());
    EXPECT_FALSE(fprog->isModal());
    CancelSetup = false;

    view.ShowCancel(false);
    view.ShowOk(true);
    view.SetText("Setup Complete");
    view.BringToFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fprog));
    QTest::keyClick(fprog, Qt::Key_Escape); // no "Cancel" visible: Esc does nothing
    EXPECT_TRUE(fprog->isVisible());
    EXPECT_FALSE(CancelSetup);
    QTest::keyClick(fprog, Qt::Key_Return); // Enter presses the default "OK"
    EXPECT_FALSE(fprog->isVisible());
    view.BringToFront();
    fprog->close(); // once ended, the close box hides it like "OK"
    EXPECT_FALSE(fprog->isVisible());
    EXPECT_FALSE(CancelSetup);
    EXPECT_EQ(P().Label2->text(), "Setup Complete"); // the dialog keeps its state for later
    EXPECT_FALSE(P().BtnCancel->icon().isNull());
    EXPECT_FALSE(P().btnOK->icon().isNull());
}

// Drawn in a larger font than the form's (Windows' own, or a user's setting), the progress
// text keeps all its lines: the buttons and figures below move down and the dialog grows.
TEST_F(Windows, ProgressTextInALargerFontPushesWhatIsBelowDown) {
    QFont larger = P().Label2->font();
    larger.setPointSize(larger.pointSize() * 2);
    P().Label2->setFont(larger);
    ProgressDialogView view(*fprog);
    for (const QString& detail : {QString(), QStringLiteral("cancel pending")}) {
        view.SetText(
            "Check the connection with device in progress\n(Turn off and then turn on the device)");
        fprog->SetDetail(detail);
        const QRect text = P().Label2->geometry();
        EXPECT_GE(text.height(), 2 * P().Label2->fontMetrics().lineSpacing());
        for (QWidget* below : std::initializer_list<QWidget*>{
                 P().BtnCancel, P().btnOK, P().BtnLog, P().LabelPort, P().LabelWakeUp,
                 P().LabelConverter, P().ProgressBar1, P().LabelTimeLeft}) {
            EXPECT_GT(below->y(), text.bottom()) << below->objectName().toStdString();
            EXPECT_TRUE(fprog->rect().contains(below->geometry()))
                << below->objectName().toStdString();
        }
        if (!detail.isEmpty()) {
            EXPECT_GT(P().LabelDetail->y(), text.y() + 2 * P().Label2->fontMetrics().lineSpacing());
            EXPECT_LT(P().LabelDetail->geometry().bottom(), P().BtnCancel->y());
        }
    }
    // Back in the form's font, the form's layout.
    P().Label2->setFont(fprog->font());
    view.SetText("Setup Complete");
    fprog->SetDetail({});
    EXPECT_EQ(fprog->size(), QSize(265, 146));
    EXPECT_EQ(P().BtnCancel->geometry(), QRect(88, 48, 75, 25));
}

// "Next converter" (or "Retry") at the end of a download fits its button, in the form's font
// and in one 2 pt larger; the buttons right of it move along, inside the dialog, and with it
// gone the form's row is back.
TEST_F(Windows, NextConverterFitsItsButtonAndPushesTheRowRight) {
    ProgressDialogView view(*fprog);
    view.ShowCancel(false);
    view.ShowOk(true);
    const QFont formFont = fprog->font();
    QFont larger = formFont;
    larger.setPointSize(formFont.pointSize() + 2);
    for (const QFont& font : {formFont, larger}) {
        fprog->setFont(font);
        for (const QString& caption : {QStringLiteral("Next converter"), QStringLiteral("Retry")}) {
            fprog->OfferNext(caption, true);
            SCOPED_TRACE(caption.toStdString() + " at " + std::to_string(font.pointSize()) + " pt");
            EXPECT_GE(P().BtnNext->width(), P().BtnNext->sizeHint().width());
            EXPECT_LT(P().BtnNext->geometry().right(), P().btnOK->x());
            EXPECT_LT(P().btnOK->geometry().right(), P().BtnLog->x());
            for (QWidget* button :
                 std::initializer_list<QWidget*>{P().BtnNext, P().btnOK, P().BtnLog})
                EXPECT_TRUE(fprog->rect().contains(button->geometry()))
                    << button->objectName().toStdString();
        }
        fprog->HideNext();
        if (font == formFont) {
            EXPECT_EQ(fprog->size(), QSize(265, 146));
            EXPECT_EQ(P().btnOK->geometry(), QRect(88, 48, 75, 25));
        }
    }
    fprog->setFont(formFont);
    fprog->HideNext();
}

// The figures under the buttons in virtual time: the wake-up countdown with the port, then
// the bar and the time left moving with the clock between reports up to the end of the step
// reported, frozen at the end; the line under the countdown says the converter answered, or
// that its restart takes longer than planned.
TEST_F(Windows, ProgressDialogFiguresFollowTheDownloadAndTheClock) {
    using namespace std::chrono_literals;
    std::chrono::nanoseconds now = 0s;
    fprog->SetClock([&now] { return now; });
    ProgressDialogView view(*fprog);
    const auto report = [&view](DownloadPhase phase, std::int64_t done, std::int64_t stepEnd,
                                std::int64_t total, const std::string& port,
                                const std::string& firmware = "") {
        DownloadProgress p;
        p.phase = phase;
        p.plannedDoneMs = done;
        p.plannedStepEndMs = stepEnd;
        p.plannedTotalMs = total;
        p.port = port;
        p.firmware = firmware;
        view.OnProgress(p);
    };
    struct Row {
        const char* name;
        std::chrono::nanoseconds advance; // clock moved before the step
        std::function<void()> step;       // a report, or nothing (the ticker's refresh)
        QString port, wakeUp, timeLeft;
        int bar; // per mille
        QString note = "";
    };
    const QString answered = "converter answered: firmware 01.8";
    const Row rows[] = {
        {"port opening", 0s, [&] { report(DownloadPhase::OpeningPort, 0, 0, 0, "COM3"); },
         "Port: COM3", "", "", 0},
        {"wake-up begins", 300ms, [&] { report(DownloadPhase::WakeUp, 0, 0, 0, "COM3"); },
         "Port: COM3", "wake-up 0:15", "", 0},
        {"4.5 s of the wait gone", 4500ms, {}, "Port: COM3", "wake-up 0:11", "", 0},
        {"banner: the whole plan", 500ms,
         [&] { report(DownloadPhase::BannerPause, 0, 7000, 40000, "COM3", "01.8"); }, "Port: COM3",
         "", "0:40 left", 0, answered},
        {"clock moves during the 7 s pause", 6s, {}, "Port: COM3", "", "0:34 left", 150, answered},
        {"and stops at its end", 3s, {}, "Port: COM3", "", "0:33 left", 175, answered},
        {"script report", 1s,
         [&] { report(DownloadPhase::Script, 10000, 10200, 40000, "COM3", "01.8"); }, "Port: COM3",
         "", "0:30 left", 250, answered},
        {"restart wait", 10s,
         [&] { report(DownloadPhase::RestartWait, 20000, 24000, 40000, "COM3", "01.8"); },
         "Port: COM3", "", "0:20 left", 500, answered},
        {"restart wait past its plan",
         5s,
         {},
         "Port: COM3",
         "",
         "0:16 left",
         600,
         "waiting for the converter to restart..."},
        {"finished: bar stays, no time left", 30s,
         [&] { report(DownloadPhase::Finished, 40000, 40000, 40000, "COM3", "01.8"); },
         "Port: COM3", "", "", 1000, answered},
        {"next download: auto searches", 1s,
         [&] { report(DownloadPhase::WakeUp, 0, 0, 0, "Auto"); }, "Port: Auto (searching)",
         "wake-up 0:15", "", 0},
        {"auto found a port: the countdown goes on", 2s,
         [&] { report(DownloadPhase::WakeUp, 0, 0, 0, "/dev/ttyUSB1"); }, "Port: /dev/ttyUSB1",
         "wake-up 0:13", "", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        now += r.advance;
        if (r.step)
            r.step();
        else
            fprog->Refresh();
        EXPECT_EQ(P().LabelPort->text(), r.port);
        EXPECT_EQ(P().LabelWakeUp->text(), r.wakeUp);
        EXPECT_EQ(P().LabelTimeLeft->text(), r.timeLeft);
        EXPECT_EQ(P().ProgressBar1->value(), r.bar);
        EXPECT_EQ(P().LabelConverter->text(), r.note);
    }
    EXPECT_TRUE(fprog->Ticking()); // until the download reports its end
    report(DownloadPhase::Finished, 0, 0, 0, "");
    EXPECT_FALSE(fprog->Ticking());
    fprog->SetClock({});
}

TEST_F(Windows, LogButtonShowsTheMonitorWithTheLinesAsTheyCome) {
    EXPECT_FALSE(Fmonitor->isVisible()); // hidden unless asked for
    MonitorWindowLog log(*Fmonitor);
    log.Add("banner line");
    ProgressDialogView(*fprog).BringToFront();
    Click(P().BtnLog);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Fmonitor));
    log.Add("Exit without save");
    EXPECT_EQ(Fmonitor->Form().Memo1->toPlainText(), "banner line\nExit without save\n");
    Fmonitor->hide();
    // Once "OK" has hidden the dialog, the wizard's "Log..." shows it on a settings page.
    ProgressDialogView(*fprog).ShowCancel(false); // a download's end
    ProgressDialogView(*fprog).ShowOk(true);
    Click(P().btnOK);
    EXPECT_FALSE(fprog->isVisible());
    EXPECT_FALSE(W().BtnLog->isVisible()); // the mode page
    ChooseMode(2);
    Click(W().BtnLog);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Fmonitor));
    EXPECT_TRUE(Fmonitor->isVisible());
    Fmonitor->hide();
}

TEST_F(Windows, SaveLogWritesEveryLineOrNamesTheFileItCouldNotWrite) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    MonitorWindowLog log(*Fmonitor);
    log.Add("SOFTWARE VERSION 01.8 \xE9");
    log.Add("Exit without save");
    log.Add("\x1b]0;PWNED\x07");
    const QString good = dir.filePath("saved.log");
    const QString bad = dir.filePath("missing/saved.log");
    Fmonitor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Fmonitor));
    struct Row {
        const char* name;
        QString chosen; // "" = cancelled
        bool written;
        int messages;
    };
    const Row rows[] = {{"cancelled", "", false, 0},
                        {"saved", good, true, 0},
                        {"folder missing", bad, false, 1},
                        {"a device", QStringLiteral("/dev/null"), false, 1}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        messages_.clear();
        QFile::remove(good);
        QString proposed;
        ScopedFileChoice choice([&r, &proposed](QWidget*, FileChoiceKind kind, const QString&,
                                                const QString&, const QString& name) {
            EXPECT_EQ(kind, FileChoiceKind::Save);
            proposed = name;
            return r.chosen;
        });
        Click(Fmonitor->Form().BtnSaveLog);
        // A dated text file is proposed.
        EXPECT_TRUE(QFileInfo(proposed).fileName().startsWith("comsetup-log-"))
            << proposed.toStdString();
        EXPECT_TRUE(proposed.endsWith(".txt")) << proposed.toStdString();
        EXPECT_EQ(QFile::exists(good), r.written);
        ASSERT_EQ(messages_.size(), r.messages);
        if (r.messages > 0) {
            EXPECT_TRUE(messages_[0].contains(r.chosen)) << messages_[0].toStdString();
        }
        if (r.written) {
            QFile file(good);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), QByteArray("SOFTWARE VERSION 01.8 \xE9\nExit without save\n"
                                                 "\\x1b]0;PWNED\\x07\n"));
        }
    }
}

TEST_F(Windows, MonitorLogCountsAddedLinesAndKeepsEveryByte) {
    MonitorWindowLog log(*Fmonitor);
    EXPECT_EQ(log.Count(), 0);
    EXPECT_EQ(log.Line(0), "");
    log.Add("first");
    log.Add("");
    log.Add("Exit without save \xE9");
    EXPECT_EQ(log.Count(), 3);
    EXPECT_EQ(log.Line(0), "first");
    EXPECT_EQ(log.Line(1), "");
    EXPECT_EQ(log.Line(2), "Exit without save \xE9"); // a byte above 127 comes back unchanged
    EXPECT_EQ(log.Line(3), "");
    EXPECT_EQ(log.Line(-1), "");

    // Text a user typed after the last line counts as a line; the next one starts anew.
    QPlainTextEdit& memo = *Fmonitor->Form().Memo1;
    QTextCursor cursor(memo.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText("typed");
    EXPECT_EQ(log.Count(), 4);
    EXPECT_EQ(log.Line(3), "typed");
    log.Add("after");
    EXPECT_EQ(log.Count(), 5);
    EXPECT_EQ(log.Line(4), "after");

    Fmonitor->Form().Button1->click(); // the window is hidden; its handler still clears
    EXPECT_EQ(log.Count(), 0);
}

// The converter's menus keep their columns in the log; Esc closes the window like a dialog's.
TEST_F(Windows, MonitorLogIsFixedPitchAndEscClosesIt) {
    EXPECT_TRUE(QFontInfo(Fmonitor->Form().Memo1->font()).fixedPitch())
        << QFontInfo(Fmonitor->Form().Memo1->font()).family().toStdString();
    Fmonitor->ShowLog();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Fmonitor));
    MonitorWindowLog(*Fmonitor).Add("x");
    QTest::keyClick(Fmonitor->Form().Memo1, Qt::Key_X); // typing stays typing
    EXPECT_TRUE(Fmonitor->isVisible());
    QTest::keyClick(Fmonitor->Form().Memo1, Qt::Key_Escape);
    EXPECT_FALSE(Fmonitor->isVisible());
    EXPECT_TRUE(Fmonitor->Form().Memo1->toPlainText().startsWith("x")); // kept for "Log..."
}

TEST_F(Windows, MonitorWindowHasItsPlaceAndClearButton) {
    Fmonitor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Fmonitor));
    EXPECT_EQ(Fmonitor->Form().Panel1->height(), 50);
    EXPECT_EQ(Fmonitor->Form().Button1->geometry(), QRect(320, 16, 75, 25));
    EXPECT_EQ(Fmonitor->Form().Memo1->geometry().bottom() + 1, Fmonitor->Form().Panel1->y());
    EXPECT_FALSE(Fmonitor->Form().Memo1->isReadOnly());
    MonitorWindowLog(*Fmonitor).Add("x");
    Click(Fmonitor->Form().Button1);
    EXPECT_EQ(MonitorWindowLog(*Fmonitor).Count(), 0);
    Fmonitor->hide();
}

} // namespace
} // namespace comsetup::test
