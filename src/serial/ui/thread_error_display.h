// Shows an error that ends one of the serial line's threads in the standard
// exception report, on the main thread, like any handler's error.
#pragma once

namespace ser {

// Takes effect once a QCoreApplication exists; undone when it ends.
void DisplayThreadErrors();

}  // namespace ser
