#include "ToolFixture.h"

namespace {

class LinkerTest : public ToolFixture {
protected:
    void SetUp() override {
        ToolFixture::SetUp();
        write("main.c", "int counter;\nstatic int helper(void) { return 1; }\n"
                        "int main(void) { return helper(); }\n");
        write("util.c", "int util_add(int a, int b) { return a + b; }\n");
        write("delay.s43", "        .global delay\ndelay:  ret\n");
        for (const char* source : {"main.c", "util.c"})
            ASSERT_EQ(run("hcc", {source}).status, 0) << source;
        ASSERT_EQ(run("has", {"delay.s43"}).status, 0);
    }

    // Every record of an Intel hex file: its address and data, checksums checked.
    static bool parseIntelHex(const QByteArray& text, QList<QPair<int, QByteArray>>& records,
                              bool& sawEnd) {
        sawEnd = false;
        for (const QByteArray& line : text.split('\n')) {
            if (line.isEmpty()) continue;
            if (!line.startsWith(':') || sawEnd) return false;
            QByteArray bytes = QByteArray::fromHex(line.mid(1));
            if (bytes.size() < 5 || bytes.size() != 5 + uchar(bytes[0])) return false;
            int sum = 0;
            for (char c : bytes)
                sum += uchar(c);
            if (sum % 256 != 0) return false;
            int type = uchar(bytes[3]);
            if (type == 1) sawEnd = true;
            if (type == 0)
                records.append(
                    {uchar(bytes[1]) * 256 + uchar(bytes[2]), bytes.mid(4, bytes.size() - 5)});
        }
        return true;
    }
};

TEST_F(LinkerTest, ArchiveKeepsItsMembersInOrder) {
    Result r = run("har", {"-c", "lib/util.hza", "util.hzo", "delay.hzo"});
    EXPECT_EQ(r.status, 1) << "the library's directory does not exist";
    QDir().mkpath(path("lib"));
    r = run("har", {"-c", "lib/util.hza", "util.hzo", "delay.hzo"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    r = run("hld", {"main.hzo", "lib/util.hza", "-Mapp.map", "-o", "app.hzx"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(read("app.map").contains("  lib/util.hza (library: util.hzo, delay.hzo)\n"))
        << read("app.map").toStdString();
}

TEST_F(LinkerTest, LibraryMembersJoinOnlyWhenSomethingUsesThem) {
    write("app.c", "int main(void) { return util_add(1, 2); }\n");
    write("printf.c", "int printf_core(void) { return 0; }\n");
    write("unused.c", "int never_called(void) { return 0; }\n");
    write("helper.c", "int util_add(int a, int b) { return printf_core() + a + b; }\n");
    for (const char* source : {"app.c", "printf.c", "unused.c", "helper.c"})
        ASSERT_EQ(run("hcc", {source}).status, 0) << source;
    // printf.hza comes before the library whose member needs it.
    ASSERT_EQ(run("har", {"-c", "printf.hza", "printf.hzo"}).status, 0);
    ASSERT_EQ(run("har", {"-c", "util.hza", "unused.hzo", "helper.hzo"}).status, 0);

    Result r = run("hld", {"app.hzo", "printf.hza", "util.hza", "-Mapp.map", "-o", "app.hzx"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QByteArray map = read("app.map");
    EXPECT_TRUE(map.contains(" main  app.hzo\n")) << map.toStdString();
    EXPECT_TRUE(map.contains(" util_add  util.hza(helper.hzo)\n")) << map.toStdString();
    EXPECT_TRUE(map.contains(" printf_core  printf.hza(printf.hzo)\n")) << map.toStdString();
    EXPECT_FALSE(map.contains("never_called"));
}

TEST_F(LinkerTest, ArchiveRejectsMissingAndForeignMembers) {
    ASSERT_EQ(run("har", {"-c", "util.hza", "util.hzo"}).status, 0);
    Result r = run("har", {"-c", "util.hza", "util.hzo", "gone.hzo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("har: error: cannot open gone.hzo")) << r.err.toStdString();
    EXPECT_FALSE(exists("util.hza")) << "no out-of-date library is left behind";

    write("notes.txt", "just text\n");
    r = run("har", {"-c", "util.hza", "notes.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("har: error: notes.txt: not an object file"))
        << r.err.toStdString();

    r = run("har", {"util.hzo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "har: error: no library named (use -c library)\n");
}

TEST_F(LinkerTest, MapFileListsInputsDefinitionsAndPlacement) {
    Result r =
        run("hld", {"main.hzo", "util.hzo", "delay.hzo", "-V", "-g", "-Oxcp=3", "-Oph",
                    "-Dheap_size=256", "-DRAM_start=512", "-T.fixed=4000", "-TCODE,CONST=4100-5000",
                    "-GCODE=L", "-Kmain", "-Mout/app.map", "-o", "out/app.hzx", "-fcpu6"});
    EXPECT_EQ(r.status, 1) << "out/ does not exist";
    QDir().mkpath(path("out"));
    r = run("hld", {"main.hzo", "util.hzo", "delay.hzo", "-V", "-g", "-Oxcp=3", "-Oph",
                    "-Dheap_size=256", "-DRAM_start=512", "-T.fixed=4000", "-TCODE,CONST=4100-5000",
                    "-GCODE=L", "-Kmain", "-Mout/app.map", "-o", "out/app.hzx", "-fcpu6"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    ASSERT_TRUE(exists("out/app.hzx"));
    const QString map = QString::fromLatin1(read("out/app.map"));
    EXPECT_TRUE(map.contains("Input files\n  main.hzo\n  util.hzo\n  delay.hzo\n"))
        << map.toStdString();
    EXPECT_TRUE(map.contains("  heap_size = 256\n  RAM_start = 512\n"));
    EXPECT_TRUE(map.contains("  .fixed at 4000\n  CODE,CONST in 4100-5000\n  CODE loaded\n"));
    EXPECT_TRUE(map.contains("Kept symbols\n  main\n"));
    // Code starts where CODE was placed; static functions are not public.
    EXPECT_TRUE(map.contains("  00004100  main  main.hzo\n  00004102  counter  main.hzo\n"));
    EXPECT_TRUE(map.contains(" util_add  util.hzo\n"));
    EXPECT_TRUE(map.contains(" delay  delay.hzo\n"));
    EXPECT_FALSE(map.contains("helper"));

    r = run("hld", {"main.hzo", "-o", "plain.hzx"});
    ASSERT_EQ(r.status, 0);
    EXPECT_FALSE(exists("plain.map")) << "a map only with -M";

    // A renamed code section is placed under its own name; Basic SUBs are public.
    write("blink.bas", "SUB blink\nEND SUB\n");
    ASSERT_EQ(run("hbc", {"-Rc,FAST", "blink.bas"}).status, 0);
    r = run("hld", {"blink.hzo", "-TCODE=4000", "-TFAST=0x8000", "-Mblink.map", "-o", "blink.hzx"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(read("blink.map").contains("  00008000  blink  blink.hzo\n"))
        << read("blink.map").toStdString();
}

TEST_F(LinkerTest, LinkFailuresNameTheirCauseAndLeaveNoExecutable) {
    write("app.hzx", "stale");
    Result r = run("hld", {"main.hzo", "lib/libc_sf.hza", "-o", "app.hzx"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("hld: error: cannot open input file lib/libc_sf.hza"))
        << r.err.toStdString();
    EXPECT_FALSE(exists("app.hzx"));

    write("util2.c", "int util_add(int a, int b) { return b + a; }\n");
    ASSERT_EQ(run("hcc", {"util2.c"}).status, 0);
    r = run("hld", {"util.hzo", "util2.hzo", "-o", "app.hzx"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hld: error: symbol 'util_add' is defined in util.hzo and in util2.hzo\n");

    write("corrupt.hzo", QByteArray("\x08\x05\x01", 3));
    r = run("hld", {"main.hzo", "corrupt.hzo", "-o", "app.hzx"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hld: error: corrupt.hzo: premature end of VORN file\n");

    for (const char* bad : {"-TCODE=zz", "-TCODE= +4000", "-TCODE=100000000", "-TCODE=0x"}) {
        r = run("hld", {"main.hzo", bad, "-o", "app.hzx"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, QString("hld: error: invalid section placement '%1'\n").arg(bad));
    }

    r = run("hld", {"main.hzo", "util.hzo", "-TCODE=4000-4010", "-o", "app.hzx"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("hld: error: section CODE does not fit")) << r.err.toStdString();

    r = run("hld", {"-o", "app.hzx"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hld: error: no input files\n");
}

TEST_F(LinkerTest, TentativeDefinitionsMergeAndYieldToInitialisedOnes) {
    write("a.c", "int shared;\nint only_a = 1;\n");
    write("b.c", "int shared;\n");
    write("c.c", "int shared = 2;\n");
    write("d.c", "int only_a = 3;\n");
    for (const char* source : {"a.c", "b.c", "c.c", "d.c"})
        ASSERT_EQ(run("hcc", {source}).status, 0) << source;

    Result r = run("hld", {"a.hzo", "b.hzo", "-Mab.map", "-o", "ab.hzx"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(read("ab.map").contains(" shared  a.hzo\n")) << read("ab.map").toStdString();

    r = run("hld", {"b.hzo", "c.hzo", "-Mbc.map", "-o", "bc.hzx"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(read("bc.map").contains(" shared  c.hzo\n")) << read("bc.map").toStdString();

    r = run("hld", {"a.hzo", "d.hzo", "-o", "ad.hzx"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hld: error: symbol 'only_a' is defined in a.hzo and in d.hzo\n");
}

TEST_F(LinkerTest, ConverterWritesBaseDotFormatInEachFormat) {
    QDir().mkpath(path("Debug"));
    ASSERT_EQ(run("hld", {"main.hzo", "util.hzo", "-TCODE=1fff8", "-o", "Debug/app.hzx"}).status,
              0);

    Result r = run("hex", {"Debug/app.hzx", "-o", "Debug/app", "-Fbin"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QByteArray image = read("Debug/app.bin");
    ASSERT_GT(image.size(), 16);

    // The Intel hex file carries the same bytes at the placed address,
    // split at the 64K boundary with an extended address record.
    ASSERT_EQ(run("hex", {"Debug/app.hzx", "-o", "Debug/app", "-Fhex"}).status, 0);
    const QByteArray hexText = read("Debug/app.hex");
    QList<QPair<int, QByteArray>> records;
    bool sawEnd = false;
    ASSERT_TRUE(parseIntelHex(hexText, records, sawEnd)) << hexText.toStdString();
    EXPECT_TRUE(sawEnd);
    EXPECT_TRUE(hexText.contains(":020000040002F8\n")) << hexText.toStdString();
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records[0].first, 0xfff8);
    EXPECT_EQ(records[0].second.size(), 8);
    QByteArray joined;
    for (const auto& record : records)
        joined += record.second;
    EXPECT_EQ(joined, image);

    for (const char* format : {"srec", "txt", "tek", "lst"}) {
        r = run("hex", {"Debug/app.hzx", "-o", "Debug/app", QString("-F") + format});
        EXPECT_EQ(r.status, 0) << format << r.err.toStdString();
        EXPECT_FALSE(read(QString("Debug/app.") + format).isEmpty()) << format;
    }
    // S-record checksums: the ones' complement of the byte sum.
    for (const QByteArray& line : read("Debug/app.srec").split('\n')) {
        if (line.isEmpty()) continue;
        QByteArray bytes = QByteArray::fromHex(line.mid(2));
        int sum = 0;
        for (char c : bytes)
            sum += uchar(c);
        EXPECT_EQ(sum % 256, 0xff) << line.toStdString();
    }
    EXPECT_TRUE(read("Debug/app.txt").startsWith("@1FFF8\n"));
}

TEST_F(LinkerTest, ConverterFailures) {
    ASSERT_EQ(run("hld", {"main.hzo", "-o", "app.hzx"}).status, 0);
    Result r = run("hex", {"app.hzx", "-o", "app", "-Fpdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hex: error: unknown output format 'pdf'\n");
    EXPECT_FALSE(exists("app.pdf"));

    r = run("hex", {"main.hzo", "-o", "main", "-Fhex"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hex: error: main.hzo: not an executable\n");

    r = run("hex", {"gone.hzx", "-o", "gone", "-Fhex"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("hex: error: cannot open input file gone.hzx"))
        << r.err.toStdString();

    r = run("hex", {"app.hzx", "-o", "app"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hex: error: no output format given (-F)\n");
}

} // namespace
