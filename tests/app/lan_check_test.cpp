// The wizard's LAN check, end to end on the offscreen platform: the test's thread (the GUI's)
// enters a "PC" network namespace of the test's own, whose only link is a veth to a "LAN"
// namespace where the converter stand-in runs with --lan and comes up at the address written.
// Root only (entering a namespace from within the process); skipped with the reason otherwise.
#include "app_fixture.h"
#include "tests/support/lan_namespaces.h"
#include "tests/support/sim_process.h"

#include "ui_tfprog.h"

#include "app/converter_series.h"
#include "app/gui_lan_check.h"
#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfprog.h"
#include "app/wizard_form.h"
#include "widgets/range_edit.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace comsetup::test {
namespace {

using namespace std::chrono_literals;

// Every test here runs inside the namespaces LanNamespaces makes (`unshare --net`, a PC and a
// LAN joined by a veth) and enters the PC one before the check is turned on; where no
// namespace can be made, the test is skipped before anything could be sent.
class LanCheckFlow : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        std::string whyNot;
        net_ = LanNamespaces::Make(whyNot);
        if (!net_) {
            GTEST_SKIP() << "no network namespaces here: " << whyNot;
        }
        entered_ = net_->EnterPc(whyNot);
        if (!entered_) {
            GTEST_SKIP() << whyNot;
        }
    }
    void TearDown() override {
        AppFixture::TearDown();
        sim_.reset();
        SetLanCheckWanted(false);
        entered_.reset();
        net_.reset();
    }
    // The stand-in in the LAN namespace, chosen in the wizard's port list after COM9; the
    // remote-COM page with the check box ticked and the converter's address typed.
    void StartWith(const std::vector<std::string>& lanOptions) {
        std::vector<std::string> argv{
            SimProgram(),     "--firmware", "01.8",    "--off-time", "300",
            "--restart-time", "1000",       "--quiet", "--lan",      "lan0"};
        argv.insert(argv.end(), lanOptions.begin(), lanOptions.end());
        std::vector<std::string> inLan = net_->InLan(argv);
        const std::string nsenter = inLan.front();
        inLan.erase(inLan.begin());
        sim_ = std::make_unique<SimProcess>(inLan, nsenter);
        ASSERT_FALSE(sim_->PtyPath().empty()) << "comsetup-sim did not start";
        StartProgram({PortEntry{QString::fromStdString(sim_->PtyPath()), {}}});
        ChooseMode(1);
        auto* box = F_selmode->findChild<QCheckBox*>(QStringLiteral("cb_lancheck"));
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_FALSE(box->isChecked()); // off at first start
        Click(box);
        EXPECT_TRUE(LanCheckWanted()); // remembered
        W().cb_com->setCurrentIndex(9);
    }

    std::unique_ptr<LanNamespaces> net_;
    std::unique_ptr<LanNamespaces::Entered> entered_;
    std::unique_ptr<SimProcess> sim_;
};

// The converter comes up at its new address: the dialog looked for it under the written line,
// then says where it answered, with its MAC and its port open.
TEST_F(LanCheckFlow, ConverterFoundAfterTheWriteIsShownUnderTheWrittenLine) {
    StartWith({"--boot-time", "1500"});
    QStringList looking;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QString detail = P().LabelDetail->text();
        if (detail.contains(QStringLiteral("looking for")) && P().BtnCancel->isVisibleTo(fprog))
            looking << detail;
    });
    watch.start(100);
    PressButton1(); // returns when the download and the wait have ended
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
    EXPECT_EQ(P().Label2->text(), "Setup Complete");
    ASSERT_FALSE(looking.isEmpty());
    EXPECT_TRUE(looking.front().startsWith(
        QStringLiteral("192.168.1.200/24, 9600 8N1, port 10001, saved by firmware 01.8\n"
                       "looking for 192.168.1.200 on pc0\u2026 ")))
        << looking.front().toStdString();
    const QString detail = P().LabelDetail->text();
    EXPECT_TRUE(detail.startsWith(
        QStringLiteral("192.168.1.200/24, 9600 8N1, port 10001, saved by firmware 01.8\nanswers "
                       "at 192.168.1.200 (MAC 02:00:5e:10:00:01, TCP port 10001 open) after ")))
        << detail.toStdString();
    EXPECT_TRUE(P().btnOK->isVisibleTo(fprog));
    EXPECT_FALSE(P().BtnCancel->isVisibleTo(fprog));
}

// Cancel during the wait ends the wait only: the setup is complete and says so.
TEST_F(LanCheckFlow, CancelDuringTheWaitEndsOnlyTheWait) {
    StartWith({"--lan-fail", "silent"});
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (P().LabelDetail->text().contains(
                QStringLiteral("looking for 192.168.1.200 on pc0\u2026 2 s")))
            P().BtnCancel->click();
    });
    watch.start(50);
    PressButton1();
    EXPECT_EQ(P().Label2->text(), "Setup Complete");
    // Pressed at 2 s or a little later; the wait ends when the probe under way does.
    EXPECT_TRUE(P().LabelDetail->text().contains(
        QStringLiteral("stopped looking for 192.168.1.200 after ")))
        << P().LabelDetail->text().toStdString();
    EXPECT_TRUE(
        P().LabelDetail->text().endsWith(QStringLiteral(" (cancelled): the setup is complete")));
}

// Another device holds the address: the technician is asked; "no" writes nothing.
TEST_F(LanCheckFlow, TakenAddressIsAskedAboutAndNotWrittenOnNo) {
    ASSERT_TRUE(net_->RunInLan("ip addr add 192.168.1.200/24 dev lan0"));
    StartWith({});
    QStringList asked;
    ScopedUnitConfirmation decline([&](QWidget*, const QString& text) {
        asked << text;
        return false;
    });
    PressButton1();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked.front(), "192.168.1.200 already answers on pc0 (MAC 02:00:5e:10:00:01). If "
                             "that is not this converter, two devices will share the address. "
                             "Write it anyway?");
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(sim_->Output().find("download 1"), std::string::npos) << sim_->Output();
}

} // namespace
} // namespace comsetup::test
