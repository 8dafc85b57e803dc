// The read and the write of the whole configuration, stepped through in
// one place for every front end: the main window's Controller feeds the
// runner its worker's notifications as they arrive, the command-line tool
// and the browser configurator run a transfer to its end on the calling
// thread (InlineWorker::Run). Only the runner knows the steps:
//
//   read:  read the parameter memory, then the newest flash record; at the
//          end the pages' values are compared with what the device holds
//          and the device's whole image becomes the owner's image
//   write: read the parameter memory (the pre-read), put the pages' values
//          over it (the merge), write the parameter memory, write the
//          flash record
//
// User-interface thread (or the tool's only thread); the worker's
// notifications reach it only through its owner.
#pragma once
#include <cstdint>
#include <functional>

#include "config/ImageMap.h"
#include "device/DeviceWorker.h"

enum class TransferKind { Read, Write };

// Where a transfer stands: the step that runs.
enum class TransferPhase {
  Idle,
  Reading,     // the read's parameter memory or its flash record
  PreReading,  // the device's parameter memory read before a write
  Writing,     // the write's parameter memory or its flash record
};

enum class TransferResult { ReadDone, ReadFailed, PreReadFailed, WriteDone, WriteFailed };

// The end of a progress scale: a read runs over 0-3328, a write over 0-4352
// (the positions the worker posts, see Transfers.h).
constexpr int TransferScale(TransferKind kind) { return kind == TransferKind::Read ? 3328 : 4352; }

// What a worker notification meant to the transfer.
struct TransferEvent {
  bool handled = false;   // it was a step's result
  bool answered = false;  // a step succeeded: the device is there
  bool ended = false;     // the transfer is over; `result` says how
  TransferResult result = TransferResult::ReadFailed;
  // ReadDone: the pages showed other values than the device holds (the
  // configuration then counts as modified).
  bool differs = false;
};

class TransferRunner {
 public:
  // Stores the pages' values over a ConfigImage (the owner's model); none
  // for an owner without pages, whose writes send `image` as it is.
  using Store = std::function<void(std::uint8_t*)>;

  // `image` is the owner's ConfigImage (2300 bytes): a write puts the
  // pages' values into it over the device's parameter memory and sends it,
  // a read that succeeded leaves the device's whole image in it. A failed
  // read leaves it as it was; a write that failed after its pre-read
  // leaves the merged image that was (partly) sent.
  TransferRunner(ITransferWorker& worker, std::uint8_t* image, Store store);

  // Posts the first request of `kind`; the transfer then runs.
  void Start(TransferKind kind);
  // A notification of the worker: a step's result moves the transfer on
  // (posts the next request, merges before the write, takes the device's
  // image at the end of a read). Every result is taken as its step's,
  // also one that comes when no transfer runs.
  TransferEvent OnNotification(unsigned code, std::intptr_t value);

  TransferPhase Phase() const { return phase_; }
  bool Running() const { return phase_ != TransferPhase::Idle; }

 private:
  TransferEvent End(TransferResult result, bool answered);

  ITransferWorker& worker_;
  std::uint8_t* image_;
  Store store_;
  TransferPhase phase_ = TransferPhase::Idle;
};
