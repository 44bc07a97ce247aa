#pragma once

#include <QString>

#include <exception>

// The root of every error the application throws. description() is the text the user sees;
// stores catch at their boundary and turn it into an activity-store failure.
class Error : public std::exception {
public:
    virtual QString description() const = 0;
    const char *what() const noexcept override;

private:
    mutable QByteArray m_what;
};

// The user-facing text of any exception: description() for ours, what() for the standard
// library's (bad_alloc and the like), so every boundary needs one catch clause, not two.
QString errorText(const std::exception &error);

// A setup step's own failure; the message is shown as it stands.
class SetupError : public Error {
public:
    explicit SetupError(QString message)
        : m_message(std::move(message))
    {
    }
    QString description() const override { return m_message; }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// A child process could not be started (missing program, no permission).
class LaunchError : public Error {
public:
    LaunchError(QString program, QString reason)
        : m_program(std::move(program))
        , m_reason(std::move(reason))
    {
    }
    QString description() const override;
    const QString &program() const { return m_program; }

private:
    QString m_program;
    QString m_reason;
};

// A file could not be read, written, copied or moved.
class FileError : public Error {
public:
    FileError(QString path, QString reason)
        : m_path(std::move(path))
        , m_reason(std::move(reason))
    {
    }
    QString description() const override;
    const QString &path() const { return m_path; }

private:
    QString m_path;
    QString m_reason;
};

// Transport and decoding failures of network requests.
class NetworkError : public Error {
public:
    explicit NetworkError(QString message)
        : m_message(std::move(message))
    {
    }
    QString description() const override { return m_message; }

private:
    QString m_message;
};

// A run was cancelled while it waited.
class CancelledError : public Error {
public:
    QString description() const override;
};
