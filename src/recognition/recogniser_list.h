// The recognisers and their fixed order. Each one reads the working copy of the
// driver (bufr, len, MinorVal) only through the bounds-checked readers of
// match.h, answers a result code or 0 and, on a match, sets ver. The order decides between formats whose signatures overlap: specific
// signatures first, loose heuristics later, plain text last.
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <string_view>

namespace kiv {

// Each: no arguments; result code or 0; may set autorec_state.ver; never fails.
int auto_tst_rft();
int auto_tst_wp5();
int auto_tst_mm();
int auto_tst_msw();
int auto_tst_ow();
int auto_tst_qaw();
int auto_tst_en();
int auto_tst_pfs();
int auto_tst_fcdb();
int auto_tst_ws2();
int auto_tst_dx();
int auto_tst_ibm();
int auto_tst_rtf();
int auto_tst_WinWord();
int auto_tst_ami();
int auto_tst_wks();
int auto_tst_xls();
int auto_tst_fw3();
int auto_tst_rf();
int auto_tst_wang();
int auto_tst_sma();
int auto_tst_lm();
int auto_tst_fft();
int auto_tst_mwm();
int auto_tst_mcw();
int auto_tst_mcw2();
int auto_tst_mcwpro();
int auto_tst_clworks();
int auto_tst_ilf();
int auto_tst_mwp2();
int auto_tst_com();
int auto_tst_dif();
int auto_tst_db();
int auto_tst_pdx();
int auto_tst_access();
int auto_tst_ws5();
int auto_tst_leg();
int auto_tst_mdi();
int auto_tst_op();
int auto_tst_wordpro();
int auto_tst_quattro();
int auto_tst_crystal();
int auto_tst_wpl();
int auto_tst_vw();
int auto_tst_wmf();
int auto_tst_os2met();
int auto_tst_tiff();
int auto_tst_gif();
int auto_tst_iges();
int auto_tst_dxf();
int auto_tst_wn();
int auto_tst_wita();
int auto_tst_wizi();
int auto_tst_pdf();
int auto_tst_jpeg();
int auto_tst_corel();
int auto_tst_mgx();
int auto_tst_rgip();
int auto_tst_sdw();
int auto_tst_bmp();
int auto_tst_xpm();
int auto_tst_pict();
int auto_tst_sunras();
int auto_tst_eps();
int auto_tst_pic();
int auto_tst_WinWord6();
int auto_tst_xls5();
int auto_tst_html();
int auto_tst_formflow();
int auto_tst_plx();
int auto_tst_png();
int auto_tst_mas();
int auto_tst_works();
int auto_tst_works3();
int auto_tst_msp();
int auto_tst_dcx();
int auto_tst_pcx();
int auto_tst_winclp();
int auto_tst_winicon();
int auto_tst_power();
int auto_tst_ppt();
int auto_tst_freelance();
int auto_tst_wizidraw();
int auto_tst_WPGNoHdr();
int auto_tst_misc();
int auto_tst_def();
int auto_tst_xyw();
int auto_tst_uniplex();
int auto_tst_ceo();
int auto_tst_cgm();
int auto_tst_wp4();
int auto_tst_ws();
int auto_tst_wpm1();
int auto_tst_ptx();
int auto_tst_hpgl();
int auto_tst_hvdgrph();
int auto_tst_mac();
int auto_tst_zip();
int auto_tst_asc();

// 1 when a WordPerfect 5 document holds merge functions in its document area.
int CheckWPMailMergeFile();

using RecogniserFn = int (*)();

struct Recogniser {
  std::string_view name;
  RecogniserFn test;
};

// The full sequence, in the order it runs.
inline constexpr std::array<Recogniser, 99> recogniser_list = {{
    {"auto_tst_rft", auto_tst_rft},
    {"auto_tst_wp5", auto_tst_wp5},
    {"auto_tst_mm", auto_tst_mm},
    {"auto_tst_msw", auto_tst_msw},
    {"auto_tst_ow", auto_tst_ow},
    {"auto_tst_qaw", auto_tst_qaw},
    {"auto_tst_en", auto_tst_en},
    {"auto_tst_pfs", auto_tst_pfs},
    {"auto_tst_fcdb", auto_tst_fcdb},
    {"auto_tst_ws2", auto_tst_ws2},
    {"auto_tst_dx", auto_tst_dx},
    {"auto_tst_ibm", auto_tst_ibm},
    {"auto_tst_rtf", auto_tst_rtf},
    {"auto_tst_WinWord", auto_tst_WinWord},
    {"auto_tst_ami", auto_tst_ami},
    {"auto_tst_wks", auto_tst_wks},
    {"auto_tst_xls", auto_tst_xls},
    {"auto_tst_fw3", auto_tst_fw3},
    {"auto_tst_rf", auto_tst_rf},
    {"auto_tst_wang", auto_tst_wang},
    {"auto_tst_sma", auto_tst_sma},
    {"auto_tst_lm", auto_tst_lm},
    {"auto_tst_fft", auto_tst_fft},
    {"auto_tst_mwm", auto_tst_mwm},
    {"auto_tst_mcw", auto_tst_mcw},
    {"auto_tst_mcw2", auto_tst_mcw2},
    {"auto_tst_mcwpro", auto_tst_mcwpro},
    {"auto_tst_clworks", auto_tst_clworks},
    {"auto_tst_ilf", auto_tst_ilf},
    {"auto_tst_mwp2", auto_tst_mwp2},
    {"auto_tst_com", auto_tst_com},
    {"auto_tst_dif", auto_tst_dif},
    {"auto_tst_db", auto_tst_db},
    {"auto_tst_pdx", auto_tst_pdx},
    {"auto_tst_access", auto_tst_access},
    {"auto_tst_ws5", auto_tst_ws5},
    {"auto_tst_leg", auto_tst_leg},
    {"auto_tst_mdi", auto_tst_mdi},
    {"auto_tst_op", auto_tst_op},
    {"auto_tst_wordpro", auto_tst_wordpro},
    {"auto_tst_quattro", auto_tst_quattro},
    {"auto_tst_crystal", auto_tst_crystal},
    {"auto_tst_wpl", auto_tst_wpl},
    {"auto_tst_vw", auto_tst_vw},
    {"auto_tst_wmf", auto_tst_wmf},
    {"auto_tst_os2met", auto_tst_os2met},
    {"auto_tst_tiff", auto_tst_tiff},
    {"auto_tst_gif", auto_tst_gif},
    {"auto_tst_iges", auto_tst_iges},
    {"auto_tst_dxf", auto_tst_dxf},
    {"auto_tst_wn", auto_tst_wn},
    {"auto_tst_wita", auto_tst_wita},
    {"auto_tst_wizi", auto_tst_wizi},
    {"auto_tst_pdf", auto_tst_pdf},
    {"auto_tst_jpeg", auto_tst_jpeg},
    {"auto_tst_corel", auto_tst_corel},
    {"auto_tst_mgx", auto_tst_mgx},
    {"auto_tst_rgip", auto_tst_rgip},
    {"auto_tst_sdw", auto_tst_sdw},
    {"auto_tst_bmp", auto_tst_bmp},
    {"auto_tst_xpm", auto_tst_xpm},
    {"auto_tst_pict", auto_tst_pict},
    {"auto_tst_sunras", auto_tst_sunras},
    {"auto_tst_eps", auto_tst_eps},
    {"auto_tst_pic", auto_tst_pic},
    {"auto_tst_WinWord6", auto_tst_WinWord6},
    {"auto_tst_xls5", auto_tst_xls5},
    {"auto_tst_html", auto_tst_html},
    {"auto_tst_formflow", auto_tst_formflow},
    {"auto_tst_plx", auto_tst_plx},
    {"auto_tst_png", auto_tst_png},
    {"auto_tst_mas", auto_tst_mas},
    {"auto_tst_works", auto_tst_works},
    {"auto_tst_works3", auto_tst_works3},
    {"auto_tst_msp", auto_tst_msp},
    {"auto_tst_dcx", auto_tst_dcx},
    {"auto_tst_pcx", auto_tst_pcx},
    {"auto_tst_winclp", auto_tst_winclp},
    {"auto_tst_winicon", auto_tst_winicon},
    {"auto_tst_power", auto_tst_power},
    {"auto_tst_ppt", auto_tst_ppt},
    {"auto_tst_freelance", auto_tst_freelance},
    {"auto_tst_wizidraw", auto_tst_wizidraw},
    {"auto_tst_WPGNoHdr", auto_tst_WPGNoHdr},
    {"auto_tst_misc", auto_tst_misc},
    {"auto_tst_def", auto_tst_def},
    {"auto_tst_xyw", auto_tst_xyw},
    {"auto_tst_uniplex", auto_tst_uniplex},
    {"auto_tst_ceo", auto_tst_ceo},
    {"auto_tst_cgm", auto_tst_cgm},
    {"auto_tst_wp4", auto_tst_wp4},
    {"auto_tst_ws", auto_tst_ws},
    {"auto_tst_wpm1", auto_tst_wpm1},
    {"auto_tst_ptx", auto_tst_ptx},
    {"auto_tst_hpgl", auto_tst_hpgl},
    {"auto_tst_hvdgrph", auto_tst_hvdgrph},
    {"auto_tst_mac", auto_tst_mac},
    {"auto_tst_zip", auto_tst_zip},
    {"auto_tst_asc", auto_tst_asc},
}};

// The recogniser run first for an expected format; `then` runs when `first`
// answers 0 (only WordStar has two).
struct ExpectedRecogniser {
  int format;
  RecogniserFn first;
  RecogniserFn then;
};

inline constexpr std::array<ExpectedRecogniser, 52> expected_recognisers = {{
    {1, auto_tst_asc, nullptr},       {3, auto_tst_com, nullptr},
    {4, auto_tst_ws5, auto_tst_ws},   {5, auto_tst_msw, nullptr},
    {6, auto_tst_wp4, nullptr},       {7, auto_tst_wp5, nullptr},
    {8, auto_tst_pfs, nullptr},       {9, auto_tst_ws2, nullptr},
    {10, auto_tst_mm, nullptr},       {13, auto_tst_ibm, nullptr},
    {14, auto_tst_vw, nullptr},       {15, auto_tst_rft, nullptr},
    {16, auto_tst_ow, nullptr},       {17, auto_tst_xyw, nullptr},
    {18, auto_tst_dif, nullptr},      {19, auto_tst_rtf, nullptr},
    {20, auto_tst_wks, nullptr},      {21, auto_tst_xls, nullptr},
    {22, auto_tst_sma, nullptr},      {23, auto_tst_qaw, nullptr},
    {24, auto_tst_lm, nullptr},       {25, auto_tst_rf, nullptr},
    {26, auto_tst_wang, nullptr},     {27, auto_tst_ptx, nullptr},
    {28, auto_tst_en, nullptr},       {29, auto_tst_fw3, nullptr},
    {30, auto_tst_dx, nullptr},       {31, auto_tst_mas, nullptr},
    {32, auto_tst_fft, nullptr},      {33, auto_tst_ami, nullptr},
    {35, auto_tst_ilf, nullptr},      {36, auto_tst_def, nullptr},
    {37, auto_tst_leg, nullptr},      {44, auto_tst_WinWord, nullptr},
    {45, auto_tst_wpl, nullptr},      {51, auto_tst_mcw, nullptr},
    {52, auto_tst_mcw2, nullptr},     {53, auto_tst_mwm, nullptr},
    {54, auto_tst_mwm, nullptr},      {56, auto_tst_mcwpro, nullptr},
    {57, auto_tst_clworks, nullptr},  {60, auto_tst_mwp2, nullptr},
    {101, auto_tst_uniplex, nullptr}, {102, auto_tst_op, nullptr},
    {103, auto_tst_mdi, nullptr},     {104, auto_tst_ceo, nullptr},
    {105, auto_tst_crystal, nullptr}, {111, auto_tst_wordpro, nullptr},
    {703, auto_tst_pdx, nullptr},     {708, auto_tst_fcdb, nullptr},
    {770, auto_tst_db, nullptr},      {771, auto_tst_access, nullptr},
}};

static_assert(std::ranges::is_sorted(expected_recognisers, std::less{}, &ExpectedRecogniser::format));
static_assert(std::ranges::adjacent_find(expected_recognisers, std::equal_to{},
                                         &ExpectedRecogniser::format) == expected_recognisers.end());
consteval bool recogniser_names_unique() {
  for (std::size_t i = 0; i < recogniser_list.size(); ++i) {
    for (std::size_t j = i + 1; j < recogniser_list.size(); ++j) {
      if (recogniser_list[i].name == recogniser_list[j].name) return false;
    }
  }
  return true;
}
static_assert(recogniser_names_unique());
static_assert(recogniser_list.back().name == "auto_tst_asc", "plain text runs last");

// The row for an expected format, or null when the format has none.
const ExpectedRecogniser *find_expected_recogniser(int format);

}  // namespace kiv
