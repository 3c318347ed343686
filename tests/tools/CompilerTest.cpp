#include "ToolFixture.h"

namespace {

class CompilerTest : public ToolFixture {
protected:
    Result compile(const QStringList& arguments) { return run("hcc", arguments); }
};

TEST_F(CompilerTest, QuotedIncludesSearchSourceDirectoryThenUserThenSystemDirectories) {
    write("src/main.c", "#include \"x.h\"\nint main(void) { return 0; }\n");
    for (const char* dir : {"src", "inc1", "inc2", "sys"})
        write(QString(dir) + "/x.h", "\n");
    const QStringList args = {"-Iinc1", "-Iinc2", "-Jsys", "src/main.c", "-o", "main.hzo"};

    const QStringList expected[] = {{"src/main.c", "src/x.h"},
                                    {"src/main.c", "inc1/x.h"},
                                    {"src/main.c", "inc2/x.h"},
                                    {"src/main.c", "sys/x.h"}};
    const char* removeAfter[] = {"src/x.h", "inc1/x.h", "inc2/x.h", "sys/x.h"};
    for (int i = 0; i < 4; ++i) {
        Result r = compile(args);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(dependencies("main.hzo"), expected[i]) << i;
        QFile::remove(path(removeAfter[i]));
    }
    Result r = compile(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "src/main.c:1: error: cannot find include file \"x.h\"\n");
    EXPECT_FALSE(exists("main.hzo")) << "a stale object must not survive a failed compile";
}

TEST_F(CompilerTest, AngleIncludesAreSearchedInSystemDirectoriesOnly) {
    write("main.c", "#include <y.h>\n");
    write("y.h", "\n");
    write("inc/y.h", "\n");
    Result r = compile({"-Iinc", "main.c", "-o", "main.hzo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "main.c:1: error: cannot find include file <y.h>\n");

    write("sys/y.h", "\n");
    r = compile({"-Iinc", "-Jsys", "main.c", "-o", "main.hzo"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(dependencies("main.hzo"), QStringList({"main.c", "sys/y.h"}));
}

TEST_F(CompilerTest, NestedIncludesAreFollowedOnceEachBesideTheIncludingFile) {
    write("src/main.c", "#include \"a.h\"\n#include <lib/top.h>\n#include \"a.h\"\n");
    write("src/a.h", "#include \"b.h\"\n#include \"c.h\"\n");
    write("src/b.h", "#include \"a.h\"\n#include \"c.h\"\n"); // a cycle back to a.h
    write("src/c.h", "\n");
    write("sys/lib/top.h", "#include \"inner.h\"\n#include \"c.h\"\n");
    write("sys/lib/inner.h", "\n");
    write("sys/lib/c.h", "\n"); // beside top.h: wins over src/c.h for top.h
    Result r = compile({"-Jsys", "src/main.c", "-o", "out/main.hzo"});
    ASSERT_EQ(r.status, 1) << "no out/ directory yet";
    EXPECT_TRUE(r.err.startsWith("hcc: error: cannot write out/main.hzo")) << r.err.toStdString();

    QDir().mkpath(path("out"));
    r = compile({"-Jsys", "src/main.c", "-o", "out/main.hzo"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(dependencies("out/main.hzo"),
              QStringList({"src/main.c", "src/a.h", "src/b.h", "src/c.h", "sys/lib/top.h",
                           "sys/lib/inner.h", "sys/lib/c.h"}));
}

TEST_F(CompilerTest, DirectivesSurviveLineEndingsContinuationsAndMacroNames) {
    write("main.c", "#define CONFIG \"cfg.h\"\r\n"
                    "#if defined(A) && \\\r\n    defined(B)\r\n#include CONFIG\r\n#endif\r\n"
                    "#error after a continued line\r\n");
    write("cfg.h", "\n");
    Result r = compile({"-D", "A", "-DB", "main.c", "-o", "main.hzo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "main.c:6: error: #error after a continued line\n");

    write("main.c", "#define CONFIG \"cfg.h\"\r\n#include CONFIG\r\n");
    r = compile({"-I", "unused", "main.c", "-o", "main.hzo"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(dependencies("main.hzo"), QStringList({"main.c", "cfg.h"}));
}

TEST_F(CompilerTest, ErrorDirectiveFailsWithItsLocation) {
    write("main.o.hzo", "stale");
    write("main.c", "int x;\n/* a comment\n   over lines */\n#error unsupported target\n");
    Result r = compile({"main.c", "-o", "main.o.hzo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "main.c:4: error: #error unsupported target\n");
    EXPECT_FALSE(exists("main.o.hzo"));

    // In an included file the location is that file's.
    write("main.c", "#include \"cfg.h\"\n");
    write("cfg.h", "\n\n  #  error no configuration\n");
    r = compile({"main.c", "-o", "main.hzo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "cfg.h:3: error: #error no configuration\n");
}

TEST_F(CompilerTest, ConditionalsDecideWhichIncludesAndErrorsCount) {
    write("main.c", "#include \"always.h\"\n"
                    "#if 0\n#include \"missing.h\"\n#error never\n#endif\n"
                    "// #include \"commented.h\"\n"
                    "/* #include \"commented.h\" */\n"
                    "#ifdef WITH_OPT\n#include \"opt.h\"\n#elif defined(FALLBACK) && FALLBACK > 1\n"
                    "#include \"fallback.h\"\n#else\n#include \"plain.h\"\n#endif\n"
                    "#ifndef __SHEERLINE\n#error not for this compiler\n#endif\n");
    for (const char* name : {"always.h", "opt.h", "fallback.h", "plain.h"})
        write(name, "\n");

    struct Case {
        QStringList options;
        QString chosen;
    } cases[] = {
        {{"-D__SHEERLINE"}, "plain.h"},
        {{"-D__SHEERLINE", "-DWITH_OPT"}, "opt.h"},
        {{"-D__SHEERLINE", "-DWITH_OPT", "-UWITH_OPT"}, "plain.h"},
        {{"-D__SHEERLINE", "-DFALLBACK=2"}, "fallback.h"},
        {{"-D__SHEERLINE", "-DFALLBACK"}, "plain.h"}, // a bare -D defines 1
    };
    for (const Case& c : cases) {
        Result r = compile(c.options + QStringList{"main.c", "-o", "main.hzo"});
        ASSERT_EQ(r.status, 0) << c.options.join(' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(dependencies("main.hzo"), QStringList({"main.c", "always.h", c.chosen}))
            << c.options.join(' ').toStdString();
    }
    Result r = compile({"main.c", "-o", "main.hzo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "main.c:16: error: #error not for this compiler\n");
}

TEST_F(CompilerTest, ConditionExpressionsFollowCArithmetic) {
    const char* holds[] = {
        "(2 + 3) * 4 == 20",
        "0x10 >> 4 == 1",
        "-1 < 0",
        "7 / 2 == 3 && 7 % 2 == 1",
        "!defined(UNSET)",
        "defined LEVEL && LEVEL == 3",
        "UNSET == 0",
        "1 ? 2 : 0",
        "'A' == 65",
        "(1 << 3 | 1) == 9",
        "~0 == -1",
        "TWICE == 6",
        "010 == 8 && 10UL == 10",
        "F(1) == 0 && defined F",
    };
    for (const char* condition : holds) {
        write("main.c", QByteArray("#define TWICE (LEVEL * 2)\n#define F(x) x\n#if !(") +
                            condition + ")\n#error failed\n#endif\n");
        Result r = compile({"-DLEVEL=3", "main.c", "-o", "main.hzo"});
        EXPECT_EQ(r.status, 0) << condition << ": " << r.err.toStdString();
    }
}

TEST_F(CompilerTest, MalformedDirectivesAreErrorsNotCrashes) {
    struct Case {
        QByteArray source;
        QString message;
    } cases[] = {
        {"#if 1 / 0\n#endif\n", "main.c:1: error: division by zero in #if\n"},
        {"#if (1\n#endif\n", "main.c:1: error: missing ')' in #if\n"},
        {"#if\n#endif\n", "main.c:1: error: #if with no expression\n"},
        {"#if 1\n", "main.c:1: error: unterminated conditional directive\n"},
        {"#endif\n", "main.c:1: error: #endif without #if\n"},
        {"#if 1\n#else\n#else\n#endif\n", "main.c:3: error: #else after #else\n"},
        {"#include nothing\n", "main.c:1: error: #include expects \"FILENAME\" or <FILENAME>\n"},
        {"#define SELF SELF + 1\n#if SELF\n#endif\n", ""}, // terminates; reads as 0 + 1
        {QByteArray(5000, '(') + "\n", ""},                // not a directive: plain text
        {"#if " + QByteArray(100000, '(') + "1\n#endif\n",
         "main.c:1: error: #if expression nested too deeply\n"},
        {QByteArray("\x00\xff\x01#include\n\"", 7), ""},
    };
    for (const Case& c : cases) {
        write("main.c", c.source);
        Result r = compile({"main.c", "-o", "main.hzo"});
        EXPECT_EQ(r.status, c.message.isEmpty() ? 0 : 1) << c.source.left(40).toStdString();
        EXPECT_EQ(r.err, c.message) << c.source.left(40).toStdString();
    }
}

TEST_F(CompilerTest, LargeOddSourcesFinish) {
    // Unbalanced nesting and megabytes without a statement end must not make
    // the symbol scan quadratic (the run would exceed the fixture's timeout).
    QByteArray source;
    for (int i = 0; i < 1000000; ++i)
        source += "{}";
    source += "int x = {" + QByteArray(2000000, '1') + "};\n" + QByteArray(1000000, '(') + "\n";
    write("big.c", source);
    Result r = compile({"big.c", "-o", "big.hzo"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(dependencies("big.hzo"), QStringList({"big.c"}));
}

TEST_F(CompilerTest, CommandLineProblemsAreClearErrors) {
    Result r = compile({"-g", "absent.c", "-o", "absent.hzo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("hcc: error: cannot open source file absent.c"))
        << r.err.toStdString();

    r = compile({"-g"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hcc: error: no source file given\n");

    write("a.c", "\n");
    r = compile({"a.c", "-o"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hcc: error: missing argument to '-o'\n");

    r = compile({"a.c", "-o", "./a.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hcc: error: the output ./a.c would overwrite the source\n");
    EXPECT_EQ(read("a.c"), "\n");

    r = compile({"-D=1", "a.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hcc: error: macro names must be identifiers: '=1'\n");
}

TEST_F(CompilerTest, AcceptsTheBuildsFullCommandLine) {
    write("src/main.c",
          "#include \"board.h\"\n#include <io.h>\n"
          "#if !defined(__SHEERLINE_MSP430) || defined(NDEBUG)\n#error wrong\n#endif\n"
          "int main(void) { return 0; }\n");
    write("board.h", "\n");
    write("studio/include/io.h", "\n");
    QDir().mkpath(path("Debug"));
    const QString system = path("studio/include");
    Result r = compile(QString("-DNDEBUG -UNDEBUG").split(' ') + QStringList{"-Dspaced=a b"} +
                       QString("-V -D__SHEERLINE -D__TARGET_PROCESSOR=MSP430F449 -g -we -w -O-9 "
                               "-Orl -Rc,MYCODE -Rd,MYDATA -I.")
                           .split(' ') +
                       QStringList{"-J" + system} +
                       QString("-ansi -msd -mmpy src/main.c -o Debug/main.hzo -mcpux "
                               "-D__SHEERLINE_MSP430 -MF Debug/main.d")
                           .split(' '));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(dependencies("Debug/main.hzo"),
              QStringList({"src/main.c", "board.h", system + "/io.h"}));
    EXPECT_TRUE(r.out.startsWith("hcc: src/main.c -> Debug/main.hzo")) << r.out.toStdString();
    // The make-style rule names every file absolutely, for tools run elsewhere.
    EXPECT_EQ(read("Debug/main.d"), ("Debug/main.hzo: \\\n  " + path("src/main.c") + " \\\n  " +
                                     path("board.h") + " \\\n  " + system + "/io.h\n")
                                        .toLatin1());
}

TEST_F(CompilerTest, WarningsAreShownSuppressedOrFatal) {
    write("main.c", "#warning check the clock\n");
    Result r = compile({"main.c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "main.c:1: warning: #warning check the clock\n");
    EXPECT_TRUE(exists("main.hzo")) << "the default output is named after the source";
    r = compile({"-w", "main.c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    r = compile({"-we", "main.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "main.c:1: error: #warning check the clock\n");
}

TEST_F(CompilerTest, AssemblerAndBasicCompilerRecordTheirIncludesToo) {
    write("delay.s43", "#include \"regs.h\"\n        .global delay\ndelay:  ret\n");
    write("regs.h", "; registers\n");
    Result r = run("has", {"delay.s43", "-o", "delay.hzo"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(dependencies("delay.hzo"), QStringList({"delay.s43", "regs.h"}));

    write("blink.bas", "#include \"pins.bi\"\nREM don't blink\nSUB blink\nEND SUB\n");
    write("pins.bi", "\n");
    r = run("hbc", {"blink.bas", "-o", "blink.hzo"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(dependencies("blink.hzo"), QStringList({"blink.bas", "pins.bi"}));
}

} // namespace
