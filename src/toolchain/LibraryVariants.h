#pragma once

#include <QString>

// Names of the run-time library variants a link needs. Inputs are the raw
// setting texts; anything outside the known values selects the fall-back.
namespace LibraryVariants {

// "_s"/"_h", then "f"/"d", then "_mt" for thread-safe libraries.
QString libExt(const QString& useHardwareMultiplier, const QString& doubleIsFloat,
               const QString& multiThreaded);

QString printfVariant(const QString& fpEnabled, const QString& doubleIsFloat, const QString& level,
                      const QString& widthPrecisionSupported);

QString scanfVariant(const QString& fpEnabled, const QString& doubleIsFloat, const QString& level,
                     const QString& characterGroupMatching);

} // namespace LibraryVariants
