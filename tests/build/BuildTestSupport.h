#pragma once

#include "FakeFileSystem.h"
#include "support/TestFiles.h"

// Fakes shared by the build-engine tests: a file system with invented times,
// a builder that records what it is asked to print and run, and concrete
// project and build systems whose toolchain hooks only record.

#include <QDir>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <memory>

#include "base/Builder.h"
#include "build/ProjectHooks.h"
#include "build/StandardBuildSystem.h"
#include "project/StandardProjectSystem.h"
#include "project/ToolDatabase.h"

// Records every line (indented like the console) and every command; a command
// "produces" the files given to setOutputFiles at the current clock.
class RecordingBuilder : public Builder {
public:
    explicit RecordingBuilder(FakeFileSystem* fs = nullptr) : m_fs(fs) {}

    void beginGroup(ProjectElement*, const QString& title, bool) override {
        m_indent += 2;
        line(title);
        titles << title;
    }
    void endGroup(ProjectElement*) override { m_indent -= 2; }
    void init() override {
        m_directory.clear();
        m_command.clear();
        m_outputs.clear();
    }
    void setDirectory(const QString& directory) override { m_directory = directory; }
    void setCommand(const QStringList& command) override { m_command = command; }
    void setEnvironment(const QStringList&) override {}
    void setOutputFiles(const QStringList& files) override { m_outputs = files; }
    void setTemporaryFiles(const QStringList&) override {}
    void doit() override {
        commands << m_command;
        directories << m_directory;
        if (!m_command.isEmpty() && failing.contains(m_command.first())) {
            setFailed();
            return;
        }
        if (m_fs) {
            for (const QString& file : m_outputs)
                m_fs->touch(file, clock);
        }
    }
    void error(const QString& text) override { line(text); }
    void note(const QString& text) override { line(text); }
    void success(const QString& text) override { line(text); }
    void message(const QString& text) override { line(text); }

    QStringList lines;
    QStringList titles;
    QList<QStringList> commands;
    QStringList directories;
    QSet<QString> failing; // programs that fail
    qint64 clock = 1000;
    int indent() const { return m_indent; }

private:
    void line(const QString& text) { lines << QString(qMax(0, m_indent), QLatin1Char(' ')) + text; }
    FakeFileSystem* m_fs;
    int m_indent = 0;
    QString m_directory;
    QStringList m_command;
    QStringList m_outputs;
};

class TestProjectSystem : public StandardProjectSystem {
public:
    QString objectFileExtension() override { return QStringLiteral(".hzo"); }
    QString libraryFileExtension() override { return QStringLiteral(".hza"); }
    QString executableFileExtension() override { return QStringLiteral(".hzx"); }
    QString assemblyCodeFileExtension() override { return QStringLiteral(".s43"); }
};

// The toolchain hooks record the steps and run one command per step, named
// after the action, that produces the resolved output.
class TestBuildSystem : public StandardBuildSystem {
public:
    using StandardBuildSystem::StandardBuildSystem;

    void createCommandFor(ProjectElement* element, const QString&, BuildAction action,
                          const QString& outputName, const QString& resolvedOutputPath,
                          const QStringList& inputs, Builder* builder, bool, bool) override {
        const QString program = action == Link      ? QStringLiteral("link")
                                : action == Archive ? QStringLiteral("archive")
                                                    : QStringLiteral("compile");
        builder->beginGroup(element, program + QLatin1Char(' ') + outputName, false);
        builder->init();
        builder->setDirectory(projectDirectory());
        builder->setCommand(QStringList{program, outputName} + inputs);
        builder->setOutputFiles({resolvedOutputPath});
        builder->doit();
        builder->endGroup(element);
    }
    QStringList getObjectFileDependencies(const QString&, const QString&,
                                          const QString& objectFilePath) override {
        ++dependencyReads;
        return recordedDependencies.value(objectFilePath);
    }

    QMap<QString, QStringList> recordedDependencies; // object path -> recorded files
    int dependencyReads = 0;
};

// A project system, a build system and a solution written to a temporary directory.
class BuildFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        projects = std::make_unique<TestProjectSystem>();
        builds = std::make_unique<TestBuildSystem>();
        builds->setFileSystem(&fs);
        installBuildHooks();
    }
    void TearDown() override {
        builds.reset();
        projects.reset();
    }

    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }

    void writeFile(const QString& relative, const QString& text) {
        ASSERT_TRUE(testsupport::writeFile(path(relative), text));
    }

    // Loads a solution whose body (the children of <solution>) is given.
    void load(const QString& body,
              const QString& configurations = QStringLiteral("<configuration Name=\"Debug\"/>")) {
        writeFile(QStringLiteral("test.hzp"), testsupport::solutionText(configurations, body));
        projects->loadSolution(path(QStringLiteral("test.hzp")));
        solution = projects->solutionElement();
    }

    ProjectElement* project(const QString& name) { return projects->findProject(solution, name); }
    ProjectElement* file(const QString& fileName) { return findFileNamed(solution, fileName); }
    static ProjectElement* findFileNamed(ProjectElement* e, const QString& fileName) {
        for (; e; e = e->nextSibling()) {
            if (e->isFile() && e->fileName() == fileName) return e;
            if (ProjectElement* found = findFileNamed(e->firstChild(), fileName)) return found;
        }
        return nullptr;
    }

    int build(ProjectElement* element, int flags, const QString& configuration = "Debug",
              bool withDependencies = true, bool batch = false) {
        return builds->build(element, configuration, &builder, flags, withDependencies, batch);
    }

    QTemporaryDir dir;
    FakeFileSystem fs;
    RecordingBuilder builder{&fs};
    std::unique_ptr<TestProjectSystem> projects;
    std::unique_ptr<TestBuildSystem> builds;
    ProjectElement* solution = nullptr;
};

// Flags as the command line sets them.
constexpr int Quiet = BuildSystem::QuietFlag;
constexpr int Verbose = 0;
constexpr int CleanOnly =
    BuildSystem::CleanFlag | BuildSystem::ForceFlag | BuildSystem::NoBuildFlag;
