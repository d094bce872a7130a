// Refused writes for tests on the database files (see fault_vfs.cpp).
#pragma once

namespace recman {

// Wraps SQLite's file layer once a refused-writes plan of the os layer is
// set; does nothing otherwise. Called before a database file is opened.
void UseFaultVfsIfPlanned();

}  // namespace recman
