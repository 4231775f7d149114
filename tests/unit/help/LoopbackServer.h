#pragma once
// A one-thread HTTP server on 127.0.0.1 for the update check's tests. It answers every request
// with the response set last and remembers the requests; it runs on the test's own thread, so
// it serves while the code under test waits in its event loop.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <vector>

namespace kinovex::test {

class LoopbackServer {
public:
    LoopbackServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                Serve(socket);
        });
    }

    bool listening() const { return m_server.isListening(); }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    // The answer: status line text ("200 OK"), body, and whether a Content-Length is sent (if
    // not, the end of the connection ends the body).
    void Respond(QByteArray status, QByteArray body, bool withLength = true,
                 QByteArray contentType = "text/plain") {
        m_status = std::move(status);
        m_body = std::move(body);
        m_withLength = withLength;
        m_contentType = std::move(contentType);
    }

    // Every request's head (request line and headers) in arrival order.
    const std::vector<QByteArray>& requests() const { return m_requests; }

private:
    void Serve(QTcpSocket* socket) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray& head = m_pending[socket];
            head += socket->readAll();
            const qsizetype end = head.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            m_requests.push_back(head.left(end));
            m_pending.remove(socket);
            QByteArray reply = "HTTP/1.1 " + m_status + "\r\nContent-Type: " + m_contentType +
                               "\r\nConnection: close\r\n";
            if (m_withLength)
                reply += "Content-Length: " + QByteArray::number(m_body.size()) + "\r\n";
            socket->write(reply + "\r\n" + m_body);
            socket->disconnectFromHost(); // after the bytes written are sent
        });
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
    std::vector<QByteArray> m_requests;
    QByteArray m_status = "200 OK";
    QByteArray m_body;
    bool m_withLength = true;
    QByteArray m_contentType = "text/plain";
};

} // namespace kinovex::test
