#pragma once

#include "base/Builder.h"

// A builder that runs nothing and keeps nothing; tests override the calls
// they want to see.
class QuietBuilder : public Builder {
public:
    void beginGroup(ProjectElement*, const QString&, bool) override {}
    void endGroup(ProjectElement*) override {}
    void init() override {}
    void setDirectory(const QString&) override {}
    void setCommand(const QStringList&) override {}
    void setEnvironment(const QStringList&) override {}
    void setOutputFiles(const QStringList&) override {}
    void setTemporaryFiles(const QStringList&) override {}
    void doit() override {}
};
