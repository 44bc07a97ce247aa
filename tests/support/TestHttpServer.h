#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

namespace quillrig::test {

// A loopback HTTP/1.1 server with scripted answers, standing in for the catalog, details and
// release endpoints.
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
    };

    explicit TestHttpServer(QObject *parent = nullptr);

    QUrl baseUrl() const;

    // Answers GET `path` (with its percent-encoding as sent) with `response`; unknown paths
    // get 404.
    void setRoute(const QString &path, const Response &response);
    void removeRoute(const QString &path);

    // Every requested path, in arrival order.
    QStringList requests() const { return m_requests; }

private:
    void onNewConnection();

    QTcpServer m_server;
    QHash<QString, Response> m_routes;
    QStringList m_requests;
};

} // namespace quillrig::test
