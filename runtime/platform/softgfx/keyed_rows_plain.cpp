// Machines whose vectors are all 16 bytes wide (WebAssembly's, or builds for
// processors without wider ones) have only the keyed copy every build has.
#include "runtime/platform/softgfx/keyed_rows.h"

KeyedRowsCopy* keyed_rows_copy_wide() { return nullptr; }
