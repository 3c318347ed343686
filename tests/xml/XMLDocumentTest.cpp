#include "xml/XMLDocument.h"

#include "XmlTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

XMLElement* el(XMLNode* n) {
    return n && n->isElement() ? static_cast<XMLElement*>(n) : nullptr;
}

int childCount(const XMLNode* n) {
    int count = 0;
    for (XMLNode* c = n->firstChild(); c; c = c->nextSibling())
        ++count;
    return count;
}

TEST(XMLParser, ElementsAttributesAndTextWithAndWithoutKeepText) {
    const QByteArray text = "<a x=\"1\"><b/>some text</a>";
    XMLDocument kept(true);
    ASSERT_TRUE(kept.loadFromString(text));
    XMLElement* a = kept.root();
    ASSERT_TRUE(a);
    EXPECT_STREQ(a->tagName(), "a");
    EXPECT_STREQ(a->attribute("x"), "1");
    EXPECT_EQ(a->attribute("y"), nullptr);
    ASSERT_EQ(childCount(a), 2);
    EXPECT_STREQ(el(a->firstChild())->tagName(), "b");
    XMLNode* data = a->firstChild()->nextSibling();
    ASSERT_TRUE(data->isData());
    EXPECT_STREQ(static_cast<XMLData*>(data)->data(), "some text");
    EXPECT_EQ(data->parent(), a);

    XMLDocument dropped(false);
    ASSERT_TRUE(dropped.loadFromString(text));
    EXPECT_EQ(childCount(dropped.root()), 1);
}

TEST(XMLParser, EndTagsAreMatchedByPrefix) {
    XMLDocument doc;
    EXPECT_FALSE(doc.loadFromString(QByteArray("<a></ab>")));
    EXPECT_STREQ(doc.errorText(), "tagName mismatch");
    EXPECT_TRUE(doc.loadFromString(QByteArray("<ab></a>")));
    EXPECT_STREQ(doc.errorText(), "");
    EXPECT_STREQ(doc.root()->tagName(), "ab");
    EXPECT_FALSE(doc.loadFromString(QByteArray("</a>")));
    EXPECT_STREQ(doc.errorText(), "tagName mismatch");
}

TEST(XMLParser, RefusesWhatIsOutsideTheSubset) {
    XMLDocument doc;
    EXPECT_FALSE(doc.loadFromString(QByteArray("<a 1x=\"2\"/>")));
    EXPECT_STREQ(doc.errorText(), "bad tagName");
    EXPECT_FALSE(doc.loadFromString(QByteArray("<?xml version=\"1.0\"?>\n<a/>")));
    EXPECT_STREQ(doc.errorText(), "bad tagName");
    EXPECT_EQ(doc.errorLine(), 1);
    EXPECT_FALSE(doc.loadFromString(QByteArray("<a>\n\n  <b></c>\n</a>")));
    EXPECT_EQ(doc.errorLine(), 3);
}

TEST(XMLParser, KeepsReferencesQuotesAndLineFeedsLiterally) {
    XMLDocument doc;
    ASSERT_TRUE(doc.loadFromString(QByteArray("<a v=\"x &amp; <y>\nz\">1 &lt; 2\r\n</a>")));
    EXPECT_STREQ(doc.root()->attribute("v"), "x &amp; <y>\nz");
    EXPECT_STREQ(static_cast<XMLData*>(doc.root()->firstChild())->data(), "1 &lt; 2\n");
}

TEST(XMLParser, CommentsAndDocumentType) {
    XMLDocument doc;
    ASSERT_TRUE(doc.loadFromString(QByteArray("<!DOCTYPE Board_Memory_Definition_File>\n"
                                              "<!-- outside -->\n<r><!-- in -- side --></r>")));
    EXPECT_STREQ(doc.docType(), "Board_Memory_Definition_File");
    XMLNode* c = doc.root()->firstChild();
    ASSERT_TRUE(c && c->isComment());
    EXPECT_STREQ(static_cast<XMLComment*>(c)->comment(), " in -- side ");
    EXPECT_EQ(doc.toByteArray(0),
              "<!DOCTYPE Board_Memory_Definition_File>\n<r><!-- in -- side --></r>");

    XMLDocument other;
    ASSERT_TRUE(other.loadFromString(QByteArray("<!ELEMENT x><r/>")));
    EXPECT_EQ(other.docType(), nullptr);
    EXPECT_STREQ(other.root()->tagName(), "r");
}

TEST(XMLParser, LaterTopLevelElementReplacesRootAndOpenElementsAreDiscarded) {
    XMLDocument doc;
    ASSERT_TRUE(doc.loadFromString(QByteArray("<a/><b/><c><d>")));
    EXPECT_STREQ(doc.root()->tagName(), "b");
    ASSERT_TRUE(doc.loadFromString(QByteArray("text before <a/>")));
    EXPECT_EQ(doc.root(), nullptr);
}

TEST(XMLParser, SurvivesHostileInput) {
    const char* samples[] = {
        "",      "<",           "<a",       "<a x",      "<a x=",         "<a x=\"", "<a x=\"1",
        "<!--",  "<!-- x --",   "<!",       "<!DOCTYPE", "<!DOCTYPE x",   "</",      "<a/",
        "<a></", "<a x y=1 z>", "<a x=y/>", "<<<<>>>>",  "<a b=\"\"\"/>", "<_/>"};
    for (const char* s : samples) {
        XMLDocument doc;
        doc.loadFromString(s, std::strlen(s)); // must simply return
    }
    // Attributes without a quoted value are taken with an empty one.
    XMLDocument doc;
    ASSERT_TRUE(doc.loadFromString(QByteArray("<a x y= z/>")));
    EXPECT_STREQ(doc.root()->attribute("x"), "");
    EXPECT_STREQ(doc.root()->attribute("y"), "");
    EXPECT_STREQ(doc.root()->attribute("z"), "");

    // A buffer that is not terminated: the parser must stop at its end.
    const char unterminated[] = {'<', 'a', ' ', 'x', '=', '"', 'v'};
    XMLDocument cut;
    cut.loadFromString(unterminated, sizeof unterminated);
    EXPECT_EQ(cut.root(), nullptr);

    std::mt19937 random(42);
    const char alphabet[] = "<>/!-=\"ab_ 1\n?";
    for (int round = 0; round < 2000; ++round) {
        QByteArray text;
        const int length = int(random() % 64);
        for (int i = 0; i < length; ++i)
            text.append(round % 2 ? char(random() % 256)
                                  : alphabet[random() % (sizeof alphabet - 1)]);
        XMLDocument fuzz(round % 3 != 0);
        fuzz.loadFromString(text);
        fuzz.toByteArray(2);
    }
}

TEST(XMLParser, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    QByteArray deep;
    for (int i = 0; i < 200000; ++i)
        deep.append("<a>");
    XMLDocument doc;
    EXPECT_FALSE(doc.loadFromString(deep));
    EXPECT_EQ(doc.root(), nullptr);

    QByteArray fine;
    for (int i = 0; i < 1000; ++i)
        fine.append("<a>");
    for (int i = 0; i < 1000; ++i)
        fine.append("</a>");
    ASSERT_TRUE(doc.loadFromString(fine));
    int depth = 0;
    for (XMLNode* n = doc.root(); n; n = n->firstChild())
        ++depth;
    EXPECT_EQ(depth, 1000);
}

TEST(XMLParser, ManySiblingsParseInLinearTime) {
    QByteArray wide = "<r>";
    for (int i = 0; i < 200000; ++i)
        wide.append("<a/>");
    wide.append("</r>");
    XMLDocument doc(false);
    ASSERT_TRUE(doc.loadFromString(wide));
    EXPECT_EQ(childCount(doc.root()), 200000);
}

TEST(XMLWriter, IndentationAndVerbatimValues) {
    XMLDocument doc;
    ASSERT_TRUE(doc.loadFromString(QByteArray("<a x=\"1 < 2\"><b/><c><d/></c></a>")));
    EXPECT_EQ(doc.toByteArray(0), "<a x=\"1 < 2\"><b/><c><d/></c></a>");
    EXPECT_EQ(doc.toByteArray(2), "<a x=\"1 < 2\">\n"
                                  "  <b/>\n"
                                  "  <c>\n"
                                  "    <d/>\n"
                                  "  </c>\n"
                                  "</a>\n");
    // Text nodes are written as stored, after the indentation.
    ASSERT_TRUE(doc.loadFromString(QByteArray("<a>t</a>")));
    EXPECT_EQ(doc.toByteArray(1), "<a>\n t</a>\n");
}

TEST(XMLWriter, SaveAndReloadAndUnwritablePath) {
    Scratch dir;
    XMLDocument doc;
    ASSERT_TRUE(doc.loadFromString(QByteArray("<!DOCTYPE T><r a=\"1\"><s/></r>")));
    ASSERT_TRUE(doc.save(dir.path("out.xml"), 2));
    XMLDocument again(false); // the indentation would otherwise come back as text
    ASSERT_TRUE(again.load(dir.path("out.xml")));
    EXPECT_EQ(again.toByteArray(2), doc.toByteArray(2));

    EXPECT_FALSE(doc.save(dir.path("missing/out.xml"), 0));
    EXPECT_EQ(QString(doc.errorText()), "couldn't write " + dir.path("missing/out.xml"));
    EXPECT_FALSE(again.load(dir.path("nope.xml")));
    EXPECT_EQ(QString(again.errorText()), "couldn't read " + dir.path("nope.xml"));

    // Long messages are cut to fit the error buffer.
    const QString longName = dir.path(QString(2000, 'n'));
    EXPECT_FALSE(again.load(longName));
    EXPECT_EQ(std::strlen(again.errorText()), 1023u);
}

TEST(XMLTreeOps, InsertRemoveReplaceAndReparent) {
    XMLElement parent(XMLNode::mkString("p"));
    auto* a = new XMLElement(XMLNode::mkString("a"));
    auto* b = new XMLElement(XMLNode::mkString("b"));
    auto* c = new XMLElement(XMLNode::mkString("c"));
    parent.appendChild(b);
    parent.prependChild(a);
    parent.appendChild(c);
    auto order = [&]() {
        QByteArray s;
        for (XMLNode* n = parent.firstChild(); n; n = n->nextSibling())
            s.append(el(n)->tagName());
        return s;
    };
    EXPECT_EQ(order(), "abc");
    parent.removeChild(b);
    EXPECT_EQ(order(), "ac");
    auto* d = new XMLElement(XMLNode::mkString("d"));
    parent.replaceChild(c, d);
    EXPECT_EQ(order(), "ad");
    EXPECT_EQ(d->parent(), &parent);
    delete c;

    delete b;

    // A chain x -> y inserted after a, then a single node at the front.
    XMLElement holder(XMLNode::mkString("h"));
    holder.appendChild(new XMLElement(XMLNode::mkString("x")));
    holder.appendChild(new XMLElement(XMLNode::mkString("y")));
    parent.reparentChildrenAfter(a, XMLTree::takeChildren(&holder));
    EXPECT_EQ(order(), "axyd");
    EXPECT_EQ(holder.firstChild(), nullptr);
    auto* e = new XMLElement(XMLNode::mkString("e"));
    parent.reparentChildrenAfter(nullptr, e);
    EXPECT_EQ(order(), "eaxyd");
    EXPECT_EQ(e->parent(), &parent);
    EXPECT_EQ(a->nextSibling()->parent(), &parent);
}

TEST(XMLTreeOps, AttributesKeepPositionAndOwnership) {
    XMLElement e(XMLNode::mkString("e"));
    e.setAttribute(XMLNode::mkString("a"), XMLNode::mkString("1"));
    e.setAttribute(XMLNode::mkString("b"), XMLNode::mkString("2"));
    e.setAttribute(XMLNode::mkString("a"), XMLNode::mkString("3"));
    ASSERT_EQ(e.getAttributeList().size(), 2u);
    EXPECT_STREQ(e.getAttributeList()[0].first, "a");
    EXPECT_STREQ(e.getAttributeList()[0].second, "3");
    e.removeAttribute("a");
    EXPECT_FALSE(e.hasAttribute("a"));
    EXPECT_TRUE(e.hasAttribute("b"));
}

} // namespace
