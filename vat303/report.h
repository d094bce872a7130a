// The owner VAT report of a report run, written into the print spool: one
// set of pages per territory with a heading, one line per owner with its
// warnings, and the territory's totals.
#pragma once

namespace vat303 {

// Page count and the six totals back to 0 (start of every territory).
void ResetReport();
// Pages started in the current territory.
int ReportPageCount();
void ReportHeading();
// The line of the current owner (records::OwnerRecord, PeriodTotals and
// the owner checks), with a heading first when the page is new or full.
void ReportLine();
void ReportTotals();

}  // namespace vat303
