// The owner's filing file and the payment-type map.
#pragma once

#include <string>

namespace vat303 {

enum class FilingOutcome {
  Written,     // the file is in place, its request added, the map updated, and it is counted
  NotWritten,  // the owner cannot be filed (noted as a data problem); nothing was written
  Refused,     // the file breaks a filing rule (the operator told): the earlier file and request stay
  Failed,      // a file could not be written (the operator has been told); the run stops
};

// Writes FilingFile for the current owner of a filing run: the name fields
// from the fiscal record (or, without one, from the owner record), the file
// put in place by the territory's pass (filing_pass.h) with the NRC request
// when the payment is "N" and the balance positive, and the payment type in
// the map, once it has been checked by the filing rules. Counted in
// FilesWritten only when all of that succeeded.
FilingOutcome WriteFilingFile();

// The 80-character name field of the current owner ("" when nothing of the
// name can be filed).
std::string FilingNameField();

// The temporary name a file is written under before it is renamed over
// `path`: "~" + its name + ".tmp" in the same folder. Leftovers of a killed
// run are deleted at the start of the next pass over the folder.
std::string TempPathFor(const std::string& path);
// Whether a name in a folder is such a temporary file.
bool IsTempFileName(const std::string& name);
// An owner's filing file name in its agency folder: "P0042" for 42, and
// back (1-9999; 0 for any other name).
std::string OwnerFileName(int owner);
int OwnerOfFileName(const std::string& name);
// Writes `data` to TempPathFor(path) (checked to have its whole length).
bool WriteTempFile(const std::string& path, const std::string& data, bool flush);
// Writes `data` to TempPathFor(path) and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& data, bool flush);

// "DADES\V303.MAP" under DataRoot: one byte per owner number (1-9999), the
// payment type of the last filing file written for that owner. Made
// atomically (9999 blanks) when missing, and a short one (cut by a crash or
// a copy) made up to its length with blanks keeping the bytes it has, under
// the map's lock so terminals never lose each other's bytes. Before a run
// first changes it, the map as it was is kept (history.h).
std::string PaymentMapPath();
bool RecordPaymentType(int owner, char payment);
// The whole map as it is now, made up to its length with blanks.
std::string ReadPaymentMap();

}  // namespace vat303
