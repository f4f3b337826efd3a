// The folder of the files shipped with the program (the demo drive, ...):
// "data" beside the binary in a build tree, share/tarvo under the install
// prefix when installed.
#pragma once

#include <QString>

namespace tarvo {

// The first of $TARVO_DATA_DIR, <binary folder>/data, <binary folder>/../share/tarvo
// and the install prefix's share/tarvo that exists; empty when none does.
QString ShippedDataDir(const QString& binaryDir);

}  // namespace tarvo
