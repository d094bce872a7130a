#include <string>

#include <gtest/gtest.h>

#include "settings/catalogue.h"
#include "settings/config.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

using testsupport::Cp850;
using testsupport::TempDir;

namespace {

struct CatalogueTest : ::testing::Test {
  TempDir root;
  std::string file;
  void SetUp() override {
    settings::ResetConfigForTests();
    settings::ResetCatalogueForTests();
    settings::DataRoot = root.path;
    settings::FormName = "RUVOZ303";
    os::MakeDir(root.path + "LOCALE");
    file = root.path + "LOCALE/RUVOZ303.LNG";
  }
  void TearDown() override {
    settings::ResetCatalogueForTests();
    settings::ResetConfigForTests();
  }
};

const char kCatalogue[] =
    "\"Data final:\",\"Data final:\",\"Data finau:\",\"Fecha final:\"\r\n"
    "Sortir,Sa\xA1r,Sortir,Salir\r\n"
    "\"Import, total\",\"Importe, total\",\"Impost, total\",\"\"\r\n"
    "Sortir,x,y,z\r\n"
    "\r\n"
    "  Espai ,GLG espai,OCI espai,SPA espai\r\n"
    "Incomplet,a\r\n";

}  // namespace

TEST_F(CatalogueTest, CatalanNeverTouchesTheCatalogue) {
  settings::Idioma = "CAT";
  EXPECT_EQ(settings::Translate("Sortir"), "Sortir");
  EXPECT_FALSE(os::FileExists(file));
}

TEST_F(CatalogueTest, MissingCatalogueIsCreatedEmpty) {
  settings::Idioma = "SPA";
  EXPECT_EQ(settings::Translate("Sortir"), "Sortir");
  EXPECT_TRUE(os::FileExists(file));
  EXPECT_EQ(os::FileSize(file), 0);
}

TEST_F(CatalogueTest, EachLanguageTakesItsItem) {
  os::WriteFile(file, kCatalogue);
  settings::Idioma = "SPA";
  EXPECT_EQ(settings::Translate("Data final:"), "Fecha final:");
  EXPECT_EQ(settings::Translate("Sortir"), "Salir");  // the first record of a key wins
  EXPECT_EQ(settings::Translate("Import, total"), "");  // an empty translation is empty
  settings::Idioma = "GLG";
  EXPECT_EQ(settings::Translate("Sortir"), "Sa\xA1r");
  EXPECT_EQ(settings::Translate("Import, total"), "Importe, total");
  settings::Idioma = "OCI";
  EXPECT_EQ(settings::Translate("Data final:"), "Data finau:");
}

TEST_F(CatalogueTest, KeysMatchExactly) {
  os::WriteFile(file, kCatalogue);
  settings::Idioma = "SPA";
  EXPECT_EQ(settings::Translate("Sortir "), "Sortir ");  // trailing blank: no match
  EXPECT_EQ(settings::Translate("sortir"), "sortir");    // letter case counts
  EXPECT_EQ(settings::Translate("Espai"), "SPA espai");  // leading blanks before an item are skipped
  EXPECT_EQ(settings::Translate("Incomplet"), "Incomplet");  // incomplete last record ignored
  EXPECT_EQ(settings::Translate(""), "");
}

TEST_F(CatalogueTest, OtherLanguagesStayUntranslatedButTheCatalogueIsCreated) {
  settings::Idioma = "   ";
  EXPECT_EQ(settings::Translate("Sortir"), "Sortir");
  EXPECT_TRUE(os::FileExists(file));
  os::WriteFile(file, kCatalogue);
  settings::Idioma = "ENG";
  EXPECT_EQ(settings::Translate("Sortir"), "Sortir");
}

TEST_F(CatalogueTest, AChangedCatalogueIsReadAgain) {
  os::WriteFile(file, "Sortir,a,b,Salir\r\n");
  settings::Idioma = "SPA";
  EXPECT_EQ(settings::Translate("Sortir"), "Salir");
  os::WriteFileAtomic(file, "Sortir,a,b,Fuera\r\n");
  EXPECT_EQ(settings::Translate("Sortir"), "Fuera");
  os::DeleteFile(file);
  EXPECT_EQ(settings::Translate("Sortir"), "Sortir");  // created again, empty
  // Rewritten in place at once with the same length: the file's times and
  // size may not change, the answer must.
  for (const char* spanish : {"Uno", "Dos", "Tre"}) {
    os::WriteFile(file, std::string("Sortir,a,b,") + spanish + "\r\n");
    EXPECT_EQ(settings::Translate("Sortir"), spanish);
  }
}

TEST_F(CatalogueTest, NameIsFixedOnFirstUse) {
  settings::Idioma = "SPA";
  settings::Translate("x");
  settings::FormName = "OTHER";
  os::WriteFile(file, "x,a,b,c\r\n");
  EXPECT_EQ(settings::Translate("x"), "c");
  EXPECT_FALSE(os::FileExists(root.path + "LOCALE/OTHER.LNG"));
}

TEST_F(CatalogueTest, BadCatalogueContentIsSafe) {
  settings::Idioma = "SPA";
  std::string data = std::string(200000, 'k') + ",a,b,c\r\n" + std::string("n\0l,a,b,\0\r\n", 11) +
                     "\"unterminated,a,b";
  os::WriteFile(file, data);
  EXPECT_EQ(settings::Translate(std::string(200000, 'k')), "c");
  EXPECT_EQ(settings::Translate(std::string("n\0l", 3)), std::string("\0", 1));
  EXPECT_EQ(settings::Translate("unterminated,a,b"), "unterminated,a,b");
  // A folder in place of the catalogue: untranslated, no crash.
  os::DeleteFile(file);
  os::MakeDir(file);
  EXPECT_EQ(settings::Translate("Sortir"), "Sortir");
  // No LOCALE folder at all.
  settings::ResetCatalogueForTests();
  settings::DataRoot = root.path + "nowhere/";
  EXPECT_EQ(settings::Translate("Sortir"), "Sortir");
}

TEST_F(CatalogueTest, Cp850TextsPassThrough) {
  os::WriteFile(file, Cp850("Pla\u00e7a,Pra\u00e7a,Pla\u00e7a,Plaza") + "\r\n");
  settings::Idioma = "SPA";
  EXPECT_EQ(settings::Translate(Cp850("Pla\u00e7a")), "Plaza");
}

TEST_F(CatalogueTest, LastRecordEndingInAnEmptyItemIsComplete) {
  os::WriteFile(file, "Sortir,a,b,");  // no line end: the Spanish item is empty
  settings::Idioma = "SPA";
  EXPECT_EQ(settings::Translate("Sortir"), "");
  os::WriteFileAtomic(file, "Sortir,a,b");  // the Spanish item is missing
  EXPECT_EQ(settings::Translate("Sortir"), "Sortir");
}
