#include "TestHttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace quillrig::test {

TestHttpServer::TestHttpServer(QObject *parent)
    : QObject(parent)
{
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("test HTTP server cannot listen");
    connect(&m_server, &QTcpServer::newConnection, this, &TestHttpServer::onNewConnection);
}

QUrl TestHttpServer::baseUrl() const
{
    return QUrl(u"http://127.0.0.1:%1"_s.arg(m_server.serverPort()));
}

void TestHttpServer::setRoute(const QString &path, const Response &response)
{
    m_routes.insert(path, response);
}

void TestHttpServer::removeRoute(const QString &path)
{
    m_routes.remove(path);
}

void TestHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            const QList<QByteArray> requestLine = buffer->left(buffer->indexOf("\r\n")).split(' ');
            buffer->clear();
            const QString path = requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]) : QString();
            m_requests.append(path);
            const Response response = m_routes.value(path, Response{ 404, "not found", 0 });
            if (response.silent)
                return;
            QPointer<QTcpSocket> guard(socket);
            auto reply = [guard, response] {
                if (!guard)
                    return;
                QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status)
                    + " Scripted\r\n"
                      "Content-Type: application/json\r\n"
                      "Connection: close\r\n"
                      "Content-Length: "
                    + QByteArray::number(response.body.size()) + "\r\n\r\n";
                guard->write(head);
                if (response.trickleChunks <= 0) {
                    guard->write(response.body);
                    guard->disconnectFromHost();
                    return;
                }
                const qsizetype piece = (response.body.size() + response.trickleChunks - 1) / response.trickleChunks;
                auto sent = std::make_shared<qsizetype>(0);
                auto *timer = new QTimer(guard);
                QObject::connect(timer, &QTimer::timeout, guard, [guard, timer, sent, piece, body = response.body] {
                    guard->write(body.mid(*sent, piece));
                    *sent += piece;
                    if (*sent >= body.size()) {
                        timer->stop();
                        guard->disconnectFromHost();
                    }
                });
                timer->start(response.trickleMs);
            };
            if (response.delayMs > 0)
                QTimer::singleShot(response.delayMs, socket, reply);
            else
                reply();
        });
    }
}

} // namespace quillrig::test
