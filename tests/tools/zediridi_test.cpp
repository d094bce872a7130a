// The print program ZEDIRIDI, run as a program on spools written by hand:
// PDF (checked with poppler's pdftotext and pdfinfo), text, a printer queue
// through a stand-in lp, the desktop viewer, and damaged spools.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/console/console.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"
#include "tests/tools/kap_run.h"

namespace {

using testsupport::Cp850;

const std::string kTitle =
    "RELACI\xC3\x93 D'I.V.A. A PRESENTAR DES DEL PROPIETARI 1 AL 9999 A 31/03/2024 (UN TERRITORI DE NOM MOLT LLARG)";

// The report's line kinds: heading in elite with a title longer than 96
// columns (its column below 1), column headings and rules in condensed,
// accents, box-drawing characters and the euro sign (0xD5), two pages.
std::string ReportSpool(const std::string& device) {
  const std::vector<std::string> lines = {
      "DEVICE" + device,
      "PAGE 66 ",
      "*@e",
      Cp850(" 1 ,JOSEP GÜELL I PUJOL, 0 "),
      "JUSD",
      Cp850(" 85 ,PÀGINA    1, 2 "),
      Cp850(" -7 ," + kTitle + ", 2 "),
      "*q",
      " 1 ,CODI, 0 ",
      " 6 ,PROPIETARI, 0 ",
      "JUSD",
      " 53 ,  REPERCUTIT , 0 ",
      " 123 ,       SALDO , 1 ",
      " 1 ," + std::string(134, '-') + ", 1 ",
      "JUSE",
      " 1 ,   1, 0 ",
      Cp850(" 6 ,MARIA ÀNGELS DOMÈNECH, 0 "),
      "JUSN 12 \\ZZZ9\\",
      Cp850(" 53 ,┌───┐ │x│ ") + "\xD5" + ", 1 ",
      Cp850(" 7 ,*** no té NIF; no el podeu presentar ***, 1 "),
      "PAGE 66 ",
      "*@e",
      Cp850(" 1 ,JOSEP GÜELL I PUJOL, 0 "),
      Cp850(" 85 ,PÀGINA    2, 2 "),
      "*q",
      " 6 ,TOTALS, 0 ",
      " 123 ,       1.234'56 , 1 ",
  };
  std::string s;
  for (const std::string& l : lines) s += l + "\r\n";
  return s;
}

struct Outcome {
  int code = -1;
  std::string err;
};

class ZediridiTest : public ::testing::Test {
 protected:
  testsupport::TempDir work;
  std::string bin;  // folder of stand-in programs

  void SetUp() override {
    bin = work.path + "bin/";
    ASSERT_TRUE(os::MakeDir(bin));
  }

  std::string Spool() const { return work.path + "zediridi.tmp"; }
  std::string ErrFile() const { return work.path + "zediridi.err"; }

  // Runs ZEDIRIDI with the work folder as KAPTMP; `env` adds variables
  // (PATH, DISPLAY) in shell syntax.
  Outcome Zediridi(const std::string& env = "") {
    const std::string line = "env -u DISPLAY -u WAYLAND_DISPLAY KAPROOT=" + testsupport::ShellQuote(work.path) +
                             " KAPTMP=" + testsupport::ShellQuote(work.path) + " " + env + " " +
                             testsupport::ShellQuote(testsupport::BinDir() + "ZEDIRIDI") + " 2>" + testsupport::ShellQuote(work.path + "stderr.txt");
    Outcome r;
    r.code = os::RunShell(line);
    os::ReadFile(work.path + "stderr.txt", r.err);
    return r;
  }

  std::string Tool(const std::string& commandLine) {
    const std::string out = work.path + "tool.txt";
    os::RunShell(commandLine + " >" + testsupport::ShellQuote(out) + " 2>/dev/null");
    std::string text;
    os::ReadFile(out, text);
    return text;
  }

  void Script(const std::string& name, const std::string& body) {
    const std::string path = bin + name;
    ASSERT_TRUE(os::WriteFile(path, "#!/bin/sh\n" + body));
    ::chmod(path.c_str(), 0755);
  }
};

TEST_F(ZediridiTest, PdfOnLandscapeA4WithAccentsAndTwoPages) {
  ASSERT_TRUE(os::WriteFile(Spool(), ReportSpool("PDF")));
  const Outcome r = Zediridi();
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string pdf = work.path + "informe.pdf";
  ASSERT_TRUE(os::FileExists(pdf));
  EXPECT_TRUE(os::FileExists(Spool()));     // the spool stays
  EXPECT_FALSE(os::FileExists(ErrFile()));

  EXPECT_EQ(os::RunShell("qpdf --check " + testsupport::ShellQuote(pdf) + " >/dev/null"), 0);
  EXPECT_EQ(testsupport::CommandOutput("pdftotext " + testsupport::ShellQuote(pdf) + " /dev/null 2>&1"), "");  // a valid ToUnicode map
  const std::string info = Tool("pdfinfo " + testsupport::ShellQuote(pdf));
  EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
  EXPECT_NE(info.find("Page size:       841.89 x 595.276 pts (A4)"), std::string::npos) << info;

  const std::string text = Tool("pdftotext -layout " + testsupport::ShellQuote(pdf) + " -");
  for (const std::string& want : {std::string("JOSEP GÜELL I PUJOL"), std::string("PÀGINA"),
                                  std::string("MARIA ÀNGELS DOMÈNECH"), std::string("┌───┐ │x│ €"),
                                  std::string("*** no té NIF; no el podeu presentar ***"), std::string("TOTALS")})
    EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
  EXPECT_NE(text.find("\n" + kTitle), std::string::npos) << "the title starts at column 1\n" << text;
  EXPECT_NE(text.find(std::string(134, '-')), std::string::npos);
  const std::size_t feed = text.find('\f');
  ASSERT_NE(feed, std::string::npos);
  EXPECT_NE(text.find("PÀGINA", feed), std::string::npos);
  EXPECT_NE(text.find("TOTALS", feed), std::string::npos);
  EXPECT_EQ(text.find("TOTALS"), text.find("TOTALS", feed));  // on the second page only

  // Every word lies on the sheet.
  const std::string boxes = Tool("pdftotext -bbox " + testsupport::ShellQuote(pdf) + " -");
  double rightmost = 0;
  for (std::size_t at = boxes.find("xMax=\""); at != std::string::npos; at = boxes.find("xMax=\"", at + 1))
    rightmost = std::max(rightmost, std::stod(boxes.substr(at + 6)));
  EXPECT_GT(rightmost, 700.0);
  EXPECT_LE(rightmost, 841.89 - 10);
}

// Every character the program shows (printable ASCII and the upper half of
// its code page, 0xD5 the euro sign) comes back unchanged from kap load and
// dump, the console's table and the printed report.
TEST_F(ZediridiTest, EveryShownCharacterGoesThroughLoadDumpScreenAndReport) {
  std::string shown =  // 0x80 to 0xFE, then 0x21 to 0x7E
      "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜø£Ø×ƒáíóúñÑªº¿®¬½¼¡«»░▒▓│┤ÁÂÀ©╣║╗╝¢¥┐└┴┬├─┼ãÃ╚╔╩╦╠═╬¤ðÐÊËÈ€ÍÎÏ┘┌█▄¦Ì▀"
      "ÓßÔÒõÕµþÞÚÛÙýÝ¯´\u00AD±‗¾¶§÷¸°¨·¹³²■";
  std::string bytes;
  for (int b = 0x80; b < 0xFF; ++b) bytes += static_cast<char>(b);
  for (char c = 0x21; c < 0x7F; ++c) bytes += c, shown += c;
  ASSERT_EQ(console::Cp850ToUtf8(bytes), shown);  // the screen's table
  // Owners named with them, 40 at a time, as a CSV in the form kap dumps it; the spool prints them.
  std::string csv = "OwnerCode,OwnerName,OwnerAccount,OwnerStatus,RegimeDate,RegimeCode,OwnerTaxId\n";
  std::string spool = "DEVICETXT\r\nPAGE 66 \r\n", names;
  for (std::size_t at = 0; at < bytes.size(); at += 40) {
    const std::string name = console::Cp850ToUtf8(bytes.substr(at, 40));
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? "\"\"" : std::string(1, c);
    csv += "000" + std::to_string(at / 40 + 1) + "," + (name.find_first_of(",\"") == std::string::npos ? name : quoted + "\"") + ",,0,,,\n";
    spool += " 1 ," + bytes.substr(at, 40) + ", 1 \r\n";
    names += name + "\n";
  }
  const std::string tree = work.path + "tree";
  ASSERT_TRUE(kaptest::RunKap(work.path, {"init", tree}).code == 0 && os::WriteFile(work.path + "owners.csv", csv));
  ASSERT_EQ(kaptest::RunKap(work.path, {"load", tree, "VPropiet", work.path + "owners.csv"}).code, 0);
  EXPECT_EQ(kaptest::RunKap(work.path, {"dump", tree, "VPropiet"}).out, csv);

  ASSERT_TRUE(os::WriteFile(Spool(), spool));
  ASSERT_EQ(Zediridi().code, 0);
  EXPECT_EQ(Tool("cat " + testsupport::ShellQuote(work.path + "informe.txt")), names);
  ASSERT_TRUE(os::WriteFile(Spool(), "DEVICEPDF" + spool.substr(9)));
  ASSERT_EQ(Zediridi().code, 0);
  EXPECT_EQ(Tool("pdftotext -layout " + testsupport::ShellQuote(work.path + "informe.pdf") + " -"), names + "\f");
}

// A spool without pages (a filing run's, or a report without a line) makes
// nothing on any device: the earlier report stays.
TEST_F(ZediridiTest, ASpoolWithoutPagesLeavesTheEarlierReport) {
  for (const std::string device : {"PDF", "TXT", "Oficina_2"}) {
    ASSERT_TRUE(os::WriteFile(Spool(), "DEVICE" + device + "\r\nPAGE 66 \r\n 1 ,   , 2 \r\nPAGE 66 \r\n"));
    ASSERT_TRUE(os::WriteFile(work.path + "informe.pdf", "old") && os::WriteFile(work.path + "informe.txt", "old"));
    EXPECT_EQ(Zediridi().code, 3) << device;
    EXPECT_EQ(Tool("cat " + testsupport::ShellQuote(work.path + "informe.pdf") + " " + testsupport::ShellQuote(work.path + "informe.txt")), "oldold");
  }
}

TEST_F(ZediridiTest, TextFileWithFormFeeds) {
  const std::string out = work.path + "out/report.txt";
  ASSERT_TRUE(os::MakeDir(work.path + "out"));
  ASSERT_TRUE(os::WriteFile(Spool(), ReportSpool("TXT:" + out)));
  const Outcome r = Zediridi();
  ASSERT_EQ(r.code, 0) << r.err;
  std::string text;
  ASSERT_TRUE(os::ReadFile(out, text));
  const std::string holder = "JOSEP GÜELL I PUJOL" + std::string(65, ' ');  // to column 84
  const std::string expected =
      holder + "PÀGINA    1\n"
      "\n" +
      kTitle + "\n"
      "\n"
      "CODI PROPIETARI" + std::string(37, ' ') + "  REPERCUTIT " + std::string(57, ' ') + "       SALDO\n" +
      std::string(134, '-') + "\n"
      "   1 MARIA ÀNGELS DOMÈNECH" + std::string(26, ' ') + "┌───┐ │x│ €\n"
      "      *** no té NIF; no el podeu presentar ***\n"
      "\f" + holder + "PÀGINA    2\n"
      "\n"
      "     TOTALS" + std::string(111, ' ') + "       1.234'56\n";
  EXPECT_EQ(text, expected);
  EXPECT_FALSE(os::FileExists(work.path + "informe.pdf"));
}

TEST_F(ZediridiTest, PrinterQueueThroughLp) {
  ASSERT_TRUE(os::WriteFile(Spool(), ReportSpool("Oficina_2")));
  // The stand-in lp keeps its arguments and the file it was given.
  Script("lp", "echo \"$@\" > " + testsupport::ShellQuote(work.path + "lp.args") + "\n/bin/cp \"$3\" " +
                   testsupport::ShellQuote(work.path + "lp.pdf") + "\necho 'request id is Oficina_2-1 (1 file(s))'\n");
  Outcome r = Zediridi("PATH=" + testsupport::ShellQuote(bin) + ":/usr/bin:/bin");
  ASSERT_EQ(r.code, 0) << r.err;
  std::string args, sent;
  ASSERT_TRUE(os::ReadFile(work.path + "lp.args", args));
  EXPECT_EQ(args.substr(0, 13), "-d Oficina_2 ");
  ASSERT_TRUE(os::ReadFile(work.path + "lp.pdf", sent));
  EXPECT_EQ(sent.substr(0, 5), "%PDF-");
  EXPECT_FALSE(os::FileExists(args.substr(13, args.size() - 14)));  // the temporary PDF is gone
  EXPECT_FALSE(os::FileExists(work.path + "informe.pdf"));

  // A queue that refuses the job: lp's reason in the message, non-zero exit.
  Script("lp", "echo 'lp: The printer or class does not exist.' >&2\nexit 1\n");
  r = Zediridi("PATH=" + testsupport::ShellQuote(bin) + ":/usr/bin:/bin");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Oficina_2"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;

  // No lp at all.
  r = Zediridi("PATH=" + testsupport::ShellQuote(work.path + "nothing"));
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("lp"), std::string::npos) << r.err;

  EXPECT_FALSE(os::FileExists(ErrFile()));  // its starter keeps what it says there
}

TEST_F(ZediridiTest, DesktopViewerStartedForPdfOnly) {
  // No "@e": a portrait sheet.
  ASSERT_TRUE(os::WriteFile(Spool(), "DEVICE\r\nPAGE 66 \r\n 1 ,HOLA, 1 \r\n"));
  Script("xdg-open", "echo \"$1\" > " + testsupport::ShellQuote(work.path + "viewer.part") + "\n/bin/mv " +
                             testsupport::ShellQuote(work.path + "viewer.part") + " " + testsupport::ShellQuote(work.path + "viewer.txt") + "\n");
  Outcome r = Zediridi("DISPLAY=:0 PATH=" + testsupport::ShellQuote(bin) + ":/usr/bin:/bin");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string pdf = work.path + "informe.pdf";  // an empty DEVICE: the default PDF
  std::string opened;
  for (int i = 0; i < 250 && !os::ReadFile(work.path + "viewer.txt", opened); ++i) os::SleepMs(20);
  EXPECT_EQ(opened, pdf + "\n");
  EXPECT_NE(Tool("pdfinfo " + testsupport::ShellQuote(pdf)).find("595.276 x 841.89 pts (A4)"), std::string::npos);

  // No viewer installed: still a success.
  r = Zediridi("WAYLAND_DISPLAY=wayland-0 PATH=" + testsupport::ShellQuote(work.path + "nothing"));
  EXPECT_EQ(r.code, 0) << r.err;

  // A text file is not shown.
  os::DeleteFile(work.path + "viewer.txt");
  ASSERT_TRUE(os::WriteFile(Spool(), "DEVICETXT\r\nPAGE 66 \r\n 1 ,HOLA, 1 \r\n"));
  r = Zediridi("DISPLAY=:0 PATH=" + testsupport::ShellQuote(bin) + ":/usr/bin:/bin");
  ASSERT_EQ(r.code, 0) << r.err;
  os::SleepMs(200);
  EXPECT_FALSE(os::FileExists(work.path + "viewer.txt"));
  std::string text;
  ASSERT_TRUE(os::ReadFile(work.path + "informe.txt", text));
  EXPECT_EQ(text, "HOLA\n");
}

TEST_F(ZediridiTest, DamagedSpools) {
  const std::string head = "DEVICEPDF\r\nPAGE 66 \r\n";
  struct Case {
    std::string content;  // "-" for no spool at all
    std::string where;    // what the message must name
  };
  const std::vector<Case> cases = {
      {"-", "zediridi.tmp: "},
      {"", "zediridi.tmp: "},
      {"PAGE 66 \r\n 1 ,x, 1 \r\n", "l\xC3\xADnia 1:"},
      {head + "HELLO\r\n", "l\xC3\xADnia 3:"},
      {head + "\r\n", "l\xC3\xADnia 3:"},
      {"DEVICEPDF\r\nPAGE x6 \r\n", "l\xC3\xADnia 2:"},
      {head + " 1x ,a, 1 \r\n", "l\xC3\xADnia 3:"},
      {head + " 1 ,a, one \r\n", "l\xC3\xADnia 3:"},
      {head + " 1 ,a\r\n", "l\xC3\xADnia 3:"},
      {head + " 5000 ,a, 0 \r\n", "l\xC3\xADnia 3:"},
      {head + " 390 ,abcdefghijklmnop, 0 \r\n", "l\xC3\xADnia 3:"},
      {head + " 1 ,a, -1 \r\n", "l\xC3\xADnia 3:"},
      {"DEVICEPDF\r\nPAGE 5000 \r\n", "l\xC3\xADnia 2:"},
      {head + " 1 ,a\x07" "b, 0 \r\n", "l\xC3\xADnia 3:"},
      {head + "JUSX\r\n", "l\xC3\xADnia 3:"},
      {head + " 1 ,Hol", "l\xC3\xADnia 3:"},  // cut while it was written
  };
  for (const Case& c : cases) {
    os::DeleteFile(Spool());
    if (c.content != "-") {
      ASSERT_TRUE(os::WriteFile(Spool(), c.content));
    }
    ASSERT_TRUE(os::WriteFile(work.path + "informe.pdf", "old"));
    const Outcome r = Zediridi();
    EXPECT_EQ(r.code, 1) << c.content;
    EXPECT_NE(r.err.find(work.path + "zediridi.tmp"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.where), std::string::npos) << c.content << " -> " << r.err;
    std::string old;
    os::ReadFile(work.path + "informe.pdf", old);
    EXPECT_EQ(old, "old");  // the last good report is untouched
  }

  // A 100 MB line is refused without reading it whole.
  {
    os::File f;
    ASSERT_TRUE(os::Open(f, Spool(), "wb"));
    ASSERT_TRUE(os::Write(f, head + " 1 ,"));
    const std::string block(1 << 20, 'A');
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(os::Write(f, block));
    ASSERT_TRUE(os::Write(f, ", 1 \r\n"));
    os::Close(f);
    const Outcome r = Zediridi();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("l\xC3\xADnia 3: l\xC3\xADnia massa llarga"), std::string::npos) << r.err;
    os::DeleteFile(Spool());
  }
}

}  // namespace
