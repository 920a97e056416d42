#include "ui/cvproxygroup.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/cvvars.h"
#include "ui/cvcontrolbinder.h"
#include "ui/formstorage.h"

namespace {

QLineEdit* AddField(QFormLayout& form, const char* name, const char* labelName, const char* caption,
                    const std::string& text) {
    auto* edit = new QLineEdit(QString::fromStdString(text));
    edit->setObjectName(name);
    form.addRow(Named(labelName, new QLabel(caption)), edit);
    return edit;
}

}  // namespace

TProxyControls BuildProxyGroup() {
    TProxyControls c;
    c.Panel = new QWidget;
    auto* layout = new QVBoxLayout(c.Panel);
    layout->setContentsMargins(0, 0, 0, 0);
    c.UseProxy = new QCheckBox("Use proxy");
    c.UseProxy->setObjectName("CBUseProxy");
    c.UseProxy->setChecked(ProxySettings.UseProxy);
    layout->addWidget(c.UseProxy);
    auto* group = new QGroupBox(" Proxy ");
    group->setObjectName("GBProxy");
    auto* form = new QFormLayout(group);
    c.Proxy = AddField(*form, "EDProxy", "LABProxyHost", "HTTP Proxy", ProxySettings.ProxyHost);
    c.ProxyPort = AddField(*form, "EDProxyPort", "LABProxyPort", "port", ProxySettings.ProxyPort);
    c.ProxyUsername = AddField(*form, "EDProxyUsername", "LABProxyUser", "Username", ProxySettings.ProxyUsername);
    c.ProxyPassword = AddField(*form, "EDProxyPassword", "LABProxyPassword", "Password", ProxySettings.ProxyPassword);
    c.ProxyPassword->setEchoMode(QLineEdit::Password);
    layout->addWidget(group);
    c.UseProxy->setEnabled(false);
    group->setEnabled(false);
    return c;
}

void StoreProxyFields(TFormStorage& storage, const TProxyControls& proxy) {
    storage.StoreCheck(*proxy.UseProxy, "CBUseProxy.Checked");
    storage.StoreText(*proxy.Proxy, "EDProxy.Text");
    storage.StoreText(*proxy.ProxyPort, "EDProxyPort.Text");
    storage.StoreText(*proxy.ProxyUsername, "EDProxyUsername.Text");
}
