#pragma once
// The proxy settings as the web dialogs show them: "Use proxy" and the proxy
// group, disabled, since they are edited in the configuration dialog.

class QCheckBox;
class QLineEdit;
class QWidget;
class TFormStorage;

struct TProxyControls {
    QWidget* Panel = nullptr;
    QCheckBox* UseProxy = nullptr;
    QLineEdit* Proxy = nullptr;
    QLineEdit* ProxyPort = nullptr;
    QLineEdit* ProxyUsername = nullptr;
    QLineEdit* ProxyPassword = nullptr;  // masked
};

// Filled from ProxySettings.
TProxyControls BuildProxyGroup();
// Stores the use flag, host, port and user name; the password never.
void StoreProxyFields(TFormStorage& storage, const TProxyControls& proxy);
