#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>

#include <functional>

// A small HTTP/1.1 server on the loopback interface that answers GET requests for the demo: the
// catalog documents, the package details and the latest Homebrew release, each with an ETag that a
// conditional request is answered by (304). Anything else is 404.
class DemoServer : public QObject {
    Q_OBJECT

public:
    // Returns the body for a path, or an empty array for "not found".
    using Handler = std::function<QByteArray(const QString &path)>;

    DemoServer(Handler handler, QObject *parent = nullptr);

    // Listens on 127.0.0.1 at a free port; false when no socket could be opened.
    bool start();
    QUrl baseUrl() const;
    // Answers only after this long, so the app's loading states can be seen.
    void setDelay(int milliseconds) { m_delayMs = milliseconds; }

private:
    void serve(QTcpSocket *socket);

    Handler m_handler;
    QTcpServer m_server;
    int m_delayMs = 0;
};
