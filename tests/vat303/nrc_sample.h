// The presenter's fields of the NRC requests the NRC tests write: a second
// quarter of 2024 filed by one office.
#pragma once

#include "vat303/nrc_file.h"

namespace testsupport {

inline void SetSampleNrcRequest() {
  vat303::NrcRequest = vat303::NrcRequestFields{};
  vat303::NrcRequest.model = "303";
  vat303::NrcRequest.year = "2024";
  vat303::NrcRequest.period = "2T";
  vat303::NrcRequest.presenterTaxId = "B65432106";
  vat303::NrcRequest.account = "21000418450200051332";
  vat303::NrcRequest.ibanPrefix = "ES91";
}

}  // namespace testsupport
