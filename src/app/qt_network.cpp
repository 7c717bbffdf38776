// One GET through QNetworkAccessManager with an overall time limit.
#include "app/qt_network.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace qeltx::app {

QtNetwork::QtNetwork(int timeLimitMs)
    : timeLimitMs_(timeLimitMs), manager_(std::make_unique<QNetworkAccessManager>()) {}

QtNetwork::~QtNetwork() {
    // Aborting emits finished(); nobody may be called back from a network that is going away.
    const auto replies = manager_->findChildren<QNetworkReply*>();
    for (QNetworkReply* reply : replies) {
        reply->disconnect();
        reply->abort();
    }
}

void QtNetwork::get(const QString& url, Completion done) {
    QNetworkReply* reply = manager_->get(QNetworkRequest(QUrl(url)));
    // The transfer timeout of QNetworkRequest only measures silence; a server that trickles
    // bytes would keep the request alive, so the whole GET gets its own limit.
    auto* limit = new QTimer(reply);
    limit->setSingleShot(true);
    auto timedOut = std::make_shared<bool>(false);
    QObject::connect(limit, &QTimer::timeout, reply, [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [this, reply, timedOut, done = std::move(done), url] {
        HttpReply answer;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (*timedOut) {
            answer.failure = QStringLiteral("No answer from %1 within %2 s").arg(url).arg(timeLimitMs_ / 1000.0);
        } else if (status.isValid()) {
            answer.answered = true;
            answer.statusCode = status.toInt();
            answer.statusText = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            answer.body = reply->readAll();
        } else {
            answer.failure = reply->errorString();
        }
        reply->deleteLater();
        done(answer);
    });
    limit->start(timeLimitMs_);
}

}  // namespace qeltx::app
