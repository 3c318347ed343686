// Solution loading, and the settings, macros, outputs and build order read
// from what was loaded. Input: the solution file, "%%", a file it may import
// as imp.hzp.

#include "FuzzSupport.h"

#include "build/BuildSystem.h"
#include "project/ProjectElement.h"
#include "project/ProjectSystem.h"
#include "project/Property.h"

#include <QDomDocument>
#include <QtGlobal>

namespace {

void visit(ProjectElement* element, const QString& configuration, int& budget) {
    for (; element && budget > 0; element = element->nextSibling(), --budget) {
        (void)buildSystem->macros(element, configuration);
        if (element->isFile() || element->isProject())
            (void)buildSystem->output(element, configuration, true);
        if (element->isProject()) {
            (void)projectSystem->buildOrder(element, configuration);
            (void)projectSystem->dependencyCycle(element, configuration);
        }
        delete projectSystem->settingsFor(element, configuration);
        visit(element->firstChild(), configuration, budget);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpGlobals(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> p = fuzz::parts(data, size, 2);
    const QString file = fuzz::writeScratch("solution.hzp", p[0]);
    fuzz::writeScratch("imp.hzp", p[1]);
    try {
        projectSystem->loadSolution(file);
    } catch (const SolutionLoadError&) {
        return 0;
    }
    ProjectElement* solution = projectSystem->solutionElement();
    if (!solution) return 0;
    const QStringList configurations = projectSystem->configurations(solution, true, true);
    for (int i = 0; i < configurations.size() && i < 4; ++i) {
        int budget = 64;
        visit(solution, configurations[i], budget);
        (void)projectSystem->getBatchBuildConfigurations(solution, configurations[i]);
    }
    (void)projectSystem->toDocument(solution).toByteArray(2);
    return 0;
}
