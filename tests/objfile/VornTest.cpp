#include "base/HByteStream.h"
#include "base/HException.h"
#include "base/HString.h"
#include "objfile/ObjectDependencies.h"
#include "objfile/VornMSP430Reader.h"
#include "objfile/VornTags.h"
#include "objfile/VornWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const QByteArray& a) {
    return Bytes(a.begin(), a.end());
}

// Reads the bytes and returns the error text, or "" when the read succeeded.
std::string readError(const Bytes& bytes, bool quick) {
    HMemoryByteStream stream(bytes);
    VornMSP430Reader reader(stream, false);
    try {
        VornModule* module = quick ? reader.readFileQuickly() : reader.readFile();
        VornReader::release(module);
        return "";
    } catch (const HException& e) {
        return e.message();
    }
}

// A file whose pool holds `pool` and whose body follows.
Bytes withPool(const std::string& pool, const Bytes& body) {
    VornWriter size;
    size.externalizeLiteral(pool.size());
    Bytes out = size.body();
    out.push_back(VornTag::StringPool);
    out.insert(out.end(), pool.begin(), pool.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

QString writeTemp(const QTemporaryDir& dir, const char* name, const QByteArray& data) {
    const QString path = dir.path() + "/" + name;
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(data);
    return path;
}

} // namespace

TEST(VornWriterTest, ConstantEncodings) {
    const std::vector<std::pair<uint64_t, Bytes>> cases = {
        {0, {0x00}},
        {7, {0x07}},
        {8, {0x08, 0x01, 0x08}},
        {255, {0x08, 0x01, 0xFF}},
        {256, {0x08, 0x02, 0x01, 0x00}},
        {0x1234, {0x08, 0x02, 0x12, 0x34}},
        {0x10000, {0x08, 0x03, 0x01, 0x00, 0x00}},
        {~uint64_t(0), {0x08, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        VornWriter w;
        w.externalizeLiteral(c.first);
        EXPECT_EQ(w.body(), c.second) << c.first;

        // And back: the constant becomes the module's link-order priority.
        Bytes file = {0x00, VornTag::StringPool};
        file.insert(file.end(), c.second.begin(), c.second.end());
        file.push_back(VornTag::LinkOrderPriority);
        HMemoryByteStream stream(file);
        VornReader reader(stream, false);
        VornModule* module = reader.readFile();
        EXPECT_EQ(module->linkOrderPriority, c.first);
        VornReader::release(module);
    }
}

TEST(VornWriterTest, WorkedExampleByteForByteAndBack) {
    VornWriter w;
    w.writeAttribute("dependencies", "a.c;a.h");
    w.writeEndOfInfo();
    const std::string pool = "dependenciesa.c;a.h";
    Bytes expected = {0x08, 0x01, 0x13, 0x26};
    expected.insert(expected.end(), pool.begin(), pool.end());
    const Bytes tail = {0x00, 0x08, 0x01, 0x0c, 0x23, 0x08, 0x01, 0x0c, 0x07, 0x23, 0x51, 0x66};
    expected.insert(expected.end(), tail.begin(), tail.end());
    ASSERT_EQ(bytesOf(w.finish()), expected);

    for (bool quick : {false, true}) {
        HMemoryByteStream stream(expected);
        VornMSP430Reader reader(stream, false);
        VornModule* module = quick ? reader.readFileQuickly() : reader.readFile();
        const HString* value = module->attribute("dependencies");
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value, HString::intern("a.c;a.h")) << "interned: same object";
        VornReader::release(module);
    }

    QTemporaryDir dir;
    const QString path = writeTemp(dir, "x.hzo", w.finish());
    EXPECT_EQ(readObjectFileDependencies(path), QStringList({"a.c", "a.h"}));
}

TEST(VornWriterTest, NullStringsAndInformationRecords) {
    VornWriter w;
    w.externalizeString(QString());
    w.externalizeString(static_cast<const HString*>(nullptr));
    EXPECT_EQ(w.body(), Bytes({VornTag::Null, VornTag::Null}));

    VornWriter m;
    m.writeLibrary("libc");
    m.writeLibrary("libm");
    m.writeProtected();
    m.writeLinkOrderPriority(10); // the default is not written
    const size_t before = m.body().size();
    m.writeLinkOrderPriority(3);
    EXPECT_EQ(m.body().size(), before + 2);
    m.writeAttribute("empty", QString());
    m.writeEndOfInfo();
    HMemoryByteStream stream(bytesOf(m.finish()));
    VornReader reader(stream, false);
    VornModule* module = reader.readFileQuickly();
    EXPECT_EQ(module->libraries.size(), 2u);
    EXPECT_TRUE(module->libraries.count(HString::intern("libm")));
    EXPECT_TRUE(module->isProtected);
    EXPECT_EQ(module->linkOrderPriority, 3u);
    EXPECT_EQ(module->attributes.count(HString::intern("empty")), 1u);
    EXPECT_EQ(module->attribute("empty"), nullptr);
    VornReader::release(module);
}

TEST(VornReaderTest, PayloadAfterInformationBlockIsReadInFullMode) {
    VornWriter w;
    w.writeAttribute("dependencies", "main.c");
    w.writeEndOfInfo();
    w.writeSection("CODE");
    const QByteArray payload("\x01\x00\x02zero\x00bytes", 13);
    w.writeBytes(payload);
    w.writeSection("DATA");
    w.writeBytes("d");
    w.writeSection("CODE");
    w.writeBytes("++");
    const Bytes file = bytesOf(w.finish());

    HMemoryByteStream stream(file);
    VornReader reader(stream, false);
    VornModule* module = reader.readFile();
    ASSERT_EQ(module->sections.size(), 2u);
    const VornSection* code = module->sections.at(HString::intern("CODE"));
    const std::vector<uint8_t> data = code->data();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size())),
              payload + "++");
    VornReader::release(module);

    HMemoryByteStream again(file);
    VornReader quickReader(again, false);
    module = quickReader.readFileQuickly();
    EXPECT_TRUE(module->sections.empty());
    VornReader::release(module);
}

TEST(VornReaderTest, QuickReadStopsAtEndOfInfo) {
    VornWriter w;
    w.writeAttribute("dependencies", "a.c");
    w.writeEndOfInfo();
    w.externalizeTag(30);            // unknown tag
    w.externalizeTag(VornTag::Drop); // empty stack
    w.externalizeTag(VornTag::LITX); // truncated constant
    const Bytes file = bytesOf(w.finish());
    EXPECT_EQ(readError(file, true), "");
    EXPECT_EQ(readError(file, false), "bad object file: unknown tag");

    // The stack must already be empty at END_OF_INFO.
    EXPECT_EQ(readError({0x00, 0x26, 0x05, VornTag::EndOfInfo}, true),
              "bad object file: stack not empty at EOF");
}

TEST(VornReaderTest, ErrorTexts) {
    const std::string premature = "premature end of VORN file";
    const std::string valueError = "bad object file: operand value error (constant out of range)";
    const std::string pastPool = "bad object file: string runs past the end of the string pool";
    Bytes overflow(101, 0x01);
    Bytes hundred(100, 0x01);
    hundred.insert(hundred.end(), 100, VornTag::Drop);

    std::vector<std::pair<Bytes, std::string>> cases = {
        {{}, ""},
        {hundred, ""},
        {{0x08, 0x02, 0x01}, premature},
        {{0x08}, premature},
        {{0x05, 0x26, 'a', 'b'}, premature},
        {{0x08, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0, VornTag::Drop}, valueError},
        {overflow, "bad object file: reader stack overflow"},
        {{VornTag::Drop}, "bad object file: reader empty stack"},
        {{VornTag::Null, VornTag::Attribute}, "bad object file: reader empty stack"},
        {{0x00, VornTag::Library}, "bad object file: operand type error (string expected)"},
        {{VornTag::Null, VornTag::LinkOrderPriority},
         "bad object file: operand type error (constant expression expected)"},
        {{0x02, VornTag::Char, 0x02, VornTag::Char, VornTag::Ptr},
         "bad object file: operand type error (pointer expected)"},
        {{0x08, 0x04, 0x01, 0x00, 0x00, 0x00, VornTag::StringPool}, valueError},
        {withPool("ab", {0x03, 0x00, 0x23, VornTag::Drop}), valueError},
        {withPool("ab", {0x00, 0x03, 0x23, VornTag::Drop}), valueError},
        {withPool("ab", {0x03, 0x22, VornTag::Drop}), valueError},
        {withPool("ab", {0x08, 0x05, 0x01, 0, 0, 0, 0, 0x00, 0x23, VornTag::Drop}), valueError},
        {withPool("ab", {0x01, 0x02, 0x23, VornTag::Drop}), pastPool},
        {withPool("ab", {0x00, 0x22, VornTag::Drop}), pastPool},
        {withPool("ab", {0x02, 0x22, VornTag::Drop}), pastPool},
        {withPool(std::string("a\0b", 3), {0x00, 0x22, VornTag::Drop}), ""},
        {withPool("ab", {0x02, 0x00, 0x23, VornTag::Drop}), ""},
        {{0x09, 0x01, VornTag::MkAlias, 0x09, 0x01, VornTag::MkAlias},
         "bad object file: alias defined more than once"},
        {{0x01, VornTag::Alias}, valueError},
        {{0x00, VornTag::Align}, "bad object file: no defined section"},
        {withPool("f", {0x00, 0x01, 0x23, VornTag::MkFilename}),
         "bad object file: no defined section"},
        {{VornTag::Break}, "bad object file: no defined section"},
        {withPool("S", {0x00, 0x01, 0x23, VornTag::MkSection, VornTag::Section, VornTag::Null,
                        VornTag::SetBytes}),
         "bad object file: no instruction defined"},
        {{0x00}, "bad object file: stack not empty at EOF"},
    };
    for (uint8_t tag : {30, 52, 77, 90, 114, 255})
        cases.push_back({{tag}, "bad object file: unknown tag"});
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(readError(cases[i].first, false), cases[i].second) << "case " << i;

    QTemporaryDir dir;
    const QString missing = dir.path() + "/missing.hzo";
    try {
        readObjectFileDependenciesOrThrow(missing);
        ADD_FAILURE() << "no exception";
    } catch (const HException& e) {
        EXPECT_EQ(std::string(e.message()), "can't open file " + missing.toStdString());
    }
    EXPECT_TRUE(readObjectFileDependencies(missing).isEmpty());
    EXPECT_TRUE(readObjectFileDependencies(dir.path()).isEmpty());
}

TEST(VornReaderTest, DependencyListRules) {
    QTemporaryDir dir;
    VornWriter twice;
    twice.writeAttribute("dependencies", "old.c");
    twice.writeAttribute("other", "x");
    twice.writeAttribute("dependencies", "a.c;;b.h;");
    twice.writeEndOfInfo();
    EXPECT_EQ(readObjectFileDependencies(writeTemp(dir, "twice.hzo", twice.finish())),
              QStringList({"a.c", "b.h"}));

    EXPECT_TRUE(readObjectFileDependencies(writeTemp(dir, "empty.hzo", QByteArray())).isEmpty());
    EXPECT_EQ(readError({}, true), "");

    VornWriter none;
    none.writeAttribute("other", "x");
    none.writeEndOfInfo();
    EXPECT_TRUE(readObjectFileDependencies(writeTemp(dir, "none.hzo", none.finish())).isEmpty());

    // Tag 30 before the end of the information block makes the object unreadable.
    VornWriter bad;
    bad.writeAttribute("dependencies", "a.c;a.h");
    bad.externalizeTag(30);
    bad.writeEndOfInfo();
    EXPECT_TRUE(readObjectFileDependencies(writeTemp(dir, "bad.hzo", bad.finish())).isEmpty());

    // A file cut anywhere inside the information block fails, never half-reads.
    VornWriter good;
    good.writeAttribute("dependencies", "main.c;include/a.h");
    good.writeEndOfInfo();
    // Cuts at a record boundary (after the pool, after the attribute) read as
    // a shorter file; every other cut fails.
    const QByteArray whole = good.finish();
    const int afterPool = 4 + 30, afterAttribute = whole.size() - 1;
    for (int cut = 1; cut < whole.size(); ++cut) {
        const bool boundary = cut == afterPool || cut == afterAttribute;
        EXPECT_EQ(readError(bytesOf(whole.left(cut)), true).empty(), boundary) << "cut at " << cut;
    }

    // Latin-1 names survive the round trip.
    VornWriter latin;
    latin.writeAttribute("dependencies", QString::fromLatin1("caf\xe9.c"));
    latin.writeEndOfInfo();
    EXPECT_EQ(readObjectFileDependencies(writeTemp(dir, "latin.hzo", latin.finish())),
              QStringList(QString::fromLatin1("caf\xe9.c")));
}

TEST(VornReaderTest, TagVocabularyKeepsTheStackBalanced) {
    // Each program leaves nothing on the stack when every record consumes and
    // produces what it should.
    const std::string pool = "nameS";
    auto name = [] { return Bytes{0x00, 0x04, 0x23}; };
    auto section = [] { return Bytes{0x04, 0x01, 0x23, VornTag::MkSection, VornTag::Section}; };
    auto cat = [](std::initializer_list<Bytes> parts) {
        Bytes out;
        for (const Bytes& p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const Bytes sym = cat({name(), {VornTag::MkSymbol}});
    const std::vector<Bytes> programs = {
        {VornTag::Nop, VornTag::NullNull, VornTag::Drop, VornTag::Drop},
        {0x01, VornTag::Dup, 11, VornTag::Drop},
        {0x01, 0x02, 94, 0x03, 85, VornTag::Drop},
        {0x01, 0x02, VornTag::VornWordAddress, VornTag::Drop},
        cat({sym, {VornTag::Dup, VornTag::SymbolVal, VornTag::Drop, VornTag::Public}}),
        cat({sym, {0x05, VornTag::SymbolDef}}),
        cat({sym, {0x02, VornTag::Int, VornTag::SetType}}),
        cat({sym, name(), {VornTag::SetName, VornTag::Drop}}),
        cat({sym, {0x07, VornTag::MkAlias, 0x07, VornTag::Alias, VornTag::Drop}}),
        {0x03, VornTag::MarkerRef, 0x04, VornTag::Register, 12, VornTag::Drop},
        {VornTag::StrucObsolete, 0x02, VornTag::Unsigned, 0x04, VornTag::Array, VornTag::Drop,
         VornTag::Drop},
        {0x01, VornTag::Char, 0x02, VornTag::Char, 0x03, VornTag::CountedArray, VornTag::Drop},
        {0x02, VornTag::ForwardType, 0x01, VornTag::Char, VornTag::Ptr, VornTag::PtrRep111, 0x00,
         VornTag::Drop},
        {0x02, VornTag::Untyped, VornTag::Drop, 0x04, VornTag::Float, 106, VornTag::Drop},
        {0x00, 0x01, 0x02, VornTag::Function, VornTag::Member, VornTag::Drop},
        cat({{0x01, 0x01, 0x01, VornTag::Function}, sym, {VornTag::ParamIn}}),
        cat({{0x01, 0x01, 0x01, VornTag::Function}, sym, {VornTag::ParamOut}}),
        cat({{0x04, VornTag::Struc}, name(), {0x05, 0x02, VornTag::Int, VornTag::StaticField}}),
        cat({{0x04, VornTag::Struc},
             name(),
             {0x00, 0x07, 0x02, VornTag::Int, VornTag::DynamicField, VornTag::Drop}}),
        cat({{VornTag::Null, 0x00, 0x01, VornTag::ScopeFunction, VornTag::Dup},
             sym,
             {VornTag::SetScope},
             sym,
             {VornTag::SetFctSymbol}}),
        {VornTag::Null, 0x00, 0x01, VornTag::ScopeModule, 0x00, 0x01, VornTag::ScopeBlock,
         VornTag::Drop},
        cat({sym, {0x01, VornTag::Codelet, VornTag::Drop}}),
        cat({sym, {0x01, VornTag::Patchable}, sym, {0x01, VornTag::Patched, VornTag::Drop}}),
        cat({sym, name(), {0x05, VornTag::SymbolLocus, VornTag::Drop}}),
        cat({section(),
             {0x01, VornTag::MarkerDef, 0x00, 0x02, VornTag::MkStringCounted, VornTag::DefBytes},
             {0x08, 0x02, 0x40, 0x00, VornTag::Insn, 0x05, VornTag::SetInsnValue},
             {0x02, VornTag::AdjustStack, 0x01, VornTag::InstrumentationData},
             {0x04, 0x01, 0x23, VornTag::SetBytes}}),
        cat({section(),
             {0x03, VornTag::SetFlags, 0x01, 0x02, VornTag::InsnOperand, VornTag::ClearFlags},
             {0x01, VornTag::LocalInsn, 0x02, 0x00, VornTag::Fill, 0x02, VornTag::Align},
             {0x01, VornTag::Origin, VornTag::Break, 0x03, VornTag::Space, 0x01, VornTag::SetPc}}),
        cat({section(),
             name(),
             {VornTag::MkFilename, 0x07, VornTag::Locus, 0x02, 0x01, VornTag::Init},
             {0x01, VornTag::DefAddr, VornTag::EndLinkIf},
             sym,
             {VornTag::LinkIf}}),
        cat({{VornTag::Protected}, name(), {VornTag::Library}}),
    };
    for (size_t i = 0; i < programs.size(); ++i) {
        const Bytes file = withPool(pool, programs[i]);
        EXPECT_EQ(readError(file, false), "") << "program " << i;
        // Without its last record a program leaves something behind or underflows.
        Bytes cut = file;
        cut.pop_back();
        EXPECT_NE(readError(cut, false), "") << "program " << i << " without its last record";
    }
}

TEST(VornReaderTest, ModuleContentsFromRecords) {
    const std::string pool = "mainS";
    Bytes body = {0x00, 0x04, 0x23, VornTag::MkSymbol, VornTag::Dup, 0x08, 0x02, 0x12, 0x34,
                  VornTag::SymbolDef, VornTag::Public,
                  // section S with an instruction
                  0x04, 0x01, 0x23, VornTag::MkSection, VornTag::Section, 0x08, 0x02, 0x40, 0x00,
                  VornTag::Insn, 0x08, 0x02, 0x23, 0x00, VornTag::Insn,
                  // folded constants: (2 + 3) * 4 as the fill count
                  0x02, 0x03, 11, 0x04, 13, 0x07, VornTag::Fill};
    HMemoryByteStream stream(withPool(pool, body));
    VornMSP430Reader reader(stream, false);
    VornModule* module = reader.readFile();
    ASSERT_EQ(module->publics.size(), 1u);
    const VornSymbol* main = module->publics.begin()->second;
    EXPECT_EQ(main->name, HString::intern("main"));
    ASSERT_NE(main->value, nullptr);
    EXPECT_EQ(main->value->value, 0x1234u);
    const VornSection* s = module->sections.at(HString::intern("S"));
    ASSERT_EQ(s->fragments.size(), 1u);
    ASSERT_EQ(s->fragments[0]->insns.size(), 2u);
    auto* first = dynamic_cast<VornMSP430Insn*>(s->fragments[0]->insns[0]);
    auto* second = dynamic_cast<VornMSP430Insn*>(s->fragments[0]->insns[1]);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->format(), VornMSP430Insn::DoubleOperand);
    EXPECT_EQ(second->format(), VornMSP430Insn::Jump);
    EXPECT_EQ(s->data(), std::vector<uint8_t>(20, 7));
    EXPECT_STREQ(reader.processorName(), "MSP430");
    VornReader::release(module);
}

TEST(VornReaderTest, TraceNamesEachRecord) {
    VornWriter w;
    w.writeAttribute("k", "v");
    w.writeEndOfInfo();
    HMemoryByteStream stream(bytesOf(w.finish()));
    VornReader reader(stream, false);
    testing::internal::CaptureStdout();
    VornModule* module = reader.readFileQuickly(true);
    const std::string out = testing::internal::GetCapturedStdout();
    VornReader::release(module);
    EXPECT_EQ(out, "0\tLIT 0x2\n"
                   "1\tSTRINGPOOL\n"
                   "4\tLIT 0x0\n"
                   "5\tLIT 0x0 0x1\n"
                   "6\tMKSTRING \"k\"\n"
                   "7\tLIT \"k\" 0x1\n"
                   "8\tLIT \"k\" 0x1 0x1\n"
                   "9\tMKSTRING \"k\" \"v\"\n"
                   "10\tATTRIBUTE\n"
                   "11\tEND_OF_INFO\n");
}

TEST(VornReaderTest, RandomBytesNeverCrash) {
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        Bytes file(size_t(random() % 64));
        for (uint8_t& b : file)
            b = uint8_t(random() % 120);
        for (bool quick : {false, true}) {
            HMemoryByteStream stream(file);
            VornMSP430Reader reader(stream, false);
            try {
                VornReader::release(quick ? reader.readFileQuickly() : reader.readFile());
            } catch (const HException&) {
            }
        }
    }
}
