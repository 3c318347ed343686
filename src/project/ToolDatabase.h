#pragma once

// Registry through which add-on tools contribute further settings to the
// applicable-settings lists. Nothing in this program registers a tool, but
// every listing consults the registry.

#include <QMap>
#include <QString>

class ProjectElement;
class PropertyClassList;

class Tool {
public:
    virtual ~Tool() = default;
    // Appends the tool's property classes that apply to the element.
    virtual void appendProperties(PropertyClassList* list, ProjectElement* element) = 0;
};

class ToolDatabase {
public:
    // Tools are owned by whoever registers them; a later tool of the same name
    // replaces the earlier one.
    void registerTool(const QString& name, Tool* tool);
    // A copy of the dictionary; the tools themselves are shared.
    QMap<QString, Tool*> tools() const { return m_tools; }
    void clear() { m_tools.clear(); }

private:
    QMap<QString, Tool*> m_tools;
};

extern ToolDatabase* toolDatabase;
