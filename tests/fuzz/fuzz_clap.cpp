// Any bytes through the CLAP edition, in process: the first byte picks what
// they become. Even: the state stream of state.load, read in pieces of
// 1 + (second byte) bytes; a refused stream changes nothing. Odd: a text for
// params.text_to_value of parameter (second byte % 7: the bands, the bypass,
// none); an accepted text gives a value in range that displays again, a
// refused one writes nothing. Never a crash or a sanitizer report; every
// parameter stays finite and in its range.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "clap/ClapAbi.h"
#include "clap/ClapIds.h"

extern "C" const clap_plugin_entry_t clap_entry;

namespace {

const clap_host_t kHost = {kClapVersion, nullptr, "fuzz", "", "", "", nullptr, nullptr, nullptr, nullptr};

const clap_plugin_t& Plugin() {
  static const clap_plugin_t* const plugin = [] {
    if (!clap_entry.init("")) std::abort();
    const auto* factory = static_cast<const clap_plugin_factory_t*>(clap_entry.get_factory(kClapPluginFactoryId));
    const clap_plugin_t* made = factory ? factory->create_plugin(factory, &kHost, tarvel::clap::kClapPluginId) : nullptr;
    if (!made || !made->init(made)) std::abort();
    return made;
  }();
  return *plugin;
}

template <typename Extension>
const Extension& Get(const char* id) {
  const auto* extension = static_cast<const Extension*>(Plugin().get_extension(&Plugin(), id));
  if (!extension) std::abort();
  return *extension;
}

struct Source {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t piece;
  std::size_t position;
};

std::vector<std::uint8_t> Saved() {
  std::vector<std::uint8_t> bytes;
  clap_ostream_t stream{&bytes, [](const clap_ostream_t* s, const void* buffer, std::uint64_t size) -> std::int64_t {
                          auto* out = static_cast<std::vector<std::uint8_t>*>(s->ctx);
                          const auto* from = static_cast<const std::uint8_t*>(buffer);
                          out->insert(out->end(), from, from + size);
                          return static_cast<std::int64_t>(size);
                        }};
  if (!Get<clap_plugin_state_t>(kClapExtState).save(&Plugin(), &stream)) std::abort();
  return bytes;
}

void CheckParameters() {
  const auto& params = Get<clap_plugin_params_t>(kClapExtParams);
  for (std::uint32_t i = 0; i < params.count(&Plugin()); ++i) {
    clap_param_info_t info{};
    double value = NAN;
    if (!params.get_info(&Plugin(), i, &info) || !params.get_value(&Plugin(), info.id, &value)) std::abort();
    if (!(value >= info.min_value && value <= info.max_value)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto& params = Get<clap_plugin_params_t>(kClapExtParams);
  if (data[0] % 2 == 0) {
    const std::vector<std::uint8_t> before = Saved();
    Source source{data + 2, size - 2, 1u + data[1], 0};
    clap_istream_t stream{&source, [](const clap_istream_t* s, void* buffer, std::uint64_t wanted) -> std::int64_t {
                            auto* in = static_cast<Source*>(s->ctx);
                            std::size_t n = in->size - in->position;
                            if (n > wanted) n = static_cast<std::size_t>(wanted);
                            if (n > in->piece) n = in->piece;
                            std::memcpy(buffer, in->data + in->position, n);
                            in->position += n;
                            return static_cast<std::int64_t>(n);
                          }};
    const bool loaded = Get<clap_plugin_state_t>(kClapExtState).load(&Plugin(), &stream);
    if (!loaded && Saved() != before) std::abort();
  } else {
    const clap_id ids[] = {0, 1, 2, 3, 4, tarvel::clap::kClapBypassId, 77};
    const clap_id id = ids[data[1] % 7];
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    double before = 0.0;
    const bool known = params.get_value(&Plugin(), id, &before);
    double value = -1e300;
    if (params.text_to_value(&Plugin(), id, text.c_str(), &value)) {
      clap_param_info_t info{};
      if (!params.get_info(&Plugin(), id == tarvel::clap::kClapBypassId ? 5 : id, &info)) std::abort();
      if (!(value >= info.min_value && value <= info.max_value)) std::abort();
      char shown[64];
      if (!params.value_to_text(&Plugin(), id, value, shown, sizeof shown)) std::abort();
    } else if (value != -1e300) {
      std::abort();  // a refused text writes nothing
    }
    double after = 0.0;
    if (known && (!params.get_value(&Plugin(), id, &after) || after != before)) std::abort();
  }
  CheckParameters();
  return 0;
}
