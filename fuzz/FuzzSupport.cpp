#include "FuzzSupport.h"

#include "base/EnvironmentSettings.h"
#include "driver/SolutionRun.h"

namespace fuzz {

void setUpGlobals(bool quiet) {
    static bool done = false;
    if (done) return;
    done = true;
    scratchDir();
    const QString studioDir = QStringLiteral(SLIPWAY_SOURCE_DIR "/studio");
    environment = new EnvironmentSettings();
    environment->createEntries(studioDir);
    createBuildSystems(studioDir);
    // Warnings are expected on nearly every input.
    if (quiet) qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

} // namespace fuzz
