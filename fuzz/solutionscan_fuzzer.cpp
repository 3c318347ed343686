// The solution scanner against the general XML reader: a file loads to the
// same tree, or fails with the same error, either way.

#include "FuzzSupport.h"

#include "project/ProjectElement.h"
#include "project/ProjectSystem.h"

#include <cstdlib>

namespace {

QString describe(ProjectElement* e) {
    QString out = e->getTagName() + "{";
    const QMap<QString, QString>& attributes = e->attributes();
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        out += it.key() + "=[" + it.value() + "]";
    out += "}(";
    for (ProjectElement* c = e->firstChild(); c; c = c->nextSibling())
        out += describe(c);
    return out + ")";
}

QString load(const QString& file, bool scan) {
    projectSystem->setSolutionScanning(scan);
    try {
        projectSystem->loadSolution(file);
    } catch (const SolutionLoadError& e) {
        return QString("error %1|%2|%3|%4|%5")
            .arg(e.fileName, e.message)
            .arg(e.hasPosition)
            .arg(e.line)
            .arg(e.column);
    }
    return describe(projectSystem->solutionElement());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpGlobals(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString file = fuzz::writeScratch(
        "solution.hzp", QByteArray(reinterpret_cast<const char*>(data), int(size)));
    if (load(file, true) != load(file, false)) std::abort();
    return 0;
}
