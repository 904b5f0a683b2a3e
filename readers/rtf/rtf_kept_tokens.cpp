// Keeping a token: its text run is copied into the fixed text buffer, since
// the tokenizer's window moves on.
#include "rtf_kept_tokens.h"

#include <cstring>

namespace kiv {

bool keep_token(RtfKeptTokens &kept, const RtfToken &token, const RtfWordEntry *entry) {
  if (kept.count == rtf_kept_tokens_max) return false;
  RtfKeptToken &k = kept.tokens[kept.count];
  k.kind = token.kind;
  k.entry = entry;
  k.has_param = token.has_param;
  k.param = token.kind == RtfTokenKind::control_word ? token.param : token.symbol;
  if (token.kind == RtfTokenKind::text) {
    if (token.text_len > rtf_kept_text_max - kept.text_len) return false;
    std::memcpy(kept.text.data() + kept.text_len, token.text, token.text_len);
    k.text_at = static_cast<std::uint32_t>(kept.text_len);
    k.text_len = static_cast<std::uint32_t>(token.text_len);
    kept.text_len += token.text_len;
  }
  ++kept.count;
  return true;
}

}  // namespace kiv
