#include "SolutionFixture.h"

#include "project/SolutionScanner.h"

#include <random>

namespace {

// Names the template each element asked for instead of filling it in.
class RecordingSystem : public TestProjectSystem {
public:
    QString requests;

protected:
    void createTemplatedProjects() override {
        requests.clear();
        for (ProjectElement* e : templateRequests())
            requests += e->attribute("template_name") + ";";
    }
};

// The tree as text, or the error, whichever loading gave.
QString describe(ProjectElement* e) {
    QString out = e->getTagName() + "{";
    const QMap<QString, QString>& attributes = e->attributes();
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        out += it.key() + "=[" + it.value() + "]";
    out += "}(";
    for (ProjectElement* c = e->firstChild(); c; c = c->nextSibling())
        out += describe(c);
    return out + ")";
}

QString loaded(RecordingSystem& ps, const QString& file) {
    try {
        ps.loadSolution(file);
    } catch (const SolutionLoadError& e) {
        return QString("error %1|%2|%3|%4|%5")
            .arg(e.fileName, e.message)
            .arg(e.hasPosition)
            .arg(e.line)
            .arg(e.column);
    }
    return ps.requests + describe(ps.solutionElement());
}

const char kSeed[] = R"x(<!DOCTYPE Halyard_Project_File>
<!-- saved by hand -->
<solution Name="s &amp; t" version="1">
  <configuration Name="Debug" c_preprocessor_definitions="A=&quot;1&quot;;B='&lt;2&gt;'"/>
  <configuration Name="Common" build_output_directory="$(Configuration)&#10;x&#x41;"/>
  <other Name="o"><project Name="hidden" template_name="hidden"/></other>
  <project Name="p">
    <configuration Name="Common" project_type="Library" project_directory="p"/>
    <folder Name='Source Files'>
      <!-- two files -->
      <file file_name="a.c"><configuration Name="Debug" build_exclude_from_build="Yes"/></file>
      <file file_name="b.c" />
    </folder>
  </project>
  <project Name="q" template_name="exe"/>
</solution>
)x";

// Fragments that make a plain file unusual, malformed or differently shaped.
const char* const kTokens[] = {"<",
                               ">",
                               "/",
                               "\"",
                               "'",
                               "=",
                               " ",
                               "\t",
                               "\n",
                               "\r",
                               "&",
                               ";",
                               "-",
                               "&amp;",
                               "&#10;",
                               "&#x9;",
                               "&#0;",
                               "&#1114111;",
                               "&#xD800;",
                               "&bogus;",
                               "&#X41;",
                               "<!--",
                               "-->",
                               "--",
                               "<?pi x?>",
                               "<![CDATA[x]]>",
                               "\xc3\xa9",
                               "\xff",
                               ":",
                               "xmlns",
                               "xmlns:a=\"u\"",
                               " Name=\"d\"",
                               " version=\"2\"",
                               "text",
                               "<!DOCTYPE x>",
                               "<file file_name=\"n\"/>",
                               "</folder>",
                               "<folder Name=\"f\">",
                               "<configuration Name=\"Debug\"/>",
                               " template_name=\"t\"",
                               "<?xml version=\"1.0\"?>",
                               "<solution version=\"1\">",
                               "</solution>"};

// Changes a random edit is unlikely to make: each replaces the first match.
const char* const kVariants[][2] = {
    {"_File>", "_File <!-- c -->>"},       {"_File>", "_File [<!ENTITY e \"x\">]>"},
    {"version=\"1\">", "version=\"1\" >"}, {"b.c\" />", "b.c\"/ >"},
    {"two files", "two -- files"},         {"</solution>", "</solution\n>"},
    {"Name=\"p\"", "Name =\t\"p\""},       {"s &amp; t", "s &#38; &#x3c;t"}};

// Plain and unusual variants of the seed load the same with and without the
// scanner: the same tree, or the same error.
TEST(SolutionScanner, LoadsWhatTheGeneralReaderLoads) {
    QTemporaryDir dir;
    RecordingSystem ps;
    std::mt19937 random(430);
    const QByteArray seed(kSeed);
    int scanned = 0, declined = 0;
    const int rounds = 3000;
    for (int round = 0; round < rounds; ++round) {
        QByteArray bytes = seed;
        const int fixed = round - 1;
        if (fixed >= 0 && fixed < int(std::size(kVariants))) {
            const qsizetype at = bytes.indexOf(kVariants[fixed][0]);
            ASSERT_GE(at, 0) << fixed;
            bytes.replace(at, qstrlen(kVariants[fixed][0]), kVariants[fixed][1]);
        }
        const int edits = fixed < int(std::size(kVariants)) ? 0 : 1 + int(random() % 3);
        for (int e = 0; e < edits; ++e) {
            const int at = int(random() % (bytes.size() + 1));
            switch (random() % 3) {
            case 0:
                bytes.remove(at, 1 + int(random() % 4));
                break;
            case 1:
                bytes.insert(at, kTokens[random() % std::size(kTokens)]);
                break;
            default:
                bytes.insert(at, bytes.mid(int(random() % bytes.size()), int(random() % 40)));
            }
        }
        const QString file = dir.path() + "/s.hzp";
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();

        QList<ProjectElement*> requests;
        std::unique_ptr<ProjectElement> tree(
            scanSolution(bytes, "Halyard_Project_File", 0, 256, requests));
        ++(tree ? scanned : declined);
        if (round == 0) {
            ASSERT_TRUE(tree) << "the seed is plain";
        }
        ps.setSolutionScanning(true);
        const QString fast = loaded(ps, file);
        ps.setSolutionScanning(false);
        ASSERT_EQ(fast.toStdString(), loaded(ps, file).toStdString()) << bytes.toStdString();
    }
    // Both ways are taken often enough to mean something.
    EXPECT_GT(scanned, rounds / 10);
    EXPECT_GT(declined, rounds / 5);
}

} // namespace
