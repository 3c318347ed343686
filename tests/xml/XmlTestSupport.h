#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

// A scratch directory with small helpers for writing and reading files.
class Scratch {
public:
    QString path(const QString& name) const { return m_dir.path() + "/" + name; }
    QString dir() const { return m_dir.path(); }

    QString write(const QString& name, const QByteArray& content) const {
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(content);
        return path(name);
    }
    QByteArray read(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void setTime(const QString& name, const QDateTime& t) const {
        QFile f(path(name));
        if (f.open(QIODevice::ReadWrite)) f.setFileTime(t, QFileDevice::FileModificationTime);
    }

private:
    QTemporaryDir m_dir;
};

// Collects Qt warnings while alive.
class WarningCapture {
public:
    WarningCapture() {
        s_current = this;
        m_previous = qInstallMessageHandler(&WarningCapture::handler);
    }
    ~WarningCapture() {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList warnings;

private:
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (s_current && type == QtWarningMsg) s_current->warnings << message;
    }
    static inline WarningCapture* s_current = nullptr;
    QtMessageHandler m_previous;
};
