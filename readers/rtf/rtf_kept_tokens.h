// Tokens that a look-ahead has read, kept so that the main reading takes them
// from here instead of reading them a second time. The buffer is fixed: a
// look-ahead longer than it keeps only its first tokens.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "rtf_control_words.h"
#include "rtf_tokenizer.h"

namespace kiv {

inline constexpr std::size_t rtf_kept_tokens_max = 2048;
inline constexpr std::size_t rtf_kept_text_max = 32768;  // bytes of the kept text runs together

struct RtfKeptToken {
  const RtfWordEntry *entry = nullptr;      // a control word's entry; null when unknown
  std::int32_t param = 0;                   // a control word's parameter; a symbol's character or a \'hh byte
  std::uint32_t text_at = 0, text_len = 0;  // a text run's bytes in the text buffer
  RtfTokenKind kind = RtfTokenKind::end;
  bool has_param = false;
};

struct RtfKeptTokens {
  std::array<RtfKeptToken, rtf_kept_tokens_max> tokens{};
  std::size_t count = 0, next = 0;  // kept, and taken of them
  std::array<unsigned char, rtf_kept_text_max> text{};
  std::size_t text_len = 0;
};

// Forgets every kept token (before a new look-ahead keeps its own).
inline void clear_kept_tokens(RtfKeptTokens &kept) { kept.count = kept.next = kept.text_len = 0; }

// Keeps token, with entry, its control word's entry (null for other tokens
// and unknown words). False, keeping nothing, when the buffer is full.
bool keep_token(RtfKeptTokens &kept, const RtfToken &token, const RtfWordEntry *entry);

// The number of kept tokens not yet taken.
inline std::size_t kept_tokens_waiting(const RtfKeptTokens &kept) { return kept.count - kept.next; }

// The kept token n places after the next one to take, into token and entry,
// leaving it kept; n below kept_tokens_waiting. Its text stays valid until the
// buffer is cleared.
inline void kept_token_at(const RtfKeptTokens &kept, std::size_t n, RtfToken &token, const RtfWordEntry *&entry) {
  const RtfKeptToken &k = kept.tokens[kept.next + n];
  token.kind = k.kind;
  entry = k.entry;
  token.has_param = k.has_param;
  token.param = k.param;
  token.symbol = k.param;
  token.text = kept.text.data() + k.text_at;
  token.text_len = k.text_len;
}

// Takes the next kept token, as kept_token_at(kept, 0, ...) shows it; one must wait.
inline void take_kept_token(RtfKeptTokens &kept, RtfToken &token, const RtfWordEntry *&entry) {
  kept_token_at(kept, 0, token, entry);
  ++kept.next;
}

}  // namespace kiv
