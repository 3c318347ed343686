// The per-project build loop: children first, then the element's own step,
// decided and then run.

#include "build/StandardBuildSystem.h"

#include "base/Builder.h"
#include "build/StepRunner.h"
#include "build/StepScan.h"
#include "project/ProjectElement.h"
#include "project/PropertyValueGroup.h"

bool StandardBuildSystem::platformBuild(ProjectElement* element, const QString& configuration,
                                        Builder* builder, int flags) {
    m_projectDirectory = projectDirectoryOf(element);
    loadPropertyGroups(element, configuration);
    const bool built = platformBuild1(element, configuration, builder, flags);
    // Whatever ran ahead is reported before the project ends.
    m_steps.catchUp(builder);
    // What the project's steps cached (file times, macro maps, output names)
    // is worked out again cheaply if another project asks: dropping it keeps a
    // large solution's memory to one project's worth. Objects' dependencies
    // are kept by the dependency log when there is one.
    clearCaches();
    if (dependencyLog()) m_dependencyCache.clear();
    return built;
}

void StandardBuildSystem::loadPropertyGroups(ProjectElement* element,
                                             const QString& configuration) {
    const QString file = settingForExpanded(element, propertyGroupsFilePath, configuration);
    if (!file.isEmpty() && propertyValueGroups) propertyValueGroups->setGroupFile(file);
    if (options().trackCommands) enterCommandContext(file);
}

bool StandardBuildSystem::platformBuild1(ProjectElement* element, const QString& configuration,
                                         Builder* builder, int flags) {
    bool force = flags & ForceFlag;
    if (builder) builder->idle();
    const int action = buildAction(element, configuration);

    if (action != Prebuilt) {
        if (m_failed) return false;
        if (!m_stopRequested) {
            bool childBuilt = false;
            for (ProjectElement* child = element->firstChild(); child && !stopping();
                 child = child->nextSibling()) {
                if (child->isConfiguration()) continue;
                if (platformBuild1(child, configuration, builder, flags)) childBuilt = true;
            }
            if (childBuilt) force = true;
        }
    }
    if (stopping()) return false;

    switch (action) {
    case 9:
        return false;
    case Prebuilt:
        if (!element->isProject()) return force;
        break;
    default:
        // Folders, excluded and unknown files build nothing of their own.
        if (action < Link && !isCompileAction(action)) return force;
        break;
    }
    // A file's compile needs nothing the steps before it make; every other
    // step waits for them and their reports.
    const bool independent = isCompileAction(action) && element->isFile();
    if (!independent) {
        m_steps.catchUp(builder);
        if (stopping()) return false;
    }
    StepContext context;
    context.element = element;
    context.configuration = configuration;
    context.action = BuildAction(action);
    context.force = force;
    context.clean = flags & CleanFlag;
    context.noBuild = flags & NoBuildFlag;
    context.quiet = flags & QuietFlag;
    context.builder = builder;
    context.projectDirectory = m_projectDirectory;
    StepPlan plan = scanStep(*this, context);
    return independent ? m_steps.runIndependent(std::move(plan), builder)
                       : runStep(*this, plan, builder);
}
