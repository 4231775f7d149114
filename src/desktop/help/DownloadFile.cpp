#include "desktop/help/DownloadFile.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace kinovex {
namespace {

// The most that is taken from the connection and written in one go.
constexpr qint64 kBlockSize = 512;
// A server that sends nothing for this long is given up, so that a dead connection cannot
// hold the window for good.
constexpr std::chrono::milliseconds kIdleLimit{30000};

// One transfer: the reply, the local file and the first error that stopped them.
class Transfer {
public:
    Transfer(QNetworkReply* reply, const QString& localPath) : m_reply(reply), m_file(localPath) {}

    // Takes what has arrived, block by block, and writes each block as it is taken. The
    // local file is created (or truncated) only once the server has answered with the file.
    void TakeData() {
        if (!m_error.isEmpty() || !AnswerIsTheFile())
            return;
        if (!m_file.isOpen() &&
            !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            Fail(m_file.errorString());
            return;
        }
        char block[kBlockSize];
        for (;;) {
            const qint64 count = m_reply->read(block, kBlockSize);
            if (count <= 0)
                break;
            if (m_file.write(block, count) != count) {
                Fail(m_file.errorString());
                return;
            }
        }
    }

    // Ends the transfer when the server has kept silent too long.
    void GiveUp() { Fail(QStringLiteral("The server did not answer in time.")); }

    // Called once when the reply has ended, for good or not.
    void Finish() {
        if (m_error.isEmpty()) {
            if (m_reply->error() != QNetworkReply::NoError)
                m_error = m_reply->errorString();
            else if (!AnswerIsTheFile())
                m_error = QStringLiteral("The server answered %1 %2.")
                              .arg(HttpStatus())
                              .arg(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute)
                                       .toString())
                              .trimmed();
            else
                TakeData(); // the rest, and the file itself when the body was empty
        }
        m_file.close();
    }

    const QString& Error() const { return m_error; }

private:
    int HttpStatus() const {
        return m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }

    // An HTTP answer other than 2xx (an error page, a redirect that was not followed) is not
    // the file; other schemes have no status.
    bool AnswerIsTheFile() const {
        const int status = HttpStatus();
        return status == 0 || (status >= 200 && status < 300);
    }

    void Fail(const QString& error) {
        if (m_error.isEmpty())
            m_error = error;
        m_reply->abort();
    }

    QNetworkReply* m_reply;
    QFile m_file;
    QString m_error;
};

} // namespace

QString DownloadFile(const QString& url, const QString& localPath) {
    return DownloadFile(url, localPath, kIdleLimit);
}

QString DownloadFile(const QString& url, const QString& localPath,
                     std::chrono::milliseconds idleLimit) {
    QNetworkAccessManager manager; // no cache is set on it: nothing is kept between checks

    QNetworkRequest request{QUrl(url)};
    // Always from the server, also through caching proxies, and never stored on the way.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache, no-store");
    request.setRawHeader("Pragma", "no-cache");
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Kinovex"));

    const std::unique_ptr<QNetworkReply> reply(manager.get(request));
    Transfer transfer(reply.get(), localPath);
    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(idleLimit);
    QObject::connect(&silence, &QTimer::timeout, &loop, [&transfer] { transfer.GiveUp(); });
    const auto heard = [&silence] { silence.start(); };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, heard);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, heard);
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop,
                     [&transfer] { transfer.TakeData(); });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The window that asked stays as it is until the file is here: its input waits.
    if (!reply->isFinished()) {
        silence.start();
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    transfer.Finish();

    return transfer.Error().isEmpty() ? QStringLiteral("YES") : transfer.Error();
}

} // namespace kinovex
