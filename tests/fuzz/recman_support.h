// Calls of the record manager for the fuzz targets of record files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/recman/engine.h"
#include "platform/recman/recman.h"

namespace fuzz {

// One open record file and the buffers of its calls.
struct Handle {
  unsigned char pos[recman::kPositionBlockSize] = {};
  std::string data;  // data buffer in and out
  std::string key = std::string(255, '\0');
};

// One call: `data` is the buffer (its size the length in; cut to the length
// out). Checks that the status is one the engine documents.
int Call(Handle& h, int op, int keyNumber);
// Open or create a file named `path` (the key buffer holds the name).
int OpenFile(Handle& h, const std::string& path, int mode);
int CreateFile(const std::string& path, const std::string& definition);

}  // namespace fuzz
