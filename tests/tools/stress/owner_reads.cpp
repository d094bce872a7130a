// owners DIR STOPFILE: reads the owners file along key 1 as the browse list
// does (no record locks, the current key and the position of every record,
// a record re-read by its position now and then) until STOPFILE exists, at
// least twice. Every pass must give the same records in the same order,
// the keys never going down, and end with "end of file".
#include <iostream>
#include <string>
#include <vector>

#include "records/btr.h"
#include "records/data_files.h"
#include "tests/tools/stress/stress.h"

namespace stress {
namespace {

struct Listed {
  std::int32_t position;
  std::string record;
};

// One pass; false (with the reason on standard error) on a fault.
bool ReadPass(std::vector<Listed>& listed) {
  listed.clear();
  const int file = records::kOwnerFile;
  int status = 0;
  std::string lastKey;
  records::BtrGetByKey(file, 1, "", +1, status);
  while (status == 0) {
    const std::string key = records::BtrCurrentKey(file);
    if (!listed.empty() && key < lastKey) {
      Fail("owners: key 1 went down after " + std::to_string(listed.size()) + " records");
      return false;
    }
    lastKey = key;
    listed.push_back({records::BtrPosition(file, 0), records::OwnerRecord});
    records::BtrMove(file, 1, status);
  }
  if (status != 9) {
    Fail("owners: reading along key 1 ended with status " + std::to_string(status));
    return false;
  }
  // Re-reading by position, as the list does for the record picked.
  for (std::size_t i = 0; i < listed.size(); i += 37) {
    const int read = records::BtrPosition(file, listed[i].position);
    if (read != 0 || records::OwnerRecord != listed[i].record) {
      Fail("owners: the record at position " + std::to_string(listed[i].position) + " read back as status " +
           std::to_string(read) + (read == 0 ? " with other bytes" : ""));
      return false;
    }
  }
  return true;
}

}  // namespace

int OwnerReads(const std::vector<std::string>& args) {
  OpenData(args[0]);
  int status = 0;
  records::BtrLockMode(records::kOwnerFile, "+d", status);
  std::vector<Listed> first, again;
  if (!ReadPass(first)) return 1;
  long passes = 1;
  do {
    if (!ReadPass(again)) return 1;
    ++passes;
    bool same = again.size() == first.size();
    for (std::size_t i = 0; same && i < first.size(); ++i)
      same = again[i].position == first[i].position && again[i].record == first[i].record;
    if (!same) {
      Fail("owners: pass " + std::to_string(passes) + " read other records than the first (" +
           std::to_string(again.size()) + " against " + std::to_string(first.size()) + ")");
      return 1;
    }
  } while (!StopAsked(args[1]));
  records::BtrLockMode(records::kOwnerFile, "-", status);
  records::BtrCloseAll(status);
  std::cout << "owners: " << passes << " passes of " << first.size() << " records" << std::endl;
  return 0;
}

}  // namespace stress
