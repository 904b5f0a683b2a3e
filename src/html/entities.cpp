// Characters of the stream's character sets and character codes, turned into
// entities by level through one table.
#include "html/entities.h"

#include <string_view>

#include "html/attributes_fonts.h"
#include "html/output.h"
#include "html/writer.h"
#include "runtime/options.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"

namespace kiv {

//                                                         IBM PC, Windows ANSI, PC multilingual,
//                                                         Macintosh, ISO 8859-1, ISO 8859-2, Symbol
constexpr std::array<std::int32_t, char_set_count> CharSets = {437, 819, 850, 9999, 8591, 8592, 9998};

// Some texts are not standard entity names and are written as they stand:
// "&ldots;", "&degree;", "&hibar;" and the others; row 63 is a plain apostrophe.
// Rows that hold no value in any set are kept: they fix the row numbers.
constexpr std::array<EntityRow, entity_count> html_ext = {{
//  row        level text           437   819   850  9999  8591  8592  9998
    /*   0 */ {0, "&AElig;",    { 146,  198,  146,  174,  198,   -1,   -1}},
    /*   1 */ {0, "&Aacute;",   {  -1,  193,  181,  231,  193,  193,   -1}},
    /*   2 */ {0, "&Acirc;",    {  -1,  194,  182,  229,  194,  194,   -1}},
    /*   3 */ {0, "&Agrave;",   {  -1,  192,  183,  203,  192,   -1,   -1}},
    /*   4 */ {0, "&Aring;",    { 143,  197,  143,  129,  197,   -1,   -1}},
    /*   5 */ {0, "&Atilde;",   {  -1,  195,   -1,  204,  195,   -1,   -1}},
    /*   6 */ {0, "&Auml;",     { 142,  196,  142,  128,  196,  196,   -1}},
    /*   7 */ {0, "&Ccedil;",   { 128,  199,  128,  130,  199,  199,   -1}},
    /*   8 */ {0, "&ETH;",      {  -1,  208,  209,   -1,  208,  208,   -1}},
    /*   9 */ {0, "&Eacute;",   { 144,  201,  144,  131,  201,  201,   -1}},
    /*  10 */ {0, "&Ecirc;",    {  -1,  202,  210,  230,  202,   -1,   -1}},
    /*  11 */ {0, "&Egrave;",   {  -1,  200,  212,  233,  200,   -1,   -1}},
    /*  12 */ {0, "&Euml;",     {  -1,  203,  211,  232,  203,  203,   -1}},
    /*  13 */ {0, "&Iacute;",   {  -1,  205,  214,  234,  205,  205,   -1}},
    /*  14 */ {0, "&Icirc;",    {  -1,  206,  215,  235,  206,  206,   -1}},
    /*  15 */ {0, "&Igrave;",   {  -1,  204,  222,  237,  204,   -1,   -1}},
    /*  16 */ {0, "&Iuml;",     {  -1,  207,  216,  236,  207,   -1,   -1}},
    /*  17 */ {0, "&Ntilde;",   { 165,  209,  165,  132,  209,   -1,   -1}},
    /*  18 */ {0, "&Oacute;",   {  -1,  211,  224,  238,  211,  211,   -1}},
    /*  19 */ {0, "&Ocirc;",    {  -1,  212,  226,  239,  212,  212,   -1}},
    /*  20 */ {0, "&Ograve;",   {  -1,  210,  227,  241,  210,   -1,   -1}},
    /*  21 */ {0, "&Oslash;",   {  -1,  216,  157,  175,  216,   -1,   -1}},
    /*  22 */ {0, "&Otilde;",   {  -1,  213,  229,  205,  213,   -1,   -1}},
    /*  23 */ {0, "&Ouml;",     { 153,  214,  153,  133,  214,  229,   -1}},
    /*  24 */ {0, "&THORN;",    {  -1,  222,  232,   -1,  222,   -1,   -1}},
    /*  25 */ {0, "&Uacute;",   {  -1,  218,  233,  242,  218,  218,   -1}},
    /*  26 */ {0, "&Ucirc;",    {  -1,  219,  234,  243,  219,   -1,   -1}},
    /*  27 */ {0, "&Ugrave;",   {  -1,  217,  235,  244,  217,   -1,   -1}},
    /*  28 */ {0, "&Uuml;",     { 154,  220,  154,  134,  220,  220,   -1}},
    /*  29 */ {0, "&Yacute;",   {  -1,  221,  237,   -1,  221,   -1,   -1}},
    /*  30 */ {0, "&aacute;",   { 160,  225,  160,  135,  225,  225,   -1}},
    /*  31 */ {0, "&acirc;",    { 131,  226,  131,  137,  226,  226,   -1}},
    /*  32 */ {0, "&aelig;",    { 145,  230,  145,  190,  230,   -1,   -1}},
    /*  33 */ {0, "&agrave;",   { 133,  224,  133,  136,  224,   -1,   -1}},
    /*  34 */ {0, "&aring;",    { 134,  229,  134,  140,  229,   -1,   -1}},
    /*  35 */ {0, "&atilde;",   {  -1,  227,  198,  139,  227,   -1,   -1}},
    /*  36 */ {0, "&auml;",     { 132,  228,  132,  138,  228,  228,   -1}},
    /*  37 */ {0, "&ccedil;",   { 135,  231,  135,  141,  231,  231,   -1}},
    /*  38 */ {0, "&eth;",      {  -1,  240,  208,   -1,  240,  240,   -1}},
    /*  39 */ {0, "&eacute;",   { 130,  233,  130,  142,  233,  233,   -1}},
    /*  40 */ {0, "&ecirc;",    { 136,  234,  136,  144,  234,   -1,   -1}},
    /*  41 */ {0, "&egrave;",   { 138,  232,  138,  143,  232,   -1,   -1}},
    /*  42 */ {0, "&euml;",     { 137,  235,  137,  145,  235,  235,   -1}},
    /*  43 */ {0, "&iacute;",   { 161,  237,  161,  146,  237,  237,   -1}},
    /*  44 */ {0, "&icirc;",    { 140,  238,  140,  148,  238,  238,   -1}},
    /*  45 */ {0, "&igrave;",   { 141,  236,  141,  147,  236,   -1,   -1}},
    /*  46 */ {0, "&iuml;",     { 139,  239,  139,  149,  239,   -1,   -1}},
    /*  47 */ {0, "&ntilde;",   { 164,  241,  164,  150,  241,   -1,   -1}},
    /*  48 */ {0, "&oacute;",   { 162,  243,  162,  151,  243,  243,   -1}},
    /*  49 */ {0, "&ocirc;",    { 147,  244,  147,  153,  244,  244,   -1}},
    /*  50 */ {0, "&ograve;",   { 149,  226,  149,  152,  226,   -1,   -1}},
    /*  51 */ {0, "&oslash;",   { 237,  248,  155,  191,  248,   -1,   -1}},
    /*  52 */ {0, "&otilde;",   {  -1,  245,  228,  155,  245,   -1,   -1}},
    /*  53 */ {0, "&ouml;",     { 148,  246,  148,  154,  246,  246,   -1}},
    /*  54 */ {0, "&szlig;",    { 225,  223,  225,  167,  223,  223,   98}},
    /*  55 */ {0, "&thorn;",    {  -1,  254,  231,   -1,  254,   -1,   -1}},
    /*  56 */ {0, "&uacute;",   { 163,  250,  163,  156,  250,  250,   -1}},
    /*  57 */ {0, "&ucirc;",    { 150,  251,  150,  158,  251,  251,   -1}},
    /*  58 */ {0, "&ugrave;",   { 151,  249,  151,  157,  249,   -1,   -1}},
    /*  59 */ {0, "&uuml;",     { 129,  252,  129,  159,  252,  252,   -1}},
    /*  60 */ {0, "&yacute;",   {  -1,  253,  236,   -1,  253,  253,   -1}},
    /*  61 */ {0, "&yuml;",     { 152,  255,  152,  216,  255,   -1,   -1}},
    /*  62 */ {0, "&quot;",     {  34,  147,   34,  210,   34,   34,   -1}},
    /*  63 */ {0, "'",          {  39,  146,   39,   39,   39,   39,  162}},
    /*  64 */ {0, "&nbsp;",     {  -1,  160,   -1,  202,  160,  160,   -1}},
    /*  65 */ {2, "&cent;",     { 155,  162,  189,  162,  162,   -1,   -1}},
    /*  66 */ {2, "&pound;",    { 156,  163,   -1,  163,  163,   -1,   -1}},
    /*  67 */ {2, "&yen;",      { 157,  165,  190,  180,  165,   -1,   -1}},
    /*  68 */ {2, "&brvbar;",   { 124,  166,  179,  124,  166,  124,   -1}},
    /*  69 */ {2, "&sect;",     {  21,  167,  245,  164,  167,  167,   -1}},
    /*  70 */ {2, "&copy;",     {  -1,  169,  184,  169,  169,   -1,  211}},
    /*  71 */ {2, "&copy;",     {  -1,  169,  184,  169,  169,   -1,  227}},
    /*  72 */ {2, "&laquo;",    { 174,  171,  174,  199,  171,   -1,   -1}},
    /*  73 */ {2, "&raquo;",    { 175,  187,  175,  200,  187,   -1,   -1}},
    /*  74 */ {2, "&not;",      { 170,  172,  170,  194,  172,   -1,   -1}},
    /*  75 */ {2, "&reg;",      {  -1,  174,  169,  168,  174,   -1,  210}},
    /*  76 */ {2, "&reg;",      {  -1,  174,  169,  168,  174,   -1,  226}},
    /*  77 */ {2, "&degree;",   { 248,  176,  248,  165,  176,  176,  176}},
    /*  78 */ {2, "&plusmn;",   { 241,  177,  241,  177,  177,   -1,  177}},
    /*  79 */ {2, "&sup1;",     {  -1,  185,  251,   -1,  185,   -1,   -1}},
    /*  80 */ {2, "&sup2;",     { 253,  178,  253,   -1,  178,   -1,   -1}},
    /*  81 */ {2, "&sup3;",     {  -1,  179,  252,   -1,  179,   -1,   -1}},
    /*  82 */ {2, "&micro;",    { 230,  181,  230,  181,  181,   -1,  109}},
    /*  83 */ {2, "&para;",     {  20,  182,  244,  166,  182,   -1,   -1}},
    /*  84 */ {2, "&middot;",   { 249,  149,  250,  161,  183,   -1,  183}},
    /*  85 */ {2, "&middot;",   { 250,  149,  250,  161,  183,   -1,  183}},
    /*  86 */ {2, "&frac14;",   { 172,  188,  172,   -1,  188,   -1,   -1}},
    /*  87 */ {2, "&frac12;",   { 171,  189,  171,   -1,  189,   -1,   -1}},
    /*  88 */ {2, "&frac34;",   {  -1,  190,  243,   -1,  190,   -1,   -1}},
    /*  89 */ {2, "&iquest;",   { 168,  191,  168,  192,  191,   -1,   -1}},
    /*  90 */ {2, "&int;",      {  -1,   -1,   -1,  186,   -1,   -1,  243}},
    /*  91 */ {2, "&infin;",    { 236,   -1,   -1,   -1,   -1,   -1,  165}},
    /*  92 */ {2, "&iexcl;",    { 173,  161,  173,  193,  161,   -1,   -1}},
    /*  93 */ {2, "&curren;",   {  -1,  164,  207,   -1,  164,   -1,   -1}},
    /*  94 */ {2, "&uml;",      {  -1,  168,  249,  172,  168,  168,   -1}},
    /*  95 */ {2, "&ordf;",     { 166,  170,  166,  187,  170,   -1,   -1}},
    /*  96 */ {2, "&hibar;",    {  -1,  175,  238,  248,  175,   -1,   -1}},
    /*  97 */ {2, "&cedil;",    { 247,  184,  247,  252,  184,  178,   -1}},
    /*  98 */ {2, "&ordm;",     { 167,  186,  167,  188,  186,   -1,   -1}},
    /*  99 */ {2, "&times;",    {  -1,  215,  190,   -1,   -1,  215,  180}},
    /* 100 */ {2, "&divide;",   { 246,  247,  246,   -1,   -1,  247,  184}},
    /* 101 */ {2, "&trade;",    {  -1,  153,   -1,  170,   -1,   -1,  212}},
    /* 102 */ {2, "&mdash;",    {  -1,  151,   -1,  209,   -1,   -1,   -1}},
    /* 103 */ {2, "&ndash;",    {  -1,  150,   -1,  208,   -1,   -1,   -1}},
    /* 104 */ {2, "&ldots;",    {  -1,  133,   -1,  201,   -1,   -1,  188}},
    /* 105 */ {2, "&cdots;",    {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 106 */ {2, "&vdots;",    {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 107 */ {2, "&ddots;",    {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 108 */ {2, "&dotfill;",  {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 109 */ {2, "&thinsp;",   {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 110 */ {2, "&sp;",       {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 111 */ {2, "&quad;",     {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 112 */ {2, "&emsp;",     {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 113 */ {2, "&ensp;",     {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 114 */ {2, "&acute;",    {  -1,  180,  239,  171,  180,  180,  162}},
    /* 115 */ {2, "&grave;",    {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 116 */ {2, "&circ;",     {  -1,  136,   -1,  246,   -1,   -1,   -1}},
    /* 117 */ {2, "&tilde;",    {  -1,   -1,   -1,  247,   -1,   -1,   -1}},
    /* 118 */ {2, "&ring;",     {  -1,   -1,   -1,  251,   -1,   -1,   -1}},
    /* 119 */ {2, "&ogon;",     {  -1,   -1,   -1,  254,   -1,   -1,   -1}},
    /* 120 */ {2, "&ohm;",      { 234,   -1,   -1,  189,   -1,   -1,   87}},
    /* 121 */ {2, "&rarr;",     {  26,   -1,   26,   -1,   -1,   -1,  174}},
    /* 122 */ {2, "&uarr;",     {  24,   -1,   24,   -1,   -1,   -1,  173}},
    /* 123 */ {2, "&larr;",     {  27,   -1,   27,   -1,   -1,   -1,  172}},
    /* 124 */ {2, "&darr;",     {  25,   -1,   25,   -1,   -1,   -1,  175}},
    /* 125 */ {2, "&horbar;",   { 196,   45,  196,   45,   45,   45,   45}},
    /* 126 */ {2, "&dot;",      {  -1,   -1,   -1,  250,   -1,  255,   -1}},
    /* 127 */ {2, "&breve;",    {  -1,   -1,   -1,  249,   -1,  162,   -1}},
    /* 128 */ {2, "&caron;",    {  -1,   -1,   -1,  255,   -1,  183,   -1}},
    /* 129 */ {2, "&dblac;",    {  -1,   -1,   -1,   -1,   -1,  189,   -1}},
    /* 130 */ {2, "&sung;",     {  13,   -1,   13,   -1,   -1,   -1,   -1}},
    /* 131 */ {2, "&alpha;",    { 224,   -1,   -1,   -1,   -1,   -1,   97}},
    /* 132 */ {2, "&beta;",     { 225,   -1,   -1,   -1,   -1,   -1,   98}},
    /* 133 */ {2, "&gamma;",    {  -1,   -1,   -1,   -1,   -1,   -1,  103}},
    /* 134 */ {2, "&delta;",    { 235,   -1,   -1,  182,   -1,   -1,  100}},
    /* 135 */ {2, "&epsilon;",  { 238,   -1,   -1,   -1,   -1,   -1,  101}},
    /* 136 */ {2, "&vepsilon;", {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 137 */ {2, "&zeta;",     {  -1,   -1,   -1,   -1,   -1,   -1,  122}},
    /* 138 */ {2, "&eta;",      {  -1,   -1,   -1,   -1,   -1,   -1,  104}},
    /* 139 */ {2, "&theta;",    {  -1,   -1,   -1,   -1,   -1,   -1,  113}},
    /* 140 */ {2, "&vtheta;",   {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 141 */ {2, "&iota;",     {  -1,   -1,   -1,   -1,   -1,   -1,  105}},
    /* 142 */ {2, "&kappa;",    {  -1,   -1,   -1,   -1,   -1,   -1,  107}},
    /* 143 */ {2, "&lambda;",   {  -1,   -1,   -1,   -1,   -1,   -1,  108}},
    /* 144 */ {2, "&mu;",       { 230,   -1,   -1,   -1,   -1,   -1,  109}},
    /* 145 */ {2, "&nu;",       {  -1,   -1,   -1,   -1,   -1,   -1,  110}},
    /* 146 */ {2, "&xi;",       {  -1,   -1,   -1,   -1,   -1,   -1,   99}},
    /* 147 */ {2, "&omicron;",  {  -1,   -1,   -1,   -1,   -1,   -1,  111}},
    /* 148 */ {2, "&pi;",       { 227,   -1,   -1,  185,   -1,   -1,  112}},
    /* 149 */ {2, "&varpi;",    {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 150 */ {2, "&rho;",      {  -1,   -1,   -1,   -1,   -1,   -1,  114}},
    /* 151 */ {2, "&varrho;",   {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 152 */ {2, "&sigma;",    { 229,   -1,   -1,   -1,   -1,   -1,  115}},
    /* 153 */ {2, "&vsigma;",   {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 154 */ {2, "&tau;",      { 231,   -1,   -1,   -1,   -1,   -1,  116}},
    /* 155 */ {2, "&upsilon;",  {  -1,   -1,   -1,   -1,   -1,   -1,  117}},
    /* 156 */ {2, "&phi;",      { 237,   -1,   -1,   -1,   -1,   -1,  102}},
    /* 157 */ {2, "&varphi;",   {  -1,   -1,   -1,   -1,   -1,   -1,   -1}},
    /* 158 */ {2, "&chi;",      {  -1,   -1,   -1,   -1,   -1,   -1,  120}},
    /* 159 */ {2, "&psi;",      {  -1,   -1,   -1,   -1,   -1,   -1,  121}},
    /* 160 */ {2, "&omega;",    {  -1,   -1,   -1,   -1,   -1,   -1,  119}},
}};

namespace {

// Values in the table lie in 0 to 255; anything else finds no row.
constexpr int byte_values = 256;
constexpr std::int16_t no_row = -1;

// For each set and byte value, the first row holding it: the linear search
// the table defines, done once when the library is built.
using RowIndex = std::array<std::array<std::int16_t, byte_values>, char_set_count>;

// The Unicode scalar value of each row's character (0: the row names none), for
// numeric character references when the row's text needs a higher level.
constexpr std::array<std::uint32_t, entity_count> entity_unicode = {{
    /*   0 */ 0x00C6, 0x00C1, 0x00C2, 0x00C0, 0x00C5, 0x00C3, 0x00C4, 0x00C7, 0x00D0, 0x00C9,
    /*  10 */ 0x00CA, 0x00C8, 0x00CB, 0x00CD, 0x00CE, 0x00CC, 0x00CF, 0x00D1, 0x00D3, 0x00D4,
    /*  20 */ 0x00D2, 0x00D8, 0x00D5, 0x00D6, 0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00DC, 0x00DD,
    /*  30 */ 0x00E1, 0x00E2, 0x00E6, 0x00E0, 0x00E5, 0x00E3, 0x00E4, 0x00E7, 0x00F0, 0x00E9,
    /*  40 */ 0x00EA, 0x00E8, 0x00EB, 0x00ED, 0x00EE, 0x00EC, 0x00EF, 0x00F1, 0x00F3, 0x00F4,
    /*  50 */ 0x00F2, 0x00F8, 0x00F5, 0x00F6, 0x00DF, 0x00FE, 0x00FA, 0x00FB, 0x00F9, 0x00FC,
    /*  60 */ 0x00FD, 0x00FF, 0x0022, 0x0027, 0x00A0, 0x00A2, 0x00A3, 0x00A5, 0x00A6, 0x00A7,
    /*  70 */ 0x00A9, 0x00A9, 0x00AB, 0x00BB, 0x00AC, 0x00AE, 0x00AE, 0x00B0, 0x00B1, 0x00B9,
    /*  80 */ 0x00B2, 0x00B3, 0x00B5, 0x00B6, 0x00B7, 0x00B7, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    /*  90 */ 0x222B, 0x221E, 0x00A1, 0x00A4, 0x00A8, 0x00AA, 0x00AF, 0x00B8, 0x00BA, 0x00D7,
    /* 100 */ 0x00F7, 0x2122, 0x2014, 0x2013, 0x2026, 0x22EF, 0x22EE, 0x22F1, 0x0000, 0x2009,
    /* 110 */ 0x0020, 0x2001, 0x2003, 0x2002, 0x00B4, 0x0060, 0x02C6, 0x02DC, 0x02DA, 0x02DB,
    /* 120 */ 0x2126, 0x2192, 0x2191, 0x2190, 0x2193, 0x2015, 0x02D9, 0x02D8, 0x02C7, 0x02DD,
    /* 130 */ 0x266A, 0x03B1, 0x03B2, 0x03B3, 0x03B4, 0x03B5, 0x03F5, 0x03B6, 0x03B7, 0x03B8,
    /* 140 */ 0x03D1, 0x03B9, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BE, 0x03BF, 0x03C0, 0x03D6,
    /* 150 */ 0x03C1, 0x03F1, 0x03C3, 0x03C2, 0x03C4, 0x03C5, 0x03C6, 0x03D5, 0x03C7, 0x03C8,
    /* 160 */ 0x03C9,
}};

// Row texts that are no entities of HTML 4 (the table's own names): with
// numeric references on, the character's reference is written instead.
constexpr std::array<std::string_view, 25> private_texts = {
    "&degree;", "&hibar;", "&ldots;", "&cdots;", "&vdots;", "&ddots;", "&dotfill;", "&sp;", "&quad;",
    "&grave;", "&ring;", "&ogon;", "&ohm;", "&horbar;", "&dot;", "&breve;", "&caron;", "&dblac;",
    "&sung;", "&vepsilon;", "&vtheta;", "&varpi;", "&varrho;", "&vsigma;", "&varphi;"};

consteval std::array<bool, entity_count> build_private_rows() {
  std::array<bool, entity_count> rows{};
  for (std::size_t row = 0; row < entity_count; ++row)
    for (const std::string_view text : private_texts) rows[row] = rows[row] || text == html_ext[row].text;
  return rows;
}
constexpr std::array<bool, entity_count> private_row = build_private_rows();

consteval RowIndex build_row_index() {
  RowIndex index{};
  for (auto &column : index) column.fill(no_row);
  for (std::size_t row = entity_count; row-- > 0;)
    for (std::size_t set = 0; set < char_set_count; ++set) {
      const std::int32_t value = html_ext[row].values[set];
      if (value >= 0 && value < byte_values) index[set][static_cast<std::size_t>(value)] = static_cast<std::int16_t>(row);
    }
  return index;
}

consteval bool values_in_byte_range() {
  for (const EntityRow &row : html_ext)
    for (std::int32_t value : row.values)
      if (value < -1 || value >= byte_values) return false;
  return true;
}
static_assert(values_in_byte_range(), "the row index covers byte values only");

consteval bool levels_known() {
  for (const EntityRow &row : html_ext)
    if ((row.level != 0 && row.level != 2) || row.text[0] == '\0') return false;
  return true;
}
static_assert(levels_known());

constexpr RowIndex row_index = build_row_index();

// The length of every row's text, so that writing it needs no count.
constexpr auto text_length = [] {
  std::array<std::uint8_t, entity_count> lengths{};
  for (std::size_t row = 0; row < entity_count; ++row)
    lengths[row] = static_cast<std::uint8_t>(std::string_view(html_ext[row].text).size());
  return lengths;
}();

// The row for value in set, or no_row.
int find_row(std::int32_t set, std::int32_t value) {
  if (value < 0 || value >= byte_values) return no_row;  // -1 never matches
  for (std::size_t column = 0; column < char_set_count; ++column)
    if (CharSets[column] == set) return row_index[column][static_cast<std::size_t>(value)];
  return no_row;  // a set with no column
}

}  // namespace

int LookUpXChar(std::int32_t set, std::int32_t value) { return find_row(set, value) == no_row ? -1 : 0; }

// The Unicode scalar value for value of set when numeric references are on, or 0.
std::uint32_t reference_value(std::int32_t set, std::int32_t value) {
  if (settings.unicode_references == 0) return 0;
  const int row = find_row(set, value);
  if (row != no_row) return entity_unicode[static_cast<std::size_t>(row)];
  if (set != unicode_char_set && set != CharSets[4]) return 0;  // ISO 8859-1 values are Unicode values
  const auto c = static_cast<std::uint32_t>(value);
  const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
  const bool surrogate = c >= 0xD800 && c < 0xE000;
  return value <= 0 || control || surrogate || c > 0x10FFFF ? 0 : c;
}

void PutXChar(fmt_info *, std::int32_t set, std::int32_t value) {
  const int row = find_row(set, value);
  const bool referenced = settings.unicode_references != 0 && row != no_row && private_row[static_cast<std::size_t>(row)] &&
                          entity_unicode[static_cast<std::size_t>(row)] != 0;
  if (row != no_row && html_ext[static_cast<std::size_t>(row)].level <= writer.ver_code && !referenced) {
    const auto r = static_cast<std::size_t>(row);
    put_str(std::string_view(html_ext[r].text, text_length[r]));
    return;
  }
  if (const std::uint32_t c = reference_value(set, value); c != 0) {
    b_putc('&');
    b_putc('#');
    put_num(static_cast<std::int32_t>(c));
    b_putc(';');
    return;
  }
  b_putc('_');
}

int tt_xcs(fmt_info *rec, std::int32_t) {
  start_text(rec);
  const std::int32_t set = get_dec();
  const std::int32_t value = get_hex();
  x_icf();
  if (LookUpXChar(set, value) == 0 || reference_value(set, value) != 0) {
    PutXChar(rec, set, value);
    // The substitute character that follows stands for the same character.
    if (b_getc() == ESC) x_icf();
  }
  rec->line_has_text = 1;
  return 0;
}

int tt_ucs(fmt_info *rec, std::int32_t) {
  start_text(rec);
  for (std::int32_t value = get_hex(); value != -1; value = get_hex()) PutXChar(rec, CharSets[0], value);
  x_icf();
  rec->line_has_text = 1;
  return 0;
}

int put_nbsp(fmt_info *rec) {
  x_icf();
  // Neither a new paragraph nor the end of the line start: only the tags.
  if (rec->changed) CheckChanged(rec);
  put_str("&nbsp");
  return 0;
}

}  // namespace kiv
