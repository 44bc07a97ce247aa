#include "DemoServer.h"

#include <QHashFunctions>
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

    const QList<QByteArray> lines = request.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    QByteArray ifNoneMatch;
    for (const QByteArray &line : lines) {
        if (line.toLower().startsWith("if-none-match:"))
            ifNoneMatch = line.mid(line.indexOf(':') + 1).trimmed();
    }
    QByteArray body;
    QByteArray status = "404 Not Found";
    QByteArray etag;
    if (requestLine.size() == 3 && requestLine[0] == "GET") {
        const QString path = QUrl(QString::fromLatin1(requestLine[1])).path();
        body = m_handler(path);
        if (!body.isEmpty()) {
            status = "200 OK";
            // Like a static host: the same document keeps its ETag, and a client that has it
            // already gets 304 and no body.
            etag = '"' + QByteArray::number(quint64(qHashBits(body.constData(), size_t(body.size()), 0)), 16) + '"';
            if (ifNoneMatch == etag) {
                status = "304 Not Modified";
                body.clear();
            }
        }
    } else {
        status = "405 Method Not Allowed";
    }
    QByteArray head = "HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\n";
    if (!etag.isEmpty())
        head += "ETag: " + etag + "\r\n";
    if (!status.startsWith("304"))
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    const QByteArray response = head + "Connection: close\r\n\r\n" + body;
    QTimer::singleShot(m_delayMs, socket, [socket = QPointer<QTcpSocket>(socket), response] {
        if (!socket)
            return;
        socket->write(response);
        socket->disconnectFromHost();
    });
}
