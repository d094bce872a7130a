// Why the store behind an engine refused an operation, in terms shared by the
// engines, and the status each reason is reported with (codes.h, STATUSES).
#pragma once

#include <cstdint>

namespace recman {

enum class Failure {
  kNone,          // 0
  kBusy,          // 85: held by another user beyond the wait
  kDuplicate,     // 5: a unique key already holds the value
  kDiskFull,      // 18
  kReadOnly,      // 46: the handle is read-only
  kPermission,    // 94: the process may not read or may not write the store
  kNotRecordFile, // 30: the store is not one of ours
  kMissing,       // 12: the file (table) does not exist
  kOther,         // 2: I/O error, damaged store, server unreachable or lost
};

std::int16_t FailureStatus(Failure failure);

}  // namespace recman
