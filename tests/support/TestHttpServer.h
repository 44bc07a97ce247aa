#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

#include <memory>

namespace quillrig::test {

// A loopback HTTP/1.1 server with scripted answers, standing in for the catalog, details and
// release endpoints. Like a static file host it answers a conditional GET whose validator still
// matches with 304 and no body, and compresses a body with gzip when the request accepts that.
class TestHttpServer : public QObject {
    Q_OBJECT

public:
    struct Response {
        int status = 200;
        QByteArray body;
        int delayMs = 0;
        // Sends the body in `trickleChunks` pieces, one every `trickleMs`, after the headers.
        int trickleMs = 0;
        int trickleChunks = 0;
        // Accepts the request and never answers.
        bool silent = false;
        // Validators sent with a 200 (each only when set), e.g. "\"abc\"" and
        // "Wed, 21 Oct 2015 07:28:00 GMT".
        QByteArray etag = {};
        QByteArray lastModified = {};
        // False: a server that sends validators but always answers in full.
        bool honourValidators = true;
        // False: the body always goes out as it is, whatever the request accepts.
        bool gzip = true;
    };

    // One request as it arrived: the path (percent-encoding as sent) and its headers, names in
    // lower case.
    struct Request {
        QString path;
        QHash<QByteArray, QByteArray> headers;
    };

    explicit TestHttpServer(QObject *parent = nullptr);

    QUrl baseUrl() const;

    // Answers GET `path` (with its percent-encoding as sent) with `response`; unknown paths
    // get 404. A body to be compressed is compressed here, once.
    void setRoute(const QString &path, const Response &response);
    void removeRoute(const QString &path);

    // Every requested path, in arrival order.
    QStringList requests() const;
    const QList<Request> &received() const { return m_received; }
    // Body bytes written to the wire so far (compressed size for a gzip body); headers excluded.
    qint64 bodyBytesSent() const { return m_bodyBytesSent; }
    // How many answers went out with Content-Encoding: gzip.
    int gzipAnswers() const { return m_gzipAnswers; }

    // `bytes` in the gzip format (RFC 1952).
    static QByteArray gzipped(const QByteArray &bytes);

private:
    struct Route {
        Response response;
        QByteArray compressed; // empty when the route is not compressed
    };

    void onNewConnection();
    void answer(QTcpSocket *socket, const Request &request);

    QTcpServer m_server;
    QHash<QString, std::shared_ptr<const Route>> m_routes;
    QList<Request> m_received;
    qint64 m_bodyBytesSent = 0;
    int m_gzipAnswers = 0;
};

} // namespace quillrig::test
