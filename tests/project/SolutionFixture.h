#pragma once

// Shared set-up for the solution-model tests: a temporary directory to write
// solution files into and a minimal concrete project system.

#include "project/ProjectSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TestProjectSystem : public ProjectSystem {
public:
    TestProjectSystem()
        : ProjectSystem({"C", "C++", "Assembly"}, {"Executable", "Library", "Object file"}) {}
    PropertyValueList* applicableSettingsFor(ProjectElement*, const QString&) override {
        return new PropertyValueList(true);
    }
    QString getFileType(ProjectElement*) override { return QString(); }
    QString objectFileExtension() override { return ".o"; }
    QString libraryFileExtension() override { return ".a"; }
    QString executableFileExtension() override { return ".x"; }
};

class SolutionTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TestProjectSystem ps;

    QString path(const QString& name) const { return dir.path() + "/" + name; }

    // Writes a solution file: the document type line is added unless the text has its own.
    QString write(const QString& name, const QString& body) {
        QString file = path(name);
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QString text = body.startsWith("<!") || body.startsWith("<?")
                           ? body
                           : "<!DOCTYPE Halyard_Project_File>\n" + body;
        f.write(text.toUtf8());
        return file;
    }

    QString read(const QString& file) const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    ProjectElement* load(const QString& name, const QString& body) {
        ps.loadSolution(write(name, body));
        return ps.solutionElement();
    }

    ProjectElement* project(const QString& name) const {
        return ps.findProject(ps.solutionElement(), name);
    }
};
