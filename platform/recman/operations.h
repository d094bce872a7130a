// The operations on an open record file, called by BTRCALL.
#pragma once

#include <cstdint>

#include "platform/recman/record_file.h"

namespace recman {

struct Call {
  RecordFile& rf;
  void* data;
  std::uint32_t* dataLength;  // never null; 0 when data is null
  unsigned char* key;         // may be null (keyLength then counts as 0)
  std::uint8_t keyLength;
  std::int8_t keyNumber;
  bool lock;                  // single-record lock without wait (+200)
};

std::int16_t Read(Call& c, int op);  // 5-13
std::int16_t GetDirect(Call& c);
std::int16_t GetPosition(Call& c);
std::int16_t Insert(Call& c);
std::int16_t Update(Call& c);
std::int16_t Delete(Call& c);
std::int16_t Stat(Call& c);
std::int16_t Transaction(Call& c, int op);  // 19-21

}  // namespace recman
