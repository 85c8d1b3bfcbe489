// The hidden windows: the main setup window's form and tunnel "Enable", the progress dialog's
// buttons and keys, and the monitor's log.
#include "app_fixture.h"

#include "ui_tfmain.h"
#include "ui_tfmonitor.h"
#include "ui_tfprog.h"

#include "app/gui_views.h"
#include "app/memo_lines.h"
#include "app/tfmain.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "widgets/range_edit.h"

#include <QPlainTextEdit>
#include <QTest>

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
    EXPECT_EQ(fprog->size(), QSize(265, 79));
    EXPECT_EQ(P().BtnCancel->geometry(), QRect(88, 48, 75, 25));
    EXPECT_EQ(P().btnOK->geometry(), QRect(88, 48, 75, 25));

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
    fprog->close(); // the close box hides without cancelling
    EXPECT_FALSE(fprog->isVisible());
    EXPECT_FALSE(CancelSetup);

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
    EXPECT_EQ(P().Label2->text(), "Setup Complete"); // the dialog keeps its state for later
    EXPECT_FALSE(P().BtnCancel->icon().isNull());
    EXPECT_FALSE(P().btnOK->icon().isNull());
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
