#pragma once
// The channels through which audio reaches a plug-in: for each input and
// output channel a scratch buffer of blockSize samples, whether the host
// connects it, and the host buffer bound for the current process call. A
// process call binds the host's buffers (Connect*), then runs the plug-in's
// block processing over the call in pieces of at most blockSize frames,
// converting from and to the host's single-precision buffers where needed,
// so no scratch buffer is ever overrun. IPlugBase owns one.
//
// Threads: sizing and connecting run on the dispatcher thread outside
// processing; binding and processing on the audio thread, under the
// instance lock. Only sizing allocates.

#include <vector>

#include "plugin/GrowBuffer.h"

namespace tarvel {

struct InputChannel {
  bool connected = false;
  int slot = 0;  // entry of the input slots this channel controls
  GrowBuffer scratch;
  // The host buffer bound for the current process call (one or neither).
  const float* floatSource = nullptr;
  double* doubleSource = nullptr;
};

struct OutputChannel {
  bool connected = false;
  int slot = 0;  // entry of the output slots this channel controls
  GrowBuffer scratch;
  // The host buffer bound for the current process call (one or neither).
  float* floatDestination = nullptr;
  double* doubleDestination = nullptr;
};

// What the channels process through: the plug-in's block processing
// (IPlugBase::ProcessBlock), frames <= blockSize; an array with no channels
// is null.
class BlockProcessor {
 public:
  virtual void ProcessBlock(double** inputs, double** outputs, int frames) = 0;

 protected:
  ~BlockProcessor() = default;
};

class ChannelBinding {
 public:
  ChannelBinding() = default;
  ChannelBinding(const ChannelBinding&) = delete;
  ChannelBinding& operator=(const ChannelBinding&) = delete;

  // Creates the channels, unconnected and without scratch. Once, before any
  // other call.
  void CreateChannels(int inputs, int outputs);

  int InputCount() const { return inputChannels.Count(); }
  int OutputCount() const { return outputChannels.Count(); }
  InputChannel* Input(int index) const { return inputChannels.Get(index); }
  OutputChannel* Output(int index) const { return outputChannels.Get(index); }
  int BlockSize() const { return blockSize; }

  // Sizes every channel's scratch buffer to frames doubles, zero-filled; the
  // same size leaves them untouched. False (nothing changed) for a size
  // below 1 or that cannot be allocated.
  bool SetBlockSize(int frames);

  // Channels [first, first + count) become connected or not; a channel that
  // becomes unconnected reads zeros from its scratch.
  void SetInputConnections(int first, int count, bool connected);
  void SetOutputConnections(int first, int count, bool connected);

  // Binding for one process call: the k-th host buffer, from its frame
  // offset on, goes to the k-th connected channel of the range. A null array
  // or buffer reads zeros / is not written.
  void ConnectInputsFloat(int first, int count, float* const* buffers, int offset = 0);
  void ConnectInputsDouble(int first, int count, double* const* buffers, int offset = 0);
  void ConnectOutputsFloat(int first, int count, float* const* buffers, int offset = 0);
  void ConnectOutputsDouble(int first, int count, double* const* buffers, int offset = 0);

  // Runs processor over frames (in pieces of at most blockSize) and
  // delivers the outputs: replacing the host's float buffers, adding to
  // them, or directly into the host's double buffers. The bindings end with
  // the call. Never allocates.
  void ProcessToFloat(BlockProcessor& processor, int frames);
  void ProcessAccumulateFloat(BlockProcessor& processor, int frames);
  void ProcessDouble(BlockProcessor& processor, int frames);

  // The channel arrays ProcessBlock gets (null without channels).
  std::size_t InputSlotCount() const { return inputSlots.size(); }
  std::size_t OutputSlotCount() const { return outputSlots.size(); }

 private:
  enum class Delivery { kToFloat, kAccumulateFloat, kDouble };
  void ProcessInPieces(BlockProcessor& processor, int frames, Delivery delivery);
  void EndBinding();

  int blockSize = 0;
  std::vector<double*> inputSlots;
  std::vector<double*> outputSlots;
  PtrList<InputChannel> inputChannels;
  PtrList<OutputChannel> outputChannels;
};

}  // namespace tarvel
