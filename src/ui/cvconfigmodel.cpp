#include "ui/cvconfigmodel.h"

void TDlgConfigModel::FormCreate(const std::string& tlsText) {
    SetPop3Enabled(false);
    Temps.clear();
    Fans.clear();
    Speeds.clear();
    Volts.clear();
    DataReady = false;
    Updating = false;
    SelectedEvent = -1;
    Mail.SslInterface = tlsText.empty() ? "not found" : tlsText;
}

bool TDlgConfigModel::FormCloseQuery() {
    SyncMailProfile(Mail.Chosen);
    return true;
}

void TDlgConfigModel::CBPriorPOP3Click(bool checked) {
    Mail.Edits.PopBeforeSmtp = checked;
    SetPop3Enabled(checked);
}

void TDlgConfigModel::SyncMailProfile(int index) {
    if (Updating) return;
    Updating = true;
    if (MailProfiles.empty()) {
        TMailProfile profile;
        profile.ProfileName = "default";
        profile.SmtpPort = "25";
        profile.PopPort = "110";
        MailProfiles.push_back(profile);
        Mail.ProfileNames.push_back(profile.ProfileName);
        Mail.Chosen = static_cast<int>(Mail.ProfileNames.size()) - 1;
    }
    const auto within = [this](int i) { return i >= 0 && i < static_cast<int>(MailProfiles.size()); };
    if (DataReady && within(Mail.Chosen)) {
        const std::string name = MailProfiles[static_cast<std::size_t>(Mail.Chosen)].ProfileName;
        MailProfiles[static_cast<std::size_t>(Mail.Chosen)] = Mail.Edits;
        MailProfiles[static_cast<std::size_t>(Mail.Chosen)].ProfileName = name;
    }
    Mail.ProfileNames.clear();
    for (const auto& profile : MailProfiles) Mail.ProfileNames.push_back(profile.ProfileName);
    if (Mail.Chosen >= static_cast<int>(Mail.ProfileNames.size())) Mail.Chosen = -1;
    if (within(index)) {
        Mail.Chosen = index;
        Mail.Edits = MailProfiles[static_cast<std::size_t>(index)];
        Mail.Edits.ProfileName.clear();
        CBPriorPOP3Click(Mail.Edits.PopBeforeSmtp);
    }
    Updating = false;
}
