#pragma once
// The one place where a module's entry meets its effect: the entry asks the
// effect for a new instance on the module's adapter (TarvelAdapter.h) and
// hands it to the host in the format's own way.

#include <memory>

#include "TarvelAdapter.h"

namespace tarvel {

// Builds one instance of the module's effect for the host's argument, or
// answers null when the process can hold no further instance. Called only by
// the entry, on the host's thread, inside the entry lock; allocates.
std::unique_ptr<TarvelAdapterBase> MakePlugin(TarvelHostArgument host);

}  // namespace tarvel
