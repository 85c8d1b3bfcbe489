// The wizard's state against a model: random sequences of what a technician does (pick a mode,
// go back, edit fields with good and bad text, tick the gateway or the master side, choose
// serial settings, save and open a profile, download, "Next converter", write a plan's rows,
// Cancel at a random moment), each ending in a download. Whatever came before, the bytes that
// reach the converter must be the script the dry run builds for the profile the screen shows
// when the download starts (a plan's row: the row itself), and a field the download would
// refuse must stop it before anything is sent. Virtual time, the real windows, the stand-in's
// model on an in-memory line.
//
// COMSETUP_MODEL_SEED=n runs the sequence of one seed; a failing seed becomes a row of
// kFixedSeeds. Each sequence starts from the wizard as the program starts (the main window
// keeps what the sequences before left in it, which is what no download may use).
#include "app_fixture.h"
#include "tests/support/model_line.h"

#include "ui_tfmain.h"
#include "ui_tfprog.h"

#include "app/address_fields.h"
#include "app/converter_series.h"
#include "app/file_choice.h"
#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfprog.h"
#include "app/wizard_form.h"
#include "config/plan.h"
#include "config/value_rules.h"
#include "download/pacer.h"
#include "download/script.h"
#include "download/setup_rules.h"
#include "serial/memory_device.h"
#include "widgets/range_edit.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <optional>
#include <sstream>

namespace comsetup::test {
namespace {

using namespace std::chrono_literals;
using config::Mode;
using config::SetupProfile;

// Seeds that once failed, run on every run.
constexpr unsigned kFixedSeeds[] = {4170948889u, 747295552u, 3424296991u, 1188804987u, 648628930u};
constexpr int kRandomSequences = 500;

// One download as the converter saw it, and what the screen (or the plan) said it should be.
struct Written {
    std::optional<SetupProfile> expected; // nothing: the screen held a refused value
    std::string received;                 // every byte the converter got
    bool cancelled = false;
};

// The script's bytes as the dry run lists them: those before the restart wait, and after it.
std::pair<std::string, std::string> ScriptBytes(const SetupProfile& profile,
                                                FirmwareVariant variant) {
    std::string head, tail;
    bool afterRestart = false;
    auto steps = BuildOpening();
    const auto script = BuildScript(config::ToSetupValues(profile), variant);
    steps.insert(steps.end(), script.begin(), script.end());
    for (const ScriptStep& step : steps) {
        std::string& into = afterRestart ? tail : head;
        if (step.kind == StepKind::SendByte)
            into.push_back(static_cast<char>(step.byte));
        else if (step.kind == StepKind::TypeText)
            into += step.text;
        else if (step.kind == StepKind::RestartWait)
            afterRestart = true;
    }
    return {head, tail};
}

std::string EscapeForMessage(const std::string& bytes) {
    std::string out;
    for (const char c : bytes)
        out += c == '\n'   ? std::string("<LF>")
               : c == '\r' ? std::string("<CR>")
                           : std::string(1, c);
    return out;
}

class WizardStateModel : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        pacer_.SetListener([this](std::chrono::nanoseconds now) {
            if (converter_)
                converter_->Step(now);
            if (cancelAt_ && now >= *cancelAt_) {
                cancelAt_.reset();
                cancelled_ = true;
                QTest::mouseClick(P().BtnCancel, Qt::LeftButton);
            }
            QCoreApplication::processEvents();
        });
    }

    void Start() {
        StartProgram();
        Fmain->UseLine(&port_, &pacer_);
        QObject::connect(Fmain, &TFmain::downloadStarted, [this] { Started(); });
        QObject::connect(Fmain, &TFmain::downloadEnded, [this] { Ended(); });
    }

    // Each sequence starts from the wizard as the program shows it at its start, whatever the
    // sequence before left in it; the main window keeps what the last download left, which no
    // download may take over.
    void FreshWizard() {
        written_.clear();
        planned_.reset();
        fprog->hide();
        windows_->Progress().HideNext();
        F_selmode->LoadProfile(SetupProfile{});
        WriteAddress({W().RE_Gat1, W().RE_Gat2, W().RE_Gat3, W().RE_Gat4}, {192, 168, 1, 200});
        Click(W().BtnBack);
        W().cb_m1->setChecked(false);
    }

    // The setup the screen shows, read as a technician reads it; nothing when a value the
    // download sends is not one it can send.
    std::optional<SetupProfile> OnScreen() {
        auto number = [](TRangeEdit* field, int min, int max) -> std::optional<int> {
            bool ok = false;
            const QString text = field->text().trimmed();
            const int value = text.toInt(&ok);
            if (!ok || text.startsWith('+') || value < min || value > max)
                return std::nullopt;
            return value;
        };
        auto address = [&](std::array<TRangeEdit*, 4> fields) -> std::optional<config::Ipv4> {
            config::Ipv4 a{};
            for (int i = 0; i < 4; ++i) {
                const auto byte = number(fields[static_cast<std::size_t>(i)], 0, 255);
                if (!byte)
                    return std::nullopt;
                a[static_cast<std::size_t>(i)] = *byte;
            }
            return a;
        };
        SetupProfile p;
        p.mode = static_cast<Mode>(stat_wiz);
        p.master = stat_wiz == 3 && W().cb_broadcast->isChecked();
        p.port = W().cb_com->currentText().trimmed().toStdString();
        const auto ip = address({W().re_ipb1, W().re_ipb2, W().re_ipb3, W().re_ipb4});
        const auto mask = address({W().re_smb1, W().re_smb2, W().re_smb3, W().re_smb4});
        const auto local = number(W().RangeEdit1, 1, 65535);
        if (!ip || !mask || !local || CheckSubnetMask(*mask))
            return std::nullopt;
        p.ip = *ip;
        p.mask = *mask;
        p.localPort = *local;
        if (W().CB_UseGateway->isChecked()) {
            p.gateway = address({W().RE_Gat1, W().RE_Gat2, W().RE_Gat3, W().RE_Gat4});
            if (!p.gateway)
                return std::nullopt;
        }
        p.baud = W().cb_br->currentText().toInt();
        p.parityIndex = W().cb_pa->currentIndex();
        p.stopBitsIndex = W().cb_sb->currentIndex();
        p.flowIndex = W().cb_fc->currentIndex();
        if (stat_wiz == 2 || (stat_wiz == 3 && !p.master)) {
            const auto peer = address({W().are_ipb1, W().are_ipb2, W().are_ipb3, W().are_ipb4});
            if (!peer)
                return std::nullopt;
            p.peer = *peer;
        }
        // Fields that parse but make a setup no converter can use (a gateway off the subnet,
        // a peer that is the converter itself) are refused by the one value rule.
        if (!config::CheckSetupValues(p).refusal.empty())
            return std::nullopt;
        return p;
    }

    void Started() {
        // A new converter for each download, switched on now.
        converter_ = std::make_unique<ModelLine>(ModelLine::Options(firmware_), line_);
        converter_->Step(pacer_.Now());
        port_.Open();
        port_.PurgeIn();
        port_.Close();
        written_.push_back({planned_ ? planned_ : OnScreen(), {}, false});
        planned_.reset();
    }
    void Ended() {
        converter_->Step(pacer_.Now() + 1ms);
        written_.back().received = converter_->Received();
        written_.back().cancelled = cancelled_;
        cancelled_ = false;
        cancelAt_.reset();
    }

    // Checks every download of the sequence; returns the first fault in words.
    std::string Check() {
        const FirmwareVariant variant =
            firmware_ == sim::Firmware::V01_8 ? FirmwareVariant::V01_8 : FirmwareVariant::V6_5_0_7;
        for (std::size_t i = 0; i < written_.size(); ++i) {
            const Written& w = written_[i];
            const std::string at = "download " + std::to_string(i + 1) + ": ";
            if (!w.expected)
                return at + "started although the screen held a value it cannot send";
            const auto [head, tail] = ScriptBytes(*w.expected, variant);
            // After the polls, the banner's answer; then the opening and the script.
            const auto answered = w.received.find("\n\r");
            if (answered == std::string::npos) {
                if (w.cancelled)
                    continue; // cancelled before the converter answered
                return at + "no banner answer";
            }
            const std::string sent = w.received.substr(answered + 2);
            if (!sent.starts_with(head)) {
                // A Cancel stops before the opening, or lets the menu answers run on to "9".
                if (w.cancelled && head.starts_with(sent))
                    continue;
                return at + "menu answers differ from the dry run of " +
                       config::FormatIpv4(w.expected->ip) + " (" +
                       config::ModeName(w.expected->mode) + "): " + EscapeForMessage(sent) + " / " +
                       EscapeForMessage(head);
            }
            // The restart polls, then (unless a Cancel ended the wait) the records.
            std::string rest = sent.substr(head.size());
            rest.erase(0, rest.find_first_not_of('z'));
            if (rest != "G7\n" + tail && !(w.cancelled && rest.empty()))
                return at + "closing records differ from the dry run: " + EscapeForMessage(rest);
        }
        return {};
    }

    std::string RunSequence(unsigned seed) {
        // Qt's seeded generator: a copy of std::mt19937's code in this file would stand in
        // for the one inside the static Qt of the Windows build, which then faults at start.
        QRandomGenerator random(seed);
        const auto pick = [&](int n) { return static_cast<int>(random.bounded(n)); };
        firmware_ = pick(2) ? sim::Firmware::V01_8 : sim::Firmware::V6_5_0_7;
        const QTemporaryDir folder;
        const QString profile = folder.filePath(QStringLiteral("unit.json"));
        ScopedFileChoice choose([&](QWidget*, FileChoiceKind, const QString&, const QString&,
                                    const QString&) { return profile; });
        ScopedUnitConfirmation confirm([](QWidget*, const QString&) { return true; });
        std::string log;
        // A mode box clicked when already ticked would be unticked: tick it only.
        const auto chooseMode = [&](int mode) {
            QCheckBox* box = std::array{W().cb_m1, W().cb_m2, W().cb_m3}[mode - 1];
            if (!box->isChecked())
                Click(box);
            PressButton1();
        };
        const auto toSettings = [&] {
            if (stat_wiz == 0)
                chooseMode(1 + pick(3));
        };
        const auto download = [&](bool cancel) {
            toSettings();
            if (cancel)
                cancelAt_ = pacer_.Now() + std::chrono::milliseconds(pick(30000));
            const std::size_t before = written_.size();
            const auto shown = OnScreen();
            messages_.clear();
            PressButton1();
            cancelAt_.reset();
            if (!shown && written_.size() != before)
                return std::string("a refused value was downloaded");
            if (!shown && messages_.isEmpty())
                return std::string("a refused value was not said");
            return std::string();
        };
        const char* byteTexts[] = {"0", "1", "10", "168", "200", "254", "255", "300", "1234", ""};
        const char* maskTexts[] = {"255", "255", "0", "128", "252", "254", "7"};
        const int actions = 3 + pick(10) - 1; // then the final download
        for (int a = 0; a < actions; ++a) {
            std::string fault;
            switch (pick(11)) {
            case 0: // a mode, from the mode page
                if (stat_wiz > 0)
                    Click(W().BtnBack);
                chooseMode(1 + pick(3));
                log += "mode ";
                break;
            case 1:
                if (stat_wiz > 0)
                    Click(W().BtnBack);
                log += "back ";
                break;
            case 2: { // an address byte
                toSettings();
                std::array<TRangeEdit*, 16> fields{
                    W().re_ipb1,  W().re_ipb2,  W().re_ipb3,  W().re_ipb4, W().re_smb1, W().re_smb2,
                    W().re_smb3,  W().re_smb4,  W().RE_Gat1,  W().RE_Gat2, W().RE_Gat3, W().RE_Gat4,
                    W().are_ipb1, W().are_ipb2, W().are_ipb3, W().are_ipb4};
                const int f = pick(16);
                TRangeEdit* field = fields[static_cast<std::size_t>(f)];
                if (!field->isVisible() || !field->isEnabled())
                    break;
                const bool mask = f >= 4 && f < 8;
                Type(field, QString::fromLatin1(mask ? maskTexts[pick(7)] : byteTexts[pick(10)]));
                log += "edit ";
                break;
            }
            case 3:
                toSettings();
                Type(W().RangeEdit1, QString::number(pick(2) ? 1 + pick(65535) : 70000));
                log += "port ";
                break;
            case 4:
                toSettings();
                Click(W().CB_UseGateway);
                log += "gateway ";
                break;
            case 5:
                toSettings();
                if (stat_wiz == 3)
                    Click(W().cb_broadcast);
                log += "master ";
                break;
            case 6:
                toSettings();
                W().cb_br->setCurrentIndex(pick(W().cb_br->count()));
                W().cb_pa->setCurrentIndex(pick(3));
                W().cb_sb->setCurrentIndex(pick(2));
                W().cb_fc->setCurrentIndex(pick(4));
                log += "serial ";
                break;
            case 7: { // save, then open what was saved
                toSettings();
                QFile::remove(profile);
                const auto shown = OnScreen();
                messages_.clear();
                Click(W().BtnSave);
                if (shown.has_value() != QFile::exists(profile))
                    fault = (shown ? "a sendable setup was not saved: "
                                   : "a refused value was saved: ") +
                            messages_.join('|').toStdString();
                else if (shown) {
                    Click(W().BtnOpen);
                    if (OnScreen() != shown)
                        fault = "the profile opened differs from the one saved";
                }
                log += "save-open ";
                break;
            }
            case 8:
                fault = download(pick(3) == 0);
                log += "download ";
                break;
            case 9: // "Next converter" after a download that offers it
                if (P().BtnNext->isVisibleTo(fprog)) {
                    QTest::mouseClick(P().BtnNext, Qt::LeftButton);
                    log += "next ";
                }
                break;
            case 10: { // a plan's rows, whatever the wizard shows
                static const char* plans[] = {
                    "ip,mode,peer\n10.9.0.1,point-to-point,pair\n10.9.0.2,point-to-point,pair\n",
                    "ip,mode,master,gateway,peer\n10.9.1.1,point-to-multipoint,true,10.9.1.254,\n"
                    "10.9.1.2,point-to-multipoint,,,master\n",
                    "ip,mode,baud\n10.9.2.1,remote-com,19200\n"};
                const config::Plan plan = config::ParsePlan(plans[pick(3)], "plan.csv", {});
                std::vector<SetupProfile> rows;
                for (const auto& row : plan.rows)
                    rows.push_back(row.setup);
                planned_ = rows.front();
                windows_->Series().StartPlanned(rows);
                for (std::size_t r = 1; r < rows.size(); ++r) {
                    if (!P().BtnNext->isVisibleTo(fprog))
                        break;
                    planned_ = rows[r];
                    QTest::mouseClick(P().BtnNext, Qt::LeftButton);
                }
                planned_.reset();
                log += "plan ";
                break;
            }
            }
            if (!fault.empty())
                return log + ": " + fault;
        }
        if (const std::string fault = download(false); !fault.empty())
            return log + "download: " + fault;
        log += "download";
        if (const std::string fault = Check(); !fault.empty())
            return log + ": " + fault;
        return {};
    }

    std::shared_ptr<MemoryLine> line_ = std::make_shared<MemoryLine>();
    MemoryComm port_{line_};
    VirtualPacer pacer_;
    std::unique_ptr<ModelLine> converter_;
    sim::Firmware firmware_ = sim::Firmware::V01_8;
    std::vector<Written> written_;
    std::optional<SetupProfile> planned_; // the plan row being written
    std::optional<std::chrono::nanoseconds> cancelAt_;
    bool cancelled_ = false;
};

TEST_F(WizardStateModel, EveryDownloadWritesWhatTheScreenShows) {
    std::vector<unsigned> seeds(std::begin(kFixedSeeds), std::end(kFixedSeeds));
    if (const char* given = std::getenv("COMSETUP_MODEL_SEED")) {
        seeds = {static_cast<unsigned>(std::strtoul(given, nullptr, 10))};
    } else {
        const unsigned first = QRandomGenerator::system()->generate();
        std::cout << "[ model seeds ] " << first << " .. " << first + kRandomSequences - 1
                  << " (COMSETUP_MODEL_SEED=n runs one)\n";
        for (int i = 0; i < kRandomSequences; ++i)
            seeds.push_back(first + static_cast<unsigned>(i));
    }
    Start();
    for (const unsigned seed : seeds) {
        FreshWizard();
        const std::string fault = RunSequence(seed);
        ASSERT_TRUE(fault.empty()) << "seed " << seed << ": " << fault;
    }
}

} // namespace
} // namespace comsetup::test
