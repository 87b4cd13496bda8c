// Writes the bundle's Turtle, manifest.ttl and tarvel.ttl, into the folder
// given as the only argument, from the effect's parameter table and the
// port order of lv2/Lv2Ports.h: the build runs it, so the data always matches
// the code.

#include <cstdio>
#include <fstream>
#include <string>

#include "effect/TarvelParameters.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"

namespace tarvel {
namespace {

constexpr const char* kPrefixes =
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n\n";

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string Manifest() {
  std::string t = kPrefixes;
  t += "<" + std::string(kLv2PluginUri) + ">\n    a lv2:Plugin ;\n    lv2:binary <" + kLv2BinaryName +
       "> ;\n    rdfs:seeAlso <tarvel.ttl> .\n\n";
  t += "<" + std::string(kLv2UiUri) + ">\n    a ui:X11UI ;\n    ui:binary <" + kLv2BinaryName +
       "> ;\n    rdfs:seeAlso <tarvel.ttl> .\n";
  return t;
}

// The LV2 unit of a parameter's unit text, as a Turtle line ("" for none).
std::string UnitLine(const char* unit) {
  return std::string(unit) == "dB" ? "        units:unit units:db ;\n" : "";
}

std::string AudioPort(int index, bool input, int channel) {
  const char* side = input ? "in" : "out";
  const char* sideName = input ? "In" : "Out";
  const char* channelSymbol = channel == 0 ? "l" : "r";
  const char* channelName = channel == 0 ? "Left" : "Right";
  std::string t = "    [\n        a lv2:AudioPort , lv2:" + std::string(input ? "InputPort" : "OutputPort") +
                  " ;\n        lv2:index " + std::to_string(index) + " ;\n        lv2:symbol \"" + side + "_" +
                  channelSymbol + "\" ;\n        lv2:name \"" + sideName + " " + channelName + "\" ;\n";
  t += "        pg:group <" + std::string(input ? kLv2InputGroupUri : kLv2OutputGroupUri) +
       "> ;\n        lv2:designation pg:" + (channel == 0 ? "left" : "right") + " ;\n    ]";
  return t;
}

std::string Plugin() {
  std::string t = kPrefixes;
  for (const bool input : {true, false}) {
    t += "<" + std::string(input ? kLv2InputGroupUri : kLv2OutputGroupUri) + ">\n    a pg:StereoGroup , pg:" +
         (input ? "InputGroup" : "OutputGroup") + " ;\n    lv2:symbol \"" + (input ? "in" : "out") +
         "\" ;\n    rdfs:label \"" + (input ? "Input" : "Output") + "\" .\n\n";
  }
  t += "<" + std::string(kLv2PluginUri) + ">\n    a lv2:Plugin , lv2:EQPlugin , doap:Project ;\n";
  t += "    doap:name \"" + std::string(kEffectName) + "\" ;\n";
  t += "    doap:license <https://spdx.org/licenses/GPL-3.0-or-later> ;\n";
  t += "    doap:maintainer [ foaf:name \"" + std::string(kVendorName) + "\" ] ;\n";
  t += "    lv2:minorVersion " + std::to_string(kLv2MinorVersion) + " ;\n";
  t += "    lv2:microVersion " + std::to_string(kVersionMicro) + " ;\n";
  t += "    lv2:optionalFeature lv2:hardRTCapable ;\n";
  t += "    pg:mainInput <" + std::string(kLv2InputGroupUri) + "> ;\n";
  t += "    pg:mainOutput <" + std::string(kLv2OutputGroupUri) + "> ;\n";
  t += "    ui:ui <" + std::string(kLv2UiUri) + "> ;\n";
  // The ports in the order of lv2/Lv2Ports.h, which the adapter connects.
  constexpr Lv2PortLayout ports = kTarvelPorts;
  static_assert(ports.audioInputs == 2 && ports.audioOutputs == 2, "the port groups are stereo pairs");
  t += "    lv2:port\n";
  for (std::uint32_t index = 0; index < ports.FirstControl(); ++index) {
    const bool input = index < ports.audioInputs;
    if (index > 0) t += " , ";
    t += AudioPort(static_cast<int>(index), input, static_cast<int>(input ? index : index - ports.audioInputs));
  }
  std::uint32_t control = ports.FirstControl();
  for (const ParameterEntry& entry : kParameterTable) {
    if (entry.role != ParameterRole::kValue) continue;
    t += " , [\n        a lv2:ControlPort , lv2:InputPort ;\n        lv2:index " + std::to_string(control++) +
         " ;\n        lv2:symbol \"" + entry.symbol + "\" ;\n        lv2:name \"" + entry.name +
         "\" ;\n        lv2:default " + Number(entry.defaultValue) + " ;\n        lv2:minimum " + Number(entry.minimum) +
         " ;\n        lv2:maximum " + Number(entry.maximum) + " ;\n" + UnitLine(entry.unit) + "    ]";
  }
  t += " , [\n        a lv2:ControlPort , lv2:OutputPort ;\n        lv2:index " + std::to_string(ports.Latency()) +
       " ;\n        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
       "        lv2:designation lv2:latency ;\n"
       "        lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
       "        units:unit units:frame ;\n    ]";
  // The table's bypass, as hosts know it: lv2:enabled, 0 bypasses.
  if (ports.enabled) {
    t += " , [\n        a lv2:ControlPort , lv2:InputPort ;\n        lv2:index " + std::to_string(ports.Enabled()) +
         " ;\n        lv2:symbol \"enabled\" ;\n        lv2:name \"Enabled\" ;\n"
         "        lv2:designation lv2:enabled ;\n"
         "        lv2:portProperty lv2:toggled ;\n"
         "        lv2:default 1 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1 ;\n    ]";
  }
  t += " .\n\n";

  t += "<" + std::string(kLv2UiUri) + ">\n    a ui:X11UI ;\n";
  t += "    lv2:requiredFeature ui:parent , <http://lv2plug.in/ns/ext/instance-access> ;\n";
  t += "    lv2:optionalFeature ui:idleInterface , ui:resize , ui:noUserResize ;\n";
  t += "    lv2:extensionData ui:idleInterface .\n";
  return t;
}

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace
}  // namespace tarvel

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s BUNDLE-FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  if (!tarvel::Write(folder + "/manifest.ttl", tarvel::Manifest()) ||
      !tarvel::Write(folder + "/tarvel.ttl", tarvel::Plugin())) {
    std::fprintf(stderr, "%s: cannot write the Turtle into %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
