#pragma once

// The project system that knows which kinds of files and projects exist: the
// two vocabularies, the file type of a file element, and the settings that
// apply to each element of the tree.

#include "project/ProjectSystem.h"

class StandardProjectSystem : public ProjectSystem {
public:
    StandardProjectSystem();
    ~StandardProjectSystem() override;

    // The enumerations of file_type and project_type, in display order.
    static QStringList filetypes();
    static QStringList projecttypes();

    PropertyValueList* applicableSettingsFor(ProjectElement* element,
                                             const QString& configuration) override;
    // The explicit file_type of the element itself (in "Common"), else the type
    // derived once from the extension; empty when unknown.
    QString getFileType(ProjectElement* element) override;

    // The applicable-settings lists; the toolchain layers extend them.
    virtual void appendCCompilerProperties(PropertyClassList* list);
    virtual void appendCppCompilerProperties(PropertyClassList* list);
    virtual void appendBasicCompilerProperties(PropertyClassList* list);
    virtual void appendForthCompilerProperties(PropertyClassList* list);
    virtual void appendAssemblerProperties(PropertyClassList* list);
    virtual void appendLinkerProperties(PropertyClassList* list);
    virtual void appendArchiverProperties(PropertyClassList* list);
    virtual void appendDefaultProjectValues(PropertyValueList* list, const QString& projectType);
    virtual void appendProjectProperties(PropertyClassList* list, const QString& projectType);
    virtual void appendSolutionProperties(PropertyClassList* list);
    virtual void appendTargetProperties(PropertyClassList* list);
    // Extension of assembly sources; here without a leading dot.
    virtual QString assemblyCodeFileExtension();

    // Settings shared by all compilers.
    void appendCompilerProperties(PropertyClassList* list);

    // The project type used by the build (project_type resolved in "Common").
    QString projectTypeOf(ProjectElement* project);

private:
    // The values of the property groups file named by the element's
    // property_groups_file_path, each once.
    void appendPropertyGroupValues(PropertyValueList* list, ProjectElement* element,
                                   const QString& configuration);
};
