#include "platform/recman/failure.h"

#include "platform/recman/codes.h"

namespace recman {

std::int16_t FailureStatus(Failure failure) {
  switch (failure) {
    case Failure::kNone: return kStatusOk;
    case Failure::kBusy: return kStatusFileLocked;
    case Failure::kDuplicate: return kStatusDuplicate;
    case Failure::kDiskFull: return kStatusDiskFull;
    case Failure::kReadOnly: return kStatusReadOnly;
    case Failure::kPermission: return kStatusPermission;
    case Failure::kNotRecordFile: return kStatusNotRecordFile;
    case Failure::kMissing: return kStatusFileNotFound;
    case Failure::kOther: break;
  }
  return kStatusIoError;
}

}  // namespace recman
