#include "driver/SolutionCheck.h"

#include "build/StandardBuildSystem.h"
#include "project/ProjectSystem.h"
#include "project/PropertyValueGroup.h"

#include <QFileInfo>
#include <QSet>

namespace {

const QString Name = QStringLiteral("Name");

class SolutionCheck {
public:
    SolutionCheck() {
        for (const PropertyClass* cls : projectSystem->propertyClasses())
            m_known.insert(cls->saveName());
        if (standardBuildSystem && standardBuildSystem->buildActionClass)
            m_known.insert(standardBuildSystem->buildActionClass->saveName());
        const QStringList fileTypes = projectSystem->fileTypeProperty()->enumerates();
        m_fileTypes = QSet<QString>(fileTypes.begin(), fileTypes.end());
        m_fileTypes.insert(QStringLiteral("Forth")); // derived from extensions, never listed
        const QStringList projectTypes = projectSystem->projectTypeProperty()->enumerates();
        m_projectTypes = QSet<QString>(projectTypes.begin(), projectTypes.end());
    }

    void walk(ProjectElement* element) {
        if (element->isSolution() || element->isProject()) addGroupSettings(element);
        if (element->isConfiguration())
            checkConfiguration(element);
        else
            checkOwnAttributes(element);
        for (ProjectElement* child = element->firstChild(); child; child = child->nextSibling())
            walk(child);
    }

    QStringList warnings;

private:
    // Property groups are settings too, named by their groups file.
    void addGroupSettings(ProjectElement* element) {
        PropertyClass* groupsFile =
            standardBuildSystem ? standardBuildSystem->propertyGroupsFilePath : nullptr;
        if (!groupsFile || !propertyValueGroups) return;
        for (const QString& c : projectSystem->configurations(element, true, true)) {
            const QString file = buildSystem->settingForExpanded(element, groupsFile, c);
            if (file.isEmpty() || m_groupFiles.contains(file)) continue;
            m_groupFiles.insert(file);
            propertyValueGroups->setGroupFile(file);
            for (const QString& group : propertyValueGroups->getGroupNames())
                m_known.insert(group);
        }
    }

    bool knownSetting(const QString& name) const {
        return m_known.contains(name) || (buildSystem && buildSystem->findPropertyClass(name));
    }

    void checkConfiguration(ProjectElement* configuration) {
        ProjectElement* owner = configuration->parent();
        if (!owner) return;
        const QString where =
            QStringLiteral(" in configuration '%1'").arg(configuration->attribute(Name));
        const QMap<QString, QString>& attributes = configuration->attributes();
        for (auto it = attributes.begin(); it != attributes.end(); ++it) {
            const QString& key = it.key();
            if (key == Name || (key == QLatin1String("hidden") && owner->isSolution())) continue;
            if (!knownSetting(key))
                report(owner, QStringLiteral("unknown setting '%1'").arg(key) + where);
            else if (key == QLatin1String("project_type") && !m_projectTypes.contains(it.value()))
                report(owner, QStringLiteral("unknown project type '%1'").arg(it.value()) + where);
            else if (key == QLatin1String("file_type") && !it.value().isEmpty() &&
                     !m_fileTypes.contains(it.value()))
                report(owner, QStringLiteral("unknown file type '%1'").arg(it.value()) + where);
            else if (key == QLatin1String("project_dependencies"))
                checkDependencies(owner, it.value(), where);
        }
    }

    void checkDependencies(ProjectElement* owner, const QString& list, const QString& where) {
        for (const QString& name : list.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (!projectSystem->findProject(owner, name))
                report(owner, QStringLiteral("dependency '%1' names no project").arg(name) + where);
        }
    }

    // Settings belong in configuration children; an attribute of the element
    // itself is read only when it is one of the few the file format defines.
    void checkOwnAttributes(ProjectElement* element) {
        static const QSet<QString> structural[] = {
            {Name, QStringLiteral("version"), QStringLiteral("file_name")}, // solution
            {},
            {Name, QStringLiteral("template_name")}, // project
            {Name},                                  // folder
            {QStringLiteral("file_name")},           // file
        };
        const QSet<QString>& allowed = structural[element->kind()];
        for (const QString& key : element->attributes().keys()) {
            if (!allowed.contains(key))
                report(element, QStringLiteral("attribute '%1' is not read (settings belong in a "
                                               "configuration)")
                                    .arg(key));
        }
    }

    void report(ProjectElement* element, const QString& what) {
        ProjectElement* solution = ProjectSystem::solutionContaining(element);
        const QString file = solution ? solution->getPath().osPathQString() : QString();
        const QString name =
            element->isFile()
                ? QFileInfo(element->attribute(QStringLiteral("file_name"))).fileName()
                : element->name();
        warnings << QStringLiteral("%1: %2 '%3': %4").arg(file, element->getTagName(), name, what);
    }

    QSet<QString> m_known;
    QSet<QString> m_fileTypes;
    QSet<QString> m_projectTypes;
    QSet<QString> m_groupFiles;
};

} // namespace

QStringList checkSolution(ProjectElement* solution) {
    if (!solution) return {};
    SolutionCheck check;
    check.walk(solution);
    return check.warnings;
}
