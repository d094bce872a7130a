#include "platform/recman/failure.h"

#include "platform/recman/engine.h"

namespace recman {

std::int16_t FailureStatus(Failure failure) {
  switch (failure) {
    case Failure::kNone: return kStatusOk;
    case Failure::kBusy: return kStatusFileLocked;
    case Failure::kDuplicate: return kStatusDuplicate;
    case Failure::kDiskFull: return kStatusDiskFull;
    case Failure::kReadOnly: return kStatusReadOnly;
    case Failure::kNotRecordFile: return kStatusNotRecordFile;
    case Failure::kMissing: return kStatusFileNotFound;
    case Failure::kOther: break;
  }
  return kStatusIoError;
}

}  // namespace recman
