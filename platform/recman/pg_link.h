// Connections to the server: making them, naming the server in messages,
// prepared statements with binary parameters, failures turned into statuses,
// and the change notifications that arrive on them.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace recman {

// One connection with the statements prepared on it. `generation` tells
// connections apart over the life of the process: a file remembers the one it
// was opened on and fails with 2 once that one is gone.
struct PgLink {
  PGconn* conn = nullptr;
  std::string connection;  // the string it was made from
  std::string schema;      // where its tables are (the first of its search path)
  std::uint64_t generation = 0;
  std::set<std::string> prepared;
  bool broken = false;
  // Transaction link only: position blocks in the server transaction, and
  // the status of a statement that failed inside it (the server has then
  // rolled it back; only End or Abort remain).
  int files = 0;
  std::int16_t failed = 0;
};

using PgResult = std::unique_ptr<PGresult, decltype(&PQclear)>;

// Binary parameters of one statement.
struct PgParams {
  std::vector<Oid> types;
  std::vector<const char*> values;
  std::vector<int> lengths;
  std::deque<std::string> storage;  // keeps the bytes of numbers in place
  void Bool(bool v);
  void Int4(std::int32_t v);
  void Int8(std::int64_t v);
  void Bytes(std::string_view v);
  void Text(const std::string& v);
};

// The connection string and data root given to UseServer.
const std::string& ServerConnection();
const std::string& ServerDataRoot();

// The link for new files: connects (again) when there is none or the last
// one was lost. False with the problem recorded when the server cannot be
// reached or refuses the login.
bool MainLink(PgLink*& link);
// The link of the server transaction (connected on first use).
bool TransactionLink(PgLink*& link);
PgLink& CurrentMainLink();
PgLink& CurrentTransactionLink();
// Ends both connections.
void CloseLinks();
// After fork(): forgets the connections without touching them.
void AbandonLinks();

// Runs the prepared statement `name`, preparing it from `sql` on first use
// on this link. Null with `status` set when it fails (the failure is turned
// into a status and, for a server problem, recorded).
PgResult RunPrepared(PgLink& link, const std::string& name, const std::string& sql, const PgParams& params,
                     std::int16_t& status);
// Runs SQL text without parameters (several statements allowed); false with
// `status` set when it fails.
bool RunText(PgLink& link, const std::string& sql, std::int16_t& status);
// Same with parameters (text results).
PgResult RunParams(PgLink& link, const std::string& sql, const PgParams& params, std::int16_t& status);
bool RunCommand(PgLink& link, const std::string& sql, const PgParams& params, std::int16_t& status);

// Status for a failed result (pg_engine.h, statuses).
std::int16_t ResultStatus(PgLink& link, const PGresult* result);
// Records what went wrong, naming the server.
void RecordProblem(const std::string& what);
void ClearProblem();

// Change notifications received so far (also reads what the server has sent
// since the last call, without waiting): each carries a table name.
void TakeNotifications(std::vector<std::string>& tables);

// Binary result fields.
bool FieldBool(const PGresult* r, int row, int column);
std::int64_t FieldInt8(const PGresult* r, int row, int column);
std::string_view FieldBytes(const PGresult* r, int row, int column);
bool FieldNull(const PGresult* r, int row, int column);

// A quoted identifier.
std::string QuoteName(const std::string& name);

}  // namespace recman
