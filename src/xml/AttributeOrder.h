#pragma once

#include <QByteArray>
#include <QDomElement>
#include <QHash>
#include <QList>

class QDomDocument;

// Qt's DOM keeps an element's attributes in a hash seeded afresh in every
// process, so a document it writes lists them in a different order from run
// to run. This remembers each element's attribute names in source order and
// writes the document with them, otherwise exactly as Qt writes it.
class AttributeOrder {
public:
    // Remembers the attribute order of root and its descendants; text is the
    // source they were parsed from.
    void record(const QDomElement& root, const QByteArray& text);

    // QDomDocument::toByteArray(indent), with every element's attributes in
    // source order; attributes the source did not have follow, sorted by name.
    QByteArray serialise(const QDomDocument& document, int indent) const;

private:
    struct Entry {
        QDomElement element; // held, so that its address is never reused
        QList<QByteArray> names;
    };
    QList<QByteArray> namesOf(const QDomElement& element) const;

    QHash<const void*, Entry> m_entries;
};
