// The record manager: keyed record files with the calling convention of a
// classic keyed record manager (one entry point, operation code, 128-byte
// position block, data buffer with length in and out, key buffer, key number,
// 16-bit status). Each record file is stored as one SQLite database, or as one
// table on a PostgreSQL server (UseServer).
//
// The full list of operations, statuses and the file format is documented in
// engine.h (kept with the implementation).
#pragma once

#include <cstdint>
#include <string>

namespace recman {

constexpr int kPositionBlockSize = 128;

// op: operation code (+200 for a single-record lock without wait on reads).
// pos: 128-byte position block owned by the caller, one per open file.
// data / dataLength: data buffer; dataLength is its size in, the bytes
//   returned or written out.
// key / keyLength: key buffer (also the file name for Open and Create).
// keyNumber: key path (Open: open mode; Create: -1 refuses to overwrite).
// Returns the status: 0 = success.
std::int16_t BTRCALL(int op, void* pos, void* data, std::uint32_t* dataLength,
                     void* key, std::uint8_t keyLength, std::int8_t keyNumber);

// Where Open, Create and the exclusive file locks find record files from now
// on. An empty `connection`: SQLite files at their paths (the default).
// Otherwise a libpq connection string ("host=db1 dbname=kova user=kova" or
// "postgresql://..."): each file is a table on that server, named after its
// path relative to `dataRoot` (pg_engine.h). Files already open stay
// where they were opened.
void UseServer(const std::string& connection, const std::string& dataRoot);
// What went wrong with the server last (it cannot be reached, refuses the
// login, the connection was lost, an error of its own), naming it by host,
// port and database and never by password; "" when nothing did.
std::string ServerProblem();

}  // namespace recman
