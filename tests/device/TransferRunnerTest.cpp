// The transfer runner over the emulated alarm, run to its end on the
// calling thread as the command-line tool and the browser run it: every
// way a read and a write end, and what each leaves in the owner's image
// and in the device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/DemoConfiguration.h"
#include "device/InlineWorker.h"
#include "device/TransferRunner.h"
#include "device/Transfers.h"
#include "device/DeviceTestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// What the pages of the test hold: two bytes of the parameter area.
constexpr std::size_t kPageByte = 100, kPageByte2 = 2047;
void StorePages(std::uint8_t* image) {
  image[kPageByte] = 0x42;
  image[kPageByte2] = 0x17;
}

struct Machine {
  Machine() {
    LoadDemoDevice(device);
    link.bus.Add(device);
  }
  // The device's image as a read gives it: the parameter memory and the
  // data of the current record.
  Bytes DeviceImage() {
    std::uint8_t trailers[kRecordSlots][4];
    for (std::size_t k = 0; k < kRecordSlots; ++k)
      std::memcpy(trailers[k], device.flash() + k * kSlotSize + 252, 4);
    const int slot = ChooseRecordSlot(trailers);
    Bytes image(kImageSize, 0);
    std::memcpy(image.data(), device.paramMemory(), kParamAreaSize);
    if (slot >= 0)
      std::memcpy(image.data() + kParamAreaSize, device.flash() + slot * kSlotSize,
                  kImageSize - kParamAreaSize);
    return image;
  }
  EmulatedDevice device;
  EmulatedLink link;
  RecordingSink sink;
  InlineWorker worker{link.bus, sink};
};

struct Row {
  const char* name;
  TransferKind kind;
  int failing;  // the command whose answers report a failure; -1 none
  TransferResult result;
};

const Row kRows[] = {
    {"read", TransferKind::Read, -1, TransferResult::ReadDone},
    {"read, parameter memory fails", TransferKind::Read, ReadParam, TransferResult::ReadFailed},
    {"read, record fails", TransferKind::Read, ReadFlash, TransferResult::ReadFailed},
    {"write", TransferKind::Write, -1, TransferResult::WriteDone},
    {"write, pre-read fails", TransferKind::Write, ReadParam, TransferResult::PreReadFailed},
    {"write, parameter memory fails", TransferKind::Write, WriteParam, TransferResult::WriteFailed},
    {"write, erase fails", TransferKind::Write, EraseFlash, TransferResult::WriteFailed},
    {"write, record fails", TransferKind::Write, WriteFlash, TransferResult::WriteFailed},
};

TEST(TransferRunner, EveryWayATransferEnds) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    Machine m;
    // The device holds other values than the pages in their bytes.
    m.device.paramMemory()[kPageByte] = 0x01;
    m.device.faults.command = row.failing;
    m.device.faults.failStatus = row.failing < 0 ? 0 : 1000;
    const Bytes deviceBefore = m.DeviceImage();
    Bytes image(kImageSize, 0x5A);
    const Bytes imageBefore = image;

    const TransferEvent end = m.worker.Run(row.kind, image.data(), StorePages);
    EXPECT_TRUE(end.ended);
    EXPECT_EQ(end.result, row.result);
    EXPECT_EQ(end.answered, row.failing < 0);
    // The scale's end is the last position of a transfer that went through.
    const std::vector<std::intptr_t> progress = m.sink.progress();
    if (row.failing < 0) {
      ASSERT_FALSE(progress.empty());
      EXPECT_EQ(progress.back(), TransferScale(row.kind));
    }
    for (std::intptr_t p : progress) EXPECT_LE(p, TransferScale(row.kind));

    Bytes merged = deviceBefore;  // the device's own bytes under the pages'
    std::memcpy(merged.data() + kParamAreaSize, imageBefore.data() + kParamAreaSize,
                kImageSize - kParamAreaSize);
    StorePages(merged.data());
    switch (row.result) {
      case TransferResult::ReadDone:
        EXPECT_EQ(image, deviceBefore) << "the device's whole image";
        EXPECT_TRUE(end.differs) << "the pages showed another value";
        break;
      case TransferResult::ReadFailed:
      case TransferResult::PreReadFailed:
        EXPECT_EQ(image, imageBefore) << "a failed read leaves the image alone";
        EXPECT_EQ(m.DeviceImage(), deviceBefore);
        EXPECT_EQ(m.device.CountSeen(WriteParam), 0);
        break;
      case TransferResult::WriteDone:
        EXPECT_EQ(image, merged);
        EXPECT_EQ(m.DeviceImage(), merged) << "the merged image is on the device";
        break;
      case TransferResult::WriteFailed:
        EXPECT_EQ(image, merged) << "the merged image that was (partly) sent";
        break;
    }
  }
}

TEST(TransferRunner, AReadOfWhatThePagesShowDiffersInNothing) {
  Machine m;
  m.device.paramMemory()[kPageByte] = 0x42;
  m.device.paramMemory()[kPageByte2] = 0x17;
  // All 2300 bytes count: the record area is the image's own.
  Bytes image = m.DeviceImage();
  std::fill(image.begin(), image.begin() + kParamAreaSize, 0);
  const TransferEvent end = m.worker.Run(TransferKind::Read, image.data(), StorePages);
  EXPECT_EQ(end.result, TransferResult::ReadDone);
  EXPECT_FALSE(end.differs);
  // Without pages, nothing is compared but the image is taken all the same.
  Bytes plain(kImageSize, 0);
  EXPECT_EQ(m.worker.Run(TransferKind::Read, plain.data()).result, TransferResult::ReadDone);
  EXPECT_EQ(plain, m.DeviceImage());
}

TEST(TransferRunner, NoDeviceEndsAtTheFirstStep) {
  for (TransferKind kind : {TransferKind::Read, TransferKind::Write}) {
    EmulatedLink link;
    RecordingSink sink;
    InlineWorker worker(link.bus, sink);
    Bytes image(kImageSize, 0x33);
    const TransferEvent end = worker.Run(kind, image.data(), StorePages);
    EXPECT_EQ(end.result, kind == TransferKind::Read ? TransferResult::ReadFailed
                                                     : TransferResult::PreReadFailed);
    EXPECT_EQ(image, Bytes(kImageSize, 0x33));
    EXPECT_EQ(sink.results(), (std::vector<RecordingSink::Entry>{{Notify::ReadParamDone, 0}}));
  }
}

}  // namespace
