#include "build/StepPlan.h"

#include <utility>

void PlanRecorder::beginGroup(ProjectElement* element, const QString& title, bool flag) {
    StepEntry& entry = add(StepEntry::BeginGroup, title);
    entry.element = element;
    entry.flag = flag;
}

void PlanRecorder::endGroup(ProjectElement* element) {
    add(StepEntry::EndGroup).element = element;
}

StepEntry& PlanRecorder::add(StepEntry::Kind kind, const QString& text, const QStringList& list) {
    m_plan.entries.push_back(StepEntry{kind, text, list});
    return m_plan.entries.back();
}

StepPlan PlanRecorder::take(bool built) {
    StepPlan plan = std::move(m_plan);
    plan.built = built;
    m_plan = StepPlan();
    return plan;
}
