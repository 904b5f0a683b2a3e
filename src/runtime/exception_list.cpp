// The exception list.
#include "runtime/exception_list.h"

#include <algorithm>
#include <string_view>

#include "html/writer.h"
#include "runtime/error_exit.h"
#include "runtime/file_layer.h"
#include "runtime/options.h"
#include "stream/code_numbers.h"

namespace kiv {

ExceptionListState exception_list;

void reset_exception_list() { exception_list = {}; }

// Deliberate: DIF appears twice, as in the list every converter of the suite shares.
const std::array<IcfCode, 45> ex = {
    code("SOD"), code("HFD"), code("EOD"), code("MMH"), code("PWV"), code("PDV"), code("IWV"), code("IDV"),
    code("HFX"), code("RUL"), code("VWH"), code("VWI"), code("OFH"), code("DCA"), code("RFT"), code("BTO"),
    code("MAS"), code("MSD"), code("WPH"), code("XYW"), code("WS4"), code("WS5"), code("DIF"), code("IPS"),
    code("STB"), code("NTB"), code("QAH"), code("WP5"), code("SSI"), code("DIF"), code("FOR"), code("MMW"),
    code("TWP"), code("PIC"), code("MCS"), code("MWD"), code("WPI"), code("WPG"), code("DID"), code("MP2"),
    code("SYT"), code("SEP"), code("RTF"), code("WS2"), code("EOP"),
};

namespace {

// "KIVO CONVERTS Exception List " and its NUL: 30 bytes.
constexpr char hdr_str1[30] = "KIVO CONVERTS Exception List ";

bool list_in_file() {
  return (settings.optflags & opt_exception_list) && !(settings.optflags & opt_exceptions_inline);
}

// Writes to the list: 7 when the write fails; nothing written ends the run with 4.
int write_list(std::string_view bytes) {
  const int n = KIVwrite(exception_list.exc, bytes.data(), static_cast<int>(bytes.size()));
  if (n < 0) return exit_exception_list_write;
  if (n == 0 && !bytes.empty()) err_exit(exit_write_failed);
  return 0;
}

}  // namespace

int exopen(const char *name) {
  if (list_in_file()) {
    exception_list.exc = bf_open(name, open_append);
    if (exception_list.exc == -1) return exit_exception_list_open;
    exception_list.f_time = 0;
  }
  return 0;
}

int exclose() {
  if (list_in_file() && exception_list.exc != -1) {
    KIVclose(exception_list.exc);
    exception_list.exc = -1;
  }
  return 0;
}

int except(int, int, char *name) {
  const IcfCode number = StrToIcfCode(name);
  const std::string_view letters(name, 3);
  if (std::find(ex.begin(), ex.end(), number) != ex.end()) {
    x_icf();
    name[0] = RS;
    return 0;
  }
  const bool inline_marks = (settings.optflags & opt_exceptions_inline) != 0;
  const bool to_list = !inline_marks && (settings.optflags & opt_exception_list) && exception_list.exc != -1;
  if (inline_marks) {
    ex_put('<');
    for (char c : letters) ex_put(static_cast<unsigned char>(c));
  } else if (to_list) {
    if (exception_list.f_time == 0) {
      if (const int rc = write_list(std::string_view(hdr_str1, sizeof hdr_str1))) return rc;
      if (const int rc = write_list("\r\n\r\n\r\n")) return rc;
      exception_list.f_time = 1;
    }
    char line[4] = {'<', letters[0], letters[1], letters[2]};
    if (const int rc = write_list(std::string_view(line, 4))) return rc;
  }
  x_icf();
  if (inline_marks) {
    ex_put('>');
    ex_put(' ');
  } else if (to_list) {
    if (const int rc = write_list(">\r\n")) return rc;
  }
  name[0] = RS;
  return 0;
}

}  // namespace kiv
