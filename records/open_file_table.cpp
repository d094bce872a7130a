// The table of open record files and the lock-mode stack.
#include "records/open_file_table.h"

#include <algorithm>
#include <cstring>

#include "settings/config.h"
#include "records/btr.h"
#include "screen/windows.h"

namespace records::detail {
namespace {

FileEntry table[kTableSize + 1];
std::string lockModeStack;
std::string lastMessage;

}  // namespace

FileEntry& Entry(int index) { return table[index]; }

int FindEntry(int fileNumber, int* highestFree) {
  int found = 0;
  int free = 0;
  for (int i = 1; i <= kTableSize; ++i) {
    if (table[i].fileNumber == 0) free = i;
    if (found == 0 && table[i].fileNumber == fileNumber && fileNumber != 0) found = i;
  }
  if (highestFree) *highestFree = free;
  return found;
}

void ClearEntry(FileEntry& entry) {
  entry.fileNumber = 0;
  std::memset(entry.positionBlock, 0, sizeof entry.positionBlock);
  entry.record = nullptr;
  entry.recordLength = 0;
  entry.keyNumber = 0;
  entry.keyValue.clear();
  entry.lockMode = 0;
  entry.statKnown = false;
  entry.statReply.clear();
  entry.statRecordLength = 0;
  entry.statKeyCount = 0;
}

std::string& LockModeStack() { return lockModeStack; }

void ShowMessage(int baseRow, const std::string& text) {
  lastMessage = text;
  screen::MessageBox(baseRow, text);
}


const std::string& LanguageText(const std::string& spa, const std::string& glg,
                                const std::string& oci, const std::string& cat) {
  if (settings::Idioma == "SPA") return spa;
  if (settings::Idioma == "GLG") return glg;
  if (settings::Idioma == "OCI") return oci;
  return cat;
}

int Get16(const std::string& bytes, std::size_t at) {
  if (at + 2 > bytes.size()) return 0;
  return static_cast<std::int16_t>(static_cast<unsigned char>(bytes[at]) |
                                   (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

void TakeKeyValue(FileEntry& entry, const unsigned char* keyBuffer, int bufferSize) {
  std::size_t n = std::min<std::size_t>(entry.keyValue.size(), static_cast<std::size_t>(bufferSize));
  entry.keyValue.assign(reinterpret_cast<const char*>(keyBuffer), n);
}

void TakeRecord(FileEntry& entry, const unsigned char* data, std::uint32_t dataLength) {
  if (!entry.record) return;
  std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(entry.recordLength), dataLength);
  n = std::min<std::size_t>(n, kCallBufferSize);
  entry.record->resize(static_cast<std::size_t>(entry.recordLength), '\0');
  entry.record->replace(0, n, reinterpret_cast<const char*>(data), n);
}

StatInfo StatFile(FileEntry& entry) {
  StatInfo info;
  if (entry.statKnown) {
    info.reply = entry.statReply;
    info.recordLength = entry.statRecordLength;
    info.keyCount = entry.statKeyCount;
    return info;
  }
  unsigned char data[kCallBufferSize] = {};
  unsigned char key[kKeyBufferSize] = {};
  std::uint32_t length = kCallBufferSize;
  recman::BTRCALL(15, entry.positionBlock, data, &length, key, kKeyBufferSize, 0);
  std::string first(reinterpret_cast<const char*>(data), kCallBufferSize);
  info.recordLength = Get16(first, 0) & 0xFFFF;
  info.keyCount = Get16(first, 4);
  // The second reply is read into a buffer whose first page-size bytes are
  // cleared, so nothing of the first reply can pass for key definitions.
  int pageSize = Get16(first, 2) & 0xFFFF;
  std::memset(data, 0, static_cast<std::size_t>(std::min(pageSize, kCallBufferSize)));
  length = kCallBufferSize;
  recman::BTRCALL(15, entry.positionBlock, data, &length, key, kKeyBufferSize, 0);
  info.reply.assign(reinterpret_cast<const char*>(data), kCallBufferSize);
  if (info.recordLength > 0) {
    entry.statKnown = true;
    entry.statReply = info.reply;
    entry.statRecordLength = info.recordLength;
    entry.statKeyCount = info.keyCount;
  }
  return info;
}

}  // namespace records::detail

namespace records {

const std::string& LastMessage() { return detail::lastMessage; }

}  // namespace records
