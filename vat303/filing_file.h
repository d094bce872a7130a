// The owner's filing file and the payment-type map.
#pragma once

#include <string>

namespace vat303 {

enum class FilingOutcome {
  Written,     // the file is in place, its request added, the map updated, and it is counted
  NotWritten,  // the owner cannot be filed (noted as a data problem); nothing was written
  Failed,      // a file could not be written (the operator has been told); the run stops
};

// Writes FilingFile for the current owner of a filing run: the name fields
// from the fiscal record (or, without one, from the owner record), the file
// through a temporary name renamed into place, the NRC request when the
// payment is "N" and the balance positive, the payment type into the map.
// Counted in FilesWritten only when all of that succeeded.
FilingOutcome WriteFilingFile();

// The 80-character name field of the current owner ("" when nothing of the
// name can be filed).
std::string FilingNameField();

// The temporary name a file is written under before it is renamed over
// `path`: "~" + its name + ".tmp" in the same folder. Leftovers of a killed
// run are deleted at the start of the next pass over the folder.
std::string TempPathFor(const std::string& path);
// Writes `data` to TempPathFor(path) and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& data, bool flush);

// "DADES\V303.MAP" under DataRoot: one byte per owner number (1-9999), the
// payment type of the last filing file written for that owner. Made
// atomically (9999 blanks) when missing or short; each update takes the
// map's lock so terminals never lose each other's bytes.
std::string PaymentMapPath();
bool RecordPaymentType(int owner, char payment);

}  // namespace vat303
