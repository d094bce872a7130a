// The open-file table shared by the record access routines (private to the
// records folder).
#pragma once

#include <cstdint>
#include <string>

#include "platform/recman/recman.h"

namespace records::detail {

constexpr int kTableSize = 40;
constexpr int kCallBufferSize = 1536;  // data buffer of reads and Stat
constexpr int kKeyBufferSize = 255;    // key buffer of Stat, moves and direct reads

struct FileEntry {
  int fileNumber = 0;  // 0 = free
  unsigned char positionBlock[recman::kPositionBlockSize] = {};
  std::string* record = nullptr;  // the caller's record buffer
  std::int32_t recordLength = 0;
  int keyNumber = 0;
  std::string keyValue;
  int lockMode = 0;  // 0 D, 1 A, 2 B
  // The Stat reply as first read: what the layer takes from it (record
  // length, keys, collating sequence) cannot change while the file is open.
  bool statKnown = false;
  std::string statReply;
  int statRecordLength = 0;
  int statKeyCount = 0;
};

// Entry 0 is the scratch entry; 1..40 hold files.
FileEntry& Entry(int index);
// Entry number holding `fileNumber` (0 when none); `highestFree` receives the
// highest-numbered free entry (0 when the table is full).
int FindEntry(int fileNumber, int* highestFree = nullptr);
void ClearEntry(FileEntry& entry);
// Pairs (entry number, lock mode) pushed by "+".
std::string& LockModeStack();

// Text for the session's language: "SPA", "GLG", "OCI", anything else Catalan.
const std::string& LanguageText(const std::string& spa, const std::string& glg,
                                const std::string& oci, const std::string& cat);

// Shows a message box and remembers its text (LastMessage).
void ShowMessage(int baseRow, const std::string& text);

// Reads that may lock and wait, into the caller's record buffer.
int BtrCall(int index, int operation);
// Stat reply for the entry's file (the second reply, read as BtrKeyInfo does)
// plus the record length and number of keys from the first reply.
struct StatInfo {
  std::string reply;  // kCallBufferSize bytes
  int recordLength = 0;
  int keyCount = 0;
};
StatInfo StatFile(FileEntry& entry);
// The entry's key value from a returned key buffer, kept at its length.
void TakeKeyValue(FileEntry& entry, const unsigned char* keyBuffer, int bufferSize);
// Copies the record returned in `data` into the caller's buffer.
void TakeRecord(FileEntry& entry, const unsigned char* data, std::uint32_t dataLength);

int Get16(const std::string& bytes, std::size_t at);

}  // namespace records::detail
