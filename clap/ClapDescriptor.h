#pragma once
// The one descriptor of the module's factory, from the effect's metadata.

#include "clap/ClapAbi.h"

namespace tarvel::clap {

const clap_plugin_descriptor_t& Descriptor();

}  // namespace tarvel::clap
