// The code table. Rows are listed by name; the table is sorted by code number
// at compile time, and so is the index from code numbers to rows.
#include "html/code_table.h"

#include <algorithm>

#include "html/attributes_fonts.h"
#include "html/dispatch.h"
#include "html/document_head.h"
#include "html/entities.h"
#include "html/images_objects.h"
#include "html/indent_language.h"
#include "html/links_comments.h"
#include "html/notes_headers.h"
#include "html/paragraphs.h"
#include "html/shading.h"
#include "html/tables.h"
#include "stream/code_numbers.h"

namespace kiv {

namespace {

constexpr std::array<CodeTableRow, code_table_size> rows_by_name = {{
    {code("AFR"), tt_single},   {code("BBT"), tt_attr1},    {code("BCA"), tt_just},
    {code("BCL"), tt_bcl},      {code("BCO"), tt_cds},      {code("BCU"), tt_attr1},
    {code("BDU"), tt_attr1},    {code("BFL"), tt_attr_net}, {code("BHT"), tt_attr1},
    {code("BRA"), tt_just},     {code("BRJ"), tt_just},     {code("BRL"), tt_attr3},
    {code("BRO"), tt_cds},      {code("BSO"), tt_attr2},    {code("BUL"), tt_attr1},
    {code("CDS"), tt_cds},      {code("CMT"), tt_cmt},      {code("CTX"), tt_center},
    {code("DTB"), tt_single},   {code("EAT"), tt_single},   {code("EBS"), tt_attr3},
    {code("EBT"), tt_attr1},    {code("ECL"), tt_bcl},      {code("ECM"), tt_cds},
    {code("ECT"), tt_center},   {code("ECU"), tt_attr1},    {code("EDU"), tt_attr1},
    {code("EFL"), tt_attr_net}, {code("EFN"), tt_fnt},      {code("EFT"), tt_fnt},
    {code("EHT"), tt_attr1},    {code("EPS"), tt_attr3},    {code("ERJ"), tt_just},
    {code("ERL"), tt_attr3},    {code("ESO"), tt_attr2},    {code("ETM"), tt_stm},
    {code("EUL"), tt_attr1},    {code("FIC"), tt_fic},      {code("FNI"), tt_fni},
    {code("FNT"), tt_fnt},      {code("FTN"), tt_fnt},      {code("HCB"), tt_cds},
    {code("HEX"), tt_ucs},      {code("HF1"), tt_hf},       {code("HF2"), tt_hf},
    {code("HFX"), tt_hf},       {code("HHC"), tt_single},   {code("HNL"), tt_attr1},
    {code("HNP"), tt_single},   {code("IGR"), tt_igr},      {code("ITF"), tt_attr1},
    {code("ITO"), tt_attr1},    {code("LRT"), tt_stm},      {code("NBR"), tt_attr1},
    {code("OLE"), tt_ole},      {code("PCT"), tt_pds},      {code("PDS"), tt_pds},
    {code("PGW"), tt_single},   {code("PPN"), tt_single},   {code("RSM"), tt_single},
    {code("SBS"), tt_attr3},    {code("SCB"), tt_cds},      {code("SFL"), tt_single},
    {code("SHD"), tt_shd},      {code("SLG"), tt_slg},      {code("SNL"), tt_single},
    {code("SNP"), tt_single},   {code("SPF"), tt_spf},      {code("SPS"), tt_attr3},
    {code("SSI"), tt_ssi},      {code("STM"), tt_stm},      {code("TAB"), tt_single},
    {code("UCS"), tt_ucs},      {code("XCS"), tt_xcs},      {code("XRF"), tt_xrf},
}};

consteval std::array<CodeTableRow, code_table_size> sorted_by_code(std::array<CodeTableRow, code_table_size> rows) {
  std::sort(rows.begin(), rows.end(), [](const CodeTableRow &a, const CodeTableRow &b) { return a.code < b.code; });
  return rows;
}

consteval bool strictly_ascending(const std::array<CodeTableRow, code_table_size> &rows) {
  for (std::size_t i = 1; i < rows.size(); ++i)
    if (rows[i - 1].code >= rows[i].code) return false;
  return true;
}

}  // namespace

constexpr std::array<CodeTableRow, code_table_size> sorted_table = sorted_by_code(rows_by_name);
static_assert(strictly_ascending(sorted_table), "code numbers must be unique");

const std::array<CodeTableRow, code_table_size> tran_table = sorted_table;

namespace {

// Every code number of the table indexes its row (plus one; 0: no row). The
// numbers are packed letters, below 2^16, and the table's largest is the last.
constexpr auto row_of_code = [] {
  std::array<std::uint8_t, static_cast<std::size_t>(sorted_table.back().code) + 1> rows{};
  for (std::size_t i = 0; i < sorted_table.size(); ++i)
    rows[static_cast<std::size_t>(sorted_table[i].code)] = static_cast<std::uint8_t>(i + 1);
  return rows;
}();
static_assert(code_table_size < 255, "row numbers must fit a byte");

}  // namespace

CodeHandler find_handler(std::int32_t code) {
  if (code < 0 || static_cast<std::size_t>(code) >= row_of_code.size()) return nullptr;
  const std::uint8_t row = row_of_code[static_cast<std::size_t>(code)];
  return row != 0 ? tran_table[row - 1u].handler : nullptr;
}

}  // namespace kiv
