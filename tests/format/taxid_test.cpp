#include <gtest/gtest.h>

#include <string>

#include "format/taxid.h"
#include "tests/support/test_support.h"

namespace {

using format::NormalizeFilingName;

std::string Field(const std::string& country, const std::string& id) {
  std::string f = country + id;
  f.resize(17, ' ');
  return f;
}

TEST(TaxIdChecks, CountryAndPresence) {
  EXPECT_TRUE(format::IsSpanish(Field("ES", "12345678Z")));
  EXPECT_FALSE(format::IsSpanish(Field("FR", "12345678Z")));
  EXPECT_FALSE(format::IsSpanish("E"));
  EXPECT_FALSE(format::IsSpanish(""));
  EXPECT_TRUE(format::HasTaxId(Field("ES", "B12345678")));
  EXPECT_TRUE(format::HasTaxId(Field("ES", std::string(14, ' ') + "1")));  // character 17
  EXPECT_FALSE(format::HasTaxId(Field("ES", "")));
  EXPECT_FALSE(format::HasTaxId("ES"));
  EXPECT_FALSE(format::HasTaxId(""));
}

TEST(TaxIdChecks, PersonOrEntity) {
  for (char c : std::string("0123456789KLMXYZ")) {
    EXPECT_TRUE(format::IsNaturalPerson(Field("ES", std::string(1, c) + "1234567A"))) << c;
  }
  for (char c : std::string("ABCDEFGHJNPQRSUVW klmxyz*")) {
    EXPECT_FALSE(format::IsNaturalPerson(Field("ES", std::string(1, c) + "1234567A"))) << c;
  }
  EXPECT_FALSE(format::IsNaturalPerson(Field("ES", "")));  // no identifier: entity
  EXPECT_FALSE(format::IsNaturalPerson("ES"));
  EXPECT_FALSE(format::IsPersonIdChar('\0'));
}

TEST(TaxIdFilingName, PersonWithSurnamesAndFirstName) {
  std::string name = testsupport::Cp850("Garcia López*Maria José");
  name.resize(40, ' ');
  const format::FilingName n = NormalizeFilingName(Field("ES", "12345678Z"), name);
  EXPECT_EQ(n.surnames, "GARCIA LOPEZ");
  EXPECT_EQ(n.firstName, "MARIA JOSE");
}

TEST(TaxIdFilingName, PersonWithoutStar) {
  const format::FilingName n = NormalizeFilingName(Field("ES", "X1234567L"), "  Puig Soler, Joan   ");
  EXPECT_EQ(n.surnames, "PUIG SOLER JOAN");
  EXPECT_EQ(n.firstName, "");
}

TEST(TaxIdFilingName, CompanyKeepsWholeName) {
  const format::FilingName n = NormalizeFilingName(Field("ES", "B12345678"), "Construccions Puig, S.L.");
  EXPECT_EQ(n.surnames, "CONSTRUCCIONS PUIG S L ");
  EXPECT_EQ(n.firstName, std::string(15, ' '));
  // A blank identifier counts as an entity even with a star in the name.
  const format::FilingName e = NormalizeFilingName(Field("ES", ""), "Puig*Joan");
  EXPECT_EQ(e.surnames, "PUIG*JOAN");
  EXPECT_EQ(e.firstName, std::string(15, ' '));
}

TEST(TaxIdFilingName, CedillaAndTildeBecomeLatin1) {
  EXPECT_EQ(NormalizeFilingName(Field("ES", "12345678Z"), "Pe\xA4" "a").surnames, "PE\xD1" "A");
  EXPECT_EQ(NormalizeFilingName(Field("ES", "12345678Z"), "\xA5\x80\x87").surnames, "\xD1\xC7\xC7");
  // Other accented letters lose their accent; the ordinal sign is a blank here.
  EXPECT_EQ(NormalizeFilingName(Field("ES", "B1"), "\x85\x90\xA1\xE0\x81\x98\xE1\xD1\xA6").surnames,
            "AEIOUYSD ");
}

TEST(TaxIdFilingName, BlanksFromTheTableDoNotCollapse) {
  const std::string id = Field("ES", "B1");
  EXPECT_EQ(NormalizeFilingName(id, "A\xC4\xC4" "B").surnames, "A  B");  // box-drawing bytes
  EXPECT_EQ(NormalizeFilingName(id, "A,, ;B").surnames, "A B");
  EXPECT_EQ(NormalizeFilingName(id, "A\xC4 B").surnames, "A B");  // a punctuation blank trims first
  EXPECT_EQ(NormalizeFilingName(id, "A\xF0\xFF" "B\x01").surnames, "A B ");
  EXPECT_EQ(NormalizeFilingName(Field("ES", "1"), "Garcia * Maria").surnames, "GARCIA ");
  EXPECT_EQ(NormalizeFilingName(Field("ES", "1"), "Garcia * Maria").firstName, "MARIA");
  EXPECT_EQ(NormalizeFilingName(Field("ES", "1"), "").surnames, "");
}

}  // namespace
