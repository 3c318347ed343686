#pragma once

#include <QString>

// Texts with a fixed meaning in stored settings: the two boolean values, and
// the configuration whose values apply to every other.
namespace SettingText {
inline const QString Yes = QStringLiteral("Yes");
inline const QString No = QStringLiteral("No");
inline const QString Common = QStringLiteral("Common");
} // namespace SettingText
