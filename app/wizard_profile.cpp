// The wizard's settings as a setup profile.
#include "app/wizard_profile.h"

#include "app/address_fields.h"
#include "app/combo_choice.h"
#include "app/wizard_form.h"

#include <map>

namespace comsetup {

using config::SetupProfile;

namespace {

// A field's text as shown, never the value model's fallback to its last good value (which
// would turn 300 into 30): the parser refuses what the field cannot hold.
std::string ShownAddress(const AddressFields& fields) {
    std::string text;
    for (const TRangeEdit* field : fields)
        text += (text.empty() ? "" : ".") + field->text().trimmed().toStdString();
    return text;
}

} // namespace

SetupProfile ProfileFromWizard(Ui::TF_selmode& w, int page) {
    const auto address = ShownAddress;
    // A value the page does not show is the profile's default, whatever a hidden field holds.
    const bool master = page == 3 && w.cb_broadcast->isChecked();
    const bool peerShown = (page == 2 || page == 3) && !master;
    // Each value goes through the parser the command line and the files use, as text.
    const std::map<std::string, std::string> texts{
        {"port", w.cb_com->currentText().toStdString()},
        {"mode", config::ModeName(static_cast<config::Mode>(page))},
        {"ip", address({w.re_ipb1, w.re_ipb2, w.re_ipb3, w.re_ipb4})},
        {"mask", address({w.re_smb1, w.re_smb2, w.re_smb3, w.re_smb4})},
        {"local_port", w.RangeEdit1->text().trimmed().toStdString()},
        {"gateway", w.CB_UseGateway->isChecked()
                        ? address({w.RE_Gat1, w.RE_Gat2, w.RE_Gat3, w.RE_Gat4})
                        : std::string("none")},
        {"baud", w.cb_br->currentText().toStdString()},
        {"parity", config::ParityName(w.cb_pa->currentIndex())},
        {"stop_bits", config::StopBitName(w.cb_sb->currentIndex())},
        {"flow", config::FlowName(w.cb_fc->currentIndex())},
        {"peer", peerShown ? address({w.are_ipb1, w.are_ipb2, w.are_ipb3, w.are_ipb4})
                           : config::FormatIpv4(SetupProfile{}.peer)},
        // The page has no field for it (the tunnel group's port stays hidden): it holds the
        // remote port of the last profile loaded, 10001 until one names another.
        {"remote_port", w.port_rem->text().trimmed().toStdString()},
    };
    SetupProfile profile;
    for (const config::SetupField& field : config::SetupFields()) {
        const auto text = texts.find(field.key);
        if (text == texts.end())
            continue;
        try {
            field.apply(profile, text->second);
        } catch (const config::ValueError& error) {
            throw config::ValueError(std::string(field.key) + ": " + error.what());
        }
    }
    profile.master = master;
    if (const std::string problem = config::CheckConsistency(profile); !problem.empty())
        throw config::ValueError(problem);
    return profile;
}

namespace {

// Chooses the entry that reads `text`, or shows it typed when the list has no such entry.
void ChooseText(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
    else
        ShowTextWithoutChoice(box, text);
}

} // namespace

void ProfileToWizard(const SetupProfile& p, Ui::TF_selmode& w) {
    WriteAddress({w.re_ipb1, w.re_ipb2, w.re_ipb3, w.re_ipb4}, p.ip);
    WriteAddress({w.re_smb1, w.re_smb2, w.re_smb3, w.re_smb4}, p.mask);
    w.RangeEdit1->SetValue(p.localPort);
    w.CB_UseGateway->setChecked(p.gateway.has_value());
    if (p.gateway)
        WriteAddress({w.RE_Gat1, w.RE_Gat2, w.RE_Gat3, w.RE_Gat4}, *p.gateway);
    ChooseText(w.cb_br, QString::number(p.baud));
    w.cb_pa->setCurrentIndex(p.parityIndex);
    w.cb_sb->setCurrentIndex(p.stopBitsIndex);
    w.cb_fc->setCurrentIndex(p.flowIndex);
    WriteAddress({w.are_ipb1, w.are_ipb2, w.are_ipb3, w.are_ipb4}, p.peer);
    w.port_rem->SetValue(p.remotePort);
    ChooseText(w.cb_com, QString::fromStdString(p.port));
    w.cb_broadcast->setChecked(p.master);
    QCheckBox* const modes[] = {w.cb_m1, w.cb_m2, w.cb_m3};
    modes[static_cast<int>(p.mode) - 1]->setChecked(true); // unchecks the other two
}

} // namespace comsetup
