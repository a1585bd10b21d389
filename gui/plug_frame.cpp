// PlugFrame: the controls' view of the plug-in, the tick with its parameter push, and the visuals job.
#include "gui/plug_frame.h"

#include <cstdio>
#include <cstring>
#include <system_error>

#include "gui/editor_services.h"
#include "gui/plug_edit_vst.h"
#include "threads/visuals_pool.h"

namespace Lattice {

PlugFrame::PlugFrame(Container* parent, PlugEditVST* editor, int width, int height)
    : Container(parent, 0, 0, width, height), editor(editor), poolHolder(&CoreLoom::visualsPoolHolder()) {
  const int32_t size = editor->description().visualDataSize;
  if (size > 0) {
    visualData_ = std::make_unique<uint8_t[]>(size_t(size));
    std::memset(visualData_.get(), 0, size_t(size));
  }
  lastTick = monotonicMs();
}

PlugFrame::~PlugFrame() {
  // A job still running finishes first.
  jobSemaphore.wait();
  jobSemaphore.release();
  if (!poolReleased) poolHolder->release();
  // The controls go before the graphics they may still point at are forgotten.
  deleteChildren();
}

bool PlugFrame::validParam(int index) const { return index >= 0 && index < editor->plugin()->paramCount(); }

void PlugFrame::setEditing(int index, bool begin) {
  if (begin) editor->plugin()->beginEdit(index);
  else editor->plugin()->endEdit(index);
}

void PlugFrame::setValue(int index, float value) {
  editor->plugin()->setParameterAutomated(index, value);
  editor->setValue(index, value);
  if (monotonicMs() - lastTick > 10) tick();
}

void PlugFrame::resetToDefault(int index) {
  const float value = validParam(index) ? editor->plugin()->param(index).defaultValue.load() : 0.0f;
  editor->plugin()->setParameterAutomated(index, value);
}

void PlugFrame::defaultText(int index, char* text) {
  text[0] = 0;
  if (validParam(index))
    editor->plugin()->formatParamWithLabel(index, editor->plugin()->param(index).defaultValue.load(), text);
}

void PlugFrame::stepText(int index, int step, int steps, char* text) {
  text[0] = 0;
  if (validParam(index) && steps > 1)
    editor->plugin()->formatParamWithLabel(index, float(step) / float(steps - 1), text);
}

void PlugFrame::learn(int index) {
  if (validParam(index)) editor->plugin()->startLearn(index);
}

void PlugFrame::unlearn(int index) {
  if (validParam(index)) editor->plugin()->forgetLearn(index);
  editor->plugin()->cancelLearn();
}

void PlugFrame::cancelLearn() { editor->plugin()->cancelLearn(); }

int PlugFrame::midiMapping(int index) { return validParam(index) ? int(editor->plugin()->controllerOf(index)) : -1; }

bool PlugFrame::isLearning(int index) { return editor->plugin()->isLearning(index); }

uint8_t* PlugFrame::visualData(int offset) { return visualData_ ? visualData_.get() + offset : nullptr; }

void PlugFrame::addVisualTask(IVisualTask* task) {
  if (task) visualTasks.push_back(task);
}

float PlugFrame::getValue(int index, char* text) {
  const float value = editor->value(index);
  if (text) {
    text[0] = 0;
    if (validParam(index)) editor->plugin()->formatParamWithLabel(index, value, text);
  }
  return value;
}

uint32_t PlugFrame::labelColour() { return uint32_t(editor->description().labelColour); }

void PlugFrame::tick() {
  lastTick = monotonicMs();
  PlugCore::Plug* plug = editor->plugin();
  if (!jobInFlight) {
    if (plug->tryProcessLock()) {  // processing is suspended
      plug->suspendedIdle();
      plug->releaseProcessLock();
    }
    if (visualData_ && editor->takeVisuals(visualData_.get())) runVisualsJob();
  } else if (jobSemaphore.tryWait()) {
    jobInFlight = false;
    invalidate();
    jobSemaphore.release();
  }
  pushParameters();
}

void PlugFrame::runVisualsJob() {
  if (visualTasks.empty()) {
    invalidate();
    return;
  }
  jobSemaphore.wait();
  if (poolReleased) {
    try {
      pool = poolHolder->acquire();
      poolReleased = false;
    } catch (const std::system_error&) {
      // No worker could be started: the tasks run here instead.
      run();
      invalidate();
      return;
    }
  }
  jobInFlight = true;
  pool->push(this);
  // The job releases the semaphore when its last task has run.
  jobSemaphore.wait();
  jobSemaphore.release();
}

void PlugFrame::run() {
  for (IVisualTask* task : visualTasks) task->process();
  jobSemaphore.release();
}

void PlugFrame::pushParameters() {
  PlugCore::Plug* plug = editor->plugin();
  plug->pollEditor(*editor);
  // Learning ends on the thread that delivers MIDI: the control that showed it is drawn again.
  int learning = -1;
  for (int i = 0; i < plug->paramCount() && learning < 0; ++i)
    if (plug->isLearning(i)) learning = i;
  if (learning != shownLearning) {
    shownLearning = learning;
    invalidate();
  }
}

}  // namespace Lattice
