#include "driver/OutputGuard.h"

namespace {

bool sameFile(const FileStat& a, const FileStat& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modifiedNs == b.modifiedNs;
}

} // namespace

void OutputGuard::undo() {
    for (const Output& output : m_outputs) {
        const FileStat now = m_files.stat(output.path);
        if (!now.exists || (output.before.exists && sameFile(output.before, now))) continue;
        m_files.remove(output.path);
    }
    m_outputs.clear();
}
