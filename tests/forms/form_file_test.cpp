// The form file loader: item syntax, comment lines, the model it builds,
// translation while loading, and the files it refuses.
#include <string>
#include <vector>

#include "forms/form_model.h"
#include "settings/catalogue.h"
#include "tests/forms/forms_fixture.h"

namespace {

using formstest::FormsTest;
using testsupport::Cp850;
using forms::BlockAt;
using forms::FieldAt;
using forms::ListAt;

// A form with a comment line at each place where the format allows one.
const char* const kForm =
    "' before the header\r\n"
    "2,3\r\n"
    "   ' before block 1, after blanks\r\n"
    "\"d,1b\",2,2,0,0,0,0\r\n"  // block 1 links the last block
    "5,10,\"Nom, cognoms: \",8,0,2,0,0,0,\"\"\r\n"
    "6,10,\"Tria: \",1,0,3,0,0,0,\"|S,Sí|N,No\"\r\n"
    "' before block 2\r\n"
    "\"d\",0,0,5,10,9,40\r\n"
    "' before the list count\r\n"
    "1\r\n"
    "' before list 1\r\n"
    "6,1,3,10,20,60,0,\" LLISTA \",0\r\n"
    "whatever follows is not read, \"\r\n";

std::string WithLf(std::string text) {
  for (std::size_t p; (p = text.find("\r\n")) != std::string::npos;) text.erase(p, 1);
  return text;
}

TEST_F(FormsTest, LoadsBlocksFieldsAndListsWithCrLfOrLf) {
  for (const std::string& text : {std::string(kForm), WithLf(kForm)}) {
    forms::ResetFormForTests();
    ASSERT_TRUE(LoadText(text)) << forms::LoadFormError();
    EXPECT_EQ(forms::LoadFormError(), "");
    EXPECT_EQ(forms::BlockCount, 2);
    EXPECT_EQ(forms::MaxFields, 3);
    EXPECT_EQ(forms::ListCount, 1);
    EXPECT_EQ(BlockAt(1).KeyList, "d,1b");
    EXPECT_EQ(BlockAt(1).FieldCount, 2);
    EXPECT_EQ(FieldAt(1, 1).Label, "Nom, cognoms: ");  // a comma inside quotes
    EXPECT_EQ(FieldAt(1, 1).Value, std::string(8, ' '));
    EXPECT_EQ(FieldAt(1, 1).ClearWidth, 2);
    EXPECT_EQ(FieldAt(1, 2).ClearWidth, 3);
    EXPECT_EQ(FieldAt(1, 2).Mask, Cp850("|S,Sí|N,No"));
    EXPECT_EQ(FieldAt(1, 2).Value, " ");
    // A block without fields keeps its number and its window.
    EXPECT_EQ(BlockAt(2).FieldCount, 0);
    EXPECT_EQ(BlockAt(2).Box[0], 5);
    EXPECT_EQ(BlockAt(2).Box[3], 40);
    EXPECT_EQ(ListAt(1).FileNumber, 6);
    EXPECT_EQ(ListAt(1).Bottom, 20);
    EXPECT_EQ(ListAt(1).Title, " LLISTA ");
    // Numbers outside the model give scratch elements, never memory outside it.
    EXPECT_EQ(BlockAt(3).FieldCount, 0);
    EXPECT_EQ(FieldAt(1, 4).Width, 0);
    EXPECT_EQ(ListAt(0).FileNumber, 0);
  }
}

TEST_F(FormsTest, NumbersAreRoundedToTheNearestInteger) {
  const struct {
    const char* item;
    int value;
  } cases[] = {{"7", 7}, {" 7 ", 7}, {"2.4", 2}, {"2.6", 3}, {"2.5", 2}, {"3.5", 4}, {"-1.5", -2},
               {"+12", 12}, {"", 0}, {"32767", 32767}, {"-32768", -32768}, {"32767.4", 32767}};
  for (const auto& c : cases) {
    forms::ResetFormForTests();
    ASSERT_TRUE(LoadText("1,1\r\n\"\",1,0,0,0,0,0\r\n" + std::string(c.item) +
                         ",1,\"L\",0,0,0,0,0,0,\"\"\r\n1\r\n0,0,1,1,5,9,0,\"\",0\r\n"))
        << c.item << ": " << forms::LoadFormError();
    EXPECT_EQ(FieldAt(1, 1).Row, c.value) << c.item;
  }
}

TEST_F(FormsTest, ImpossibleFilesAreRefusedNamingFileAndLine) {
  const std::string path = dir.path + "FORMS/T.JPN";
  const std::string field = "1,1,\"L\",1,0,0,0,0,0,\"\"\r\n";
  const std::string list = "1\r\n6,1,3,10,20,60,0,\"T\",0\r\n";
  const struct {
    const char* name;
    std::string text;
    int line;
    const char* reason;
  } cases[] = {
      {"no blocks", "0,5\r\n", 1, "CAL ALMENYS UN BLOC"},
      {"no lists", "1,1\r\n\"\",1,0,0,0,0,0\r\n" + field + "0\r\n", 4, "CAL ALMENYS UNA LLISTA"},
      {"more fields than the header allows", "1,1\r\n\"\",2,0,0,0,0,0\r\n" + field + field + list, 2,
       "NOMBRE DE CAMPS IMPOSSIBLE"},
      {"negative field count", "1,1\r\n\"\",-1,0,0,0,0,0\r\n" + list, 2, "NOMBRE DE CAMPS IMPOSSIBLE"},
      {"number beyond 16 bits", "1,1\r\n\"\",1,0,0,0,0,0\r\n40000,1,\"L\",1,0,0,0,0,0,\"\"\r\n" + list, 3,
       "NOMBRE FORA DE L'INTERVAL DE -32768 A 32767"},
      {"number that is text", "1,1\r\n\"\",1,0,0,0,0,0\r\n1,x1,\"L\",1,0,0,0,0,0,\"\"\r\n" + list, 3,
       "S'ESPERAVA UN NOMBRE"},
      {"negative width", "1,1\r\n\"\",1,0,0,0,0,0\r\n1,1,\"L\",-4,0,0,0,0,0,\"\"\r\n" + list, 3, "AMPLADA NEGATIVA"},
      {"negative clear width", "1,1\r\n\"\",1,0,0,0,0,0\r\n1,1,\"L\",4,0\r\n-1,0,0,0,\"\"\r\n" + list, 4,
       "AMPLADA NEGATIVA"},
      {"ends inside a field", "1,1\r\n\"\",1,0,0,0,0,0\r\n1,1,\"L\",1\r\n", 4, "EL FITXER S'ACABA ABANS D'HORA"},
      {"ends before the lists", "1,1\r\n\"\",1,0,0,0,0,0\r\n" + field, 4, "EL FITXER S'ACABA ABANS D'HORA"},
      {"empty file", "", 1, "EL FITXER S'ACABA ABANS D'HORA"},
      {"block window off the screen", "1,1\r\n\"\",1,0,20,1,26,80\r\n" + field + list, 2,
       "FINESTRA FORA DE LA PANTALLA"},
      {"list window without a line inside", "1,1\r\n\"\",1,0,0,0,0,0\r\n" + field + "1\r\n6,1,3,10,4,60,0,\"T\",0\r\n",
       5, "FINESTRA FORA DE LA PANTALLA"},
      {"follow-on block that does not exist", "1,1\r\n\"\",1,2,0,0,0,0\r\n" + field + list, 2,
       "BLOC O LLISTA INEXISTENT"},
      {"search block that does not exist", "1,1\r\n\"\",1,0,0,0,0,0\r\n" + field + "1\r\n6,1,3,10,20,60,9,\"T\",0\r\n",
       5, "BLOC O LLISTA INEXISTENT"},
      // Comment lines are not recognised between the field records of a block.
      {"comment between fields", "1,2\r\n\"\",2,0,0,0,0,0\r\n" + field + "' a comment\r\n" + field + list, 4,
       "S'ESPERAVA UN NOMBRE"},
  };
  for (const auto& c : cases) {
    forms::ResetFormForTests();
    ASSERT_TRUE(LoadText("1,1\r\n\"\",1,0,0,0,0,0\r\n" + field + list));  // a model that must survive
    EXPECT_FALSE(LoadText(c.text)) << c.name;
    EXPECT_EQ(forms::LoadFormError(),
              "FORMULARI " + path + Cp850(", LÍNIA ") + std::to_string(c.line) + ": " + Cp850(c.reason))
        << c.name;
    EXPECT_EQ(forms::BlockCount, 1) << c.name << ": a refused file leaves the model as it was";
  }
}

TEST_F(FormsTest, MissingFormFileIsNamedByItsHostPath) {
  EXPECT_FALSE(forms::LoadForm(dir.path + "FORMS\\NOFORM.JPN"));
  EXPECT_EQ(forms::LoadFormError(), "NO ES POT LLEGIR EL FORMULARI " + dir.path + "FORMS/NOFORM.JPN");
}

TEST_F(FormsTest, LabelsMasksAndTitlesAreTranslatedWhileLoading) {
  os::MakeDirs(dir.path + "LOCALE");
  os::WriteFile(dir.path + "LOCALE/RUVOZ303.LNG",
                Cp850("\"Nom, cognoms: \",\"gl\",\"oc\",\"Nombre, apellidos: \"\r\n"
                      "\"|S,Sí|N,No\",\"\",\"\",\"|S,Sí|N,No (es)\"\r\n"
                      "\" LLISTA \",\"\",\"\",\" LISTA \"\r\n"));
  const struct {
    const char* language;
    const char* label;
    const char* mask;
    const char* title;
  } cases[] = {{"CAT", "Nom, cognoms: ", "|S,Sí|N,No", " LLISTA "},
               {"SPA", "Nombre, apellidos: ", "|S,Sí|N,No (es)", " LISTA "},
               {"GLG", "gl", "", ""}};
  for (const auto& c : cases) {
    settings::Idioma = c.language;
    forms::ResetFormForTests();
    ASSERT_TRUE(LoadText(kForm));
    EXPECT_EQ(FieldAt(1, 1).Label, Cp850(c.label)) << c.language;
    EXPECT_EQ(FieldAt(1, 2).Mask, Cp850(c.mask)) << c.language;
    EXPECT_EQ(ListAt(1).Title, c.title) << c.language;
    EXPECT_EQ(FieldAt(1, 1).Value, std::string(8, ' ')) << "the value keeps its width whatever the label";
  }
}

TEST_F(FormsTest, DamagedCatalogueLeavesTextsAsWritten) {
  // Unbalanced quotes, control bytes, a cut last record: the loader still
  // works and untranslated texts stay as written.
  os::MakeDirs(dir.path + "LOCALE");
  std::string damaged = "\"Tria: \",\"a\x01\",\"";
  damaged += '\0';
  damaged += "\",\"es\r\n\"x\xFF\xFE,,\r\n\" LLISTA \",\"";
  os::WriteFile(dir.path + "LOCALE/RUVOZ303.LNG", damaged);
  settings::Idioma = "SPA";
  ASSERT_TRUE(LoadText(kForm)) << forms::LoadFormError();
  EXPECT_EQ(FieldAt(1, 1).Label, "Nom, cognoms: ");
  EXPECT_EQ(ListAt(1).Title, " LLISTA ");
}

TEST_F(FormsTest, SetValueKeepsTheFieldWidth) {
  ASSERT_TRUE(LoadText(kForm));
  forms::SetValue(1, 1, "abc");
  EXPECT_EQ(Value(1, 1), "abc     ");
  forms::SetValue(1, 1, "0123456789");
  EXPECT_EQ(Value(1, 1), "01234567");
  forms::SetValue(7, 1, "nowhere");  // outside the model: nothing happens
  EXPECT_EQ(FieldAt(7, 1).Value, "");
}

}  // namespace
