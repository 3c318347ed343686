// Loading a large solution and resolving settings for every file in it: the
// work a command-line build does before it looks at a single file time.

#include "project/ProjectSystem.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

const int kProjects = 20;
const int kFilesPerProject = 500;

class BenchProjectSystem : public ProjectSystem {
public:
    BenchProjectSystem() : ProjectSystem({"C", "Assembly"}, {"Executable", "Library"}) {}
    PropertyValueList* applicableSettingsFor(ProjectElement*, const QString&) override {
        return new PropertyValueList(true);
    }
    QString getFileType(ProjectElement*) override { return QStringLiteral("C"); }
    QString objectFileExtension() override { return QStringLiteral(".hzo"); }
    QString libraryFileExtension() override { return QStringLiteral(".hza"); }
    QString executableFileExtension() override { return QStringLiteral(".hzx"); }
};

// Settings at every level, as real solutions have them: the solution,
// inherited configurations, projects, folders and some files.
QString generateSolution() {
    QString xml;
    xml += "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"large\" version=\"1\">\n";
    xml += "  <configuration Name=\"Common\" c_preprocessor_definitions=\"SOLUTION\"/>\n";
    xml += "  <configuration Name=\"Debug\" inherited_configurations=\"Base\" "
           "build_debug_information=\"Yes\"/>\n";
    xml += "  <configuration Name=\"Base\" hidden=\"Yes\" c_user_include_directories=\"inc\"/>\n";
    xml += "  <configuration Name=\"Release\"/>\n";
    for (int p = 0; p < kProjects; ++p) {
        xml += QString("  <project Name=\"lib%1\">\n").arg(p);
        xml += QString("    <configuration Name=\"Common\" project_type=\"Library\" "
                       "c_preprocessor_definitions=\"LIB=%1\" project_dependencies=\"%2\"/>\n")
                   .arg(p)
                   .arg(p > 0 ? QString("lib%1").arg(p - 1) : QString());
        xml += "    <configuration Name=\"Debug\" build_optimization_level=\"None\"/>\n";
        for (int folder = 0; folder < 5; ++folder) {
            xml += QString("    <folder Name=\"src%1\">\n").arg(folder);
            xml += "      <configuration Name=\"Common\" filter=\"c;h\"/>\n";
            for (int f = 0; f < kFilesPerProject / 5; ++f) {
                int n = folder * (kFilesPerProject / 5) + f;
                if (n % 10 == 0)
                    xml += QString("      <file file_name=\"src/f%1.c\">\n"
                                   "        <configuration Name=\"Debug\" "
                                   "c_preprocessor_definitions=\"FILE=%1\"/>\n"
                                   "      </file>\n")
                               .arg(n);
                else
                    xml += QString("      <file file_name=\"src/f%1.c\"/>\n").arg(n);
            }
            xml += "    </folder>\n";
        }
        xml += "  </project>\n";
    }
    xml += "</solution>\n";
    return xml;
}

struct Fixture {
    QTemporaryDir dir;
    QString file;
    BenchProjectSystem ps;
    PropertyClass defines{"c_preprocessor_definitions", PropertyClass::StringList, "G", "S", "L"};
    PropertyClass includes{"c_user_include_directories", PropertyClass::StringList, "G", "S", "L"};
    PropertyClass debug{"build_debug_information", PropertyClass::Boolean, "G", "S", "L"};
    PropertyClass optimization{
        "build_optimization_level", PropertyClass::String, "G", "S", "L", "Level 1"};
    PropertyClass objectName{"build_object_file_name",      PropertyClass::FileName, "G", "S", "L",
                             "$(IntDir)/$(InputName)$(OBJ)"};

    Fixture() {
        file = dir.path() + "/large.hzp";
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) out.write(generateSolution().toUtf8());
    }

    size_t resolveAll() {
        size_t total = 0;
        for (ProjectElement* f : ProjectSystem::sourceFiles(ps.solutionElement())) {
            for (const PropertyClass* cls :
                 {&defines, &includes, &debug, &optimization, &objectName})
                total += ps.settingFor(f, cls, QStringLiteral("Debug")).size();
            total += f->getPath().osPathQString().size();
        }
        return total;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_LoadSolution(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state)
        f.ps.loadSolution(f.file);
    state.counters["files"] = double(ProjectSystem::sourceFiles(f.ps.solutionElement()).size());
}
BENCHMARK(BM_LoadSolution)->Unit(benchmark::kMillisecond);

// Every file, five settings each, with the resolution cache emptied first.
void BM_ResolveEveryFile(benchmark::State& state) {
    Fixture& f = fixture();
    f.ps.loadSolution(f.file);
    for (auto _ : state) {
        ProjectElement::touchTree();
        benchmark::DoNotOptimize(f.resolveAll());
    }
}
BENCHMARK(BM_ResolveEveryFile)->Unit(benchmark::kMillisecond);

// The same again on an unchanged tree, as the build loop asks repeatedly.
void BM_ResolveEveryFileCached(benchmark::State& state) {
    Fixture& f = fixture();
    f.ps.loadSolution(f.file);
    f.resolveAll();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.resolveAll());
}
BENCHMARK(BM_ResolveEveryFileCached)->Unit(benchmark::kMillisecond);

void BM_LoadAndResolve(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        f.ps.loadSolution(f.file);
        benchmark::DoNotOptimize(f.resolveAll());
    }
}
BENCHMARK(BM_LoadAndResolve)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
