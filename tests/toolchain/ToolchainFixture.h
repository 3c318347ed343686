#pragma once

#include "support/TestFiles.h"

// The MSP430 project and build systems over a solution written to a temporary
// directory, with a builder that records instead of running.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "QtPrinters.h"
#include "base/Builder.h"
#include "build/ProjectHooks.h"
#include "macros/MacroSystem.h"
#include "project/ProjectElement.h"
#include "project/PropertyValueGroup.h"
#include "toolchain/MSP430BuildSystem.h"
#include "toolchain/MSP430ProjectSystem.h"

class RecordingBuilder : public Builder {
public:
    void beginGroup(ProjectElement*, const QString& title, bool) override { lines << title; }
    void endGroup(ProjectElement*) override { lines << QStringLiteral("<end>"); }
    void init() override {
        ++inits;
        directory.clear();
    }
    void setDirectory(const QString& d) override { directory = d; }
    void setCommand(const QStringList& c) override { command = c; }
    void setEnvironment(const QStringList&) override {}
    void setOutputFiles(const QStringList& files) override { outputs << files; }
    void setTemporaryFiles(const QStringList&) override {}
    void doit() override {
        commands << command;
        if (!command.isEmpty() && failing.contains(command.first()) && system)
            system->setFailed(true);
    }
    void error(const QString& text) override { lines << QStringLiteral("error: ") + text; }
    void message(const QString& text) override { lines << QStringLiteral("message: ") + text; }

    QStringList lines;
    QList<QStringList> commands;
    QStringList outputs;
    QStringList failing;
    BuildSystem* system = nullptr;
    QString directory;
    QStringList command;
    int inits = 0;
};

class ToolchainFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        studio = dir.path() + QStringLiteral("/studio");
        macroSystem.setSystemMacro(QStringLiteral("StudioDir"), studio);
        projects = std::make_unique<MSP430ProjectSystem>();
        builds = std::make_unique<MSP430BuildSystem>();
        installBuildHooks();
        propertyValueGroups->setGroupFile(QStringLiteral("None")); // process-wide
    }
    void TearDown() override {
        builds.reset();
        projects.reset();
    }

    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }

    void writeFile(const QString& relative, const QString& text) {
        ASSERT_TRUE(testsupport::writeFile(path(relative), text));
    }

    // A solution with a Debug configuration and the given children.
    void load(const QString& body) {
        writeFile(
            QStringLiteral("test.hzp"),
            testsupport::solutionText(QStringLiteral("<configuration Name=\"Debug\"/>\n"), body));
        projects->loadSolution(path(QStringLiteral("test.hzp")));
        solution = projects->solutionElement();
    }

    ProjectElement* project(const QString& name) { return projects->findProject(solution, name); }
    ProjectElement* file(const QString& fileName) { return findFile(solution, fileName); }
    static ProjectElement* findFile(ProjectElement* e, const QString& fileName) {
        for (; e; e = e->nextSibling()) {
            if (e->isFile() && e->fileName() == fileName) return e;
            if (ProjectElement* found = findFile(e->firstChild(), fileName)) return found;
        }
        return nullptr;
    }

    // Runs the element's own step as the build loop would and returns its commands.
    QList<QStringList> commandsFor(ProjectElement* element,
                                   const QStringList& inputs = QStringList()) {
        builder = RecordingBuilder();
        builder.failing = failing;
        const BuildSystem::BuildAction action = builds->buildAction(element, "Debug");
        const QString output = builds->output(action, element, "Debug", false);
        QStringList in = inputs;
        if (element->isFile()) in << element->getRelativePath();
        builds->setFailed(false);
        builder.system = builds.get();
        builds->createCommandFor(element, "Debug", action, output,
                                 projects->projectDirectoryPath(element) + "/" + output, in,
                                 &builder, true, false);
        return builder.commands;
    }
    QStringList commandFor(ProjectElement* element, const QStringList& inputs = QStringList()) {
        const QList<QStringList> list = commandsFor(element, inputs);
        return list.isEmpty() ? QStringList() : list.first();
    }

    QTemporaryDir dir;
    QString studio;
    RecordingBuilder builder;
    QStringList failing; // programs whose run fails
    std::unique_ptr<MSP430ProjectSystem> projects;
    std::unique_ptr<MSP430BuildSystem> builds;
    ProjectElement* solution = nullptr;
};
