#include "project/ToolDatabase.h"

namespace {
ToolDatabase instance;
}

ToolDatabase* toolDatabase = &instance;

void ToolDatabase::registerTool(const QString& name, Tool* tool) {
    m_tools.insert(name, tool);
}
