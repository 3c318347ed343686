#pragma once

#include "objfile/ObjectDependencies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs the built toolchain programs in a scratch directory, as the build
// would: the scratch directory plays the project directory.
class ToolFixture : public ::testing::Test {
protected:
    struct Result {
        int status = -1;
        QString out;
        QString err;
    };

    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& name) const { return m_dir.path() + '/' + name; }

    void write(const QString& name, const QByteArray& contents) {
        QFileInfo info(path(name));
        QDir().mkpath(info.absolutePath());
        QFile file(info.filePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        file.write(contents);
    }

    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool exists(const QString& name) const { return QFileInfo::exists(path(name)); }

    Result run(const QString& tool, const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(SLIPWAY_STUDIO_DIR) + "/bin/" + tool, arguments);
        Result result;
        if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit) {
            process.kill();
            result.err = "did not finish normally";
            return result;
        }
        result.status = process.exitCode();
        result.out = QString::fromLatin1(process.readAllStandardOutput());
        result.err = QString::fromLatin1(process.readAllStandardError());
        return result;
    }

    QStringList dependencies(const QString& object) const {
        return readObjectFileDependencies(path(object));
    }

    QTemporaryDir m_dir;
};
