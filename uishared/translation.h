// The compiled translation of a program's texts that have no number in its string table. The
// language comes from config.ini, never from the desktop's locale, so each program installs
// (or removes) its one translation itself, before its windows are built.
#pragma once

#include <QString>

namespace qvui {

// Installs the translation at `resource` (a compiled .qm in the program's resources) when
// `install` holds, else removes the one installed before. False when it cannot be loaded.
bool InstallTranslation(const QString& resource, bool install);

}  // namespace qvui
