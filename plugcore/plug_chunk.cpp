// Plug's programs and its state chunk: a header and a stream of small tagged records.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/dialogs.h"
#include "plugcore/chunk_codec.h"
#include "plugcore/embedder.h"
#include "plugcore/plug.h"

namespace PlugCore {
namespace {

// An embedding host takes a refused chunk as a result for its own host, so no box stands in front of the person.
bool embedderTakesRefusal(AudioEffect& plug, const char* reason) {
  return plug.hostCallback(audioMasterVendorSpecific, kEmbedderQuestion, kChunkRefused, (void*)reason) == kRefusalTaken;
}

// Everything a load may change, built apart from the plug-in and stored into it as a whole: a bank's programs never
// pass through the live values one after the other.
struct ScratchState {
  struct Program {
    char name[sizeof(PlugProgram::name)];
    std::vector<float> values;
  };
  std::vector<uint32_t> steps;       // the current values as whole numbers
  std::vector<int32_t> controllers;  // the learnt controller of each parameter
  std::vector<Program> programs;
  int32_t currentProgram = 0;
};

// Bind(key, index) on the scratch copy: one controller moves at most one parameter.
void bindIn(std::vector<int32_t>& controllers, int32_t key, size_t index) {
  for (int32_t& c : controllers)
    if (c == key) c = kNoController;
  controllers[index] = key;
}

// One record on the scratch copy; indexes this product does not have are ignored.
void applyRecord(ScratchState& s, const ChunkRecord& record) {
  switch (record.tag) {
    case ChunkTag::Value:
      if (record.index < s.steps.size()) s.steps[record.index] = std::min<uint32_t>(record.number, kParamSteps);
      break;
    case ChunkTag::Controller:
      if (record.index < s.controllers.size()) bindIn(s.controllers, (int32_t)(int16_t)record.number, record.index);
      break;
    case ChunkTag::ProgramName:
      if (record.index < s.programs.size()) {
        ScratchState::Program& program = s.programs[record.index];
        std::memcpy(program.name, record.text, sizeof(program.name));
        program.name[sizeof(program.name) - 1] = 0;
        for (size_t i = 0; i < s.steps.size(); ++i) program.values[i] = valueOfSteps(s.steps[i]);
      }
      break;
    case ChunkTag::CurrentProgram:
      if (record.index < s.programs.size()) s.currentProgram = record.index;
      break;
    case ChunkTag::Product: break;  // asked about before anything was decoded
  }
}

// The state a load starts from: the current one, or the defaults in every value and program (names stay); the
// learnt controllers as they are, or none.
ScratchState scratchOf(const ParamTable& params, const std::vector<PlugProgram>& programs, int32_t currentProgram,
                       bool fromDefaults, bool keepMappings) {
  ScratchState s;
  const auto count = (size_t)params.count();
  s.steps.resize(count);
  s.controllers.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const PlugParam& p = params[(int32_t)i];
    s.steps[i] = quantize(fromDefaults ? p.defaultValue : p.value);
    s.controllers[i] = keepMappings ? p.controllerKey.load() : kNoController;
  }
  s.programs.resize(programs.size());
  for (size_t p = 0; p < programs.size(); ++p) {
    std::memcpy(s.programs[p].name, programs[p].name, sizeof(PlugProgram::name));
    s.programs[p].values = programs[p].snapshot();
    if (fromDefaults)
      for (size_t i = 0; i < count; ++i) s.programs[p].values[i] = valueOfSteps(s.steps[i]);
  }
  s.currentProgram = currentProgram;
  return s;
}

// Stores a decoded state into the plug-in: every value set once, whatever the records did on the way.
void storeScratch(const ScratchState& s, ParamTable& params, std::vector<PlugProgram>& programs) {
  for (size_t p = 0; p < programs.size(); ++p) {
    std::memcpy(programs[p].name, s.programs[p].name, sizeof(PlugProgram::name));
    for (size_t i = 0; i < s.steps.size(); ++i) programs[p].values[i] = s.programs[p].values[i];
  }
  for (size_t i = 0; i < s.steps.size(); ++i) {
    params.setQuantized((int32_t)i, s.steps[i]);
    params[(int32_t)i].controllerKey = s.controllers[i];
  }
}

// How many records may be applied: up to the first record of another product's chunk that the person (or an
// embedding host, for them) declines.
size_t recordsAccepted(AudioEffect& plug, const ChunkReading& reading, const char* product, bool& declined) {
  declined = false;
  for (size_t r = 0; r < reading.records.size(); ++r) {
    const ChunkRecord& record = reading.records[r];
    if (record.tag != ChunkTag::Product) continue;
    char other[kChunkProductBytes + 1] = {};
    std::memcpy(other, record.text, kChunkProductBytes);
    if (std::strncmp(other, product, kChunkProductBytes) == 0) continue;
    char question[128];
    std::snprintf(question, sizeof(question), "Trying to load a preset for \"%s\"\nDo you want to continue?", other);
    if (embedderTakesRefusal(plug, question) || !Platform::askYesNo(product, question)) {
      declined = true;
      return r;
    }
  }
  return reading.records.size();
}

}  // namespace

void Plug::storeCurrentIntoProgram(int32_t program) {
  if (program < 0 || program >= programCount()) return;
  std::vector<Relaxed<float>>& values = programs_[(size_t)program].values;
  for (int32_t i = 0; i < params_.count(); ++i) values[(size_t)i] = params_[i].value;
}

bool Plug::tryTakePrograms() {
  const std::thread::id self = std::this_thread::get_id();
  std::thread::id owner{};
  if (!programsOwner_.compare_exchange_strong(owner, self, std::memory_order_acquire) && owner != self) return false;
  ++programsDepth_;
  return true;
}

void Plug::takePrograms() {
  while (!tryTakePrograms()) std::this_thread::yield();  // every holder keeps it for a few copies at most
}

void Plug::givePrograms() {
  if (--programsDepth_ == 0) programsOwner_.store(std::thread::id{}, std::memory_order_release);
}

void Plug::setProgram(int32_t program) {
  ProgramsHeld held(*this);
  applyProgram(program);
}

void Plug::applyProgram(int32_t program) {
  if (program < 0 || program >= programCount()) return;  // a negative index from the host is out of range too
  storeCurrentIntoProgram(curProgram);
  const std::vector<Relaxed<float>>& values = programs_[(size_t)program].values;
  for (int32_t i = 0; i < params_.count(); ++i)
    if (!(params_[i].flags & kParamGlobal)) setParameter(i, values[(size_t)i]);
  curProgram = program;
  programChanged();
}

void Plug::requestProgram(int32_t program) {
  if (!tryTakePrograms()) {
    pendingProgram_ = program;  // a load or the host's own program change is under way
    return;
  }
  applyProgram(program);
  givePrograms();
  pendingProgram_ = -1;
  flagDisplayChanged();  // the host hears of it from its own side, never from the audio thread
}

void Plug::setProgramName(char* name) {
  ProgramsHeld held(*this);
  const int32_t current = curProgram;
  if (current < 0 || current >= programCount() || !name) return;
  std::snprintf(programs_[(size_t)current].name, sizeof(PlugProgram::name), "%s", name);
}

void Plug::getProgramName(char* name) {
  ProgramsHeld held(*this);  // a load on the editor's thread may be rewriting the names
  const int32_t current = curProgram;
  const bool valid = current >= 0 && current < programCount();
  std::snprintf(name, kVstMaxProgNameLen, "%s", valid ? programs_[(size_t)current].name : "");
}

bool Plug::getProgramNameIndexed(int32_t, int32_t index, char* text) {
  if (index < 0 || index >= programCount()) return false;
  ProgramsHeld held(*this);
  std::snprintf(text, kVstMaxProgNameLen, "%s", programs_[(size_t)index].name);
  return true;
}

void Plug::buildChunk(bool isPreset, std::vector<uint8_t>& out) {
  ChunkWriter chunk(out, name_);
  if (!isPreset) {
    for (int32_t p = 0; p < programCount(); ++p) {
      const PlugProgram& program = programs_[(size_t)p];
      for (int32_t i = 0; i < params_.count(); ++i) chunk.value(i, quantize(program.values[(size_t)i]));
      chunk.programName(p, program.name);
    }
    chunk.currentProgram(getProgram());
  }
  for (int32_t i = 0; i < params_.count(); ++i)
    if (!(params_[i].flags & kParamUnsaved)) chunk.value(i, quantize(params_[i].value));
  for (int32_t i = 0; i < params_.count(); ++i)
    if (params_[i].controllerKey != kNoController) chunk.controller(i, params_[i].controllerKey);
}

int32_t Plug::getChunk(void** data, bool isPreset) {
  ProgramsHeld held(*this);
  buildChunk(isPreset, chunk_);
  if (data) *data = chunk_.data();
  return (int32_t)chunk_.size();
}

void Plug::writeChunkError(const char* what) {
  char caption[64], text[256];
  std::snprintf(caption, sizeof(caption), "%s error", name_);
  std::snprintf(text, sizeof(text), "Error loading chunk: %s", what);
  if (!embedderTakesRefusal(*this, what)) Platform::showError(caption, text);
}

int32_t Plug::setChunk(void* data, int32_t byteSize, bool) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  loadState(readChunk(bytes, (bytes && byteSize > 0) ? (size_t)byteSize : 0), LoadStart::Current,
            LoadMappings::FromChunk, false);
  return 0;
}

// The records apply in order; a problem found further on is reported after what came before it was loaded, and a
// record of another product's chunk that the person declines stops the load there. The person is asked, and the
// problem shown, while the guard is free; the host hears of the change at its next dispatcher call.
void Plug::loadState(const ChunkReading& reading, LoadStart start, LoadMappings mappings, bool storeAsDefaults) {
  bool declined = false;
  const size_t usable = recordsAccepted(*this, reading, name_, declined);
  // A chunk with nothing to apply (a bare header, or declined at once) leaves everything as it was.
  const bool loads = usable > 0 || start == LoadStart::Defaults;
  if (loads || storeAsDefaults) {
    ProgramsHeld held(*this);
    if (loads) {
      ScratchState scratch =
          scratchOf(params_, programs_, curProgram, start == LoadStart::Defaults, mappings == LoadMappings::Keep);
      for (size_t r = 0; r < usable; ++r) applyRecord(scratch, reading.records[r]);
      storeScratch(scratch, params_, programs_);
      curProgram = scratch.currentProgram;
    }
    if (storeAsDefaults) storeDefaults();
  }
  if (loads) flagDisplayChanged();
  if (reading.error && !declined) writeChunkError(reading.error);
}

}  // namespace PlugCore
