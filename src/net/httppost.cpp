#include "net/httppost.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

// The states a reply reports, by the signal that reports them.
struct TStateSignal {
    void (QNetworkReply::*Signal)();
    const char* State;
};
constexpr TStateSignal StateSignals[] = {
    {&QNetworkReply::requestSent, "waiting header"},
    {&QNetworkReply::metaDataChanged, "waiting body"},
    {&QNetworkReply::finished, "ready"},
};

QNetworkProxy ProxyOf(const TProxySettings& settings) {
    if (!settings.UseProxy) return QNetworkProxy(QNetworkProxy::NoProxy);
    bool numeric = false;
    const unsigned port = QString::fromStdString(settings.ProxyPort).toUInt(&numeric);
    return QNetworkProxy(QNetworkProxy::HttpProxy, QString::fromStdString(settings.ProxyHost),
                         static_cast<quint16>(numeric && port <= 0xFFFF ? port : 80),
                         QString::fromStdString(settings.ProxyUsername), QString::fromStdString(settings.ProxyPassword));
}

}  // namespace

THttpAnswer THttpPoster::Post(const std::string& url, const std::string& body, const TProxySettings& proxy) {
    QNetworkAccessManager manager;
    manager.setProxy(ProxyOf(proxy));
    QNetworkRequest request(QUrl(QString::fromStdString(url)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    request.setHeader(QNetworkRequest::UserAgentHeader, "Mozilla/3.0 (compatible)");
    request.setRawHeader("Accept", "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);

    QNetworkReply* reply = manager.post(request, QByteArray::fromStdString(body));
    THttpAnswer answer;
    QByteArray received;
    bool tooLarge = false;
    for (const auto& entry : StateSignals) {
        const std::string line = std::string("HTTP state=") + entry.State;
        QObject::connect(reply, entry.Signal, reply, [this, line] {
            if (OnStateLine) OnStateLine(line);
        });
    }
    QObject::connect(reply, &QIODevice::readyRead, reply, [&] {
        received += reply->readAll();
        if (received.size() > static_cast<qsizetype>(MaxAnswerBytes)) {
            tooLarge = true;
            reply->abort();
        }
    });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) loop.exec();
    if (!tooLarge) received += reply->readAll();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    answer.Status = status.toInt();
    answer.Reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().toStdString();
    if (tooLarge) {
        answer.Outcome = THttpOutcome::AnswerTooLarge;
    } else if (status.isValid()) {
        answer.Outcome = THttpOutcome::Delivered;
        answer.Body = received.toStdString();
    } else {
        answer.Error = reply->errorString().toStdString();
    }
    return answer;
}
