// The form, catalogue and help topics that kap init installs: the form's
// blocks and fields, its layout on the 80 x 25 screen in every language,
// the catalogue's translations of the program's texts, and the help records.
#include <set>
#include <string>
#include <vector>

#include "forms/form_model.h"
#include "settings/catalogue.h"
#include "tests/forms/forms_fixture.h"

namespace {

using formstest::FormsTest;
using forms::BlockAt;
using forms::FieldAt;
using testsupport::Cp850;

class ShippedDataTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    MakeTree({});
  }
  static std::vector<std::string> Codes(const std::string& mask) {
    std::vector<std::string> codes;
    for (std::size_t p = mask.find('|'); p != std::string::npos; p = mask.find('|', p + 1))
      codes.push_back(mask.substr(p + 1, mask.find(',', p) - p - 1));
    return codes;
  }
  static std::vector<std::string> Descriptions(const std::string& mask) {
    std::vector<std::string> out;
    for (std::size_t p = mask.find('|'); p != std::string::npos; p = mask.find('|', p + 1)) {
      const std::size_t comma = mask.find(',', p);
      const std::size_t end = mask.find('|', p + 1);
      out.push_back(mask.substr(comma + 1, end == std::string::npos ? std::string::npos : end - comma - 1));
    }
    return out;
  }
};

TEST_F(ShippedDataTest, FormHoldsTheBlocksAndFieldsOfTheReturn) {
  LoadShippedForm();
  EXPECT_EQ(forms::BlockCount, 4);
  EXPECT_EQ(forms::ListCount, 1);
  const struct {
    int width, rule, list;
    std::vector<std::string> codes;
  } block1[] = {{1, 3, 0, {"S", "R"}},      {10, 1, 0, {}}, {4, 2, 1, {}},
                {4, 2, 1, {}},             {1, 0, 0, {"N", "D", "E"}}, {1, 0, 0, {"S", "N"}}};
  for (int i = 1; i <= 6; ++i) {
    SCOPED_TRACE(i);
    const forms::Field& f = FieldAt(1, i);
    EXPECT_EQ(f.Width, block1[i - 1].width);
    EXPECT_EQ(f.Rule, block1[i - 1].rule);
    EXPECT_EQ(f.BrowseList, block1[i - 1].list);
    EXPECT_EQ(Codes(f.Mask), block1[i - 1].codes);
    EXPECT_EQ(f.Flags, 0);
  }
  // Whatever follows field 6 is a label only.
  for (int i = 7; i <= BlockAt(1).FieldCount; ++i) {
    EXPECT_EQ(FieldAt(1, i).Flags, forms::kFlagDisplayOnly) << i;
    EXPECT_EQ(FieldAt(1, i).Width, 0) << i;
  }
  EXPECT_EQ(BlockAt(1).Box[0], 0) << "block 1 is drawn on the whole screen";
  EXPECT_EQ(FieldAt(2, 1).Rule, 21);
  EXPECT_EQ(FieldAt(2, 2).Rule, 22);
  EXPECT_NE(BlockAt(2).Box[0], 0) << "the presenter has a window of its own";
  EXPECT_EQ(Codes(FieldAt(3, 1).Mask), (std::vector<std::string>{"S", "N"}));
  EXPECT_EQ(FieldAt(4, 1).Width, 40);
  const forms::BrowseList& list = forms::ListAt(1);
  EXPECT_EQ(list.FileNumber, 6);
  EXPECT_EQ(list.KeyNumber, 1);
  EXPECT_EQ(list.SearchBlock, 4);
  EXPECT_GE(list.Right - list.Left - 1, 46) << "a line is the code, two blanks and 40 characters of name";
  // F1 is added by the runner; Enter, Esc and F4 must end a field of block 1.
  for (const char* key : {"d", "1b", "3e00", "4800", "5000"})
    EXPECT_NE(("," + BlockAt(1).KeyList + ",").find(std::string(",") + key + ","), std::string::npos) << key;
}

TEST_F(ShippedDataTest, EveryLanguageFitsTheScreenWithAlignedValues) {
  for (const char* language : {"CAT", "SPA", "GLG", "OCI"}) {
    SCOPED_TRACE(language);
    settings::Idioma = language;
    settings::ResetCatalogueForTests();
    forms::ResetFormForTests();
    LoadShippedForm();
    for (int b = 1; b <= forms::BlockCount; ++b) {
      const forms::Block& block = BlockAt(b);
      const int right = block.Box[0] == 0 ? 80 : block.Box[3] - block.Box[1] - 1;
      const int bottom = block.Box[0] == 0 ? 25 : block.Box[2] - block.Box[0] - 1;
      std::vector<std::string> used(26, std::string(81, ' '));
      for (int i = 1; i <= block.FieldCount; ++i) {
        const forms::Field& f = FieldAt(b, i);
        SCOPED_TRACE(f.Label);
        int width = f.Width + f.ClearWidth;
        for (const std::string& d : Descriptions(f.Mask)) {
          EXPECT_LE(static_cast<int>(d.size()), width) << d;
          width = std::max(width, static_cast<int>(d.size()) + 1);  // the editor's right arrow
        }
        if (f.Rule == 1) width = std::max(width, 10);  // the date as shown
        const int end = f.Column + static_cast<int>(f.Label.size()) + width - 1;
        EXPECT_LE(end, right);
        EXPECT_LE(f.Row, bottom);
        if (f.Row < 1) continue;  // a title on the window's border
        for (int c = f.Column; c <= end && c <= 80; ++c) {
          EXPECT_EQ(used[f.Row][c], ' ') << "row " << f.Row << " column " << c << " is used twice";
          used[f.Row][c] = 'x';
        }
      }
    }
    // Values of blocks 1 and 2 start in one column.
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(FieldAt(1, i).Label.size(), FieldAt(1, 1).Label.size()) << i;
    EXPECT_EQ(FieldAt(2, 1).Label.size(), FieldAt(1, 1).Label.size());
    EXPECT_EQ(FieldAt(2, 2).Label.size(), FieldAt(1, 1).Label.size());
    EXPECT_EQ(BlockAt(2).Box[1] + 1 + FieldAt(2, 1).Column - 1, FieldAt(1, 1).Column);
  }
}

TEST_F(ShippedDataTest, CatalogueTranslatesTheFormAndTheProgramsTexts) {
  LoadShippedForm();
  std::vector<std::string> texts;
  for (int b = 1; b <= forms::BlockCount; ++b)
    for (int i = 1; i <= BlockAt(b).FieldCount; ++i) {
      texts.push_back(FieldAt(b, i).Label);
      if (!FieldAt(b, i).Mask.empty()) texts.push_back(FieldAt(b, i).Mask);
    }
  texts.push_back(forms::ListAt(1).Title);
  const char* const program[] = {
      " DADES PRESENTADOR ", "HEU D'INDICAR LA POBLACIÓ DE CONTACTE", "HEU D'INDICAR EL COMPTE DE CÀRREC",
      "FITXER BLOQUEJAT. ESPEREU UN MOMENT.", "NO ES POT ACCEDIR AL FITXER ", " PROCESSANT ", "INFORME : GENERATS ",
      " FITXERS A ", "PÀGINA ", "RELACIÓ D'I.V.A. A PRESENTAR DES DEL PROPIETARI ", " AL ", " A ", "CODI",
      "PROPIETARI", "PROR.", "  REPERCUTIT ", "    SUPORTAT ", "    DEDUÏBLE ", "REGULARITZAT ", "   COMPENSAT ",
      "       SALDO ", "TOTALS", "*** no té nacionalitat espanyola; no el podeu presentar ***",
      "*** no té NIF; no el podeu presentar ***", "*** falta compte corrent; no el podeu presentar en suport ***",
      "NO ES POT LLEGIR EL FORMULARI ", "FORMULARI ", ", LÍNIA ", "EL FITXER S'ACABA ABANS D'HORA",
      "S'ESPERAVA UN NOMBRE", "NOMBRE FORA DE L'INTERVAL DE -32768 A 32767", "CAL ALMENYS UN BLOC",
      "CAL ALMENYS UNA LLISTA", "NOMBRE DE CAMPS IMPOSSIBLE", "AMPLADA NEGATIVA", "FINESTRA FORA DE LA PANTALLA",
      "BLOC O LLISTA INEXISTENT", "LA DATA HA DE SER L'ÚLTIM DIA D'UN TRIMESTRE: 31/3, 30/6, 30/9 O 31/12", "EL NÚMERO DE PROPIETARI HA DE SER ENTRE 1 I 9999",
      "EL COMPTE HA DE TENIR 20 XIFRES: ENTITAT, OFICINA, CONTROL I NÚMERO", "EL NÚMERO DEL PRIMER PROPIETARI NO POT SER MÉS ALT QUE EL DE L'ÚLTIM",
      "EL PRIMER DÍGIT DE CONTROL NO CORRESPON A L'ENTITAT I L'OFICINA", "ELS DÍGITS DE CONTROL DE L'IBAN NO CORRESPONEN AL COMPTE", "ESCRIVIU-LA A LES DADES DEL PRESENTADOR (F2)",
      "EL SEGON DÍGIT DE CONTROL NO CORRESPON AL NÚMERO DE COMPTE", "UN COMPTE DE ZEROS NO ÉS VÀLID: ESCRIVIU EL COMPTE REAL O DEIXEU-LO EN BLANC", "LA FORMA DE PAGAMENT N NECESSITA UN COMPTE REAL, NI EN BLANC NI DE ZEROS",
      // The help viewer's, the return run's and the print program's own messages.
      "NO HI HA AJUDA PER A AQUEST TEMA: ",
      "TERRITORI SENSE ADMINISTRACIÓ TRIBUTÀRIA ASSIGNADA; NO S'HI GENERA CAP FITXER: ",
      "NO ES POT CREAR O ESCRIURE EL DIRECTORI ", "NO ES POT ESCRIURE EL FITXER ", "NO ES POT ESBORRAR EL FITXER ",
      "EL FITXER NRC ESTÀ MALMÈS (REGISTRES TALLATS O SENSE REGISTRE FINAL); NO S'HI HA FET CAP CANVI: ",
      "EL FITXER NRC NO ADMET MÉS SOL·LICITUDS (TOTAL O NOMBRE DE REGISTRES MASSA GRANS): ",
      "FITXER BLOQUEJAT PER UN ALTRE TERMINAL: ", "GENERACIÓ ATURADA: TORNEU-LA A FER QUAN S'HAGI RESOLT EL PROBLEMA.",
      "ERROR DE LECTURA AL FITXER ", "NO ES POT CREAR EL FITXER D'IMPRESSIÓ ",
      "NO ES POT EXECUTAR EL PROGRAMA D'IMPRESSIÓ ", "EL PROGRAMA D'IMPRESSIÓ HA ACABAT AMB ERROR ",
      "INFORME DESAT A ", "INFORME ENVIAT A LA CUA D'IMPRESSIÓ ",
      "GRUP AMB UN TERRITORI QUE NO ÉS A LA TAULA (NO ES DECLARA): ",
      "REGISTRE DE PERÍODE AMB UNA DATA QUE NO ÉS FINAL DE TRIMESTRE: ",
      "REGISTRE DE PERÍODE AMB UNA BASE NEGATIVA: ",
      "REGISTRE DE PERÍODE AMB UN PERCENTATGE DE DEDUCCIÓ SUPERIOR A 100: ",
      "PROPIETARI SENSE FITXA FISCAL (NOM PRES DE LA FITXA DEL PROPIETARI): ",
      "PROPIETARI SENSE CAP NOM QUE ES PUGUI PRESENTAR (NO ES PRESENTA): ",
      "CODI DE PROPIETARI NO VÀLID (NO ES PROCESSA): ", "FALTA EL NIF DEL TITULAR ([Titular] NIF DE KOVA.INI)",
      "NO ES POT LLEGIR EL FITXER ", "GENERACIÓ INTERROMPUDA REPARADA A ", " - PROPIETARIS: ", "; ESBORRATS ",
      " FITXERS ANTERIORS", "; NO S'HAN DESAT LES SOL·LICITUDS NRC",
      "; LES SOL·LICITUDS VAN AL COMPTE DE LA CAPÇALERA DEL FITXER NRC: ", "ESTAT ", "FITXER MALMÈS O ILLEGIBLE",
      "FITXER NO OBERT", "DISC PLE", "REGISTRE BLOQUEJAT PER UN ALTRE USUARI", "FITXER EN ÚS PER UN ALTRE USUARI",
      "PERMÍS DENEGAT", "EL GESTOR DE REGISTRES HA REFUSAT L'OPERACIÓ", "línia", "no es troba el fitxer d'impressió",
      "no es pot llegir el fitxer d'impressió", "el fitxer d'impressió és buit", "la primera línia no és DEVICE",
      "ordre desconeguda", "número no vàlid", "columna fora de límits", "salts de línia fora de límits",
      "llargada de pàgina fora de límits", "línia massa llarga", "caràcter no imprimible",
      "línia incompleta (fitxer tallat)", "alineació desconeguda", "no es troba el tipus de lletra",
      "no s'ha pogut generar el PDF", "no es pot escriure el fitxer", "no es troba el programa lp (paquet cups-client)",
      "la cua d'impressió no ha acceptat el treball"};
  for (const char* t : program) texts.push_back(Cp850(t));
  // Texts the same in every language: the separator line, and a few words.
  const std::set<std::string> same = {std::string(78, '\xC4'), "PROR.", " A ", " AL ", "       SALDO ",
                                      Cp850("|S,Sí|N,No"), "FALTA EL NIF DEL TITULAR ([Titular] NIF DE KOVA.INI)"};
  for (const char* language : {"SPA", "GLG", "OCI"}) {
    settings::Idioma = language;
    for (const std::string& t : texts) {
      const std::string translated = settings::Translate(t);
      EXPECT_FALSE(translated.empty()) << language << ": " << t;
      if (same.count(t) == 0 && language == std::string("SPA")) {
        EXPECT_NE(translated, t) << t;
      }
    }
    // The report's column headings keep their width.
    for (const char* h : {"  REPERCUTIT ", "    SUPORTAT ", "    DEDUÏBLE ", "REGULARITZAT ", "   COMPENSAT ",
                          "       SALDO "})
      EXPECT_EQ(settings::Translate(Cp850(h)).size(), 13u) << language << ": " << h;
  }
}

TEST_F(ShippedDataTest, HelpTopicsAreRecordsOfEightyBytes) {
  for (const char* topic : {"RUVOZ303", "UUTIMENU", "SPA/RUVOZ303", "SPA/UUTIMENU", "GLG/RUVOZ303", "GLG/UUTIMENU",
                            "OCI/RUVOZ303", "OCI/UUTIMENU"}) {
    SCOPED_TRACE(topic);
    std::string help;
    ASSERT_TRUE(os::ReadFile(dir.path + "AJUDA/" + topic + ".HLP", help));
    ASSERT_GT(help.size(), 80u * 10);
    EXPECT_EQ(help.size() % 80, 0u);
    bool switches = false;
    for (std::size_t at = 0; at < help.size(); at += 80) {
      int printed = 0;
      for (std::size_t i = at; i < at + 80; ++i) {
        const auto c = static_cast<unsigned char>(help[i]);
        EXPECT_TRUE(c >= 32 || c == 30 || c == 31 || c == 16) << "record " << at / 80 + 1 << " byte " << int(c);
        if (c == 30 || c == 31 || c == 16) switches = true;
        if (c != ' ') printed = static_cast<int>(i - at) + 1;
      }
      // The viewer shows 76 characters of a line; the switch bytes take none.
      int switchCount = 0;
      for (std::size_t i = at; i < at + static_cast<std::size_t>(printed); ++i)
        if (help[i] == 30 || help[i] == 31 || help[i] == 16) ++switchCount;
      EXPECT_LE(printed - switchCount, 76) << "record " << at / 80 + 1;
    }
    EXPECT_TRUE(switches);
  }
  std::string help;
  os::ReadFile(dir.path + "AJUDA/RUVOZ303.HLP", help);
  for (const char* words : {"F1", "F4", "Alt+X", "Alt+C", "Esc", "PgUp", "Enter", "NRC_BANC.SOL", "AEAT/303M2024.2T"})
    EXPECT_NE(help.find(words), std::string::npos) << words;
  EXPECT_NE(help.find(Cp850("QUÈ PRODUEIX")), std::string::npos);
}

}  // namespace
