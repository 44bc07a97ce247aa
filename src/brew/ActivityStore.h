#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// The model behind the status bar: what is running, how far it got, how the last run ended and
// the state of the package catalog. Both stores report here; the views only read it (apart from
// dismissing and showing the error sheet). Lives on the GUI thread. Views connect to the
// xChanged signals directly; no field is declared a Q_PROPERTY (see BrewStore).
class ActivityStore : public QObject {
    Q_OBJECT

public:
    struct Phase {
        enum class Kind { idle, running, success, failure };
        Kind kind = Kind::idle;
        QString title; // failure only
        QString message; // success and failure

        static Phase idle() { return {}; }
        static Phase running() { return { Kind::running, {}, {} }; }
        static Phase success(QString message) { return { Kind::success, {}, std::move(message) }; }
        static Phase failure(QString title, QString message)
        {
            return { Kind::failure, std::move(title), std::move(message) };
        }
        bool operator==(const Phase &) const = default;
    };

    struct CatalogState {
        enum class Kind { idle, loading, updated, failed };
        Kind kind = Kind::idle;
        QDateTime date; // updated only
        QString text; // failed only

        static CatalogState idle() { return {}; }
        static CatalogState loading() { return { Kind::loading, {}, {} }; }
        static CatalogState updated(QDateTime date) { return { Kind::updated, std::move(date), {} }; }
        static CatalogState failed(QString text) { return { Kind::failed, {}, std::move(text) }; }
        bool operator==(const CatalogState &) const = default;
    };

    struct CurrentError {
        QString title;
        QString message;
        std::function<void()> retry; // empty when the error cannot be retried
    };

    explicit ActivityStore(QObject *parent = nullptr);

    Phase phase() const { return m_phase; }
    // Reporting a failure is a plain assignment of Phase::failure(…); no fade follows.
    void setPhase(const Phase &phase);

    QString title() const { return m_title; }
    QString detail() const { return m_detail; }
    std::optional<double> progress() const { return m_progress; }

    CatalogState catalog() const { return m_catalog; }
    void setCatalog(const CatalogState &state);

    const std::function<void()> &catalogRetry() const { return m_catalogRetry; }
    void setCatalogRetry(std::function<void()> retry);

    bool showingError() const { return m_showingError; }
    void setShowingError(bool showing);

    void begin(const QString &title, const QString &detail, std::optional<double> progress);
    // Only while running; an absent argument leaves its field alone.
    void update(const std::optional<QString> &detail, std::optional<double> progress);
    void succeed(const QString &message);
    void dismiss();
    // Stops a pending return from success to idle. Stores call it before assigning a failure.
    void cancelFade();

    std::optional<CurrentError> currentError() const;

Q_SIGNALS:
    void phaseChanged();
    void titleChanged();
    void detailChanged();
    void progressChanged();
    void catalogChanged();
    void catalogRetryChanged();
    void showingErrorChanged();

private:
    void setTitle(const QString &title);
    void setDetail(const QString &detail);
    void setProgress(std::optional<double> progress);

    Phase m_phase;
    QString m_title;
    QString m_detail;
    std::optional<double> m_progress;
    CatalogState m_catalog;
    std::function<void()> m_catalogRetry;
    bool m_showingError = false;
    // The pending fade of a success message back to idle. QTimer runs on the monotonic clock.
    QTimer m_fade;
};
