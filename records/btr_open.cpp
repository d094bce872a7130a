// Opening a record file: entry, path and extension, creation from the
// template, waiting while another user holds the file, and the stop when the
// file cannot be opened.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "settings/config.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/open_file_table.h"
#include "screen/keys.h"
#include "screen/windows.h"

namespace records {
namespace {

struct SplitName {
  std::string path;      // directory + base name + extension
  std::string baseName;  // for the template
};

// The extension runs from the first dot of the last path component; without
// a dot it is ".dat".
SplitName Split(const std::string& name) {
  std::string directory;
  std::string base = name;
  std::string extension;
  for (std::size_t i = name.size(); i-- > 0;) {
    char c = name[i];
    if (c == ':' || c == '\\' || c == '/') {
      directory = name.substr(0, i + 1);
      base = base.substr(i + 1);
      break;
    }
    if (c == '.') {
      base = name.substr(0, i);
      extension = name.substr(i);
    }
  }
  if (extension.empty()) extension = ".dat";
  return {directory + base + extension, base};
}

// The owner name of the program's data files, put together at run time.
void OwnerName(char (&owner)[5]) {
  owner[0] = 'K';
  owner[1] = 'V';
  owner[2] = '0';
  owner[3] = '3';
  owner[4] = '\0';
}

int OpenCall(detail::FileEntry& entry, const std::string& path) {
  char owner[5];
  OwnerName(owner);
  unsigned char key[256] = {};
  std::memcpy(key, path.data(), path.size());
  std::uint32_t length = 5;
  return recman::BTRCALL(0, entry.positionBlock, owner, &length, key, 255, 0);
}

int CreateCall(detail::FileEntry& entry, const std::string& path, const std::string& baseName) {
  // A template that is missing or shorter than its length word leaves the
  // buffer empty, so Create refuses it instead of building a file from a
  // cut definition.
  unsigned char spec[detail::kCallBufferSize] = {};
  std::string bytes;
  if (os::ReadFile(settings::DataRoot + "ddf\\" + baseName + ".xdf", bytes) && bytes.size() >= 2) {
    int n = detail::Get16(bytes, 0);
    std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (count <= bytes.size() - 2) {
      count = std::min(count, static_cast<std::size_t>(detail::kCallBufferSize));
      std::memcpy(spec, bytes.data() + 2, count);
    }
  }
  unsigned char key[256] = {};
  std::memcpy(key, path.data(), path.size());
  std::uint32_t length = detail::kCallBufferSize;
  return recman::BTRCALL(14, entry.positionBlock, spec, &length, key, 255, -1);
}

// Before the first file is opened: the record store that the office's
// settings name, [Dades] "Servidor" of Kova.ini (a connection string), or
// the files of the data folder when it is empty or absent.
void ChooseRecordStore() {
  for (int i = 1; i <= detail::kTableSize; ++i) {
    if (detail::Entry(i).fileNumber != 0) return;
  }
  std::string server = settings::IniRead(settings::UserSettingsFile(), "Dades", "Servidor");
  const std::size_t first = server.find_first_not_of(" \t");
  server = first == std::string::npos ? "" : server.substr(first, server.find_last_not_of(" \t") - first + 1);
  recman::UseServer(server, settings::DataRoot);
}

[[noreturn]] void OpenFailed(const std::string& name, int status) {
  std::string text = OpenFailureText(name, status);
  // On a server, which one and why (never its password).
  const std::string problem = recman::ServerProblem();
  if (!problem.empty()) text += " - SERVIDOR " + problem;
  detail::ShowMessage(12, text);
  console::Beep();
  screen::FlushKeys();
  int key = 0;
  screen::WaitKey(key);
  screen::WindowPop();
  StopProgram();
}

// The interactive program ends with 0 after an open failure, as it always
// has; a batch run says with its exit code that it could not run.
int stopExitCode = 0;

void CloseFilesAtEnd() {
  int status = 0;
  BtrCloseAll(status);
}

}  // namespace

std::string OpenFailureText(const std::string& name, int status) {
  static const std::string spa = "NO SE PUEDE ACCEDER AL FICHERO ";
  static const std::string glg = "NOM SE PODE ACEDER AO FICHEIRO ";
  static const std::string oci = "NON SE P\xE3T ACCEDIR ATH FICH\xD4R ";
  static const std::string cat = "NO ES POT ACCEDIR AL FITXER ";
  return detail::LanguageText(spa, glg, oci, cat) + HostFileName(name) + " (" + std::to_string(status) + ")";
}

std::string HostFileName(const std::string& name) {
  const std::string host = os::HostPath(name);
  if (!host.empty() && host[0] == '/') return host;
  return os::CurrentDir() + host;
}

void SetStopExitCode(int code) { stopExitCode = code; }

std::string StoreProblem() { return recman::ServerProblem(); }

void StopProgram() {
  int status = 0;
  BtrCloseAll(status);
  os::EndProgram(stopExitCode);
}

void BtrOpen(int fileNumber, const std::string& name, std::string& record, int& status) {
  // 0 marks a free entry: it names no file and could never be found again.
  if (fileNumber == 0) {
    status = 1002;
    return;
  }
  int freeIndex = 0;
  if (detail::FindEntry(fileNumber, &freeIndex) != 0) {
    status = 1002;
    return;
  }
  if (freeIndex == 0) {
    status = 1003;
    return;
  }
  ChooseRecordStore();
  // However the program ends (its terminal gone, a stop), the files are
  // closed first, so other terminals get their locks back at once.
  os::AtProgramEnd(CloseFilesAtEnd);
  detail::FileEntry& entry = detail::Entry(freeIndex);
  detail::ClearEntry(entry);
  entry.fileNumber = fileNumber;
  entry.record = &record;

  SplitName split = Split(name);
  // The key buffer carries the path and its terminating zero in 255 bytes.
  if (split.path.size() > 254) {
    detail::ClearEntry(entry);
    OpenFailed(name, 11);
  }
  bool createTried = false;
  for (;;) {
    status = OpenCall(entry, split.path);
    if (status == 85) {
      os::SleepMs(3000);
      screen::EndIfTerminalGone();
      continue;
    }
    if (status == 12 && !createTried) {
      createTried = true;
      int created = CreateCall(entry, split.path, split.baseName);
      // 59: another terminal created the file between our open and our
      // create; it is there now, so the open is simply tried again.
      if (created == 0 || created == 59) continue;
      status = created;
    }
    break;
  }
  if (status != 0) {
    detail::ClearEntry(entry);
    OpenFailed(name, status);
  }
  int keyLength = 0;
  int recordLength = 0;
  BtrKeyInfo(fileNumber, 0, keyLength, recordLength);
  entry.keyValue.assign(static_cast<std::size_t>(keyLength), '\0');
  entry.recordLength = std::min(recordLength, detail::kCallBufferSize);
  record.resize(static_cast<std::size_t>(entry.recordLength), '\0');
}

}  // namespace records
