// What the device link needs of the platform's HID access: the list of
// present HID interfaces and, for an open interface, overlapped writes and
// reads of single reports. The platform layer implements these over its
// HID driver; the emulated device implements them over a model.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

// Vendor id, product id and version number (device release).
struct HidAttributes {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t version = 0;
};

// The two operations an open interface can have outstanding, each with its
// own report buffer and control block.
enum class HidOp { Write = 0, Read = 1 };

// How starting an operation went.
enum class IoStart {
  Completed,  // finished at once, successfully
  Pending,    // under way: wait for it
  Failed,     // refused at once
};

// Results of waiting for an operation, fixed values.
enum WaitResult : int {
  WaitAborted = -1,  // the abort event is signalled (it wins over a finished operation)
  WaitFailed = 0,    // the operation finished with an error, or the wait itself failed
  WaitDone = 1,      // the operation finished successfully
  WaitTimedOut = 2,  // still under way after the time-out
};

// One open HID interface. Its write and read buffers belong to their
// operations: a buffer may be filled or read only while its operation is
// not outstanding, and an outstanding operation must be cancelled and
// settled before the device is closed.
class IHidDevice {
 public:
  virtual ~IHidDevice() = default;
  // Vendor id, product id and version; false when they cannot be read.
  virtual bool GetAttributes(HidAttributes& attributes) = 0;
  // Number of input reports the driver queues; false when unknown.
  virtual bool GetInputBufferCount(std::uint32_t& count) = 0;

  virtual std::uint8_t* WriteBuffer() = 0;       // the 65-byte output report
  virtual const std::uint8_t* ReadBuffer() = 0;  // the 65-byte input report
  // Starts writing the output report / reading one input report.
  virtual IoStart StartWrite() = 0;
  virtual IoStart StartRead() = 0;
  // Waits for the abort event (first) and the operation, at most `ms`.
  virtual WaitResult Wait(HidOp op, unsigned ms) = 0;
  // Cancels one outstanding operation / everything outstanding on the device.
  virtual void Cancel(HidOp op) = 0;
  virtual void CancelAll() = 0;
  // Waits, without time limit and regardless of the abort event, until a
  // cancelled (or finished) operation has really finished, so that its
  // buffer and control block may be used again.
  virtual void Settle(HidOp op) = 0;
};

// The set of present HID interfaces, listed anew for every search.
class IHidEnumerator {
 public:
  virtual ~IHidEnumerator() = default;
  // Builds the list of present interfaces; false when it cannot be built.
  virtual bool BuildList() = 0;
  // The path of interface `index` of the list. False ends the search:
  // there is no such interface, or its details cannot be had.
  virtual bool InterfacePath(std::uint32_t index, std::u16string& path) = 0;
  // Opens an interface for overlapped reading and writing; null when it
  // cannot be opened (for example because another program holds it).
  virtual std::unique_ptr<IHidDevice> Open(const std::u16string& path) = 0;
  // Releases the list.
  virtual void DestroyList() = 0;
};
