// A second process for the record manager lock tests. Reads one command a
// line from stdin and answers each with the status on one line of stdout:
//   open PATH [MODE]   read OP KEY   insert KEY   stat   create PATH
//   exclusive PATH   unexclusive PATH   reset   close   quit
//   use CONNECTION     (the rest of the line: files on that server from now on)
//   write OP LENGTH TEXT   (Insert, Update or Delete with TEXT zero-padded to LENGTH bytes)
// insert writes a record holding KEY at its start (the rest zero); create
// makes a file of 16-byte records with one unique 4-byte key.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/recman/engine.h"
#include "platform/recman/recman.h"

int main() {
  unsigned char pos[recman::kPositionBlockSize] = {};
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string cmd, arg;
    in >> cmd;
    int status = 0;
    char data[1536] = {};
    char key[255] = {};
    std::uint32_t len = sizeof data;
    if (cmd == "open") {
      int mode = 0;
      in >> arg >> mode;
      std::strncpy(key, arg.c_str(), sizeof key - 1);
      std::memset(pos, 0, sizeof pos);
      status = recman::BTRCALL(recman::kOpOpen, pos, data, &len, key, 255, static_cast<std::int8_t>(mode));
    } else if (cmd == "read") {
      int op = 0;
      in >> op >> arg;
      std::strncpy(key, arg.c_str(), sizeof key - 1);
      status = recman::BTRCALL(op, pos, data, &len, key, 255, 0);
    } else if (cmd == "insert") {
      in >> arg;
      std::strncpy(data, arg.c_str(), sizeof data - 1);
      status = recman::BTRCALL(recman::kOpInsert, pos, data, &len, key, 255, 0);
    } else if (cmd == "stat") {
      status = recman::BTRCALL(recman::kOpStat, pos, data, &len, key, 255, 0);
    } else if (cmd == "create") {
      in >> arg;
      std::strncpy(key, arg.c_str(), sizeof key - 1);
      const unsigned char spec[32] = {16, 0, 0, 16, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      1, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
      std::memcpy(data, spec, sizeof spec);
      status = recman::BTRCALL(recman::kOpCreate, pos, data, &len, key, 255, -1);
    } else if (cmd == "exclusive") {
      in >> arg;
      status = recman::LockFileExclusive(arg) ? 0 : 85;
    } else if (cmd == "unexclusive") {
      in >> arg;
      recman::UnlockFileExclusive(arg);
    } else if (cmd == "use") {
      std::string rest;
      std::getline(in, rest);
      recman::UseServer(rest.empty() ? rest : rest.substr(1), "");
    } else if (cmd == "write") {
      int op = 0;
      in >> op >> len >> arg;
      std::strncpy(data, arg.c_str(), sizeof data - 1);
      status = recman::BTRCALL(op, pos, data, &len, key, 255, 0);
    } else if (cmd == "reset") {
      status = recman::BTRCALL(recman::kOpReset, pos, nullptr, &len, nullptr, 0, 0);
    } else if (cmd == "close") {
      status = recman::BTRCALL(recman::kOpClose, pos, nullptr, &len, nullptr, 0, 0);
    } else if (cmd == "quit") {
      break;
    } else {
      status = -1;
    }
    std::cout << status << std::endl;
  }
  std::uint32_t len = 0;
  recman::BTRCALL(recman::kOpReset, pos, nullptr, &len, nullptr, 0, 0);
  return 0;
}
