// stress_helper: what scripts/stress runs beside `kap run303` on one data
// folder, and the checks of what the runs left. Each command returns the
// process's exit code: 0 fine, 1 a fault (described on standard error),
// 2 bad usage.
#pragma once

#include <string>
#include <vector>

namespace stress {

// Sets DataRoot (ending in "/") and the settings the record layer and the
// NRC module read, and opens the seven data files.
void OpenData(const std::string& dir);
bool StopAsked(const std::string& stopFile);
void Fail(const std::string& what);

// churn DIR FROM TO STOPFILE NRCFILE...
int Churn(const std::vector<std::string>& args);
// owners DIR STOPFILE
int OwnerReads(const std::vector<std::string>& args);
// nrc-list FILE YEAR PERIOD
int NrcListing(const std::vector<std::string>& args);
// unlocked DIR AGENCYDIR...
int LocksFree(const std::vector<std::string>& args);

}  // namespace stress
