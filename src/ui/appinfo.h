// Fixed texts that name the program.
#pragma once

#include <QString>

namespace kolva {

// The main window's caption.
inline const QString kMainCaption = QStringLiteral("Veltra--現代全文検索(Kolva全集)");
// The application title: it captions message boxes and names the profile.
inline const QString kAppTitle = QStringLiteral("Veltra--現代全文檢索叢書シリーズ①(Kolva全集)");
// The profile's organisation key.
inline const QString kProfileOrganisation = QStringLiteral("Local AppWizard-Generated Applications");

}  // namespace kolva
