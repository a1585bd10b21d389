// Writes Koralin.lv2's description at build time from the instrument's own tables: manifest.ttl, Koralin.ttl (the
// plug-in, its ports and state property, the editor) and presets.ttl (the factory programs, one value per port).
// Usage: koralin-lv2-ttl BUNDLE_DIR FACTORY_PROGRAMS_TXT
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "plugin/embed/describe.h"
#include "plugin/lv2/bundle.h"

namespace {

using KoralinLv2::kPluginUri;

const char* const kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// A port value as the float a port carries, in the shortest decimal that reads back as the same float.
std::string number(double value) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof(text), (float)value, std::chars_format::fixed).ptr;
  std::string out(text, end);
  if (out == "-0") out = "0";
  if (out.find('.') == std::string::npos) out += ".0";
  return out;
}

// Turtle's string escapes for the few characters a name could hold.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string presetUri(const std::string& name) {
  std::string slug;
  for (char c : name) slug += std::isalnum((unsigned char)c) ? (char)std::tolower((unsigned char)c) : '-';
  return std::string(KoralinLv2::kPresetPrefix) + slug;
}

// The range, default, units and scale points of a parameter's two ports.
void describeValues(std::ostream& out, const KoralinParams::Param& p, int32_t index, bool input) {
  if (input) out << "\t\tlv2:default " << number(KoralinParams::defaultPlain(index)) << " ;\n";
  out << "\t\tlv2:minimum " << number(p.minimum) << " ;\n\t\tlv2:maximum " << number(p.maximum);
  switch (p.unit) {
    case KoralinParams::Unit::Choice:
      out << " ;\n\t\tlv2:portProperty lv2:integer , lv2:enumeration ;\n\t\tlv2:scalePoint ";
      for (int32_t c = 0; c < p.choiceCount; ++c)
        out << (c ? " , " : "") << "[ rdfs:label " << quoted(p.choices[c]) << " ; rdf:value " << number(c) << " ]";
      break;
    case KoralinParams::Unit::Semitones: out << " ;\n\t\tunits:unit units:semitone12TET"; break;
    case KoralinParams::Unit::Percent: out << " ;\n\t\tunits:unit units:pc"; break;
  }
}

void describePorts(std::ostream& out) {
  using namespace KoralinLv2;
  out << "\tlv2:port [\n\t\ta lv2:InputPort , atom:AtomPort ;\n\t\tatom:bufferType atom:Sequence ;\n"
         "\t\tatom:supports midi:MidiEvent ;\n\t\tlv2:designation lv2:control ;\n"
      << "\t\tlv2:index " << Port::kEvents << " ;\n\t\tlv2:symbol \"midi_in\" ;\n\t\tlv2:name \"MIDI in\"\n\t] , [\n"
      << "\t\ta lv2:OutputPort , lv2:AudioPort ;\n\t\tlv2:index " << Port::kLeft
      << " ;\n\t\tlv2:symbol \"out_left\" ;\n\t\tlv2:name \"Left\"\n\t] , [\n"
      << "\t\ta lv2:OutputPort , lv2:AudioPort ;\n\t\tlv2:index " << Port::kRight
      << " ;\n\t\tlv2:symbol \"out_right\" ;\n\t\tlv2:name \"Right\"\n\t]";
  for (int pass = 0; pass < 2; ++pass) {
    const bool input = pass == 0;
    for (int32_t i = 0; i < KoralinParams::kCount; ++i) {
      const KoralinParams::Param& p = KoralinParams::param(i);
      out << " , [\n\t\ta lv2:" << (input ? "InputPort" : "OutputPort") << " , lv2:ControlPort ;\n"
          << "\t\tlv2:index " << (input ? Port::param(i) : Port::now(i)) << " ;\n"
          << "\t\tlv2:symbol " << quoted(std::string(p.name) + (input ? "" : kNowSuffix)) << " ;\n"
          << "\t\tlv2:name " << quoted(input ? p.name : std::string(p.name) + " now") << " ;\n";
      describeValues(out, p, i, input);
      out << "\n\t]";
    }
  }
  out << " .\n";
}

void writePlugin(std::ostream& out) {
  const Embed::ProductInfo& product = Embed::product();
  int major = 0, minor = 0, micro = 0;
  std::sscanf(product.version, "%d.%d.%d", &major, &minor, &micro);
  out << kPrefixes;
  out << "<" << KoralinLv2::kStateKey << ">\n\ta rdf:Property ;\n\trdfs:label \"Koralin state\" ;\n"
      << "\trdfs:comment \"The instrument's whole state: its programs and their names, the current values and the "
         "learnt controllers.\" ;\n\trdfs:range atom:Chunk .\n\n";
  out << "<" << kPluginUri << ">\n\ta lv2:Plugin , lv2:InstrumentPlugin , doap:Project ;\n"
      << "\tdoap:name " << quoted(product.name) << " ;\n"
      << "\trdfs:comment \"A monophonic bassline synthesizer: a saw or square oscillator through a resonant "
         "transistor-ladder filter, with slide on legato notes and accent on loud ones.\" ;\n"
      << "\tdoap:maintainer [\n\t\tfoaf:name " << quoted(product.vendor) << " ;\n\t\tfoaf:homepage <" << product.url
      << ">\n\t] ;\n"
      << "\tlv2:minorVersion " << minor << " ;\n\tlv2:microVersion " << micro << " ;\n"
      << "\tlv2:requiredFeature urid:map ;\n"
      << "\tlv2:optionalFeature opts:options , lv2:hardRTCapable , bufsz:boundedBlockLength ;\n"
      << "\topts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength ;\n"
      << "\tlv2:extensionData state:interface ;\n"
      << "\tui:ui <" << KoralinLv2::kUiUri << "> ;\n";
  describePorts(out);
  out << "\n<" << KoralinLv2::kUiUri << ">\n\ta ui:X11UI ;\n"
      << "\tlv2:requiredFeature urid:map , ui:idleInterface , <http://lv2plug.in/ns/ext/instance-access> ;\n"
      << "\tlv2:optionalFeature opts:options , ui:resize , ui:touch , ui:noUserResize ;\n"
      << "\tlv2:extensionData ui:idleInterface , opts:interface ;\n"
      << "\topts:supportedOption ui:scaleFactor .\n";
}

void writePresets(std::ostream& out, const std::vector<Embed::FactoryProgram>& programs) {
  out << kPrefixes;
  for (const Embed::FactoryProgram& program : programs) {
    out << "<" << presetUri(program.name) << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << kPluginUri << "> ;\n"
        << "\trdfs:label " << quoted(program.name) << " ;\n\tlv2:port ";
    for (int32_t i = 0; i < KoralinParams::kCount; ++i)
      out << (i ? " , " : "") << "[\n\t\tlv2:symbol " << quoted(KoralinParams::param(i).name) << " ;\n\t\tpset:value "
          << number(program.plain(i)) << "\n\t]";
    out << " .\n\n";
  }
}

void writeManifest(std::ostream& out, const std::vector<Embed::FactoryProgram>& programs) {
  out << kPrefixes;
  out << "<" << kPluginUri << ">\n\ta lv2:Plugin , lv2:InstrumentPlugin ;\n\tlv2:binary <" << KoralinLv2::kBinary
      << "> ;\n\trdfs:seeAlso <Koralin.ttl> .\n\n";
  out << "<" << KoralinLv2::kUiUri << ">\n\ta ui:X11UI ;\n\tui:binary <" << KoralinLv2::kBinary
      << "> ;\n\trdfs:seeAlso <Koralin.ttl> .\n";
  for (const Embed::FactoryProgram& program : programs)
    out << "\n<" << presetUri(program.name) << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << kPluginUri
        << "> ;\n\trdfs:seeAlso <presets.ttl> .\n";
}

bool writeFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) std::cerr << "koralin-lv2-ttl: cannot write " << path << "\n";
  return (bool)file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: koralin-lv2-ttl BUNDLE_DIR FACTORY_PROGRAMS_TXT\n";
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<Embed::FactoryProgram> programs;
  try {
    programs = Embed::readFactoryPrograms(argv[2]);
  } catch (const std::exception& e) {
    std::cerr << "koralin-lv2-ttl: " << e.what() << "\n";
    return 1;
  }
  std::ostringstream manifest, plugin, presets;
  writeManifest(manifest, programs);
  writePlugin(plugin);
  writePresets(presets, programs);
  const bool written = writeFile(dir + "/manifest.ttl", manifest.str()) &&
                       writeFile(dir + "/Koralin.ttl", plugin.str()) && writeFile(dir + "/presets.ttl", presets.str());
  return written ? 0 : 1;
}
