#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// Object-like macros as the preprocessor knows them: name -> replacement text.
// Function-like macros are kept with a body starting with kFunctionLikeMacro:
// "defined" sees them, and a call to one reads as 0 in a condition.
using MacroTable = QHash<QByteArray, QByteArray>;
constexpr char kFunctionLikeMacro = '\x01';

// Evaluates the expression of an #if or #elif line: integer arithmetic with
// the C operators, "defined NAME" / "defined(NAME)", macros replaced, and
// unknown identifiers reading as 0. False with an error text for a malformed
// expression or a division by zero.
bool evaluateCondition(const QByteArray& expression, const MacroTable& macros, qint64& value,
                       QString& error);
