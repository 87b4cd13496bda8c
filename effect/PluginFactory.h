#pragma once
// The one place where a module's entry meets its effect: every format's
// adapter asks for a new instance here, handing itself as the host the
// instance reports to, and drives it through IPlugBase.

#include <memory>

#include "plugin/IHostRequests.h"
#include "plugin/IPlugBase.h"

namespace tarvel {

// Builds one instance of the effect, designed for sampleRate, whose requests
// to the host go to host (which must outlive it); null for a rate outside
// the supported ones, or when the process can hold no further instance. Called by an
// adapter's entry, on the host's thread, inside the entry lock; allocates.
std::unique_ptr<IPlugBase> MakePlugin(IHostRequests& host, double sampleRate);

}  // namespace tarvel
