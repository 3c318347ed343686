#include "build/ProjectHooks.h"

#include "build/StandardBuildSystem.h"
#include "project/BuildHooks.h"

namespace {

class StandardBuildHooks : public BuildHooks {
public:
    BuildSettingClasses settingClasses() const override {
        BuildSettingClasses classes;
        if (StandardBuildSystem* s = standardBuildSystem) {
#define SLIPWAY_COPY_SETTING_CLASS(name) classes.name = s->name;
            SLIPWAY_BUILD_SETTING_CLASSES(SLIPWAY_COPY_SETTING_CLASS)
#undef SLIPWAY_COPY_SETTING_CLASS
        }
        return classes;
    }

    bool expandMacros(ProjectElement* element, const QString& configuration,
                      QString* text) const override {
        if (!buildSystem) return false;
        *text = buildSystem->replaceMacros(element, configuration, *text);
        return true;
    }
};

} // namespace

void installBuildHooks() {
    static StandardBuildHooks hooks;
    buildHooks = &hooks;
}
