// Period totals of one owner and the amounts derived from them.
#include <gtest/gtest.h>

#include <string>

#include "forms/selection.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "tests/vat303/return_fixture.h"
#include "vat303/period_totals.h"
#include "vat303/return_state.h"

namespace returntest {
namespace {

TEST(ReturnAmounts, CompensationAppliedAndPending) {
  struct Case {
    double c, r, applied, pending, final;
  } cases[] = {
      {30000, 50000, 30000, 0, 50000},   {30000, -10000, 20000, 10000, 0}, {0, -10000, 0, 0, -10000},
      {30000, -40000, 0, 30000, -10000}, {30000, 0, 30000, 0, 0},         {0, 500, 0, 0, 500},
  };
  records::OwnerRecord.assign(826, '\0');
  forms::SelDate = PackedDate("20240630");
  for (const Case& k : cases) {
    vat303::PeriodTotals = vat303::Totals{};
    vat303::PeriodTotals.Compensation = k.c;
    vat303::PeriodTotals.SumBalance = k.r;
    vat303::ReturnAmounts();
    EXPECT_EQ(vat303::AppliedCompensation, k.applied) << k.c << " " << k.r;
    EXPECT_EQ(vat303::PendingCompensation, k.pending) << k.c << " " << k.r;
    EXPECT_EQ(vat303::FinalResult, k.final) << k.c << " " << k.r;
  }
}

TEST(ReturnAmounts, CashFlagFromTheRegimeAndItsDate) {
  struct Case {
    char code;
    const char* regimeDate;
    const char* selDate;
    char flag;
  } cases[] = {
      {'C', "20240701", "20240630", '2'}, {'C', "20240701", "20240930", '1'}, {'C', "20240701", "20240701", '1'},
      {' ', "20240701", "20240630", '1'}, {' ', "20240701", "20240930", '2'}, {'C', "00000000", "20240630", '1'},
      {' ', "00000000", "20240630", '2'},
  };
  for (const Case& k : cases) {
    records::OwnerRecord.assign(826, '\0');
    records::OwnerRecord[735] = k.code;
    records::OwnerRecord.replace(717, 4, PackedDate(k.regimeDate));
    forms::SelDate = PackedDate(k.selDate);
    vat303::ReturnAmounts();
    EXPECT_EQ(vat303::CashFlag, k.flag) << k.code << " " << k.regimeDate << " " << k.selDate;
  }
}

class SumPeriodTest : public ReturnTest {
 protected:
  // Reads owner `code` and sums it for the territory with code byte `territory`.
  void Sum(int code, char territory) {
    int status = 0;
    records::BtrGetByKey(records::kOwnerFile, 0, PackedOwner(code), 0, status);
    ASSERT_EQ(status, 0);
    records::TerritoryRecord.assign(32, '\0');
    records::TerritoryRecord[0] = territory;
    vat303::SumPeriod();
  }
};

TEST_F(SumPeriodTest, GroupsOfTheTerritoryTheYearAndTheLastGroupsPercentage) {
  LoadText("VPropiet", "OwnerCode,OwnerName,OwnerTaxId\n1,Un,ES1\n2,Dos,ES2\n3,Tres,ES3\n");
  LoadText("VGrups",
           "GroupCode,GroupTerritory\n00010001,01\n00010002,01\n00010003,04\n00020001,01\n00030001,01\n");
  LoadText("VCapPeri",
           "PeriodGroup,PeriodKeyDate,BaseB,RateB,BaseC,BaseA,RateA,CashAmount1,ProrataPct,CompensationAmt,Balance\n"
           "00010001,20231231,5000000,2100,0,0,0,0,100,0,0\n"      // the previous December: not in the year
           "00010001,20240630,100,2100,0,0,0,0,100,0,0\n"
           "00010001,20241231,1000,2100,0,0,0,0,80,500,7\n"        // compensation of the wrong sign
           "00010002,20240331,10,0,5,3,0,2,100,0,0\n"              // no December record: summed for the year only
           "00010003,20241231,99999,2100,0,0,0,0,55,0,99999\n"     // another territory
           "00020001,20241231,2000,0,0,40,0,0,90,-300,11\n"
           "00030001,20240331,1,2100,0,0,0,0,100,0,0\n");
  OpenFiles();
  forms::SelDate = PackedDate("20241231");
  forms::SelAnnual = true;

  Sum(1, '\x81');
  const vat303::Totals& t = vat303::PeriodTotals;
  EXPECT_TRUE(t.FoundAny);
  EXPECT_EQ(t.SumBaseB, 1000);
  EXPECT_EQ(t.SumBalance, 7);
  EXPECT_EQ(t.Compensation, 0);  // raised from -500
  EXPECT_EQ(t.YearBases, 100 + 1000 + 10 + 5);
  EXPECT_EQ(t.YearBaseA, 3);
  EXPECT_EQ(t.YearCash1, 2);
  EXPECT_EQ(vat303::RateSeenB, 2100);
  // The last group (territory 04) has its December record: its percentage
  // counts, though its amounts do not.
  EXPECT_DOUBLE_EQ(vat303::Prorata, 0.55);

  Sum(1, '\x84');
  EXPECT_EQ(vat303::PeriodTotals.SumBaseB, 99999);
  EXPECT_EQ(vat303::PeriodTotals.YearBases, 99999);

  // The next owner's rate slots start empty: its base at rate 0 is not
  // taken for one at 21 %.
  Sum(2, '\x81');
  EXPECT_EQ(vat303::RateSeenB, 0);
  EXPECT_EQ(vat303::PeriodTotals.Compensation, 300);
  EXPECT_DOUBLE_EQ(vat303::Prorata, 0.90);

  // A group without a record for the quarter leaves the percentage at 0,
  // whatever the period buffer held before; the owner has nothing to file.
  Sum(3, '\x81');
  EXPECT_FALSE(vat303::PeriodTotals.FoundAny);
  EXPECT_EQ(vat303::PeriodTotals.YearBases, 1);
  EXPECT_DOUBLE_EQ(vat303::Prorata, 0);
}

}  // namespace
}  // namespace returntest
