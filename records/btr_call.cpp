// Reads that may lock: lock bias, key-buffer filler, and the wait-and-retry
// loop of lock mode 1 with its message.
#include <cmath>
#include <algorithm>
#include <cstring>

#include "platform/os/os.h"
#include "records/btr.h"
#include "records/open_file_table.h"
#include "screen/keys.h"
#include "screen/windows.h"

namespace records::detail {
namespace {

bool TakesLockBias(int operation) {
  return (operation >= 5 && operation <= 13) || operation == 19 ||
         (operation >= 22 && operation <= 24) || (operation >= 33 && operation <= 35);
}

}  // namespace
}  // namespace records::detail

namespace records {

std::string LockWaitText() {
  static const std::string spa = "FICHERO BLOQUEADO. ESPERE UN MOMENTO.";
  static const std::string glg = "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO.";
  static const std::string oci = "FICH\xD4R BLOQUEJAT. ESPERATZ UN MOMENT.";
  static const std::string cat = "FITXER BLOQUEJAT. ESPEREU UN MOMENT.";
  return detail::LanguageText(spa, glg, oci, cat);
}

}  // namespace records

namespace records::detail {

int BtrCall(int index, int operation) {
  FileEntry& entry = Entry(index);
  if (entry.lockMode != 0 && TakesLockBias(operation)) operation += 200;
  // Filler after the key value, by the code actually issued: a lock-biased
  // code gets spaces like every code other than 8 to 11.
  char filler = ' ';
  if (operation == 8 || operation == 9) filler = '\0';
  if (operation == 10 || operation == 11) filler = '\xFF';

  int attempts = 0;
  for (;;) {
    if (attempts == 1) ShowMessage(24, LockWaitText());

    unsigned char data[kCallBufferSize] = {};
    std::size_t recordBytes = static_cast<std::size_t>(entry.recordLength);
    if (entry.record) {
      std::size_t n = std::min(recordBytes, entry.record->size());
      std::memcpy(data, entry.record->data(), std::min<std::size_t>(n, kCallBufferSize));
    }
    unsigned char key[256];
    std::memset(key, static_cast<unsigned char>(filler), sizeof key);
    std::size_t keyLength = std::min<std::size_t>(entry.keyValue.size(), 255);
    std::memcpy(key, entry.keyValue.data(), keyLength);
    std::uint32_t dataLength = static_cast<std::uint32_t>(entry.recordLength);

    int status = recman::BTRCALL(operation, entry.positionBlock, data, &dataLength, key,
                                 static_cast<std::uint8_t>(keyLength),
                                 static_cast<std::int8_t>(entry.keyNumber));
    TakeRecord(entry, data, dataLength);
    TakeKeyValue(entry, key, static_cast<int>(keyLength));

    if ((status == 84 || status == 85) && entry.lockMode == 1) {
      int waitMs = static_cast<int>(std::lround(10000.0 * os::Rnd() + 1.0));
      os::SleepMs(waitMs);
      screen::EndIfTerminalGone();
      if (attempts < 2) ++attempts;
      continue;
    }
    if (attempts != 0) screen::WindowPop();
    return status;
  }
}

}  // namespace records::detail
