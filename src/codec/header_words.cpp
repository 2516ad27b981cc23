// RFC 2047 encoded words: decoding every received header value we show, and writing them for
// the headers and attachment names of mail we send.
#include "codec/header_words.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "codec/base64.h"
#include "codec/charset.h"
#include "codec/hex_digit.h"
#include "codec/percent.h"
#include "codec/quoted_printable.h"
#include "codec/up_to_nul.h"
#include "platform/ascii.h"
#include "platform/iconv_converter.h"
#include "platform/utf8.h"

namespace zelk::codec {
namespace {

using platform::IsBlank;

bool IsEightBit(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// ---- Decoding ----

struct EncodedWord {
  std::string_view charset;
  std::string_view encoding;  // "B" or "Q", either case
  std::string_view text;
  std::size_t end;  // just after the closing "?="
};

// RFC 2047 §2: neither the charset, the encoding nor the encoded text holds a "?" or white space,
// and control characters have no place in any of them.
bool EndsWordPiece(char c) { return c == '?' || static_cast<unsigned char>(c) <= ' ' || c == '\x7F'; }

// The position of the "?" that ends the piece starting at pos; npos when a character that no piece
// holds comes first. Each look stops at the next "?", so every character of a value is passed by
// the looks from at most the three "=?" before it, and decoding stays linear in the value.
std::size_t PieceEnd(std::string_view value, std::size_t pos) {
  while (pos < value.size() && !EndsWordPiece(value[pos])) ++pos;
  return pos < value.size() && value[pos] == '?' ? pos : std::string_view::npos;
}

// The well-formed word whose "=?" stands at pos: a charset, "B" or "Q", the encoded text, "?=".
// Nothing otherwise, and then the "=?" is text ("Is 1+1 =? really").
std::optional<EncodedWord> ReadWord(std::string_view value, std::size_t pos) {
  const std::size_t charsetEnd = PieceEnd(value, pos + 2);
  if (charsetEnd == std::string_view::npos || charsetEnd == pos + 2) return std::nullopt;
  const std::size_t encodingEnd = PieceEnd(value, charsetEnd + 1);
  if (encodingEnd != charsetEnd + 2 || std::string_view("BbQq").find(value[charsetEnd + 1]) == std::string_view::npos) {
    return std::nullopt;
  }
  const std::size_t textEnd = PieceEnd(value, encodingEnd + 1);
  if (textEnd == std::string_view::npos || value.substr(textEnd, 2) != "?=") return std::nullopt;
  return EncodedWord{value.substr(pos + 2, charsetEnd - pos - 2),
                     value.substr(charsetEnd + 1, encodingEnd - charsetEnd - 1),
                     value.substr(encodingEnd + 1, textEnd - encodingEnd - 1), textEnd + 2};
}

std::string DecodeWordText(const EncodedWord& word) {
  if (word.encoding == "B" || word.encoding == "b") return Base64Decode(word.text);
  std::string text(word.text);
  std::replace(text.begin(), text.end(), '_', ' ');
  return QuotedPrintableDecode(text);
}

// A line break inside a word would end the header line it is shown on. Multi-byte characters are
// copied whole, so none of their bytes is taken for CR or LF.
void AppendWithoutLineBreaks(std::string& out, std::string_view text) {
  if (text.find_first_of("\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = platform::LocalCharLength(text, pos);
    if (length > 1 || (text[pos] != '\r' && text[pos] != '\n')) out += text.substr(pos, length);
    pos += length;
  }
}

bool StartsJis(std::string_view value, std::size_t pos) {
  return value.substr(pos, 2) == "\x1B$" && pos + 2 < value.size() && (value[pos + 2] == '@' || value[pos + 2] == 'B');
}

struct Span {
  std::size_t begin;
  std::size_t end;
};

// The raw text between the words becomes local text; what the words gave is local already. Raw
// ISO-2022-JP goes line by line: a JIS line break ends kanji and katakana runs anyway, and a
// katakana byte 0x0A, 0x0D or 0x80 shifted up by 0x80 would otherwise wrap round to a line break
// or a zero byte that the mail never had. Other 8-bit bytes declare no charset.
std::string RawRunsToLocal(std::string_view out, const std::vector<Span>& local, bool jis, std::string_view fallbackCharset) {
  std::string result;
  result.reserve(out.size());
  auto raw = [&](std::string_view run) {
    if (!jis || run.find_first_of("\x1B\x0E") == std::string_view::npos) {
      result += UndeclaredToLocal(run, fallbackCharset);
      return;
    }
    for (;;) {
      const std::size_t lineEnd = std::min(run.find_first_of("\r\n"), run.size());
      std::string line = *CharsetToLocal(run.substr(0, lineEnd), "ISO-2022-JP");
      std::erase_if(line, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
      result += line;
      if (lineEnd == run.size()) break;
      result += run[lineEnd];
      run.remove_prefix(lineEnd + 1);
    }
  };
  std::size_t pos = 0;
  for (const Span& span : local) {
    raw(out.substr(pos, span.begin - pos));
    result += out.substr(span.begin, span.end - span.begin);
    pos = span.end;
  }
  raw(out.substr(pos));
  return result;
}

// ---- Encoding ----

struct Token {
  std::string bytes;
  bool encode;  // holds an 8-bit byte or a multi-byte character
};

// Appends the character at pos to the token under construction; returns the position after it.
std::size_t TakeChar(std::string_view local, std::size_t pos, Token& token) {
  const std::size_t length = platform::LocalCharLength(local, pos);
  const std::string_view c = local.substr(pos, length);
  token.bytes += c;
  if (length > 1 || IsEightBit(c.front())) token.encode = true;
  return pos + length;
}

// Words with the run of spaces after them.
std::vector<Token> SplitPlain(std::string_view local) {
  std::vector<Token> tokens;
  for (std::size_t pos = 0; pos < local.size();) {
    Token token{{}, false};
    while (pos < local.size() && local[pos] != ' ') pos = TakeChar(local, pos, token);
    while (pos < local.size() && local[pos] == ' ') token.bytes += local[pos++];
    tokens.push_back(std::move(token));
  }
  return tokens;
}

// Quoted strings whole; "(", ")", ",", "<" and ">" alone; the text between them. A comma ends a
// run of text too: an encoded word that swallowed one would merge two addresses into one name.
std::vector<Token> SplitAddresses(std::string_view local) {
  constexpr std::string_view kSeparators = "(),<>";
  std::vector<Token> tokens;
  for (std::size_t pos = 0; pos < local.size();) {
    Token token{{}, false};
    const char first = local[pos];
    if (first == '"') {
      token.bytes += local[pos++];
      while (pos < local.size()) {
        const char c = local[pos];
        const std::size_t next = TakeChar(local, pos, token);
        const bool single = next - pos == 1;
        pos = next;
        if (single && c == '"') break;
        if (single && c == '\\' && pos < local.size()) pos = TakeChar(local, pos, token);
      }
    } else if (kSeparators.find(first) != std::string_view::npos) {
      token.bytes += local[pos++];
    } else {
      while (pos < local.size() && local[pos] != '"' && kSeparators.find(local[pos]) == std::string_view::npos) {
        const char c = local[pos];
        const std::size_t next = TakeChar(local, pos, token);
        const bool single = next - pos == 1;
        pos = next;
        if (single && c == '\\' && pos < local.size()) pos = TakeChar(local, pos, token);
      }
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

void JoinAlike(std::vector<Token>& tokens) {
  std::vector<Token> joined;
  for (Token& token : tokens) {
    if (!joined.empty() && joined.back().encode == token.encode) {
      joined.back().bytes += token.bytes;
    } else {
      joined.push_back(std::move(token));
    }
  }
  tokens = std::move(joined);
}

constexpr std::size_t kWordBytes = 15;

// Keeps encoded words short (15 bytes of text and the rest of the character) and plain lines
// within the line length of mail (800 bytes). No empty piece is made: it would fold into a line
// of white space alone.
std::vector<Token> CutLong(std::vector<Token> tokens) {
  constexpr std::size_t kPlainBytes = 800;
  std::vector<Token> cut;
  for (Token& token : tokens) {
    std::string_view rest = token.bytes;
    for (;;) {
      std::size_t at = rest.size();
      if (token.encode && rest.size() > kWordBytes) {
        at = 0;
        while (at < kWordBytes) at += platform::LocalCharLength(rest, at);
      } else if (!token.encode && rest.size() > kPlainBytes) {
        at = kPlainBytes;
      }
      cut.push_back({std::string(rest.substr(0, at)), token.encode});
      if (at >= rest.size()) break;
      rest.remove_prefix(at);
    }
  }
  return cut;
}

// The byte codecs stop at a zero byte; charsets such as UTF-16 have them inside characters.
template <typename Encode>
std::string EncodeAcrossZeros(std::string_view bytes, Encode encode, std::string_view zero) {
  std::string out;
  for (;;) {
    const std::size_t nul = bytes.find('\0');
    out += encode(bytes.substr(0, nul));
    if (nul == std::string_view::npos) return out;
    out += zero;
    bytes.remove_prefix(nul + 1);
  }
}

// Quoted-printable as bodies have it leaves TAB, CR, LF and DEL as they are; an encoded word may
// hold no white space and no control character, so they are escaped too.
std::string QEncode(std::string_view bytes) {
  const std::string body =
      EncodeAcrossZeros(bytes, [](std::string_view part) { return QuotedPrintableEncode(part, 0); }, "=00");
  std::string out;
  out.reserve(body.size());
  for (const char c : body) {
    if (c == '\t' || c == '\r' || c == '\n' || c == '\x7F') {
      out += '=';
      AppendHexByte(out, static_cast<unsigned char>(c));
    } else {
      out += c;
    }
  }
  return out;
}

std::string PercentEncodeAll(std::string_view bytes) {
  return EncodeAcrossZeros(bytes, [](std::string_view part) { return PercentEncode(part); }, "%00");
}

CharsetText ForSending(const std::string& local, std::string_view charset) {
  if (std::optional<CharsetText> converted = LocalToCharset(local, charset)) return std::move(*converted);
  return {local, std::string(charset)};  // a charset nobody here knows: sent as it stands
}

// The cut above measured local bytes. Text that falls back to UTF-8 can grow to half as much
// again (two Shift_JIS bytes become three), which would make a quoted-printable word longer than
// the 75 characters RFC 2047 allows, so UTF-8 words are cut again by the same rule.
std::vector<std::string_view> CutUtf8Words(const CharsetText& text) {
  std::string_view rest = text.bytes;
  if (!platform::IsUtf8Name(text.charset)) return {rest};
  std::vector<std::string_view> parts;
  while (rest.size() > kWordBytes) {
    std::size_t at = 0;
    while (at < kWordBytes) at += platform::DecodeUtf8At(rest, at).length;
    if (at >= rest.size()) break;
    parts.push_back(rest.substr(0, at));
    rest.remove_prefix(at);
  }
  parts.push_back(rest);
  return parts;
}

// ---- Folding outgoing text so that a reader gets the value back ----
//
// RFC 5322 §2.2.3 unfolds by removing CR LF alone, and RFC 2047 §6.2 drops white space only
// between two encoded words. So a line may fold only before a blank the value has, or between
// two encoded words; a fold anywhere else adds a blank to what the reader sees.

// A piece of the value: a blank run, or what lies between blank runs (a word, or in addresses a
// quoted string, a separator or the text between them).
struct Atom {
  std::string bytes;
  bool encode;
  bool blank;
};

void SplitWordsInto(std::string_view local, std::vector<Atom>& atoms) {
  for (std::size_t pos = 0; pos < local.size();) {
    if (platform::IsBlankOrLineBreak(local[pos])) {
      const std::size_t end = std::min(local.find_first_not_of(" \t\r\n", pos), local.size());
      atoms.push_back({std::string(local.substr(pos, end - pos)), false, true});
      pos = end;
      continue;
    }
    Token word{{}, false};
    while (pos < local.size() && !platform::IsBlankOrLineBreak(local[pos])) {
      // Control characters have no place in header text but inside a word.
      if (static_cast<unsigned char>(local[pos]) < 0x20 || local[pos] == '\x7F') word.encode = true;
      pos = TakeChar(local, pos, word);
    }
    atoms.push_back({std::move(word.bytes), word.encode, false});
  }
}

std::vector<Atom> SplitAtoms(std::string_view local, bool addressAware) {
  std::vector<Atom> atoms;
  if (!addressAware) {
    SplitWordsInto(local, atoms);
    return atoms;
  }
  for (Token& token : SplitAddresses(local)) {
    const char first = token.bytes.front();
    if (first == '"' || std::string_view("(),<>").find(first) != std::string_view::npos) {
      atoms.push_back({std::move(token.bytes), token.encode, false});
    } else {
      SplitWordsInto(token.bytes, atoms);
    }
  }
  return atoms;
}

// Encoded atoms with only blanks between them become one run, the blanks encoded with them: a
// blank between two words would be lost. A plain word too long for a line is encoded too when
// words are written, so that it can fold without a blank added. Line breaks never go into a word.
std::vector<Atom> JoinEncodedRuns(std::vector<Atom> atoms, bool words) {
  constexpr std::size_t kPlainBytes = 800;
  std::vector<Atom> joined;
  for (Atom& atom : atoms) {
    if (words && !atom.blank && atom.bytes.size() > kPlainBytes) atom.encode = true;
    if (atom.encode) std::erase_if(atom.bytes, [](char c) { return c == '\r' || c == '\n'; });
    if (atom.encode && !joined.empty() && joined.back().encode) {
      joined.back().bytes += atom.bytes;
    } else if (atom.encode && joined.size() >= 2 && joined.back().blank && joined[joined.size() - 2].encode &&
               joined.back().bytes.find_first_of("\r\n") == std::string::npos) {
      const std::string between = std::move(joined.back().bytes);
      joined.pop_back();
      joined.back().bytes += between + atom.bytes;
    } else {
      joined.push_back(std::move(atom));
    }
  }
  return joined;
}

// Lines are kept within the 76 characters RFC 2047 §2 allows lines with encoded words, where the
// words allow; the first one also holds the name, and "Reply-To: " is the longest name these
// values follow.
constexpr std::size_t kLineLimit = 76;
constexpr std::size_t kNameRoom = 10;

// Appends the separator (blanks) and the piece, folding before the separator when the line
// would grow too long. A separator that holds a fold already keeps it.
void AppendFolded(std::string& out, std::size_t& column, const std::string& separator, const std::string& piece) {
  const bool folded = separator.find('\n') != std::string::npos;
  if (!folded && !separator.empty() && !out.empty() && column + separator.size() + piece.size() > kLineLimit) {
    out += "\r\n";
    column = 0;
  }
  out += separator;
  column = folded ? separator.size() - separator.rfind('\n') - 1 : column + separator.size();
  out += piece;
  column += piece.size();
}

// Fits between double quotes: printable ASCII, tabs and folds (CR LF and a blank).
bool Quotable(std::string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if ((c >= 0x20 && c <= 0x7E) || c == '\t') continue;
    if (c == '\r' && name.substr(i + 1, 1) == "\n" && i + 2 < name.size() && IsBlank(name[i + 2])) {
      ++i;
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace

std::string DecodeHeaderWords(std::string_view value, std::string_view fallbackCharset) {
  value = UpToNul(value);
  std::string out;
  out.reserve(value.size());
  std::vector<Span> local;  // parts of out that decoded words put there, in the local code page
  bool afterWord = false;
  bool jis = false;
  bool eightBit = false;
  std::size_t wordEnd = 0;
  for (std::size_t pos = 0; pos < value.size();) {
    if (value.substr(pos, 2) == "=?") {
      if (const std::optional<EncodedWord> word = ReadWord(value, pos)) {
        if (afterWord) out.resize(wordEnd);  // only white space was written since that word
        const std::string decoded = DecodeWordText(*word);
        const std::optional<std::string> converted = CharsetToLocal(decoded, word->charset);
        const std::size_t begin = out.size();
        AppendWithoutLineBreaks(out, UpToNul(converted ? *converted : decoded));
        if (converted) {
          local.push_back({begin, out.size()});
        } else {
          eightBit = true;  // a charset nobody here knows declares nothing
        }
        afterWord = true;
        wordEnd = out.size();
        pos = word->end;
        continue;
      }
    }
    // Text up to the next "=" goes over in one piece.
    const std::size_t next = std::min(value.find('=', pos + 1), value.size());
    for (std::size_t at = pos; at < next; ++at) {
      if (IsEightBit(value[at])) {
        eightBit = true;
      } else if (value[at] == '\x1B' && StartsJis(value, at)) {
        jis = true;
      }
    }
    const std::string_view run = value.substr(pos, next - pos);
    if (run.find_first_not_of(" \t\r\n") != std::string_view::npos) afterWord = false;
    out += run;
    pos = next;
  }
  // Valid UTF-8 throughout is all local text already.
  if (!jis && (!eightBit || (platform::LocalCodePageIsUtf8() && IsUtf8(out)))) return out;
  return RawRunsToLocal(out, local, jis, fallbackCharset);
}

platform::Text EncodeHeaderText(const platform::Text& value, bool addressAware, HeaderEncoding encoding) {
  const bool words = encoding.form != 0 && encoding.form != 1;
  const std::vector<Atom> atoms = JoinEncodedRuns(SplitAtoms(platform::TextToLocal(value), addressAware), words);
  const bool quotedPrintable = encoding.form == 3;
  std::string out;
  std::size_t column = kNameRoom;
  std::string blanks;  // the blank run before the next atom: where the line may fold
  for (const Atom& atom : atoms) {
    if (atom.blank) {
      blanks += atom.bytes;
      continue;
    }
    std::vector<std::string> pieces;
    if (!atom.encode) {
      // Without words a plain word too long for a line can only be cut (see JoinEncodedRuns).
      for (Token& cut : CutLong({{atom.bytes, false}})) pieces.push_back(std::move(cut.bytes));
    } else if (!words) {
      pieces.push_back(ForSending(atom.bytes, encoding.charset).bytes);
    } else {
      for (const Token& cut : CutLong({{atom.bytes, true}})) {
        const CharsetText text = ForSending(cut.bytes, encoding.charset);
        for (const std::string_view part : CutUtf8Words(text)) {
          pieces.push_back("=?" + text.charset + (quotedPrintable ? "?Q?" : "?B?") +
                           (quotedPrintable ? QEncode(part) : Base64Encode(part)) + "?=");
        }
      }
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      // Between two words of one run a blank of our own: readers drop white space between words.
      const std::string separator = i == 0 ? std::move(blanks) : std::string(" ");
      AppendFolded(out, column, separator, pieces[i]);
    }
    blanks.clear();
  }
  out += blanks;
  return platform::LocalToText(out);
}

platform::Text EncodeFileNameParam(const platform::Text& name, std::string_view headCharset) {
  const std::string local = platform::TextToLocal(name);
  if (Quotable(local)) {
    std::string out = "\r\n filename=\"";
    for (const char c : local) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
    return platform::LocalToText(out);
  }

  std::vector<Token> tokens = SplitPlain(local);
  JoinAlike(tokens);
  tokens = CutLong(std::move(tokens));
  // The charset is named once, in the first section, so every section must be in it.
  std::vector<std::string> sections(tokens.size());
  auto convertAll = [&](std::string_view charset) -> std::optional<std::string> {
    std::string label;
    bool mixed = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      if (!tokens[i].encode) {
        sections[i] = tokens[i].bytes;
        continue;
      }
      CharsetText text = ForSending(tokens[i].bytes, charset);
      if (label.empty()) {
        label = text.charset;
      } else if (label != text.charset) {
        mixed = true;
      }
      sections[i] = std::move(text.bytes);
    }
    if (mixed) return std::nullopt;
    return label.empty() ? std::string(charset) : label;
  };
  std::optional<std::string> label = convertAll(headCharset);
  if (!label) label = convertAll(kFallbackCharset);

  std::string out;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    out += "\r\n filename*" + std::to_string(i) + "*=";
    if (i == 0) out += *label + "''";
    out += PercentEncodeAll(sections[i]);
    if (i + 1 < sections.size()) out += ';';
  }
  return platform::LocalToText(out);
}

}  // namespace zelk::codec
