#pragma once

// A fast reader for plain solution files, such as the tool itself writes:
// ASCII only, one document type declaration without an internal subset,
// elements with attributes, whitespace and comments between them. It builds
// the same tree the general XML reader would, and declines anything else
// (text, processing instructions, CDATA, entities other than the predefined
// five, whitespace inside attribute values, a tree too deep, any error)
// without judging it, so the general reader takes such a file as before.

#include <QByteArray>
#include <QList>
#include <QString>

class ProjectElement;

// The root element's tree when the file is plain, its document type is
// docType and its root a solution with a version; otherwise null. The root
// sits at depth; an element deeper than maxDepth declines the file. Elements
// asking for a project template are appended to templateRequests.
ProjectElement* scanSolution(const QByteArray& bytes, const QString& docType, int depth,
                             int maxDepth, QList<ProjectElement*>& templateRequests);
