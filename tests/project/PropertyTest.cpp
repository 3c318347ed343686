#include "project/Property.h"

#include <gtest/gtest.h>

namespace {

SimplePropertyValue valueOf(PropertyClass* cls, const QString& text) {
    SimplePropertyValue v(cls, text);
    return v;
}

TEST(PropertyClass, BooleanDefaultsAndLabels) {
    PropertyClass plain("b", PropertyClass::Boolean, "G", "S", "L");
    EXPECT_EQ(plain.defaultValue(), "No");
    EXPECT_EQ(plain.enumerates(), QStringList({"No", "Yes"}));
    EXPECT_FALSE(valueOf(&plain, "").toBool());

    PropertyClass labelled("l", "G", "S", "L", true, {"Off", "On"});
    EXPECT_EQ(labelled.type(), PropertyClass::Boolean);
    EXPECT_EQ(labelled.defaultValue(), "On");
    EXPECT_TRUE(valueOf(&labelled, "").toBool());
    EXPECT_FALSE(valueOf(&labelled, "Off").toBool());

    PropertyClass ranged("r", PropertyClass::IntegerRange, 1, 9, "G", "S", "L", 4);
    EXPECT_EQ(ranged.defaultValue(), "4");

    PropertyClass colour("c", "G", "S", "L", PropertyColour(255, 0, 16));
    EXPECT_EQ(colour.type(), PropertyClass::Colour);
    EXPECT_EQ(colour.defaultValue(), "#ff0010");
}

TEST(PropertyValue, ToBoolReadsEnumeratesThenWords) {
    PropertyClass b("b", PropertyClass::Boolean, "G", "S", "L");
    for (const char* yes : {"TRUE", "true", "Yes", "1", "yEs"})
        EXPECT_TRUE(valueOf(&b, yes).toBool()) << yes;
    for (const char* no : {"No", "y", "2", "false"})
        EXPECT_FALSE(valueOf(&b, no).toBool()) << no;

    // Position decides for an enumeration that is not a yes/no pair.
    PropertyClass e("e", PropertyClass::Enumeration, QStringList{"Low", "High"}, "G", "S", "L");
    EXPECT_TRUE(valueOf(&e, "High").toBool());
    EXPECT_FALSE(valueOf(&e, "Low").toBool());
}

TEST(PropertyValue, IntegersAndEnumerations) {
    PropertyClass e("e", PropertyClass::Enumeration, QStringList{"A", "B", "C"}, "G", "S", "L",
                    "B");
    EXPECT_EQ(valueOf(&e, "C").toInt(), 2);
    EXPECT_EQ(valueOf(&e, "D").toInt(), 0);
    EXPECT_EQ(valueOf(&e, "").toInt(), 1); // the default

    SimplePropertyValue v(&e, "C");
    v.setValue(3); // out of range: warns, keeps the value
    EXPECT_EQ(v.toString(), "C");
    v.setValue(0);
    EXPECT_EQ(v.toString(), "A");

    PropertyClass s("s", PropertyClass::String, "G", "S", "L");
    SimplePropertyValue sv(&s, "text");
    sv.setValue(7);
    EXPECT_EQ(sv.toString(), "text");
    EXPECT_EQ(valueOf(&s, "12x").toInt(), 0);
    EXPECT_EQ(valueOf(&s, "-12").toInt(), -12);

    PropertyClass r("r", PropertyClass::IntegerRange, 0, 5, "G", "S", "L", 0);
    SimplePropertyValue rv(&r, "");
    rv.setValue(7); // bounds are not checked
    EXPECT_EQ(rv.toString(), "7");

    // A Boolean set on a non-Boolean class warns and still goes through setValue(int).
    PropertyClass i("i", PropertyClass::Integer, "G", "S", "L");
    SimplePropertyValue iv(&i, "");
    iv.setValue(true);
    EXPECT_EQ(iv.toString(), "1");
    PropertyClass b("b", PropertyClass::Boolean, "G", "S", "L");
    SimplePropertyValue bv(&b, "");
    bv.setValue(true);
    EXPECT_EQ(bv.toString(), "Yes");
}

TEST(PropertyValue, ListsRectanglesColours) {
    PropertyClass l("l", PropertyClass::StringList, "G", "S", "L");
    SimplePropertyValue v(&l, "");
    v.setValue(QStringList{"a;b", "c\\d"});
    EXPECT_EQ(v.toString(), "a\\;b;c\\\\d");
    EXPECT_EQ(v.toStringList(), QStringList({"a;b", "c\\d"}));

    v.setValue(QRect(1, 2, 30, 40));
    EXPECT_EQ(v.toString(), "1,2,30,40");
    EXPECT_EQ(v.toRect(), QRect(1, 2, 30, 40));

    v.setValue(PropertyColour());
    EXPECT_EQ(v.toString(), "Automatic");
    EXPECT_FALSE(v.toColor().valid);
    v.setValue(PropertyColour(1, 2, 3));
    EXPECT_EQ(v.toString(), "#010203");
    EXPECT_EQ(v.toColor(), PropertyColour(1, 2, 3));
    EXPECT_FALSE(valueOf(&l, "#12").toColor().valid);

    SimplePropertyValue f(&l, "");
    EXPECT_EQ(f.toFont(PropertyFont{"Mono,10"}).description, "Mono,10");
}

TEST(PropertyLists, UniqueAppendsAndOwnership) {
    PropertyClass a("a", PropertyClass::String, "G", "S", "L");
    PropertyClass b("b", PropertyClass::String, "G", "S", "L");
    PropertyClassList classes;
    classes.appendUnique(&a);
    classes.appendUnique(&b);
    classes.appendUnique(&a);
    EXPECT_EQ(classes.size(), 2);

    SimplePropertyValue kept(&b, "owned elsewhere");
    kept.setTransient(false);
    {
        PropertyValueList values(true);
        auto* first = new SimplePropertyValue(&a, "1");
        values.appendUnique(first);
        SimplePropertyValue second(&a, "2");
        values.appendUnique(&second); // same class: not added
        values.appendUnique(nullptr);
        SimplePropertyValue classless;
        values.appendUnique(&classless);
        values.appendUnique(&kept);
        EXPECT_EQ(values.size(), 2);
        EXPECT_EQ(values.find(&a), first);
        EXPECT_EQ(values.find(&b), &kept);
    } // deletes first (transient), leaves kept
    EXPECT_EQ(kept.toString(), "owned elsewhere");
}

} // namespace
