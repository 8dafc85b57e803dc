// What the device link needs of the platform's HID access, in the shape of
// a small HID API: list the interfaces of one vendor and product, open one
// by its path, write one report, read one report with a time-out and an
// abort, ask for the input buffer count, close.
//
// Who uses it: only `DeviceConnection`, on the thread that runs the
// device requests (the worker thread of the window, the calling thread of
// the command-line tool, the browser engine and the fuzz target). Nothing
// here is shared between threads, except that every backend watches the
// worker's abort event, which other threads signal.
//
// The backends: the Windows HID driver with overlapped I/O (the only place
// that knows of control blocks, events, cancels and completions), hidapi on
// Linux, the emulated alarm of the tests and tools, the emulated alarm
// behind a named pipe, and the browser's WebHID.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One interface of the list: where to open it, and who made it.
struct HidDeviceInfo {
  std::u16string path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t releaseNumber = 0;  // the device's version number
};

// Whether an interface of `vendor` and `product` belongs in a list asked
// for `wantVendor` and `wantProduct` (0: any). For the backends' Enumerate.
constexpr bool HidIdsWanted(std::uint16_t wantVendor, std::uint16_t wantProduct,
                            std::uint16_t vendor, std::uint16_t product) {
  return (!wantVendor || vendor == wantVendor) && (!wantProduct || product == wantProduct);
}

// Backends whose interfaces have no paths of their own (the emulated buses,
// the browser's list of granted devices) name one by a prefix and its place
// in their list: "emu#3", "webhid:0". For their Enumerate and Open.
std::u16string NumberedPath(std::string_view prefix, std::size_t index);
// The place named by `path`, made by NumberedPath with `prefix`; false for
// any other path.
bool IndexInPath(const std::u16string& path, std::string_view prefix, std::size_t& index);

// How a write or a read ended, fixed values.
enum WaitResult : int {
  WaitAborted = -1,  // the abort event is signalled (it wins over a finished operation)
  WaitFailed = 0,    // refused at once, finished with an error, or the wait itself failed
  WaitDone = 1,      // the report was written / read
  WaitTimedOut = 2,  // no end within the time-out
};

// One open HID interface; destroying it closes it. Every report is 65
// bytes, byte 0 the report id.
class IHidDevice {
 public:
  // Closes the interface. A read still under way is cancelled and allowed
  // to finish before the handle goes.
  virtual ~IHidDevice() = default;

  // Number of input reports the driver queues; false when unknown.
  virtual bool GetInputBufferCount(std::uint32_t& count) = 0;

  // Writes one output report. Returns at once when the write finishes at
  // once; otherwise waits at most `ms` for it, and for the abort event,
  // which is looked at first. A write that did not finish (time-out,
  // abort) has been cancelled and has ended when this returns, so no write
  // is ever under way between calls and `report` is not kept.
  virtual WaitResult Write(const std::uint8_t* report, unsigned ms) = 0;

  // Reads one input report into `report`. When no read is under way one is
  // started; a queued report ends it at once, without any wait. Otherwise
  // waits at most `ms` for it, and for the abort event, which is looked at
  // first. A read that timed out stays under way inside the backend: the
  // next call waits for that same read and gets the report it brings. An
  // abort or a failure ends the read (cancelled and finished).
  virtual WaitResult Read(std::uint8_t* report, unsigned ms) = 0;
};

// The present HID interfaces and the way to open them.
class IHidEnumerator {
 public:
  virtual ~IHidEnumerator() = default;

  // The present interfaces of `vendorId` and `productId` (0: any), in the
  // platform's enumeration order, listed anew on every call. An interface
  // whose details cannot be had ends the list: the ones behind it are not
  // listed. False when no list can be built.
  virtual bool Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                         std::vector<HidDeviceInfo>& list) = 0;

  // Opens an interface for reading and writing; null when it cannot be
  // opened (for example because another program holds it).
  virtual std::unique_ptr<IHidDevice> Open(const std::u16string& path) = 0;
};
