// Fields of the record buffers that the return reads (offsets of the data
// files' layouts). Reading past the end of a short buffer gives zero bytes.
#pragma once

#include <cstdint>
#include <string>

namespace vat303 {

// Owner record ("DADES\VPropiet").
constexpr std::size_t kOwnerCode = 0, kOwnerCodeWidth = 2;
constexpr std::size_t kOwnerName = 2, kOwnerNameWidth = 40;
constexpr std::size_t kOwnerAccount = 216, kOwnerAccountWidth = 34;
constexpr std::size_t kOwnerStatus = 716;
constexpr std::size_t kRegimeDate = 717;
constexpr std::size_t kRegimeCode = 735;
constexpr std::size_t kOwnerTaxId = 809, kTaxIdWidth = 17;
// Fiscal record ("DADES\UFiscal").
constexpr std::size_t kFiscalName = 14, kFiscalNameWidth = 40;
constexpr std::size_t kFiscalTaxId = 186;
// Territory record ("TAULES\UTerrito").
constexpr std::size_t kTerritoryCode = 0;
constexpr std::size_t kTerritoryName = 1, kTerritoryNameWidth = 10;
// Group record ("DADES\VGrups").
constexpr std::size_t kGroupCode = 0, kGroupCodeWidth = 4;
constexpr std::size_t kGroupTerritory = 49;
// Period record ("DADES\VCapPeri").
constexpr std::size_t kPeriodKey = 0, kPeriodKeyWidth = 8;  // PeriodGroup + PeriodKeyDate
constexpr std::size_t kPeriodKeyDate = 4;
constexpr std::size_t kBaseB = 8, kRateB = 12, kQuotaB = 14;
constexpr std::size_t kBaseA = 18, kRateA = 22, kQuotaA = 24;
constexpr std::size_t kInputVat = 28, kProrataPct = 32, kDeductibleQuota = 33;
constexpr std::size_t kCompensationAmt = 37, kBalance = 41, kDeductibleBase = 45;
constexpr std::size_t kRegularisation = 49;
constexpr std::size_t kBaseC = 81, kRateC = 85, kQuotaC = 87;
constexpr std::size_t kCashAmount1 = 91, kCashAmount2 = 95, kCashAmount3 = 99, kCashAmount4 = 103;

inline unsigned char ByteAt(const std::string& record, std::size_t at) {
  return at < record.size() ? static_cast<unsigned char>(record[at]) : 0;
}

inline std::int32_t Int32At(const std::string& record, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(ByteAt(record, at + i)) << (8 * i);
  return static_cast<std::int32_t>(v);
}

inline std::int16_t Int16At(const std::string& record, std::size_t at) {
  const std::uint32_t v = ByteAt(record, at) | (static_cast<std::uint32_t>(ByteAt(record, at + 1)) << 8);
  return static_cast<std::int16_t>(v);
}

// `width` bytes from `at`, zero bytes where the buffer is short.
inline std::string BytesAt(const std::string& record, std::size_t at, std::size_t width) {
  std::string out(width, '\0');
  for (std::size_t i = 0; i < width; ++i) out[i] = static_cast<char>(ByteAt(record, at + i));
  return out;
}

}  // namespace vat303
