// Reads of a run of the return, with the waits of a lock held by another
// terminal and the stop of a read that keeps failing.
#include "vat303/run_reads.h"

#include <string>

#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "settings/catalogue.h"
#include "vat303/run_messages.h"
#include "vat303/texts.h"

namespace vat303 {
namespace {

constexpr int kDefaultLockWaitMs = 60 * 1000;
constexpr int kLockRetryMs = 500;
// An input or output error is tried again after these waits (a server's
// brief trouble), then the run stops; any other status stops it at once.
constexpr int kRetryWaitsMs[] = {100, 500, 1500};

int lockWaitMs = kDefaultLockWaitMs;

bool Answer(int status) { return status == 0 || status == 4 || status == 9; }
bool Locked(int status) { return status == 84 || status == 85; }
// An input or output error, or a server's: it may pass.
bool Passing(int status) { return status == 2; }

template <typename Call>
ReadResult Read(int file, Call call) {
  int status = call();
  if (!Answer(status)) {
    std::int64_t waited = 0;
    std::size_t retries = 0;
    bool notice = false;
    while (!Answer(status)) {
      int wait = 0;
      if (Locked(status) && waited < lockWaitMs) {
        if (!notice) ShowWaitNotice(records::LockWaitText());
        notice = true;
        wait = kLockRetryMs;
      } else if (Passing(status) && retries < std::size(kRetryWaitsMs)) {
        wait = kRetryWaitsMs[retries++];
      } else {
        break;
      }
      os::SleepMs(wait);
      waited += wait;
      status = call();
    }
    if (notice) EndWaitNotice();
  }
  if (status == 0) return ReadResult::Found;
  if (Answer(status)) return ReadResult::NotFound;
  ShowRunMessage(settings::Translate(texts::kReadError) + records::HostFileName(records::DataFileName(file)) + ": " +
                 StatusWords(status));
  return ReadResult::Failed;
}

}  // namespace

ReadResult RunGetByKey(int file, int keyNumber, const std::string& key, int direction) {
  return Read(file, [&] {
    int status = 0;
    records::BtrGetByKey(file, keyNumber, key, direction, status);
    return status;
  });
}

ReadResult RunMoveNext(int file) {
  return Read(file, [&] {
    int status = 0;
    records::BtrMove(file, 1, status);
    return status;
  });
}

std::string StatusWords(int status) {
  const char* words = texts::kStatusRefused;
  switch (status) {
    case 2: words = texts::kStatusDamaged; break;
    case 3: words = texts::kStatusNotOpen; break;
    case 18: words = texts::kStatusDiskFull; break;
    case 84: words = texts::kStatusRecordLocked; break;
    case 85: words = texts::kStatusFileLocked; break;
    case 46: case 94: words = texts::kStatusPermission; break;
    default: break;
  }
  std::string text = settings::Translate(words);
  // On a server, 2 is the server failing: which one and why.
  const std::string problem = records::StoreProblem();
  if (status == 2 && !problem.empty()) text += " - " + problem;
  return text + " (" + settings::Translate(texts::kStatus) + std::to_string(status) + ")";
}

void SetLockWaitMs(int ms) { lockWaitMs = ms; }

}  // namespace vat303
