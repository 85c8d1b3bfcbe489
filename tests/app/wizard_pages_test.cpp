// The wizard's pages: start-up state, "Next -->", the mode boxes, the page of each mode and
// "MASTER SIDE", worked through real clicks.
#include "app_fixture.h"

#include "ui_tfmain.h"
#include "ui_tfmonitor.h"
#include "ui_tfprog.h"

#include "app/combo_box.h"
#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "app/wizard_form.h"
#include "serial/port_names.h"
#include "widgets/range_edit.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QStyleOptionGroupBox>
#include <QTest>

namespace comsetup::test {
namespace {

class WizardPages : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        StartProgram();
    }

    // The controls of the settings pages.
    void ExpectSettingsPage(int page) {
        EXPECT_EQ(stat_wiz, page);
        EXPECT_FALSE(W().pan_mode->isVisible());
        EXPECT_EQ(W().pan_remcom->isVisible(), page == 1);
        EXPECT_EQ(W().pan_pp->isVisible(), page == 2);
        EXPECT_EQ(W().pan_pm->isVisible(), page == 3);
        EXPECT_TRUE(W().gb_lan->isVisible());
        EXPECT_TRUE(W().gb_ser->isVisible());
        EXPECT_TRUE(W().GB_Gateway->isVisible());
        EXPECT_EQ(W().gb_tun->isVisible(), page >= 2);
        EXPECT_EQ(W().cb_broadcast->isVisible(), page == 3);
        EXPECT_TRUE(W().Label8->isVisible());
        EXPECT_TRUE(W().cb_com->isVisible());
        EXPECT_EQ(W().Label1->text(), "Configuration Parameters");
        EXPECT_EQ(W().Button1->text(), "DownLoad");
        for (TRangeEdit* f : {W().re_smb1, W().re_smb2, W().re_smb3, W().re_smb4})
            EXPECT_TRUE(f->isEnabled());
        QWidget* shown = page == 1 ? W().pan_remcom : page == 2 ? W().pan_pp : W().pan_pm;
        EXPECT_EQ(shown->pos(), QPoint(0, 40));
    }
};

TEST_F(WizardPages, StartUpCreatesFourWindowsAndShowsOnlyTheWizardOnItsModePage) {
    EXPECT_EQ(F_selmode, &windows_->Wizard());
    EXPECT_EQ(Fmain, &windows_->Main());
    EXPECT_EQ(Fmonitor, &windows_->Monitor());
    EXPECT_EQ(fprog, &windows_->Progress());
    EXPECT_TRUE(F_selmode->isVisible());
    EXPECT_FALSE(Fmain->isVisible());
    EXPECT_FALSE(Fmonitor->isVisible());
    EXPECT_FALSE(fprog->isVisible());

    EXPECT_EQ(F_selmode->windowTitle(), "Select Modality ");
    EXPECT_EQ(Fmain->windowTitle(), "Corvalen  Remote Com Port setup");
    EXPECT_EQ(Fmonitor->windowTitle(), "Monitor");
    EXPECT_EQ(fprog->windowTitle(), "Setup progress");

    EXPECT_EQ(stat_wiz, 0);
    EXPECT_TRUE(W().pan_mode->isVisible());
    for (QWidget* hidden :
         {static_cast<QWidget*>(W().pan_remcom), static_cast<QWidget*>(W().pan_pp),
          static_cast<QWidget*>(W().pan_pm), static_cast<QWidget*>(W().gb_lan),
          static_cast<QWidget*>(W().gb_ser), static_cast<QWidget*>(W().gb_tun),
          static_cast<QWidget*>(W().GB_Gateway), static_cast<QWidget*>(W().cb_broadcast),
          static_cast<QWidget*>(W().Label8), static_cast<QWidget*>(W().cb_com)})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    EXPECT_EQ(W().Label1->text(), "Select the Operating Modality");
    EXPECT_EQ(W().Button1->text(), "Next -->");
    EXPECT_EQ(W().Label24->text(), "Ver. 3.100");
    EXPECT_FALSE(W().cb_m1->isChecked() || W().cb_m2->isChecked() || W().cb_m3->isChecked());
    EXPECT_EQ(W().pan_mode->pos(), QPoint(0, 40));
    // The mode pictures are there, 400 x 134, shown from their top-left corner.
    for (QLabel* image : {W().Image1, W().Image2, W().Image3, W().Image4, W().Image5, W().Image6}) {
        ASSERT_FALSE(image->pixmap().isNull()) << image->objectName().toStdString();
        EXPECT_EQ(image->pixmap().size(), QSize(400, 134));
        EXPECT_FALSE(image->hasScaledContents());
    }
    // The outer size is 429 x 520 on the frame the window has (a nominal one offscreen).
    const QMargins frame = F_selmode->windowHandle()->frameMargins().isNull()
                               ? QMargins(3, 25, 3, 3)
                               : F_selmode->windowHandle()->frameMargins();
    EXPECT_EQ(F_selmode->size().grownBy(frame), QSize(429, 520));
    // The bottom band sits at the bottom, the button inside it.
    EXPECT_EQ(W().Panel2->geometry().bottom(), F_selmode->height() - 1);
}

// The wizard is drawn with its mode page only; the settings pages and the hidden windows
// come after that first paint, or at once when something needs them sooner.
class WizardBuiltInTwoSteps : public WizardPages {
protected:
    void SetUp() override { AppFixture::SetUp(); }
    void Create() {
        windows_ = std::make_unique<AppWindows>([] { return PortEntries{{"/dev/ttyS7", {}}}; });
    }
};

// Records what existed when the window was first painted.
class FirstPaintRecorder : public QObject {
public:
    explicit FirstPaintRecorder(TF_selmode& wizard) : wizard_(wizard) {
        wizard.installEventFilter(this);
    }
    bool painted = false, settingsAtPaint = false, mainAtPaint = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            settingsAtPaint = wizard_.SettingsPagesBuilt();
            mainAtPaint = Fmain != nullptr;
        }
        return false;
    }

private:
    TF_selmode& wizard_;
};

TEST_F(WizardBuiltInTwoSteps, TheRestFollowsTheFirstPaintUnasked) {
    Create();
    EXPECT_FALSE(windows_->Wizard().SettingsPagesBuilt());
    EXPECT_FALSE(windows_->RestBuilt());
    EXPECT_EQ(Fmain, nullptr);
    FirstPaintRecorder recorder(windows_->Wizard());
    ShowWizard(*windows_);
    ASSERT_TRUE(WaitFor([this] { return windows_->RestBuilt(); }, 5000));
    EXPECT_TRUE(recorder.painted);
    EXPECT_FALSE(recorder.settingsAtPaint);
    EXPECT_FALSE(recorder.mainAtPaint);
    EXPECT_EQ(Fmain, &windows_->Main());
    EXPECT_EQ(W().cb_com->itemText(9), "/dev/ttyS7");
    EXPECT_FALSE(W().gb_lan->isVisible()); // still the mode page
}

TEST_F(WizardBuiltInTwoSteps, ASettingsPageAskedForBeforeThePaintIsBuiltThere) {
    Create();
    ShowWizard(*windows_); // shown, not yet painted: the event loop has not run
    windows_->Wizard().Frame().cb_m2->setChecked(true);
    windows_->Wizard().Button1Click(nullptr);
    ASSERT_TRUE(windows_->RestBuilt());
    ExpectSettingsPage(2);
    EXPECT_EQ(W().cb_com->itemText(9), "/dev/ttyS7");
    EXPECT_EQ(M().cb_com->itemText(9), "/dev/ttyS7");
    // Painted afterwards, the page stays as it is.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&windows_->Wizard()));
    QCoreApplication::processEvents();
    ExpectSettingsPage(2);
}

TEST_F(WizardPages, NextWithoutModeAsksForOneAndStaysOnTheModePage) {
    PressButton1();
    EXPECT_EQ(messages_, QStringList{"Select One Option"});
    EXPECT_EQ(stat_wiz, 0);
    EXPECT_EQ(W().Label1->text(), "Select the Operating Modality");
    EXPECT_EQ(W().Button1->text(), "Next -->");
    EXPECT_TRUE(W().pan_mode->isVisible());
}

TEST_F(WizardPages, ModeBoxesAllowAtMostOneModeAndNone) {
    Click(W().cb_m1);
    EXPECT_TRUE(W().cb_m1->isChecked());
    Click(W().cb_m2);
    EXPECT_TRUE(W().cb_m2->isChecked());
    EXPECT_FALSE(W().cb_m1->isChecked());
    EXPECT_FALSE(W().cb_m3->isChecked());
    Click(W().cb_m3);
    EXPECT_TRUE(W().cb_m3->isChecked());
    EXPECT_FALSE(W().cb_m2->isChecked());
    Click(W().cb_m3); // the checked box again: no mode left
    EXPECT_FALSE(W().cb_m1->isChecked() || W().cb_m2->isChecked() || W().cb_m3->isChecked());
    // A box checked from code has the same effect as a click.
    W().cb_m1->setChecked(true);
    W().cb_m2->setChecked(true);
    EXPECT_FALSE(W().cb_m1->isChecked());
    PressButton1();
    EXPECT_EQ(stat_wiz, 2);
}

TEST_F(WizardPages, EachModeHasItsSettingsPage) {
    for (int mode = 1; mode <= 3; ++mode) {
        SCOPED_TRACE(mode);
        windows_.reset();
        StartProgram();
        ChooseMode(mode);
        EXPECT_TRUE(messages_.isEmpty());
        ExpectSettingsPage(mode);
        if (mode == 3) {
            EXPECT_EQ(W().gb_lan->title(), "CLIENT LAN CONFIG");
            EXPECT_EQ(W().gb_tun->title(), "MASTER IP");
            EXPECT_FALSE(W().cb_broadcast->isChecked());
        } else {
            EXPECT_EQ(W().gb_lan->title(), "EtherNet to RS232/485 LAN config");
            EXPECT_EQ(W().gb_tun->title(), "Tunneling");
        }
        // The form's values are on the page; the hidden parts of the form stay hidden.
        EXPECT_EQ(W().re_ipb1->text(), "192");
        EXPECT_EQ(W().are_ipb4->text(), "201");
        EXPECT_EQ(W().RangeEdit1->text(), "10001");
        EXPECT_EQ(W().cb_com->currentText(), "COM1");
        EXPECT_EQ(W().cb_com->currentIndex(), -1);
        EXPECT_EQ(W().cb_br->currentText(), "9600");
        EXPECT_EQ(W().cb_br->currentIndex(), -1);
        EXPECT_EQ(W().cb_fc->currentText(), "none");
        EXPECT_FALSE(W().port_rem->isVisible());
        EXPECT_FALSE(W().ComboBox3->isVisible());
    }
}

TEST_F(WizardPages, MasterSideHidesThePeerAddressAndRenamesTheLanGroup) {
    ChooseMode(3);
    Click(W().cb_broadcast);
    EXPECT_FALSE(W().gb_tun->isVisible());
    EXPECT_FALSE(W().Label20->isVisibleTo(W().gb_tun));
    EXPECT_EQ(W().gb_lan->title(), "MASTER LAN CONFIG");
    // In the peer address's place: the peer the download sends, following address and mask.
    ASSERT_TRUE(W().gb_peer_sent->isVisible());
    EXPECT_TRUE(W().ed_peer_sent->isReadOnly());
    EXPECT_EQ(W().ed_peer_sent->text(), "192.168.1.255");
    // The newer firmware is sent no address for the master side, only its "answer broadcasts".
    EXPECT_EQ(W().lbl_peer_firmware->text(),
              "as firmware 01.8 takes it;\nV6.5.0.7 takes no address");
    EXPECT_TRUE(W().lbl_peer_firmware->isVisible());
    Type(W().re_smb3, "240");
    EXPECT_EQ(W().ed_peer_sent->text(), "192.168.15.255");
    Type(W().re_smb3, "241");
    EXPECT_EQ(W().ed_peer_sent->text(), "(mask refused)");
    Type(W().re_smb3, "255");
    Click(W().cb_broadcast);
    EXPECT_FALSE(W().gb_peer_sent->isVisible());
    EXPECT_TRUE(W().gb_tun->isVisible());
    EXPECT_TRUE(W().Label20->isVisible());
    EXPECT_EQ(W().gb_lan->title(), "CLIENT LAN CONFIG");
    EXPECT_EQ(W().gb_tun->title(), "MASTER IP");
}

TEST_F(WizardPages, ShowingTheWizardAgainReturnsToTheModePageKeepingTheFields) {
    ChooseMode(2);
    Type(W().re_ipb4, "77");
    F_selmode->hide();
    F_selmode->show();
    EXPECT_EQ(stat_wiz, 0);
    EXPECT_TRUE(W().pan_mode->isVisible());
    EXPECT_FALSE(W().gb_lan->isVisible());
    EXPECT_EQ(W().re_ipb4->text(), "77");
}

// "<-- Back" leads to the mode page as it was before a mode was chosen, keeping every value;
// a page reached afterwards shows its own captions, and "MASTER SIDE" counts on page 3 only.
TEST_F(WizardPages, BackReturnsToTheModePageKeepingTheValues) {
    EXPECT_FALSE(W().BtnBack->isVisible());
    ChooseMode(3);
    EXPECT_TRUE(W().BtnBack->isVisible());
    W().cb_broadcast->setChecked(true);
    Type(W().re_ipb4, "77");
    Click(W().BtnBack);
    EXPECT_EQ(stat_wiz, 0);
    EXPECT_TRUE(W().pan_mode->isVisible());
    for (QWidget* gone :
         std::initializer_list<QWidget*>{W().pan_pm, W().gb_lan, W().gb_tun, W().Label8, W().cb_com,
                                         W().BtnBack, W().BtnOpen, W().BtnSave})
        EXPECT_FALSE(gone->isVisible()) << gone->objectName().toStdString();
    EXPECT_EQ(W().Label1->text(), "Select the Operating Modality");
    EXPECT_EQ(W().Button1->text(), "Next -->");
    EXPECT_TRUE(W().cb_m3->isChecked());

    struct Row {
        int mode;
        QString lanTitle, tunTitle;
        bool tunnelShown, remoteLabelShown;
    };
    // Page 1 straight after page 3 first: nothing of the master side may stay on it.
    const Row rows[] = {{1, "EtherNet to RS232/485 LAN config", "Tunneling", false, true},
                        {2, "EtherNet to RS232/485 LAN config", "Tunneling", true, true},
                        {3, "MASTER LAN CONFIG", "MASTER IP", false, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mode);
        if (stat_wiz != 0)
            Click(W().BtnBack);
        ChooseMode(r.mode);
        if (r.tunnelShown == (r.mode >= 2))
            ExpectSettingsPage(r.mode); // (a master's page hides the tunnel group)
        EXPECT_EQ(W().gb_lan->title(), r.lanTitle);
        EXPECT_EQ(W().gb_tun->title(), r.tunTitle);
        EXPECT_EQ(W().gb_tun->isVisible(), r.tunnelShown);
        EXPECT_EQ(W().Label20->isVisibleTo(W().gb_tun), r.remoteLabelShown);
        EXPECT_EQ(W().gb_peer_sent->isVisible(), r.mode == 3);
        EXPECT_EQ(W().re_ipb4->text(), "77");
        EXPECT_TRUE(W().cb_broadcast->isChecked()); // kept, though hidden on pages 1 and 2
        messages_.clear();
        PressButton1(); // COM1 does not open here: the copy is done, the download ends at once
        EXPECT_EQ(M().CB_BRCast->isChecked(), r.mode == 3);
        EXPECT_EQ(M().are_ipb4->text(), r.mode == 3 ? "255" : "201");
    }
}

TEST_F(WizardPages, PortListsHoldComOneToNineThenTheDevicesFoundThenAuto) {
    windows_.reset();
    // A device found under a COM name (as Windows names them) describes that entry.
    StartProgram({{"/dev/ttyUSB0", "FT232R USB UART"},
                  {"/dev/ttyACM3", {}},
                  {"com3", "USB Serial Port (COM3)"}});
    const auto description = [](QComboBox* box, int row) {
        return box->itemData(row, ComboBox::kDescriptionRole).toString();
    };
    // The device COM1 opens, where it is another name (/dev/ttyS0; on Windows COM1 itself).
    const QString com1 = QString::fromStdString(ResolvePortName("COM1"));
    const QString com1Device = com1 == "COM1" ? QString() : com1;
    for (QComboBox* box : {W().cb_com, M().cb_com}) {
        ASSERT_EQ(box->count(), 12);
        EXPECT_EQ(box->itemText(0), "COM1");
        EXPECT_EQ(description(box, 0), com1Device);
        EXPECT_EQ(description(box, 2), "USB Serial Port (COM3)");
        EXPECT_EQ(box->itemText(8), "COM9");
        EXPECT_EQ(box->itemText(9), "/dev/ttyUSB0");
        EXPECT_EQ(description(box, 9), "FT232R USB UART");
        EXPECT_EQ(box->itemText(10), "/dev/ttyACM3");
        EXPECT_EQ(description(box, 10), "");
        EXPECT_EQ(box->itemText(11), "Auto");
        EXPECT_EQ(box->currentIndex(), -1);
        EXPECT_EQ(box->currentText(), "COM1");
    }
    // A long device path in the narrow box shows its start, and the whole of it on hover,
    // with what the system calls the device; so does a COM name with the device it opens.
    ChooseMode(1);
    if (!com1Device.isEmpty()) { // a COM name that is its own device has nothing more to say
        EXPECT_EQ(W().cb_com->toolTip(), "COM1 \u2014 " + com1Device);
    }
    W().cb_com->setCurrentIndex(9);
    EXPECT_EQ(W().cb_com->lineEdit()->cursorPosition(), 0);
    EXPECT_EQ(W().cb_com->currentText(), "/dev/ttyUSB0"); // the name alone is what is opened
    EXPECT_EQ(W().cb_com->toolTip(), "/dev/ttyUSB0 \u2014 FT232R USB UART");
    W().cb_com->setCurrentIndex(10);
    EXPECT_EQ(W().cb_com->toolTip(), "/dev/ttyACM3");
}

// The keyboard alone works the wizard: it starts on the first mode box, Enter and Return press
// a focused button (from a mode box, "Next -->"), and Tab follows the form from top to bottom,
// the left column before the right one, then the bottom band.
TEST_F(WizardPages, KeyboardStartsOnTheFirstModeAndTabFollowsTheForm) {
    for (Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(enter);
        windows_.reset();
        StartProgram({{"/nonexistent/ttyUSB7", {}}});
        messages_.clear();
        EXPECT_EQ(F_selmode->focusWidget(), W().cb_m1);
        QTest::keyClick(W().cb_m1, Qt::Key_Space);
        QTest::keyClick(W().cb_m1, enter); // "Next -->" from the mode box
        EXPECT_EQ(stat_wiz, 1);
        EXPECT_EQ(F_selmode->focusWidget(), W().re_ipb1); // not "DownLoad"
        W().BtnBack->setFocus();
        QTest::keyClick(W().BtnBack, enter);
        EXPECT_EQ(stat_wiz, 0);
        EXPECT_EQ(F_selmode->focusWidget(), W().cb_m1); // the mode chosen
        W().Button1->setFocus();
        QTest::keyClick(W().Button1, enter); // "Next -->"
        EXPECT_EQ(stat_wiz, 1);
        W().cb_com->setCurrentIndex(9);
        W().Button1->setFocus();
        QTest::keyClick(W().Button1, enter); // "DownLoad"
        ASSERT_EQ(messages_.size(), 1);
        EXPECT_TRUE(messages_[0].startsWith("Error opening serial port :/nonexistent/ttyUSB7"));
    }

    const auto tabbed = [this](int mode, bool useGateway = false) {
        windows_.reset();
        StartProgram();
        ChooseMode(mode);
        W().CB_UseGateway->setChecked(useGateway);
        QStringList names;
        for (int i = 0; i < 40; ++i) {
            QWidget* focused = F_selmode->focusWidget();
            QWidget* control = qobject_cast<QComboBox*>(focused->parentWidget())
                                   ? focused->parentWidget()
                                   : focused;
            if (!names.isEmpty() && control->objectName() == names.front())
                break;
            names << control->objectName();
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        return names;
    };
    const QStringList lan = {"re_ipb1", "re_ipb2", "re_ipb3", "re_ipb4",   "re_smb1",
                             "re_smb2", "re_smb3", "re_smb4", "RangeEdit1"};
    // The gateway's fields are greyed, and skipped, while "Use Gateway" is off.
    const QStringList gatewayAndSerial = {"CB_UseGateway", "cb_br", "cb_pa", "cb_sb", "cb_fc"};
    const QStringList gatewayFields = {"RE_Gat1", "RE_Gat2", "RE_Gat3", "RE_Gat4"};
    const QStringList tunnel = {"are_ipb1", "are_ipb2", "are_ipb3", "are_ipb4"};
    const QStringList bands = {"BtnBack", "cb_com",     "Button1", "BtnOpen",
                               "BtnSave", "BtnJournal", "BtnLog"};
    // "Check the address on this PC's network", right of "MASTER SIDE" above the groups.
    const QStringList lanCheck = {"cb_lancheck"};
    EXPECT_EQ(tabbed(1), lan + gatewayAndSerial + bands + lanCheck);
    EXPECT_EQ(tabbed(2), lan + gatewayAndSerial + tunnel + bands + lanCheck);
    EXPECT_EQ(tabbed(3),
              lan + gatewayAndSerial + tunnel + bands + QStringList{"cb_broadcast"} + lanCheck);
    EXPECT_EQ(tabbed(1, true), lan + QStringList{"CB_UseGateway"} + gatewayFields +
                                   gatewayAndSerial.mid(1) + bands + lanCheck);
}

// Under a dark theme the mode boxes' captions, drawn on their pictures (which keep their own
// light colours), must still read: their text colour stands apart from the picture under
// each letter's cell, as much as black text on the light theme's window does.
TEST_F(WizardPages, ModeCaptionsReadOnTheirPicturesUnderADarkTheme) {
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        dark.setColor(role, QColor(0x30, 0x30, 0x30));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(0xEE, 0xEE, 0xEE));
    const auto luma = [](const QColor& c) {
        return (299 * c.red() + 587 * c.green() + 114 * c.blue()) / 1000;
    };
    for (const bool darkTheme : {false, true}) {
        QApplication::setPalette(darkTheme ? dark : saved);
        windows_.reset();
        StartProgram();
        const std::pair<QCheckBox*, QLabel*> boxes[] = {
            {W().cb_m1, W().Image1}, {W().cb_m2, W().Image2}, {W().cb_m3, W().Image3}};
        for (const auto& [box, image] : boxes) {
            const QImage picture = image->pixmap().toImage();
            const qreal ratio = image->pixmap().devicePixelRatio();
            const QColor text = box->palette().color(QPalette::Active, box->foregroundRole());
            // Along the caption's middle line, after the indicator.
            const QPoint origin = box->pos() - image->pos();
            const int y = origin.y() + box->height() / 2;
            const int textWidth = QFontMetrics(box->font()).horizontalAdvance(box->text());
            const int textLeft = box->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                                 box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
            for (int x = textLeft; x < textLeft + textWidth; x += 4) {
                const QColor under =
                    picture.pixelColor(QPointF((origin.x() + x) * ratio, y * ratio).toPoint());
                EXPECT_GE(std::abs(luma(text) - luma(under)), 96)
                    << box->text().toStdString() << " at " << x
                    << (darkTheme ? ", dark" : ", light") << " theme: text "
                    << text.name().toStdString() << " on " << under.name().toStdString();
            }
        }
    }
    QApplication::setPalette(saved);
}

// Every caption of the wizard's pages must fit its control: clipped texts are what a user of
// another font or platform would see first.
TEST_F(WizardPages, CaptionsFitTheirControlsOnEveryPage) {
    for (int mode = 1; mode <= 3; ++mode) {
        windows_.reset();
        StartProgram();
        if (mode == 3)
            W().cb_broadcast->setChecked(true);
        const auto check = [&](const char* page) {
            for (QLabel* label : F_selmode->findChildren<QLabel*>()) {
                if (label->text().isEmpty() || !label->isVisible())
                    continue;
                const QFontMetrics fm(label->font());
                for (const QString& line : label->text().split('\n'))
                    EXPECT_LE(fm.horizontalAdvance(line), label->width())
                        << page << ": " << label->text().toStdString();
            }
            for (QCheckBox* box : F_selmode->findChildren<QCheckBox*>()) {
                if (!box->isVisible())
                    continue;
                EXPECT_LE(box->sizeHint().width(), box->width())
                    << page << ": " << box->text().toStdString();
            }
            for (QGroupBox* group : F_selmode->findChildren<QGroupBox*>()) {
                if (!group->isVisible())
                    continue;
                QStyleOptionGroupBox option;
                option.initFrom(group);
                option.text = group->title();
                option.subControls = QStyle::SC_GroupBoxLabel;
                const QRect label = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                                   QStyle::SC_GroupBoxLabel, group);
                EXPECT_LE(QFontMetrics(group->font()).horizontalAdvance(group->title()),
                          label.width())
                    << page << ": " << group->title().toStdString();
                EXPECT_LE(label.right(), group->width() - 1) << group->title().toStdString();
            }
            // A list drops down as wide as its widest entry (with its description).
            for (QComboBox* box : F_selmode->findChildren<QComboBox*>()) {
                if (!box->isVisible() || box->count() == 0)
                    continue;
                box->showPopup();
                EXPECT_GE(box->view()->viewport()->width(), box->view()->sizeHintForColumn(0))
                    << page << ": " << box->objectName().toStdString();
                box->hidePopup();
            }
        };
        if (mode == 1)
            check("mode page");
        ChooseMode(mode);
        check(mode == 1 ? "remote COM port" : mode == 2 ? "point to point" : "point to multipoint");
    }
    // A choice too long for its closed box ends in "..." there and is whole in the tooltip.
    W().cb_fc->setCurrentIndex(3);
    EXPECT_EQ(W().cb_fc->toolTip(), "XON/XOFF pass characters to host");
    W().cb_fc->setCurrentIndex(1);
    EXPECT_EQ(W().cb_fc->toolTip(), ""); // "XON/XOFF" fits
}

} // namespace
} // namespace comsetup::test
