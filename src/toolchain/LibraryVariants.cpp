#include "toolchain/LibraryVariants.h"

namespace {

// Shared by printf and scanf; floating-point variants carry their own width.
QString formatLevel(const QString& fpEnabled, const QString& doubleIsFloat, const QString& level,
                    bool& isFloat) {
    isFloat = fpEnabled == QLatin1String("Yes");
    if (isFloat) {
        if (doubleIsFloat != QLatin1String("Yes")) return QStringLiteral("double_long_long");
        return level == QLatin1String("long long") ? QStringLiteral("float_long_long")
                                                   : QStringLiteral("float_long");
    }
    if (level == QLatin1String("int")) return QStringLiteral("int");
    if (level == QLatin1String("long")) return QStringLiteral("long");
    if (level == QLatin1String("long long")) return QStringLiteral("long_long");
    return QString(QLatin1String(""));
}

} // namespace

namespace LibraryVariants {

QString libExt(const QString& useHardwareMultiplier, const QString& doubleIsFloat,
               const QString& multiThreaded) {
    QString ext =
        useHardwareMultiplier == QLatin1String("No") ? QStringLiteral("_s") : QStringLiteral("_h");
    ext += doubleIsFloat == QLatin1String("Yes") ? QLatin1Char('f') : QLatin1Char('d');
    if (multiThreaded == QLatin1String("Yes")) ext += QLatin1String("_mt");
    return ext;
}

QString printfVariant(const QString& fpEnabled, const QString& doubleIsFloat, const QString& level,
                      const QString& widthPrecisionSupported) {
    bool isFloat = false;
    QString v = formatLevel(fpEnabled, doubleIsFloat, level, isFloat);
    if (!isFloat && widthPrecisionSupported == QLatin1String("No")) v += QLatin1String("_nwp");
    return v;
}

QString scanfVariant(const QString& fpEnabled, const QString& doubleIsFloat, const QString& level,
                     const QString& characterGroupMatching) {
    bool isFloat = false;
    QString v = formatLevel(fpEnabled, doubleIsFloat, level, isFloat);
    if (characterGroupMatching == QLatin1String("Yes")) v += QLatin1String("_cc");
    return v;
}

} // namespace LibraryVariants
