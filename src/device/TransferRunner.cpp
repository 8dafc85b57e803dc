#include "device/TransferRunner.h"

#include <cstring>

#include "device/InlineWorker.h"

TransferRunner::TransferRunner(ITransferWorker& worker, std::uint8_t* image, Store store)
    : worker_(worker), image_(image), store_(std::move(store)) {}

void TransferRunner::Start(TransferKind kind) {
  // A write always begins by reading the device's parameter memory.
  phase_ = kind == TransferKind::Read ? TransferPhase::Reading : TransferPhase::PreReading;
  worker_.PostRequest(ReadParamMemory);
}

TransferEvent TransferRunner::End(TransferResult result, bool answered) {
  phase_ = TransferPhase::Idle;
  TransferEvent event;
  event.handled = true;
  event.answered = answered;
  event.ended = true;
  event.result = result;
  return event;
}

TransferEvent TransferRunner::OnNotification(unsigned code, std::intptr_t value) {
  const bool ok = value == 1;
  TransferEvent going;
  going.handled = true;
  going.answered = true;
  switch (code) {
    case Notify::ReadParamDone:
      if (phase_ == TransferPhase::PreReading) {
        if (!ok) return End(TransferResult::PreReadFailed, false);
        // The pages' values go over the device's own parameter memory, so
        // bytes that no page owns are written back as the device holds
        // them; the record area comes from the owner's image.
        worker_.CopyImage(image_, kParamAreaSize);
        if (store_) store_(image_);
        worker_.SetImage(image_);
        phase_ = TransferPhase::Writing;
        worker_.PostRequest(WriteParamMemory);
        return going;
      }
      if (!ok) return End(TransferResult::ReadFailed, false);
      worker_.PostRequest(ReadFlashRecord);
      return going;
    case Notify::WriteParamDone:
      if (!ok) return End(TransferResult::WriteFailed, false);
      worker_.PostRequest(WriteFlashRecord);
      return going;
    case Notify::ReadRecordDone: {
      if (!ok) return End(TransferResult::ReadFailed, false);
      // What the pages show, stored over the device's parameter memory and
      // compared with the device's image; then the device's whole image.
      std::uint8_t shown[kImageSize];
      std::memcpy(shown, image_, kImageSize);
      worker_.CopyImage(shown, kParamAreaSize);
      if (store_) store_(shown);
      const bool differs = !worker_.ImageEquals(shown);
      worker_.CopyImage(image_, kImageSize);
      TransferEvent done = End(TransferResult::ReadDone, true);
      done.differs = differs;
      return done;
    }
    case Notify::WriteRecordDone:
      return End(ok ? TransferResult::WriteDone : TransferResult::WriteFailed, ok);
    default:
      return {};
  }
}

// ---- InlineWorker ----

bool InlineWorker::PostRequest(int code) {
  next_ = code;
  return true;
}

void InlineWorker::Post(unsigned code, std::intptr_t value) {
  sink_.Post(code, value);
  if (runner_) {
    const TransferEvent event = runner_->OnNotification(code, value);
    if (event.handled) last_ = event;
  }
}

TransferEvent InlineWorker::Run(TransferKind kind, std::uint8_t* image,
                                TransferRunner::Store store) {
  TransferRunner runner(*this, image, std::move(store));
  runner_ = &runner;
  last_ = {};
  next_ = 0;
  runner.Start(kind);
  while (const int code = next_) {
    next_ = 0;
    core.RunRequest(code);
  }
  runner_ = nullptr;
  return last_;
}
