#include "TestHttpServer.h"

#include <QDateTime>
#include <QLocale>
#include <QPointer>
#include <QTcpSocket>
#include <QTimeZone>
#include <QTimer>

#include <zlib.h>

using namespace Qt::StringLiterals;

namespace quillrig::test {

namespace {

// An HTTP date (IMF-fixdate) as a time; invalid when it is not one.
QDateTime httpDate(const QByteArray &text)
{
    QDateTime date = QLocale::c().toDateTime(QString::fromLatin1(text.trimmed()), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s);
    date.setTimeZone(QTimeZone::utc());
    return date;
}

bool etagListMatches(const QByteArray &list, const QByteArray &etag)
{
    if (list.trimmed() == "*")
        return true;
    // Weak comparison, as a GET is judged: W/"x" and "x" are the same entity.
    const auto strong = [](QByteArray tag) { return tag.startsWith("W/") ? tag.mid(2) : tag; };
    for (const QByteArray &candidate : list.split(','))
        if (strong(candidate.trimmed()) == strong(etag))
            return true;
    return false;
}

// Whether the client's copy, described by the request's validators, is still current. An ETag
// comparison decides alone when the request has one, as a real host does.
bool notModified(const TestHttpServer::Request &request, const TestHttpServer::Response &response)
{
    if (!response.honourValidators || response.status != 200)
        return false;
    if (const auto noneMatch = request.headers.constFind("if-none-match"); noneMatch != request.headers.cend())
        return !response.etag.isEmpty() && etagListMatches(*noneMatch, response.etag);
    const auto since = request.headers.constFind("if-modified-since");
    if (since == request.headers.cend() || response.lastModified.isEmpty())
        return false;
    const QDateTime asked = httpDate(*since);
    const QDateTime modified = httpDate(response.lastModified);
    if (!asked.isValid() || !modified.isValid())
        return since->trimmed() == response.lastModified;
    return modified <= asked;
}

bool acceptsGzip(const TestHttpServer::Request &request)
{
    for (const QByteArray &coding : request.headers.value("accept-encoding").split(',')) {
        const QList<QByteArray> parts = coding.split(';');
        if (parts.first().trimmed().toLower() != "gzip")
            continue;
        // "gzip;q=0" refuses it.
        return !(parts.size() > 1 && parts[1].trimmed().startsWith("q=") && parts[1].trimmed().mid(2).toDouble() <= 0);
    }
    return false;
}

} // namespace

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
    auto route = std::make_shared<Route>();
    route->response = response;
    if (response.gzip && !response.body.isEmpty())
        route->compressed = gzipped(response.body);
    m_routes.insert(path, std::move(route));
}

void TestHttpServer::removeRoute(const QString &path)
{
    m_routes.remove(path);
}

QStringList TestHttpServer::requests() const
{
    QStringList paths;
    for (const Request &request : m_received)
        paths.append(request.path);
    return paths;
}

QByteArray TestHttpServer::gzipped(const QByteArray &bytes)
{
    z_stream stream{};
    // 15 window bits + 16 asks zlib for the gzip wrapper instead of the zlib one.
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        qFatal("zlib cannot compress");
    QByteArray out(qsizetype(deflateBound(&stream, uLong(bytes.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        qFatal("zlib did not finish compressing");
    out.resize(qsizetype(stream.total_out));
    return out;
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
            const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
            buffer->clear();
            const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
            Request request;
            request.path = requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]) : QString();
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
            }
            m_received.append(request);
            answer(socket, request);
        });
    }
}

void TestHttpServer::answer(QTcpSocket *socket, const Request &request)
{
    static const auto notFound = std::make_shared<const Route>(Route{ Response{ 404, "not found", 0 }, {} });
    const std::shared_ptr<const Route> route = m_routes.value(request.path, notFound);
    const Response &response = route->response;
    if (response.silent)
        return;

    const bool unchanged = notModified(request, response);
    const bool compressed = !unchanged && !route->compressed.isEmpty() && acceptsGzip(request);
    const QByteArray body = unchanged ? QByteArray() : compressed ? route->compressed : response.body;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(unchanged ? 304 : response.status)
        + (unchanged ? " Not Modified" : " Scripted")
        + "\r\n"
          "Content-Type: application/json\r\n"
          "Connection: close\r\n";
    if (!response.etag.isEmpty())
        head += "ETag: " + response.etag + "\r\n";
    if (!response.lastModified.isEmpty())
        head += "Last-Modified: " + response.lastModified + "\r\n";
    if (!route->compressed.isEmpty())
        head += "Vary: Accept-Encoding\r\n";
    if (compressed)
        head += "Content-Encoding: gzip\r\n";
    if (!unchanged)
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "\r\n";
    if (compressed)
        ++m_gzipAnswers;

    QPointer<TestHttpServer> server(this);
    QPointer<QTcpSocket> guard(socket);
    // Counted as written, so a reply the client gives up on counts only what went out.
    auto send = [server, guard](const QByteArray &bytes) {
        if (!guard)
            return;
        guard->write(bytes);
        if (server)
            server->m_bodyBytesSent += bytes.size();
    };
    auto reply = [guard, head, body, send, trickleMs = response.trickleMs, chunks = response.trickleChunks] {
        if (!guard)
            return;
        guard->write(head);
        if (chunks <= 0 || body.isEmpty()) {
            send(body);
            guard->disconnectFromHost();
            return;
        }
        const qsizetype piece = (body.size() + chunks - 1) / chunks;
        auto sent = std::make_shared<qsizetype>(0);
        auto *timer = new QTimer(guard);
        QObject::connect(timer, &QTimer::timeout, guard, [guard, timer, sent, piece, body, send] {
            send(body.mid(*sent, piece));
            *sent += piece;
            if (*sent >= body.size()) {
                timer->stop();
                guard->disconnectFromHost();
            }
        });
        timer->start(trickleMs);
    };
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, socket, reply);
    else
        reply();
}

} // namespace quillrig::test
