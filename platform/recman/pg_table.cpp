#include "platform/recman/pg_table.h"

#include <cstdio>

#include "platform/os/os.h"
#include "platform/recman/pg_link.h"

namespace recman {

namespace {

constexpr std::size_t kMaxName = 63;  // longer identifiers are cut by the server

std::map<std::string, PgTable*> g_tables;

std::uint64_t Fnv64(const std::string& s) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char ch : s) h = (h ^ ch) * 1099511628211ull;
  return h;
}

std::string Hex(std::uint64_t v, int digits) {
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%0*llx", digits, static_cast<unsigned long long>(v));
  return buffer;
}

std::string KeyColumn(int key) { return "k" + std::to_string(key); }

// The columns that order key `key`: the key, then the row id for duplicates.
std::string Order(const PgTable& t, int key, bool down) {
  const std::string k = KeyColumn(key);
  const std::string dir = down ? " DESC" : "";
  if (!t.def.keys[key].duplicates) return k + dir;
  return k + dir + ", id" + dir;
}

// The file lock test of a statement: passes when this process holds the file
// lock itself, or when nobody else does (a shared lock until the end of the
// statement's transaction).
constexpr const char* kFileGate =
    "CASE WHEN $1 THEN true ELSE pg_try_advisory_xact_lock_shared($2, 0) END";
// The record lock test of a write: the same with the record's own lock.
constexpr const char* kRecordGate = "CASE WHEN $3 THEN true ELSE pg_try_advisory_xact_lock($2, $4::int4) END";

}  // namespace

std::string RelativePath(const std::string& path) {
  std::string name = os::HostPath(path);
  const std::string& root = ServerDataRoot();
  if (!root.empty() && name.compare(0, root.size(), root) == 0) name.erase(0, root.size());
  while (name.compare(0, 2, "./") == 0 || name.compare(0, 1, "/") == 0) name.erase(0, name[0] == '.' ? 2 : 1);
  return name;
}

std::string TableName(const std::string& path) {
  std::string name = RelativePath(path);
  for (char& ch : name) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".dat") == 0) name.resize(name.size() - 4);
  if (name.size() > kMaxName) name = name.substr(0, kMaxName - 17) + "~" + Hex(Fnv64(name), 16);
  return name;
}

std::map<std::string, PgTable*>& Tables() { return g_tables; }

PgTable* FindTable(const std::string& schema, const std::string& name) {
  const std::string qualified = schema + "." + name;
  PgTable*& table = g_tables[qualified];
  if (table == nullptr) {
    table = new PgTable;
    table->name = name;
    table->qualified = qualified;
    table->quoted = QuoteName(name);
    table->lockKey = static_cast<std::int32_t>(static_cast<std::uint32_t>(Fnv64(qualified)));
  }
  return table;
}

void DropTableIfUnused(PgTable* table) {
  if (table == nullptr || table->files > 0 || table->exclusive > 0 || !table->recordLocks.empty()) return;
  g_tables.erase(table->qualified);
  delete table;
}

void SetTableDefinition(PgTable& table, const FileDef& def, const std::string& spec) {
  const std::string tag = Hex(Fnv64(table.name + '\0' + spec), 16);
  if (tag == table.tag) return;
  table.def = def;
  table.tag = tag;
  table.statValid = false;
}

std::string ReadName(const PgTable& t, int key, PgRead q, bool lock) {
  return "r" + t.tag + "_" + std::to_string(key) + "_" + std::to_string(static_cast<int>(q)) + (lock ? "l" : "");
}

std::string ReadSql(const PgTable& t, int key, PgRead q, bool lock) {
  const std::string k = KeyColumn(key);
  const bool dup = t.def.keys[key].duplicates;
  std::string where;
  bool down = false;
  switch (q) {
    case kPgEqual: where = k + " = $4"; break;
    case kPgGreater: where = k + " > $4"; break;
    case kPgGreaterOrEqual: where = k + " >= $4"; break;
    case kPgLess: where = k + " < $4"; down = true; break;
    case kPgLessOrEqual: where = k + " <= $4"; down = true; break;
    case kPgFirst: where = "true"; break;
    case kPgLast: where = "true"; down = true; break;
    case kPgNext: where = dup ? "(" + k + ", id) > ($4, $5)" : k + " > $4"; break;
    case kPgPrevious: where = dup ? "(" + k + ", id) < ($4, $5)" : k + " < $4"; down = true; break;
    case kPgRow: where = "id = $5"; break;
  }
  std::string sql = "SELECT g.ok, g.released, r.id, r.data, r." + k;
  if (lock) sql += ", CASE WHEN r.id IS NULL THEN NULL ELSE pg_try_advisory_lock($2, r.id::int4) END";
  sql += std::string(" FROM (SELECT ") + kFileGate +
         " AS ok, CASE WHEN $3 = 0 THEN NULL ELSE pg_advisory_unlock($2, $3) END AS released) g"
         " LEFT JOIN LATERAL (SELECT id, data, " + k + " FROM " + t.quoted + " WHERE g.ok AND " + where +
         " ORDER BY " + Order(t, key, down) + " LIMIT $6) r ON true";
  return sql;
}

std::string InsertSql(const PgTable& t) {
  std::string columns = "data", values = "$3";
  for (std::size_t k = 0; k < t.def.keys.size(); ++k) {
    columns += ", " + KeyColumn(static_cast<int>(k));
    values += ", $" + std::to_string(k + 4);
  }
  return std::string("WITH g AS MATERIALIZED (SELECT ") + kFileGate + " AS ok), i AS (INSERT INTO " + t.quoted +
         " (" + columns + ") SELECT " + values + " FROM g WHERE g.ok ON CONFLICT DO NOTHING RETURNING id)"
         " SELECT g.ok, (SELECT id FROM i) FROM g";
}

std::string UpdateSql(const PgTable& t) {
  std::string kept = "true", duplicate = "false", sets = "data = $5";
  for (std::size_t k = 0; k < t.def.keys.size(); ++k) {
    const KeyDef& kd = t.def.keys[k];
    const std::string column = KeyColumn(static_cast<int>(k));
    const std::string param = "$" + std::to_string(k + 6);
    sets += ", " + column + " = " + param;
    if (!kd.duplicates) {
      duplicate += " OR EXISTS (SELECT 1 FROM " + t.quoted + " d WHERE d." + column + " = " + param +
                   " AND d.id <> $4)";
    }
    if (kd.modifiable) continue;
    for (const Segment& seg : kd.segments) {
      const std::string range = " FROM " + std::to_string(seg.offset + 1) + " FOR " + std::to_string(seg.length) + ")";
      kept += " AND substring(o.data" + range + " = substring($5" + range;
    }
  }
  return std::string("WITH g AS MATERIALIZED (SELECT ") + kFileGate + " AS fok, " + kRecordGate +
         " AS rok), c AS MATERIALIZED (SELECT g.fok, g.rok, (SELECT " + kept + " FROM " + t.quoted +
         " o WHERE o.id = $4) AS kept, (" + duplicate + ") AS dup FROM g), u AS (UPDATE " + t.quoted +
         " w SET " + sets + " FROM c WHERE w.id = $4 AND c.fok AND c.rok AND c.kept AND NOT c.dup RETURNING w.id)"
         " SELECT c.fok, c.rok, c.kept, c.dup, (SELECT count(*) FROM u) FROM c";
}

std::string DeleteSql(const PgTable& t) {
  return std::string("WITH g AS MATERIALIZED (SELECT ") + kFileGate + " AS fok, " + kRecordGate +
         " AS rok), d AS (DELETE FROM " + t.quoted +
         " w USING g WHERE w.id = $4 AND g.fok AND g.rok RETURNING w.id) SELECT g.fok, g.rok, (SELECT count(*) FROM d)"
         " FROM g";
}

std::string CountSql(const PgTable& t) {
  std::string sql = "SELECT count(*)";
  for (std::size_t k = 0; k < t.def.keys.size(); ++k) {
    if (t.def.keys[k].duplicates) sql += ", count(DISTINCT " + KeyColumn(static_cast<int>(k)) + ")";
  }
  return sql + " FROM " + t.quoted;
}

std::string CreateTableSql(const std::string& quoted, const FileDef& def) {
  std::string sql = "CREATE TABLE " + quoted +
                    " (id bigint GENERATED ALWAYS AS IDENTITY (MAXVALUE 2147483647) PRIMARY KEY, data bytea NOT NULL";
  for (std::size_t k = 0; k < def.keys.size(); ++k) sql += ", " + KeyColumn(static_cast<int>(k)) + " bytea NOT NULL";
  sql += ");";
  for (std::size_t k = 0; k < def.keys.size(); ++k) {
    const std::string column = KeyColumn(static_cast<int>(k));
    sql += def.keys[k].duplicates ? " CREATE INDEX ON " + quoted + " (" + column + ", id);"
                                  : " CREATE UNIQUE INDEX ON " + quoted + " (" + column + ");";
  }
  sql += " CREATE TRIGGER recman_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON " + quoted +
         " FOR EACH STATEMENT EXECUTE FUNCTION recman_changed();";
  return sql;
}

}  // namespace recman
