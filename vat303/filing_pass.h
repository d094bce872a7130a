// One territory's pass of a filing run over its agency folder (OutputDir):
// the folder held by the NRC file's lock, the leftovers of a pass that did
// not end repaired first, each owner's filing file put in place or taken
// away together with its NRC request and map byte, and the NRC file written
// when the pass ends.
//
// What holds after any pass, even one killed or stopped at any moment:
// every filing file filed with payment N and a positive result has exactly
// one request in the folder's NRC file, every request has its filing file,
// and each owner's map byte is the payment form of its last file written;
// where a pass could not make that true, its journal (pass_journal.h) is
// left in the folder and the next run of the program makes it true before
// anything else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vat303/filing_rules.h"

namespace vat303 {

struct PassCounts {
  int replaced = 0;                 // earlier filing files replaced by other bytes (kept, history.h)
  int removed = 0;                  // earlier filing files taken away (owners no longer due)
  bool requestsNotSaved = false;    // the NRC file could not be written at the end
  bool otherAccount = false;        // the NRC header names another charge account
  std::string headerAccount;        // that account (20 digits)
  bool closed = false;              // the pass ended with its NRC file written
  std::uint64_t outputsDigest = 0;  // then: of the folder's filing files and NRC file (run_log.h)
};

// Start of a run: no file is yet written by it.
void BeginFilingRun();

// Every agency folder under DataRoot left with a journal by a pass that
// did not end (and that no other terminal holds now) is repaired: its NRC
// file and the map are brought in line with its filing files, and the
// operator is told which owners it concerned.
void RepairInterruptedPasses();

// Makes and holds OutputDir (NrcFile's lock, waiting for another terminal's
// pass), repairs what an interrupted pass left there and notes its earlier
// filing files. False (the operator told) when the territory gets no files.
// `last`: no later pass of the run works in this folder. Only the last one
// takes away earlier files of owners with nothing to file, so that an
// owner filed by a later territory is never first removed by an earlier.
bool OpenFilingPass(bool last);

// Puts `bytes` in place as the owner's filing file FilingFile, replacing
// the earlier one (kept first, history.h): the request the earlier file
// asked for is taken out, the current NrcRequest added when `withRequest`,
// the run's payment form recorded in the map. Nothing is rewritten when the file, its request and
// its map byte are already so. False (the operator told) when something
// could not be written: the run must stop.
bool PutFilingFile(int owner, const std::string& bytes, bool withRequest);

// Takes away the owner's earlier filing file FilingFile, if any (kept
// first, history.h), with the request it asked for; a file this run wrote
// in an earlier pass stays, and a pass that is not the last over its folder
// takes nothing away.
// False (the operator told) when it could not be done: the run must stop.
bool RemoveFilingFile(int owner);

// Writes the NRC file and ends the journal, the folder still held, so that
// it can be checked as no other terminal's pass will leave it half done.
// False when the requests could not be saved (the journal stays for the
// next run, and the folder is let go at once).
bool CloseFilingPass();
// Lets the folder go for the other terminals.
void ReleaseFilingPass();

const PassCounts& FilingPassCounts();
// By owner number: what the filing files this pass put in place (or found
// as they should be) say of their payment, each checked by the filing
// rules first; null for the other owners. Valid until the next pass opens.
std::vector<const FilingPayment*> FilingPassCheckedFiles();

}  // namespace vat303
