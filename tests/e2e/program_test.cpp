// The interactive program in a real terminal: ruvoz303 runs in a detached
// tmux session on a demo office made with kap; keys are sent with send-keys
// and the pane's contents show what the operator sees.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/office.h"

namespace {

using e2e::Office;
using e2e::TmuxAvailable;

TEST(ProgramE2E, FormListCalculatorCalendarAndEscInARealTerminal) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Office office;
  ASSERT_TRUE(office.Make());
  std::string code, start, name;
  ASSERT_TRUE(office.SomeOwner(code, start, name));
  office.Start();
  ASSERT_TRUE(office.WaitFor("Tipus de sortida")) << office.Screen();
  EXPECT_NE(office.Row(1).find("MODEL 303"), std::string::npos);
  EXPECT_NE(office.Row(6).find("31/3/2024"), std::string::npos) << office.Screen();

  // Block 1: filing mode, the last quarter of 2023, then F4 on the first owner.
  office.Type("s");
  office.Keys("Enter");
  office.Type("31122023");
  office.Keys("Enter");
  ASSERT_TRUE(office.WaitFor(" : ", 2000));
  office.Keys("F4");
  ASSERT_TRUE(office.WaitFor("CERCA DE PROPIETARIS")) << office.Screen();
  office.Type(start);
  office.Keys("Enter");
  ASSERT_TRUE(office.WaitFor("PROPIETARIS")) << office.Screen();
  ASSERT_TRUE(office.WaitFor(code + "  " + name)) << office.Screen();
  EXPECT_NE(office.Row(4).find("\u2551" + code + "  " + start), std::string::npos)
      << "the list starts at the typed name\n" << office.Screen();
  office.Keys("Enter");
  ASSERT_TRUE(office.WaitFor("Des del propietari número .... :  " + code)) << office.Screen();
  EXPECT_NE(office.Screen().find("Resum anual (4t trimestre) ... :  S"), std::string::npos) << office.Screen();

  // On the first owner field again: emptied with Ctrl+Y, the calculator
  // (Alt+X) takes .42 and F types it as 42 (two implied decimals).
  office.Keys("Up");
  office.Keys("C-y");
  office.Keys("M-x");
  ASSERT_TRUE(office.WaitFor("\u250C\u2500\u2500\u2500")) << office.Screen();
  office.Type(".42");
  ASSERT_TRUE(office.WaitFor("42   \u2502")) << office.Screen();
  office.Keys("f");
  office.Keys("Down");
  ASSERT_TRUE(office.WaitFor("Des del propietari número .... :  42\n")) << office.Screen();

  // Back to the date field; the calendar opens on the working date, Right
  // moves one day and F takes it into the field.
  office.Keys("Up");
  office.Keys("Up");
  office.Keys("M-c");
  ASSERT_TRUE(office.WaitFor("MAIG")) << office.Screen();
  office.Keys("Right");
  office.Keys("f");
  office.Keys("Enter");
  ASSERT_TRUE(office.WaitFor(":  16/5/2024") && office.WaitFor("LA DATA HA DE SER L'ÚLTIM DIA D'UN TRIMESTRE")) << office.Screen();
  office.Keys("C-y");
  office.Type("300624");
  office.Keys("Enter");
  ASSERT_TRUE(office.WaitFor("Data final del trimestre ..... :  30/6/2024")) << office.Screen();

  // Esc goes back to the first field, a second Esc ends the program.
  office.Keys("Escape");
  office.Keys("Escape");
  ASSERT_TRUE(office.WaitFor("EXIT=0")) << office.Screen();
}

TEST(ProgramE2E, GalicianOnALinuxConsoleWithoutUtf8) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Office office;
  ASSERT_TRUE(office.Make() && os::DeleteFile(office.root.path + "AJUDA/GLG/UUTIMENU.HLP") &&
              os::WriteFile(office.root.path + "tmp/KovaTerm.ini", "[Sistema]\r\nData=20240515\r\nIdioma=GLG\r\n"));
  // No UTF-8 locale, and the cursor keys left in the application mode by an earlier program.
  office.before = "printf '\\033[?1h'; ";
  office.Start("LC_ALL=C TERM=linux");
  ASSERT_TRUE(office.WaitFor("ESTE TERMINAL NON ESTA CONFIGURADO EN UTF-8")) << office.Screen();
  office.Keys("Enter Right");  // Right changes the choice in the first field
  ASSERT_TRUE(office.WaitFor("<S: ficheiros de presentacion>")) << office.Screen();
  office.Keys("F1");
  ASSERT_TRUE(office.WaitFor("| QUE PRODUCE CADA TIPO DE SAIDA")) << office.Screen();
  office.Keys("F1");  // a topic without its Galician text: in Catalan
  EXPECT_TRUE(office.WaitFor("| US DEL TECLAT I DE LES FINESTRES")) << office.Screen();
}

TEST(ProgramE2E, TerminalShrunkWhileABlockOrListIsOpenRecovers) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Office office;
  ASSERT_TRUE(office.Make());
  office.Start();
  ASSERT_TRUE(office.WaitFor("Tipus de sortida")) << office.Screen();
  for (const bool withList : {false, true}) {
    SCOPED_TRACE(withList ? "list open" : "block open");
    if (withList) {
      office.Keys("Down");
      office.Keys("Down");
      office.Keys("F4");
      ASSERT_TRUE(office.WaitFor("CERCA DE PROPIETARIS")) << office.Screen();
      office.Keys("Enter");
      ASSERT_TRUE(office.WaitFor("PROPIETARIS ")) << office.Screen();
    }
    office.Tmux("resize-window -t app -x 60 -y 20");
    ASSERT_TRUE(office.WaitFor("MASSA PETIT")) << office.Screen();
    office.Keys("Escape");  // keys typed at a too small terminal are dropped
    office.Tmux("resize-window -t app -x 80 -y 25");
    ASSERT_TRUE(office.WaitFor("F4 Llista de propietaris")) << office.Screen();
    if (withList) {
      EXPECT_NE(office.Screen().find("PROPIETARIS"), std::string::npos) << "the list is still open";
      office.Keys("Escape");
    }
  }
  office.Keys("Escape");
  office.Keys("Escape");
  ASSERT_TRUE(office.WaitFor("EXIT=0")) << office.Screen();
}

}  // namespace
