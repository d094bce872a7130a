// Where a print run lands: the device named by the terminal's output setting
// ([Sistema] Sortida, the spool's "DEVICE" line) as a kind and a destination.
//   "PDF" or "PDF:path"   a PDF file (default TmpDir + "informe.pdf")
//   "TXT" or "TXT:path"   a plain text file (default TmpDir + "informe.txt")
//   ""                    the default PDF
//   anything else         the name of a printer queue of the system spooler
// The keywords are taken in any letter case; blanks around the device and
// the path are ignored (tabs and other control characters count as blanks).
#pragma once

#include <string>

namespace output {

enum class PrintKind { Pdf, Text, Printer };

struct PrintTarget {
  PrintKind kind = PrintKind::Pdf;
  std::string path;   // the file written (Pdf, Text)
  std::string queue;  // the printer queue (Printer)
};

// The device of an output setting as the spool's "DEVICE" line carries it
// and the print program reads it: control characters made blanks, blanks
// around removed.
std::string DeviceName(const std::string& setting);

// `device` is the output setting, i.e. the text after "DEVICE" in the spool.
PrintTarget PrintDestination(const std::string& device);

}  // namespace output
