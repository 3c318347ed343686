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

void TextHash::bytes(const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
}

void TextHash::text(const QString& s) {
    number(s.size());
    bytes(s.constData(), size_t(s.size()) * sizeof(QChar));
}

quint64 commandHash(const std::vector<StepEntry>& entries, size_t from) {
    TextHash fnv;
    for (size_t i = from; i < entries.size(); ++i) {
        const StepEntry& e = entries[i];
        switch (e.kind) {
        case StepEntry::SetDirectory:
        case StepEntry::SetCommand:
        case StepEntry::SetEnvironment:
        case StepEntry::SetOutputFiles:
        case StepEntry::Run:
        case StepEntry::UpdatePackage:
            break;
        default:
            continue;
        }
        const int kind = e.kind;
        fnv.bytes(&kind, sizeof kind);
        fnv.text(e.text);
        const qsizetype n = e.list.size();
        fnv.bytes(&n, sizeof n);
        for (const QString& item : e.list)
            fnv.text(item);
    }
    return fnv.h;
}
