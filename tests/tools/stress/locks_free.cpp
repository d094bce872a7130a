// unlocked DIR AGENCYDIR...: every lock the programs take on the data folder
// can be had at once, so nobody holds one: each record of the seven record
// files (read along key 0 with "lock, fail at once"), each file exclusively,
// the payment map's lock, each agency folder's lock.
#include <iostream>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "platform/recman/engine.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "settings/config.h"
#include "tests/tools/stress/stress.h"

namespace stress {

int LocksFree(const std::vector<std::string>& args) {
  OpenData(args[0]);
  int faults = 0;
  for (int file : {records::kOwnerFile, records::kFiscalFile, records::kOfficeFile, records::kGroupFile,
                   records::kPeriodFile, records::kLineFile, records::kTerritoryFile}) {
    int status = 0;
    records::BtrLockMode(file, "+B", status);
    long read = 0;
    records::BtrGetByKey(file, 0, "", +1, status);
    while (status == 0) {
      ++read;
      records::BtrMove(file, 1, status);
    }
    if (status != 9) {
      Fail("record file " + std::to_string(file) + ": record " + std::to_string(read + 1) + " read with status " +
           std::to_string(status) + " (84: locked by another process)");
      ++faults;
    }
    records::BtrLockMode(file, "-", status);
  }
  for (const char* name : {"DADES\\VPropiet", "DADES\\UFiscal", "TAULES\\UHisenda", "DADES\\VGrups",
                           "DADES\\VCapPeri", "DADES\\VLinPeri", "TAULES\\UTerrito"}) {
    const std::string path = settings::DataRoot + name + ".dat";
    if (!recman::LockFileExclusive(path)) {
      Fail(path + ": held by another process");
      ++faults;
    }
    recman::UnlockFileExclusive(path);
  }
  int status = 0;
  records::BtrCloseAll(status);
  const std::string mapLock = settings::DataRoot + "DADES\\V303.MAP.lck";
  os::Lock lock;
  if (os::FileExists(mapLock) && !os::LockExclusive(lock, mapLock, 0)) {
    Fail(mapLock + ": held by another process");
    ++faults;
  }
  os::Unlock(lock);
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (!os::LockDirectory(lock, args[i], 0)) {
      Fail(args[i] + ": the folder's lock is held by another process");
      ++faults;
    }
    os::Unlock(lock);
  }
  return faults == 0 ? 0 : 1;
}

}  // namespace stress
