#pragma once

#include <QString>

#include <vector>

#include "base/FileSystem.h"

// The outputs of a step as they were before its commands ran: an interrupted
// step must not leave a half-written output that looks up to date, so undo()
// removes whatever its commands created or changed. Outputs they did not
// touch keep their old times and stay out of date.
class OutputGuard {
public:
    explicit OutputGuard(FileSystem& files) : m_files(files) {}

    void add(const QString& path) { m_outputs.push_back({path, m_files.stat(path)}); }
    void undo();
    void clear() { m_outputs.clear(); }

private:
    struct Output {
        QString path;
        FileStat before;
    };
    FileSystem& m_files;
    std::vector<Output> m_outputs;
};
