#include "platform/recman/pg_link.h"

#include <arpa/inet.h>

#include <cstring>

#include "platform/os/os.h"
#include "platform/recman/engine.h"
#include "platform/recman/failure.h"
#include "platform/recman/recman.h"

namespace recman {

namespace {

std::string g_connection;  // UseServer
std::string g_dataRoot;
std::string g_problem;
PgLink g_main;
PgLink g_transaction;
std::uint64_t g_generation = 0;
std::set<std::string> g_notified;             // tables announced, not yet taken
std::vector<PGconn*> g_abandoned;             // the parent's, after fork()

// Settings of every connection. Waits for a lock end after 10 s (85), as a
// busy SQLite file does; the server probes a silent peer so that the locks
// of a machine that vanished end within about two minutes.
constexpr const char* kSessionSetup =
    "SET client_min_messages = warning; SET lock_timeout = '10s';"
    " SET default_transaction_isolation = 'read committed'; SET plan_cache_mode = force_generic_plan;"
    " SET tcp_keepalives_idle = 60; SET tcp_keepalives_interval = 10; SET tcp_keepalives_count = 6";

void IgnoreNotice(void*, const char*) {}

std::string FirstLine(const char* text) {
  std::string s = text == nullptr ? "" : text;
  std::size_t end = s.find('\n');
  if (end != std::string::npos) s.resize(end);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
  // Messages are shown in CP850 windows and terminals: ASCII only.
  for (char& ch : s) {
    if (static_cast<unsigned char>(ch) >= 0x80 || static_cast<unsigned char>(ch) < 0x20) ch = '?';
  }
  return s;
}

// "host=H port=P dbname=D" of a connection (also of one that failed), or of
// the connection string when there is none. Never the password.
std::string Describe(PGconn* conn) {
  std::string host, port, db;
  if (conn != nullptr) {
    host = PQhost(conn) ? PQhost(conn) : "";
    port = PQport(conn) ? PQport(conn) : "";
    db = PQdb(conn) ? PQdb(conn) : "";
  }
  if (host.empty() || port.empty() || db.empty()) {
    PQconninfoOption* options = PQconninfoParse(g_connection.c_str(), nullptr);
    for (PQconninfoOption* o = options; o != nullptr && o->keyword != nullptr; ++o) {
      const std::string value = o->val ? o->val : "";
      if (host.empty() && (std::strcmp(o->keyword, "host") == 0 || std::strcmp(o->keyword, "hostaddr") == 0)) {
        host = value;
      }
      if (port.empty() && std::strcmp(o->keyword, "port") == 0) port = value;
      if (db.empty() && std::strcmp(o->keyword, "dbname") == 0) db = value;
    }
    PQconninfoFree(options);
  }
  return "host=" + (host.empty() ? std::string("(default)") : FirstLine(host.c_str())) +
         " port=" + (port.empty() ? std::string("(default)") : FirstLine(port.c_str())) +
         " dbname=" + (db.empty() ? std::string("(default)") : FirstLine(db.c_str()));
}

bool Connect(PgLink& link) {
  // Defaults first: what the connection string says overrides them.
  const char* keys[] = {"connect_timeout", "application_name", "keepalives", "keepalives_idle",
                        "keepalives_interval", "keepalives_count", "dbname", nullptr};
  const char* values[] = {"10", "kova", "1", "60", "10", "6", g_connection.c_str(), nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 1);
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
    RecordProblem(Describe(conn) + ": cannot connect: " + FirstLine(conn ? PQerrorMessage(conn) : "out of memory"));
    PQfinish(conn);
    return false;
  }
  PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  PGresult* r = PQexec(conn, kSessionSetup);
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  if (!ok) RecordProblem(Describe(conn) + ": " + FirstLine(PQerrorMessage(conn)));
  PQclear(r);
  if (!ok) {
    PQfinish(conn);
    return false;
  }
  link.conn = conn;
  link.connection = g_connection;
  link.generation = ++g_generation;
  link.prepared.clear();
  link.broken = false;
  link.files = 0;
  link.failed = 0;
  return true;
}

void Disconnect(PgLink& link) {
  if (link.conn != nullptr) PQfinish(link.conn);
  link.conn = nullptr;
  link.prepared.clear();
  link.broken = false;
  link.files = 0;
  link.failed = 0;
}

bool Usable(const PgLink& link) { return link.conn != nullptr && !link.broken; }

void Collect(PGconn* conn) {
  if (conn == nullptr) return;
  while (PGnotify* n = PQnotifies(conn)) {
    g_notified.insert(n->extra != nullptr ? n->extra : "");
    PQfreemem(n);
  }
}

bool StateIs(const char* state, const char* code) { return state != nullptr && std::strcmp(state, code) == 0; }

// The shared failure reason of a server error code (SQLSTATE).
Failure Classify(const char* state) {
  if (StateIs(state, "23505")) return Failure::kDuplicate;
  if (StateIs(state, "55P03") || StateIs(state, "40P01") || StateIs(state, "40001") || StateIs(state, "57014")) {
    return Failure::kBusy;
  }
  if (StateIs(state, "53100")) return Failure::kDiskFull;
  if (StateIs(state, "42501") || StateIs(state, "25006")) return Failure::kPermission;
  if (StateIs(state, "42P01")) return Failure::kMissing;
  return Failure::kOther;
}

}  // namespace

void PgParams::Bool(bool v) {
  storage.emplace_back(1, v ? '\1' : '\0');
  types.push_back(16);
  values.push_back(storage.back().data());
  lengths.push_back(1);
}

void PgParams::Int4(std::int32_t v) {
  const std::uint32_t n = htonl(static_cast<std::uint32_t>(v));
  storage.emplace_back(reinterpret_cast<const char*>(&n), 4);
  types.push_back(23);
  values.push_back(storage.back().data());
  lengths.push_back(4);
}

void PgParams::Int8(std::int64_t v) {
  std::string bytes(8, '\0');
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((static_cast<std::uint64_t>(v) >> (56 - 8 * i)) & 0xFF);
  storage.push_back(bytes);
  types.push_back(20);
  values.push_back(storage.back().data());
  lengths.push_back(8);
}

void PgParams::Bytes(std::string_view v) {
  types.push_back(17);
  values.push_back(v.data() != nullptr ? v.data() : "");
  lengths.push_back(static_cast<int>(v.size()));
}

void PgParams::Text(const std::string& v) {
  types.push_back(25);
  values.push_back(v.c_str());
  lengths.push_back(static_cast<int>(v.size()));
}

const std::string& ServerConnection() { return g_connection; }
const std::string& ServerDataRoot() { return g_dataRoot; }

bool MainLink(PgLink*& link) {
  link = &g_main;
  if (Usable(g_main) && g_main.connection == g_connection) return true;
  Disconnect(g_main);
  // Change announcements come to the main link only.
  std::int16_t status = 0;
  if (!Connect(g_main) || !RunText(g_main, "LISTEN recman", status)) return false;
  PgResult r(PQexec(g_main.conn, "SELECT current_schema()"), PQclear);
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK || PQntuples(r.get()) != 1) {
    ResultStatus(g_main, r.get());
    return false;
  }
  g_main.schema = PQgetisnull(r.get(), 0, 0) ? "" : PQgetvalue(r.get(), 0, 0);
  return true;
}

bool TransactionLink(PgLink*& link) {
  link = &g_transaction;
  if (g_transaction.files > 0) return true;  // joins it (a broken one reports its failure)
  if (Usable(g_transaction) && g_transaction.connection == g_main.connection) return true;
  Disconnect(g_transaction);
  return Connect(g_transaction);
}

PgLink& CurrentMainLink() { return g_main; }
PgLink& CurrentTransactionLink() { return g_transaction; }

void CloseLinks() {
  // The server would drop the locks and the transaction only once it has
  // seen the connection close; here they are gone when Reset returns.
  std::int16_t ignored = 0;
  if (Usable(g_transaction) && g_transaction.files > 0) RunText(g_transaction, "ROLLBACK", ignored);
  if (Usable(g_main)) RunText(g_main, "SELECT pg_advisory_unlock_all()", ignored);
  Disconnect(g_transaction);
  Disconnect(g_main);
  g_notified.clear();
}

void AbandonLinks() {
  for (PgLink* link : {&g_main, &g_transaction}) {
    if (link->conn != nullptr) g_abandoned.push_back(link->conn);
    link->conn = nullptr;
    link->prepared.clear();
    link->files = 0;
    link->failed = 0;
  }
  g_notified.clear();
}

std::int16_t ResultStatus(PgLink& link, const PGresult* result) {
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const Failure failure = Classify(state);
  if (link.conn == nullptr || PQstatus(link.conn) == CONNECTION_BAD) {
    link.broken = true;
    RecordProblem(Describe(link.conn) + ": connection lost: " + FirstLine(link.conn ? PQerrorMessage(link.conn) : ""));
    return FailureStatus(Failure::kOther);
  }
  if (failure == Failure::kOther) {
    const char* message = result != nullptr ? PQresultErrorMessage(result) : PQerrorMessage(link.conn);
    RecordProblem(Describe(link.conn) + ": " + FirstLine(message));
  }
  return FailureStatus(failure);
}

void RecordProblem(const std::string& what) { g_problem = what; }
void ClearProblem() { g_problem.clear(); }

// The result of a statement just run: notifications taken, a failure turned
// into a status (null result).
PgResult Finish(PgLink& link, PGresult* raw, std::int16_t& status) {
  PgResult r(raw, PQclear);
  if (&link == &g_main) Collect(link.conn);
  const ExecStatusType st = PQresultStatus(r.get());
  if (st == PGRES_TUPLES_OK || st == PGRES_COMMAND_OK) {
    status = kStatusOk;
    return r;
  }
  status = ResultStatus(link, r.get());
  return PgResult(nullptr, PQclear);
}

PgResult RunPrepared(PgLink& link, const std::string& name, const std::string& sql, const PgParams& params,
                     std::int16_t& status) {
  status = kStatusOk;
  const int n = static_cast<int>(params.values.size());
  if (link.prepared.count(name) == 0) {
    PgResult prepared(PQprepare(link.conn, name.c_str(), sql.c_str(), n, params.types.data()), PQclear);
    if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
      status = ResultStatus(link, prepared.get());
      return PgResult(nullptr, PQclear);
    }
    link.prepared.insert(name);
  }
  std::vector<int> formats(params.values.size(), 1);
  return Finish(link,
                PQexecPrepared(link.conn, name.c_str(), n, params.values.data(), params.lengths.data(),
                               formats.data(), 1),
                status);
}

bool RunText(PgLink& link, const std::string& sql, std::int16_t& status) {
  return Finish(link, PQexec(link.conn, sql.c_str()), status) != nullptr;
}

PgResult RunParams(PgLink& link, const std::string& sql, const PgParams& params, std::int16_t& status) {
  std::vector<int> formats(params.values.size(), 1);
  return Finish(link,
                PQexecParams(link.conn, sql.c_str(), static_cast<int>(params.values.size()), params.types.data(),
                             params.values.data(), params.lengths.data(), formats.data(), 1),
                status);
}

bool RunCommand(PgLink& link, const std::string& sql, const PgParams& params, std::int16_t& status) {
  return RunParams(link, sql, params, status) != nullptr;
}

void TakeNotifications(std::vector<std::string>& tables) {
  if (Usable(g_main)) {
    if (PQconsumeInput(g_main.conn) == 0) {
      g_main.broken = true;
      RecordProblem(Describe(g_main.conn) + ": connection lost: " + FirstLine(PQerrorMessage(g_main.conn)));
    }
    Collect(g_main.conn);
  }
  tables.assign(g_notified.begin(), g_notified.end());
  g_notified.clear();
}

bool FieldNull(const PGresult* r, int row, int column) { return PQgetisnull(r, row, column) != 0; }

bool FieldBool(const PGresult* r, int row, int column) {
  return !FieldNull(r, row, column) && PQgetlength(r, row, column) >= 1 && PQgetvalue(r, row, column)[0] != 0;
}

std::int64_t FieldInt8(const PGresult* r, int row, int column) {
  if (FieldNull(r, row, column)) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(PQgetvalue(r, row, column));
  const int n = PQgetlength(r, row, column);
  std::uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  if (n == 4) return static_cast<std::int32_t>(v);
  return static_cast<std::int64_t>(v);
}

std::string_view FieldBytes(const PGresult* r, int row, int column) {
  return {PQgetvalue(r, row, column), static_cast<std::size_t>(PQgetlength(r, row, column))};
}

std::string QuoteName(const std::string& name) {
  std::string out = "\"";
  for (char ch : name) {
    if (ch == '"') out += '"';
    out += ch;
  }
  return out + "\"";
}

// ---- public settings (recman.h) -------------------------------------------
void UseServer(const std::string& connection, const std::string& dataRoot) {
  std::string root = os::HostPath(dataRoot);
  if (!root.empty() && root.back() != '/') root += '/';
  g_connection = connection;
  g_dataRoot = root;
  ClearProblem();
}

bool ServerInUse() { return !g_connection.empty(); }

std::string ServerProblem() { return g_problem; }

}  // namespace recman
