// The administration tool: shared declarations of its commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/recman/engine.h"
#include "platform/recman/recman.h"
#include "records/layouts.h"

namespace kap {

// ---- text: UTF-8 <-> CP850 (the console's table) ------------------------------------
// False (and `cp850` empty) when the text is not valid UTF-8 or holds a
// character the records cannot hold.
bool Utf8ToCp850(const std::string& utf8, std::string& cp850);
std::string Cp850ToUtf8(const std::string& cp850);
// The bytes of a filing file or NRC file as the agency and the bank read
// them (ISO 8859-1), control bytes shown as <0D>.
std::string Latin1ToUtf8(const std::string& bytes);

// ---- CSV (RFC 4180) -------------------------------------------------------------------
struct CsvRow {
  int line = 0;  // line of the file where the row starts (1-based)
  std::vector<std::string> fields;
};
// False with `error` set on a malformed file (unclosed quote, text after a
// closing quote).
bool ParseCsv(const std::string& text, std::vector<CsvRow>& rows, std::string& error);
// One row with its line end ("\n"); fields quoted where needed.
std::string CsvLine(const std::vector<std::string>& fields);

// ---- fields ---------------------------------------------------------------------------
// Puts the CSV value (UTF-8) into the record; false with a reason.
bool EncodeField(const records::FieldLayout& field, const std::string& value,
                 std::string& record, std::string& reason);
// The field of the record as its CSV value (UTF-8).
std::string DecodeField(const records::FieldLayout& field, const std::string& record);
// A record with every listed field at its empty value, other bytes zero.
std::string EmptyRecord(const records::TableLayout& table);
// Fields whose offset and length make up key 0, in key order.
std::vector<const records::FieldLayout*> KeyFields(const records::TableLayout& table, int key);
// Key `key` of a record, in record form.
std::string RecordKey(const records::TableLayout& table, int key, const std::string& record);

// ---- where the record files are ----------------------------------------------------------
// The server that DIR's Kova.ini names ([Dades] "Servidor", a libpq
// connection string), "" for the files of the data folder.
std::string ServerSetting(const std::string& dir);
// Opens and creates the record files of DIR from now on where its setting says.
void UseDataStore(const std::string& dir);

// ---- record files through the record manager ------------------------------------------
struct RecordFile {
  unsigned char pos[recman::kPositionBlockSize] = {};
  std::string path;  // host path of the file
  const records::TableLayout* table = nullptr;
  bool open = false;
};
// DIR + folder + "/" + base name + ".dat"
std::string TablePath(const std::string& dir, const records::TableLayout& table);
// Creates the file from its layout when missing (existing files are kept).
int CreateTable(const std::string& dir, const records::TableLayout& table);
int OpenTable(const std::string& dir, const records::TableLayout& table, RecordFile& file);
// Opens file.path as it is (no creation).
int OpenPath(RecordFile& file);
// True when the table's file exists (or cannot be told apart from one that does).
bool TableExists(const std::string& dir, const records::TableLayout& table);
void CloseTable(RecordFile& file);
// One record manager call on the open file: `data` is the data buffer (empty:
// 1536 bytes to receive), `key` the key buffer; both come back as returned.
int FileCall(RecordFile& file, int op, std::string& data, std::string& key, int keyNumber);
int InsertRecord(RecordFile& file, const std::string& record);
// Every record in key 0 order.
int ReadAll(RecordFile& file, std::vector<std::string>& records);
// Reads the record with `key` (key 0, record form), optionally locking it.
int GetEqual(RecordFile& file, const std::string& key, bool lock, std::string& record);
// Deletes the record with key 0 value `key`.
int DeleteByKey(RecordFile& file, const std::string& key);

// Writes `records` into the open file, all or nothing: with `replace` the
// file's records are replaced. The caller holds the file lock. On failure
// the file is put back as it was and `error` tells why.
bool StoreAll(RecordFile& file, const std::vector<std::string>& records, bool replace,
              std::string& error);

// ---- commands (exit codes) ----------------------------------------------------------------
int CmdInit(const std::vector<std::string>& args);
int CmdLoad(const std::vector<std::string>& args);
int CmdDump(const std::vector<std::string>& args);
int CmdDemo(const std::vector<std::string>& args);
int CmdLock(const std::vector<std::string>& args);
int CmdCopy(const std::vector<std::string>& args);
int CmdRun303(const std::vector<std::string>& args);
int CmdShow303(const std::vector<std::string>& args);
int CmdCheck303(const std::vector<std::string>& args);
int CmdHistory(const std::vector<std::string>& args);

// A filing file field by field, checked (kap show303): `quarter` is a
// folder whose name gives the file's year and quarter (303M<year>.<quarter>T;
// any other: none), `dataRoot` the data folder whose language the messages
// take. Exit code 0 when it is right, 1 when not.
int ShowFilingFile(const std::string& file, const std::string& quarter, const std::string& dataRoot);

// A help topic's text (UTF-8 lines, "{h}", "{u}", "{r}" switching highlight,
// underline and reverse) as the help viewer's records of 80 CP850 bytes.
// False with `error` naming the line that cannot be laid out.
bool HelpRecords(const std::string& utf8, std::string& records, std::string& error);

// The texts of the return in the office's language: [Usuari] Idioma of the
// data folder's Kova.ini when the folder has the catalogue, else Catalan.
// Nothing in the folder is written.
void UseOfficeLanguage(const std::string& dir);
// kap run303 without KAPTMP: a new folder of the run's own becomes TmpDir
// (the spool's folder), the output setting's default file staying in DIR.
// Returns the folder, "" when it could not be made (TmpDir is then kept).
std::string UseOwnSpoolFolder();
// Removes that folder with the files in it ("" does nothing).
void RemoveOwnSpoolFolder(const std::string& folder);

// A date argument YYYYMMDD that is a real day.
bool IsDateArg(const std::string& text);
// Directory argument with a trailing "/".
std::string DirArg(const std::string& dir);
// Message on standard error, prefixed "kap: ".
void Error(const std::string& text);
// What a record-manager status means, in words, with the status after it:
// "the record is locked by another user (status 84)".
std::string StatusText(int status);

}  // namespace kap
