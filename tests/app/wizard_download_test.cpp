// "DownLoad" on the wizard's settings page: the subnet mask check, every value handed to the
// main setup window (numbers by value, check boxes by state, combo boxes by position), the
// tunnel "Enable", "MASTER SIDE" and the start of the download. The ports named here do not
// exist, so each download ends quickly with the port message.
#include "app_fixture.h"

#include "ui_tfmain.h"
#include "ui_tfprog.h"

#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "app/wizard_form.h"
#include "download/setup_rules.h"
#include "widgets/range_edit.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <array>

namespace comsetup::test {
namespace {

const QString kMaskMessage = QString::fromLatin1(kSubnetMaskMessage.data(),
                                                 static_cast<qsizetype>(kSubnetMaskMessage.size()));
// COM1 is pinned to a device that does not exist, so that the cause is the same everywhere
// (on Windows, the test harness's Wine prefix maps COM1 to a plain file).
#ifdef _WIN32
const QString kPortMessage = QStringLiteral("Error opening serial port :COM1\nnot a serial device");
#else
const QString kPortMessage =
    QStringLiteral("Error opening serial port :COM1\nno such device (COM1 is /nonexistent/com1; "
                   "COMSETUP_COM1 can name another device)");
#endif

class WizardDownload : public AppFixture {
protected:
    void SetUp() override {
        qputenv("COMSETUP_COM1", "/nonexistent/com1");
        AppFixture::SetUp();
        StartProgram({PortEntry{"/nonexistent/ttyUSB7", {}}});
    }
    void TearDown() override {
        AppFixture::TearDown();
        qunsetenv("COMSETUP_COM1");
    }

    void TypeAddress(std::array<TRangeEdit*, 4> fields, std::array<int, 4> bytes) {
        for (int i = 0; i < 4; ++i)
            Type(fields[i], QString::number(bytes[i]));
    }
    std::array<TRangeEdit*, 4> WizardIp() {
        return {W().re_ipb1, W().re_ipb2, W().re_ipb3, W().re_ipb4};
    }
    std::array<TRangeEdit*, 4> WizardMask() {
        return {W().re_smb1, W().re_smb2, W().re_smb3, W().re_smb4};
    }
    static QStringList Texts(std::array<TRangeEdit*, 4> fields) {
        QStringList t;
        for (TRangeEdit* f : fields)
            t << f->text();
        return t;
    }
    QStringList MainIp() { return Texts({M().re_ipb1, M().re_ipb2, M().re_ipb3, M().re_ipb4}); }
    QStringList MainMask() { return Texts({M().re_smb1, M().re_smb2, M().re_smb3, M().re_smb4}); }
    QStringList MainRemote() {
        return Texts({M().are_ipb1, M().are_ipb2, M().are_ipb3, M().are_ipb4});
    }
    void TypeInto(QComboBox* box, const QString& text) {
        // A user types into the active wizard (a download leaves its dialog active).
        F_selmode->activateWindow();
        QApplication::setActiveWindow(F_selmode);
        QLineEdit* edit = box->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
};

TEST_F(WizardDownload, MaskOfAllowedContiguousBytesStartsTheDownload) {
    const std::array<std::array<int, 4>, 4> accepted{
        {{255, 255, 255, 0}, {255, 255, 240, 0}, {255, 255, 255, 252}, {0, 0, 0, 0}}};
    for (const auto& mask : accepted) {
        SCOPED_TRACE(mask[2]);
        windows_.reset();
        messages_.clear();
        StartProgram();
        ChooseMode(1);
        TypeAddress(WizardIp(), {192, 168, 1, 201}); // a host address under every mask
        TypeAddress(WizardMask(), mask);
        PressButton1();
        EXPECT_EQ(messages_, QStringList{kPortMessage});
        EXPECT_EQ(MainMask(), (QStringList{QString::number(mask[0]), QString::number(mask[1]),
                                           QString::number(mask[2]), QString::number(mask[3])}));
        EXPECT_EQ(P().Label2->text(), "Impossible to complete the Setup ");
    }
}

TEST_F(WizardDownload, RefusedMaskShowsTheMaskMessageAndCopiesOnlyTheAddress) {
    // 255.255.255.1 has a byte outside the list; 255.0.255.0 and 255.255.0.255 have allowed
    // bytes whose ones are not contiguous, which the converter cannot take as they are.
    const QString contiguous = QString::fromLatin1(kNonContiguousMaskMessage.data());
    const std::array<std::pair<std::array<int, 4>, QString>, 3> refused{
        {{{255, 255, 255, 1}, kMaskMessage},
         {{255, 0, 255, 0}, contiguous},
         {{255, 255, 0, 255}, contiguous}}};
    for (const auto& [mask, message] : refused) {
        SCOPED_TRACE(mask[1] * 1000 + mask[3]);
        windows_.reset();
        messages_.clear();
        StartProgram();
        ChooseMode(2);
        TypeAddress(WizardIp(), {10, 1, 2, 3});
        TypeAddress(WizardMask(), mask);
        Type(W().RangeEdit1, "2000");
        PressButton1();
        EXPECT_EQ(messages_, QStringList{message});
        EXPECT_EQ(MainIp(), (QStringList{"10", "1", "2", "3"}));
        EXPECT_EQ(MainMask(), (QStringList{"255", "255", "255", "0"}));
        EXPECT_EQ(M().RangeEdit1->text(), "10001");
        EXPECT_FALSE(M().cb_entunnel->isChecked());
        EXPECT_FALSE(fprog->isVisible());
        EXPECT_EQ(Fmonitor->Lines().Count(), 0);
        EXPECT_EQ(stat_wiz, 2);
        EXPECT_EQ(W().Button1->text(), "DownLoad");
    }
}

TEST_F(WizardDownload, EveryValueReachesTheMainWindow) {
    ChooseMode(2);
    TypeAddress(WizardIp(), {10, 20, 30, 40});
    TypeAddress(WizardMask(), {255, 255, 0, 0});
    Type(W().RangeEdit1, "4001");
    Click(W().CB_UseGateway); // the gateway's fields take input once it is used
    TypeAddress({W().RE_Gat1, W().RE_Gat2, W().RE_Gat3, W().RE_Gat4}, {10, 20, 0, 1});
    TypeAddress({W().are_ipb1, W().are_ipb2, W().are_ipb3, W().are_ipb4}, {10, 20, 30, 41});
    W().cb_br->setCurrentIndex(6);  // "19200" picked from the list
    W().cb_pa->setCurrentIndex(2);  // even
    W().cb_sb->setCurrentIndex(1);  // 2
    W().cb_fc->setCurrentIndex(3);  // XON/XOFF pass characters to host
    W().cb_com->setCurrentIndex(9); // the device found after COM9
    PressButton1();

    EXPECT_EQ(messages_,
              QStringList{"Error opening serial port :/nonexistent/ttyUSB7\nno such device"});
    const SetupValues v = Fmain->ReadSetupValues();
    EXPECT_EQ(v.portName, "/nonexistent/ttyUSB7");
    EXPECT_EQ(v.ip, (AddressBytes{10, 20, 30, 40}));
    EXPECT_EQ(v.mask, (AddressBytes{255, 255, 0, 0}));
    EXPECT_EQ(v.localPortText, "4001");
    EXPECT_TRUE(v.useGateway);
    EXPECT_EQ(v.gateway, (AddressBytes{10, 20, 0, 1}));
    EXPECT_EQ(v.remote, (AddressBytes{10, 20, 30, 41}));
    EXPECT_EQ(v.baudText, "19200");
    EXPECT_EQ(v.parityIndex, 2);
    EXPECT_EQ(v.stopBitsIndex, 1);
    EXPECT_EQ(v.flowIndex, 3);
    EXPECT_TRUE(v.tunnel);
    EXPECT_FALSE(v.broadcast);
    // Not offered by the wizard: the main window's own data bits and remote port.
    EXPECT_EQ(v.dataBitsText, "8");
    EXPECT_EQ(v.remotePort, 10001);
    // The combo boxes were handed over by position.
    EXPECT_EQ(M().cb_br->currentIndex(), 6);
    EXPECT_EQ(M().cb_com->currentIndex(), 9);
    // The tunnel "Enable" ran its handler.
    for (QWidget* c :
         {static_cast<QWidget*>(M().are_ipb1), static_cast<QWidget*>(M().are_ipb4),
          static_cast<QWidget*>(M().port_rem), static_cast<QWidget*>(M().cb_broadcast)})
        EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
}

// A text that is no whole number within its field's range would reach the converter as the
// field's last good value (300 typed digit by digit reads as 30): "DownLoad" refuses it with
// one message naming the field and its range, puts the focus there, and sends nothing.
TEST_F(WizardDownload, FieldOutOfItsRangeIsRefusedByName) {
    struct Case {
        int mode;
        TRangeEdit* Ui::TF_selmode::*field;
        QString text;
        QString message; // empty: not sent in this mode, so not checked
        bool useGateway = false;
        bool gatewayOffAfterTyping = false;
    };
    using W_ = Ui::TF_selmode;
    const Case cases[] = {
        {1, &W_::re_ipb4, "300", "IP address byte 4 must be 0 to 255"},
        {1, &W_::re_ipb3, "2.6", "IP address byte 3 must be a whole number, 0 to 255"},
        {1, &W_::re_smb2, "256", "Subnet mask byte 2 must be 0 to 255"},
        {1, &W_::RangeEdit1, "0", "Local port must be 1 to 65535"},
        {1, &W_::RangeEdit1, "65536", "Local port must be 1 to 65535"},
        {1, &W_::RangeEdit1, "1234567890", "Local port must be 1 to 65535"},
        {1, &W_::RangeEdit1, "400.1", "Local port must be a whole number, 1 to 65535"},
        {1, &W_::RE_Gat1, "999", "Gateway byte 1 must be 0 to 255", true},
        {1, &W_::RE_Gat1, "999", "", true, true}, // gateway not used
        {2, &W_::are_ipb2, "300", "Remote IP byte 2 must be 0 to 255"},
        {1, &W_::are_ipb2, "300", ""}, // no tunnel: the peer is not sent
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.text + " " + c.message).toStdString());
        windows_.reset();
        messages_.clear();
        StartProgram();
        ChooseMode(c.mode);
        if (c.useGateway)
            Click(W().CB_UseGateway);
        TRangeEdit* field = W().*(c.field);
        Type(field, c.text);
        ASSERT_EQ(field->text(), c.text);
        if (c.gatewayOffAfterTyping) {
            Click(W().CB_UseGateway);
            EXPECT_FALSE(field->isEnabled()); // greyed: it is not sent
        }
        PressButton1();
        if (c.message.isEmpty()) {
            EXPECT_EQ(messages_, QStringList{kPortMessage}); // the download went ahead
            continue;
        }
        EXPECT_EQ(messages_, QStringList{c.message});
        EXPECT_TRUE(field->hasFocus());
        EXPECT_EQ(field->text(), c.text); // left for the user to mend
        EXPECT_FALSE(fprog->isVisible());
        EXPECT_EQ(MainIp(), (QStringList{"192", "168", "1", "200"})); // nothing copied
    }
}

TEST_F(WizardDownload, TypedComboTextIsCarriedOver) {
    ChooseMode(1);
    // The page starts on the converter's address, its first byte selected for typing over.
    EXPECT_EQ(F_selmode->focusWidget(), W().re_ipb1);
    EXPECT_EQ(W().re_ipb1->selectedText(), "192");
    // Untouched boxes (no entry chosen): their texts are the main window's own.
    PressButton1();
    EXPECT_EQ(M().cb_br->currentText(), "9600");
    EXPECT_EQ(M().cb_com->currentText(), "COM1");

    W().cb_br->setCurrentIndex(8); // "57600"
    PressButton1();
    EXPECT_EQ(M().cb_br->currentIndex(), 8);

    // A rate not in the list goes out as typed, with the command line's warning.
    TypeInto(W().cb_br, "14400");
    EXPECT_EQ(W().cb_br->currentIndex(), -1);
    messages_.clear();
    PressButton1();
    EXPECT_EQ(M().cb_br->currentIndex(), -1);
    EXPECT_EQ(Fmain->ReadSetupValues().baudText, "14400");
    ASSERT_FALSE(messages_.isEmpty());
    EXPECT_EQ(messages_[0].toStdString(), config::BaudRateWarning(14400));

    // Anything but digits, or a rate no serial line runs at, is refused before anything is
    // copied: the rule of the command line and the files.
    for (const char* refused : {"96OO", "7", "1000000"}) {
        TypeInto(W().cb_br, refused);
        messages_.clear();
        PressButton1();
        EXPECT_EQ(messages_, QStringList{QString::fromLatin1(kBaudRateMessage.data())}) << refused;
        EXPECT_EQ(F_selmode->focusWidget(), W().cb_br); // the wizard's focus
        EXPECT_EQ(Fmain->ReadSetupValues().baudText, "14400");
    }
    TypeInto(W().cb_br, "19200");

    // A typed port name or device path is the port the download opens.
    TypeInto(W().cb_com, "/nonexistent/ttyUSB3");
    messages_.clear();
    PressButton1();
    EXPECT_EQ(messages_,
              QStringList{"Error opening serial port :/nonexistent/ttyUSB3\nno such device"});
    EXPECT_EQ(Fmain->ReadSetupValues().portName, "/nonexistent/ttyUSB3");
    // An emptied port text is named as such, not left blank after the colon.
    W().cb_com->lineEdit()->selectAll();
    QTest::keyClick(W().cb_com->lineEdit(), Qt::Key_Backspace);
    ASSERT_EQ(W().cb_com->currentText(), "");
    messages_.clear();
    PressButton1(); // caught with the other values, before the progress dialog opens
    EXPECT_EQ(messages_, QStringList{"COM port setup is empty: type or pick a port, such as COM1"});
    EXPECT_EQ(Fmain->ReadSetupValues().portName, "/nonexistent/ttyUSB3"); // nothing copied
    // Picking an entry again hands the entry over.
    W().cb_com->setCurrentIndex(9);
    PressButton1();
    EXPECT_EQ(M().cb_com->currentIndex(), 9);
    EXPECT_EQ(Fmain->ReadSetupValues().portName, "/nonexistent/ttyUSB7");
}

TEST_F(WizardDownload, RemoteComPortLeavesTheTunnelOffButCopiesThePeerAddress) {
    ChooseMode(1);
    PressButton1();
    EXPECT_FALSE(M().cb_entunnel->isChecked());
    EXPECT_FALSE(M().are_ipb1->isEnabled());
    EXPECT_EQ(MainRemote(), (QStringList{"192", "168", "1", "201"}));
    EXPECT_FALSE(M().CB_BRCast->isChecked());
}

TEST_F(WizardDownload, MasterSideSendsTheDirectedBroadcastAddressOfTheConverterNetwork) {
    struct Case {
        std::array<int, 4> ip, mask;
        QStringList peer;
    };
    const Case cases[] = {
        {{10, 0, 0, 5}, {255, 255, 255, 0}, {"10", "0", "0", "255"}},
        {{172, 16, 37, 9}, {255, 255, 240, 0}, {"172", "16", "47", "255"}},
        {{10, 0, 0, 5}, {255, 255, 255, 252}, {"10", "0", "0", "7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.peer.join('.').toStdString());
        windows_.reset();
        StartProgram();
        ChooseMode(3);
        Click(W().cb_broadcast);
        TypeAddress(WizardIp(), c.ip);
        TypeAddress(WizardMask(), c.mask);
        PressButton1();
        EXPECT_EQ(MainRemote(), c.peer);
        EXPECT_TRUE(M().CB_BRCast->isChecked());
        EXPECT_TRUE(M().cb_entunnel->isChecked());
        EXPECT_FALSE(W().gb_tun->isVisible());
        EXPECT_EQ(W().gb_lan->title(), "MASTER LAN CONFIG");
    }
}

TEST_F(WizardDownload, WithoutMasterSideThePeerAddressIsTheTypedOne) {
    ChooseMode(3);
    TypeAddress({W().are_ipb1, W().are_ipb2, W().are_ipb3, W().are_ipb4}, {192, 168, 1, 7});
    PressButton1();
    EXPECT_EQ(MainRemote(), (QStringList{"192", "168", "1", "7"}));
    EXPECT_FALSE(M().CB_BRCast->isChecked());
    EXPECT_TRUE(M().cb_entunnel->isChecked());
}

TEST_F(WizardDownload, DownLoadAgainRepeatsCopyAndDownloadWithTheCurrentValues) {
    ChooseMode(1);
    PressButton1();
    Type(W().re_ipb4, "9");
    PressButton1();
    EXPECT_EQ(messages_, (QStringList{kPortMessage, kPortMessage}));
    EXPECT_EQ(M().re_ipb4->text(), "9");
    EXPECT_EQ(stat_wiz, 1);
    EXPECT_EQ(W().Button1->text(), "DownLoad");
    EXPECT_TRUE(fprog->isVisible());
    EXPECT_FALSE(P().BtnCancel->isVisibleTo(fprog));
    EXPECT_TRUE(P().btnOK->isVisibleTo(fprog));
}

} // namespace
} // namespace comsetup::test
