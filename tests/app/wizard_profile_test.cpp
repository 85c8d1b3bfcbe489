// The wizard's "Open..." and "Save...": the same JSON files as comsetup-cli's --config and
// --save-config, through the shared profile module. A file saved by one opens in the other;
// a bad file or a value that cannot be saved is named in a message and changes nothing.
#include "app_fixture.h"

#include "app/file_choice.h"
#include "app/tf_selmode.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "app/wizard_form.h"
#include "app/wizard_profile.h"
#include "config/config_json.h"
#include "tests/support/value_rule_rows.h"
#include "widgets/range_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fstream>
#include <nlohmann/json.hpp>

namespace comsetup::test {
namespace {

using config::SetupProfile;
using test::ValueRuleRow;
using test::ValueRuleRows;

class WizardProfile : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        StartProgram({PortEntry{"/dev/ttyUSB0", {}}});
        ASSERT_TRUE(dir_.isValid());
    }
    QString File(const QString& name) { return dir_.filePath(name); }
    void Choose(const QString& path) {
        choice_.reset(); // the one before goes first, or it would put back no choice at all
        choice_ = std::make_unique<ScopedFileChoice>([path](QWidget*, FileChoiceKind,
                                                            const QString&, const QString&,
                                                            const QString&) { return path; });
    }
    // Everything the wizard shows that a profile could change.
    QStringList Screen() {
        QStringList state{QString::number(stat_wiz)};
        for (QLineEdit* edit : F_selmode->findChildren<QLineEdit*>())
            state << edit->objectName() + "=" + edit->text();
        for (QComboBox* box : F_selmode->findChildren<QComboBox*>())
            state << box->objectName() + "=" + QString::number(box->currentIndex());
        for (QCheckBox* box : F_selmode->findChildren<QCheckBox*>())
            state << box->objectName() + "=" + (box->isChecked() ? "1" : "0");
        return state;
    }

    SetupProfile ProfileFromWizardPage() { return ProfileFromWizard(W(), stat_wiz); }

    QTemporaryDir dir_;
    std::unique_ptr<ScopedFileChoice> choice_;
};

TEST_F(WizardProfile, SavedSetupReadsBackInBothFrontEnds) {
    ChooseMode(3);
    W().cb_broadcast->setChecked(true);
    Type(W().re_ipb1, "10");
    Type(W().re_smb4, "128");
    W().CB_UseGateway->setChecked(true);
    Type(W().RE_Gat1, "10"); // a gateway within the converter's subnet
    Type(W().RE_Gat4, "254");
    W().cb_br->setCurrentIndex(W().cb_br->findText("115200"));
    W().cb_fc->setCurrentIndex(2);
    W().cb_com->setCurrentIndex(9); // /dev/ttyUSB0
    Choose(File("rack.json"));
    Click(W().BtnSave);
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();

    // As comsetup-cli --config reads it.
    SetupProfile read;
    config::LoadSetupFile(File("rack.json").toStdString(), read);
    EXPECT_EQ(read.mode, config::Mode::PointToMultipoint);
    EXPECT_TRUE(read.master);
    EXPECT_EQ(read.ip, (config::Ipv4{10, 168, 1, 200}));
    EXPECT_EQ(read.mask, (config::Ipv4{255, 255, 255, 128}));
    EXPECT_EQ(read.gateway, (config::Ipv4{10, 168, 1, 254}));
    EXPECT_EQ(read.baud, 115200);
    EXPECT_EQ(read.flowIndex, 2);
    EXPECT_EQ(read.port, "/dev/ttyUSB0");

    // Back in the wizard after the screen changed.
    const QStringList saved = Screen();
    Click(W().BtnBack);
    ChooseMode(1);
    Type(W().re_ipb1, "99");
    W().cb_broadcast->setChecked(false);
    Choose(File("rack.json"));
    Click(W().BtnOpen);
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
    EXPECT_EQ(Screen(), saved);
    EXPECT_TRUE(W().pan_pm->isVisible());
    EXPECT_EQ(W().gb_lan->title(), "MASTER LAN CONFIG");
}

TEST_F(WizardProfile, FileWrittenByTheCommandLineOpensOnItsModePage) {
    SetupProfile cli;
    cli.mode = config::Mode::PointToPoint;
    cli.peer = {10, 0, 0, 9};
    cli.port = "/dev/ttyS7"; // not in the list: shown as typed
    cli.baud = 300;
    cli.stopBitsIndex = 1;
    config::SaveSetupFile(File("cli.json").toStdString(), cli);
    ChooseMode(1);
    Choose(File("cli.json"));
    Click(W().BtnOpen);
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
    EXPECT_EQ(stat_wiz, 2);
    EXPECT_TRUE(W().pan_pp->isVisible());
    EXPECT_TRUE(W().cb_m2->isChecked());
    EXPECT_FALSE(W().cb_m1->isChecked());
    EXPECT_EQ(W().are_ipb4->text(), "9");
    EXPECT_EQ(W().cb_com->currentIndex(), -1);
    EXPECT_EQ(W().cb_com->currentText(), "/dev/ttyS7");
    EXPECT_EQ(W().cb_br->currentText(), "300");
    EXPECT_EQ(W().cb_sb->currentIndex(), 1);
    EXPECT_EQ(ProfileFromWizardPage(), cli);
}

TEST_F(WizardProfile, BadFilesAndUnsavableValuesAreNamedAndChangeNothing) {
    ChooseMode(2);
    struct Row {
        const char* name;
        const char* content; // nullptr: no file
        QStringList said;    // what the message names
    };
    const Row rows[] = {
        {"value refused", R"({"mode": "point-to-point", "baud": "7"})", {"bad.json", "baud"}},
        {"master side off its mode",
         R"({"mode": "remote-com", "master": true})",
         {"bad.json", "master", "point-to-multipoint"}},
        {"key given twice", R"({"baud": 9600, "baud": 19200})", {"bad.json", "\"baud\""}},
        {"unknown key", R"({"ipp": "10.0.0.1"})", {"bad.json", "ipp"}},
        {"not JSON", "{mode: remote", {"bad.json"}},
        {"missing file", nullptr, {"bad.json"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QFile::remove(File("bad.json"));
        if (r.content)
            std::ofstream(File("bad.json").toStdString()) << r.content;
        messages_.clear();
        const QStringList before = Screen();
        Choose(File("bad.json"));
        Click(W().BtnOpen);
        ASSERT_EQ(messages_.size(), 1);
        for (const QString& part : r.said)
            EXPECT_TRUE(messages_[0].contains(part)) << messages_[0].toStdString();
        EXPECT_EQ(Screen(), before);
    }

    // What "DownLoad" refuses is refused with its message, and nothing is written: a baud rate
    // no front end sends, an address byte the field cannot hold (it would read back as 30).
    W().cb_br->setCurrentIndex(-1);
    W().cb_br->setEditText("1234567");
    Choose(File("unsaved.json"));
    messages_.clear();
    Click(W().BtnSave);
    const QStringList savingBaud = messages_;
    messages_.clear();
    PressButton1();
    ASSERT_EQ(savingBaud.size(), 1);
    EXPECT_EQ(savingBaud, messages_);
    EXPECT_FALSE(QFile::exists(File("unsaved.json")));

    W().cb_br->setCurrentIndex(0);
    for (const char* text : {"300", "1234", "19212"}) {
        Type(W().re_ipb1, text);
        messages_.clear();
        Click(W().BtnSave);
        const QStringList savingIp = messages_;
        messages_.clear();
        PressButton1();
        ASSERT_EQ(savingIp.size(), 1) << text;
        EXPECT_EQ(savingIp, messages_) << text;
        EXPECT_TRUE(savingIp[0].contains("IP address byte 1")) << savingIp[0].toStdString();
        EXPECT_FALSE(QFile::exists(File("unsaved.json"))) << text;
    }
}

// The one value rule in the wizard: "Open..." refuses a file the rule refuses, and values the
// rule refuses (however they reached the fields) are neither saved nor sent, each with the
// rule's words; accepted ones open and save.
TEST_F(WizardProfile, OpenSaveAndDownLoadApplyTheOneValueRule) {
    ChooseMode(1);
    for (const ValueRuleRow& row : ValueRuleRows()) {
        SCOPED_TRACE(row.what);
        SetupProfile profile;
        nlohmann::json file;
        for (const auto& [key, text] : row.values) {
            file[key] = key == "master" ? nlohmann::json(true) : nlohmann::json(text);
            for (const config::SetupField& field : config::SetupFields())
                if (key == field.key)
                    field.apply(profile, text);
        }
        profile.master = row.values.contains("master");
        std::ofstream(File("row.json").toStdString()) << file.dump();
        QFile::remove(File("saved.json"));
        messages_.clear();
        Choose(File("row.json"));
        Click(W().BtnOpen);
        if (row.refusal == nullptr) {
            // The master side shows no peer: what the page gives is the default one.
            if (profile.master)
                profile.peer = SetupProfile{}.peer;
            EXPECT_EQ(messages_, QStringList{});
            EXPECT_EQ(ProfileFromWizardPage(), profile);
            Choose(File("saved.json"));
            Click(W().BtnSave);
            EXPECT_EQ(messages_, QStringList{});
            EXPECT_EQ(config::LoadWholeSetupFile(File("saved.json").toStdString()), profile);
            continue;
        }
        ASSERT_EQ(messages_.size(), 1);
        EXPECT_TRUE(messages_[0].contains(row.refusal)) << messages_[0].toStdString();

        F_selmode->LoadProfile(profile); // as typed into the fields
        messages_.clear();
        Choose(File("saved.json"));
        Click(W().BtnSave);
        PressButton1();
        ASSERT_EQ(messages_.size(), 2);
        // Save... refuses with DownLoad's own words.
        EXPECT_TRUE(messages_[0].contains(row.refusal)) << messages_[0].toStdString();
        EXPECT_EQ(messages_[0], messages_[1]);
        EXPECT_FALSE(QFile::exists(File("saved.json")));
        EXPECT_FALSE(fprog->isVisible());
        EXPECT_EQ(Fmonitor->Lines().Count(), 0);
    }
}

} // namespace
} // namespace comsetup::test
