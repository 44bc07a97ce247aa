#include "DemoServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Requests are tiny GETs; anything larger is not one of ours.
constexpr qint64 maxRequestBytes = 16 * 1024;

} // namespace

DemoServer::DemoServer(Handler handler, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool DemoServer::start()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl DemoServer::baseUrl() const
{
    return QUrl(u"http://127.0.0.1:%1"_s.arg(m_server.serverPort()));
}

void DemoServer::serve(QTcpSocket *socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    if (request.size() > maxRequestBytes) {
        socket->disconnectFromHost();
        return;
    }
    socket->setProperty("request", request);
    const qsizetype headerEnd = request.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    socket->setProperty("request", QByteArray());

    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    QByteArray body;
    QByteArray status = "404 Not Found";
    if (requestLine.size() == 3 && requestLine[0] == "GET") {
        const QString path = QUrl(QString::fromLatin1(requestLine[1])).path();
        body = m_handler(path);
        if (!body.isEmpty())
            status = "200 OK";
    } else {
        status = "405 Method Not Allowed";
    }
    const QByteArray response = "HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    QTimer::singleShot(m_delayMs, socket, [socket = QPointer<QTcpSocket>(socket), response] {
        if (!socket)
            return;
        socket->write(response);
        socket->disconnectFromHost();
    });
}
