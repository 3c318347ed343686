#include "build/StepScan.h"

#include "base/Caching.h"
#include "base/Path.h"
#include "base/SettingTexts.h"
#include "build/BuildJournal.h"
#include "build/CompilationDatabase.h"
#include "build/StandardBuildSystem.h"
#include "project/ProjectSystem.h"

namespace {

using SettingText::No;
using SettingText::Yes;
using S = StandardBuildSystem;

// Every step follows one skeleton: locate the output; unless force is set, ask
// the file times of its dependencies and the change times of the settings of
// its command; plan "up to date", or the clean and the commands.
class StepScan {
public:
    StepScan(S& bs, const StepContext& c) : bs(bs), c(c), force(c.force) {}

    StepPlan compile();
    StepPlan link();
    StepPlan archive();
    StepPlan stage();
    StepPlan combine();
    StepPlan external();

private:
    struct Output {
        QString name;
        QString resolved;
        QDateTime time;
        bool exists = false;
    };

    // A missing output is explained (unless quiet).
    // An output that an earlier run was making when it stopped counts as
    // missing, whatever its time.
    void locate(const QString& name) {
        out.name = name;
        out.exists = bs.exists(c.projectDirectory, name, out.resolved, out.time, &rec, c.quiet);
        const BuildJournal* journal = bs.journal();
        if (out.exists && !force && journal && journal->unfinished(out.resolved)) {
            if (!c.quiet)
                rec.message(name + QStringLiteral(" was being built when an earlier run stopped."));
            force = true;
        }
    }
    bool mayBeCurrent() const { return out.exists && !force; }
    // No dependency is newer than the output and no setting of its command
    // changed after it; at most one explanation is recorded.
    bool current(const QStringList& dependencies) {
        return bs.upToDate(c.projectDirectory, out.name, out.time, dependencies, &rec, c.quiet) &&
               bs.commandUpToDate(c.element, c.configuration, out.time, c.action, &rec, c.quiet);
    }
    StepPlan upToDate(const char* tail) {
        if (!c.quiet) rec.success(QLatin1Char('\'') + out.name + QLatin1Char('\'') + tail);
        return rec.take(false);
    }
    // The output is out of date: it is cleaned if asked; true when commands are
    // to be planned.
    bool rebuild() {
        if (c.clean) rec.add(StepEntry::Clean, out.resolved).quiet = c.quiet;
        if (c.noBuild || !c.builder) return false;
        writes = {out.resolved};
        return true;
    }
    StepPlan take(bool built) {
        StepPlan plan = rec.take(built);
        plan.outputs = writes;
        if (bs.options().trackCommands && !writes.isEmpty()) {
            plan.tracked = true;
            plan.commands = commandHash(plan.entries);
            plan.context = bs.commandContext();
        }
        return plan;
    }
    // When commands are tracked and what they are formed from changed, those
    // that would make the output now are formed (and dropped again) and
    // compared with those that made it; an output made before they were
    // tracked takes them as its own.
    template <typename Plan> bool commandsUnchanged(Plan plan) {
        BuildJournal* journal = bs.journal();
        if (!bs.options().trackCommands || !journal || !c.builder) return true;
        BuildJournal::Commands made;
        const bool known = journal->commandsOf(out.resolved, made);
        if (known && made.context == bs.commandContext()) return true;
        const size_t mark = rec.size();
        plan();
        const BuildJournal::Commands now{commandHash(rec.entries(), mark), bs.commandContext()};
        rec.dropFrom(mark);
        if (!known || made.commands == now.commands) {
            if (!bs.options().dryRun) journal->recordCommands(out.resolved, now);
            return true;
        }
        if (!c.quiet)
            rec.message(out.name + QStringLiteral(" is out of date: command line changed."));
        return false;
    }
    void createCommand(const QStringList& inputs) {
        bs.createCommandFor(c.element, c.configuration, c.action, out.name, out.resolved, inputs,
                            &rec, c.quiet, c.clean);
    }
    // A compilation database lists the object's command: the one planned from
    // mark on or, when none was, one formed and dropped again.
    void listCommand(const QString& source, size_t mark) {
        if (!bs.options().compilationDatabase) return;
        const bool planned = mark < rec.size();
        if (!planned) createCommand({source});
        CompileCommand command;
        const bool formed = CompilationDatabase::formedIn(rec.entries(), mark, source, command);
        if (!planned) rec.dropFrom(mark);
        // Listed before the command runs, so a failed one is listed too.
        if (formed) rec.insert(mark, CompilationDatabase::entryFor(command));
    }
    // A command of the step's own, in the directory, inside the open group.
    void command(const QString& directory, const QStringList& command,
                 const QStringList& outputs = QStringList()) {
        rec.init();
        rec.setDirectory(directory);
        rec.setCommand(command);
        if (!outputs.isEmpty()) rec.setOutputFiles(outputs);
        rec.doit();
    }
    void chmod(const QString& directory, PropertyClass* readOnly) {
        const bool yes = projectSystem->settingFor(c.element, readOnly, c.configuration) == Yes;
        command(directory, {QStringLiteral("chmod"),
                            yes ? QStringLiteral("-w") : QStringLiteral("+w"), out.resolved});
    }
    void updatePackage(const QString& package, const QString& member, bool update) {
        StepEntry& entry = rec.add(StepEntry::UpdatePackage, package, {member, out.resolved});
        entry.flag = update;
        entry.quiet = c.quiet;
    }
    QString expanded(PropertyClass* setting) {
        return bs.settingForExpanded(c.element, setting, c.configuration);
    }
    QStringList linkInputs();
    void linkCommands(const QStringList& inputs);

    S& bs;
    const StepContext& c;
    bool force;
    PlanRecorder rec;
    Output out;
    QStringList writes;
};

StepPlan StepScan::compile() {
    locate(bs.output(c.action, c.element, c.configuration, false));
    const QString source = c.element->getRelativePath();
    QHash<QString, QStringList>& cache = bs.dependencyCache();
    if (mayBeCurrent()) {
        QStringList dependencies = Caching::enabled() ? cache.value(out.resolved) : QStringList();
        if (!dependencies.isEmpty() || bs.objectDependencies(source, out.resolved, dependencies)) {
            // An object that records nothing is compared with its source.
            if (dependencies.isEmpty()) dependencies << c.element->getPath().canonicalPathQString();
            if (current(dependencies) && commandsUnchanged([&] { createCommand({source}); })) {
                if (Caching::enabled()) cache.insert(out.resolved, dependencies);
                listCommand(source, rec.size());
                return upToDate(" is up to date");
            }
        } else if (!c.quiet) {
            rec.message(out.name + QStringLiteral(" is not a readable object file."));
        }
        cache.remove(out.resolved);
    }
    const bool planned = rebuild();
    const size_t mark = rec.size();
    if (planned) {
        createCommand({source});
        rec.add(StepEntry::RememberDependencies, source, {out.resolved});
    }
    listCommand(source, mark);
    return take(true);
}

// The project's own outputs, then those of the libraries and object-file
// projects it depends on, then the additional files. A library rebuilt in
// this run forces the link.
QStringList StepScan::linkInputs() {
    QStringList inputs;
    bs.findOutputs(c.element->firstChild(), c.configuration, inputs, false);
    for (ProjectElement* dependency :
         projectSystem->directlyDependsOn(c.element, c.configuration)) {
        if (projectSystem->settingFor(dependency, bs.buildExcludeFromBuild, c.configuration) != No)
            continue;
        const QString type = S::projectTypeOf(dependency);
        if (type == QLatin1String("Library")) {
            inputs << bs.output(S::Archive, dependency, c.configuration, true);
            bool built = false;
            if (bs.justBuilt(dependency, c.configuration, built) && built) force = true;
        } else if (type == QLatin1String("Object file")) {
            bs.findOutputs(dependency->firstChild(), c.configuration, inputs, true);
        }
    }
    inputs << expanded(bs.linkerAdditionalFiles).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return inputs;
}

void StepScan::linkCommands(const QStringList& inputs) {
    createCommand(inputs);
    const QStringList post = S::splitCommand(expanded(bs.linkerPostBuildCommand));
    if (!post.isEmpty()) {
        rec.beginGroup(c.element, QStringLiteral("Post build command "), false);
        command(c.projectDirectory, post);
        rec.endGroup(c.element);
    }
}

StepPlan StepScan::link() {
    const QString name = bs.output(S::Link, c.element, c.configuration, false);
    const QStringList inputs = linkInputs();
    locate(name);
    if (mayBeCurrent()) {
        QStringList dependencies = inputs;
        QString file;
        if (bs.useLinkerScriptFileForLink(c.element, c.configuration, file)) dependencies << file;
        if (bs.useMemoryMapFileForLink(c.element, c.configuration, file)) dependencies << file;
        if (bs.useSectionPlacementFileForLink(c.element, c.configuration, file))
            dependencies << file;
        if (current(dependencies) &&
            bs.additionalOutputFileUpToDate(c.element, c.configuration, out.resolved, dependencies,
                                            &rec, c.quiet) &&
            bs.mapOutputFileUpToDate(c.element, c.configuration, out.resolved, dependencies, &rec,
                                     c.quiet) &&
            commandsUnchanged([&] { linkCommands(inputs); }))
            return upToDate(" is up to date");
    }
    if (rebuild()) linkCommands(inputs);
    return take(true);
}

StepPlan StepScan::archive() {
    locate(bs.output(S::Archive, c.element, c.configuration, false));
    QStringList inputs;
    bs.findOutputs(c.element->firstChild(), c.configuration, inputs, false);
    if (mayBeCurrent() && current(inputs) && commandsUnchanged([&] { createCommand(inputs); }))
        return upToDate(" is up to date");
    if (rebuild()) createCommand(inputs);
    return take(true);
}

StepPlan StepScan::stage() {
    locate(bs.output(S::Stage, c.element, c.configuration, false));
    const QString directory = S::projectDirectoryOf(c.element);
    const QString source = S::absoluteIn(directory, c.element->getRelativePath());

    MacroMap stageMacros;
    stageMacros[QStringLiteral("StageOutputFilePath")] = out.resolved;
    const QString studioDir =
        macroSystem.replaceMacros(macroSystem.globalMacros(true), QStringLiteral("$(StudioDir)"));
    stageMacros[QStringLiteral("StageStudioDirRelativeOutputFilePath")] =
        ProjectSystem::relativeFilePath(studioDir, out.resolved);
    const QString package = expanded(bs.stagePackageFilepath);
    const QString member =
        macroSystem.replaceMacros(stageMacros, expanded(bs.stagePackageMemberName));
    const bool packaged = !package.isEmpty() && !member.isEmpty();
    auto copy = [&] {
        const QStringList run =
            S::splitCommand(macroSystem.replaceMacros(stageMacros, expanded(bs.stageCommand)));
        rec.beginGroup(c.element,
                       QStringLiteral("Copying ") + bs.displayName(c.element, c.configuration),
                       false);
        command(directory, run, {out.resolved});
        chmod(directory, bs.stageSetReadonly);
        if (packaged) updatePackage(package, member, true);
        rec.endGroup(c.element);
    };

    if (mayBeCurrent() && current({source}) && commandsUnchanged(copy)) {
        // An up-to-date copy may still be missing from its package.
        if (!c.quiet)
            rec.success(QLatin1Char('\'') + out.name + QStringLiteral("' is up to date."));
        if (packaged) updatePackage(package, member, false);
        return rec.take(false);
    }
    if (rebuild()) copy();
    return take(true);
}

StepPlan StepScan::combine() {
    locate(bs.output(S::Combine, c.element, c.configuration, false));
    QStringList inputs;
    bs.findRelativeInputs(c.element->firstChild(), c.configuration, inputs);
    auto combining = [&] {
        MacroMap combineMacros;
        combineMacros[QStringLiteral("CombiningOutputFilePath")] = out.resolved;
        combineMacros[QStringLiteral("CombiningRelInputPaths")] = inputs.join(QLatin1Char(' '));
        const QStringList run =
            S::splitCommand(macroSystem.replaceMacros(combineMacros, expanded(bs.combineCommand)));
        rec.beginGroup(c.element, QStringLiteral("Combining ") + c.element->name(), false);
        command(c.projectDirectory, run, {out.resolved});
        chmod(c.projectDirectory, bs.combineSetReadonly);
        rec.endGroup(c.element);
    };
    if (mayBeCurrent() && current(inputs) && commandsUnchanged(combining))
        return upToDate(" is up to date");
    if (rebuild()) combining();
    return take(true);
}

// An externally built executable: its own commands, no up-to-date decision.
StepPlan StepScan::external() {
    if (!c.builder) return rec.take(force);
    rec.init();
    rec.setDirectory(projectSystem->projectDirectoryPath(c.element));
    const QString name = c.element->name();
    const QString cleanCommand =
        projectSystem->settingFor(c.element, bs.externalCleanCommand, c.configuration);
    if (c.clean && !cleanCommand.isEmpty()) {
        rec.beginGroup(c.element, QStringLiteral("Running Clean command ") + name, false);
        rec.setCommand({cleanCommand});
        rec.doit();
        rec.endGroup(c.element);
    }
    const QString buildCommand =
        projectSystem->settingFor(c.element, bs.externalBuildCommand, c.configuration);
    if (!c.noBuild && !buildCommand.isEmpty()) {
        rec.beginGroup(c.element, QStringLiteral("Running Build command ") + name, false);
        rec.setCommand({buildCommand});
        const QString executable = bs.output(S::Prebuilt, c.element, c.configuration, true);
        rec.setOutputFiles(executable.isEmpty() ? QStringList() : QStringList{executable});
        rec.doit();
        rec.endGroup(c.element);
    }
    return rec.take(force);
}

} // namespace

StepPlan scanStep(StandardBuildSystem& bs, const StepContext& context) {
    StepScan scan(bs, context);
    switch (int(context.action)) {
    case S::Link:
        return scan.link();
    case S::Archive:
        return scan.archive();
    case S::Stage:
        return scan.stage();
    case S::Combine:
        return scan.combine();
    case S::Prebuilt:
        return scan.external();
    default:
        return S::isCompileAction(context.action) ? scan.compile()
                                                  : StepPlan{context.force, {}, {}};
    }
}
