// Japanese mail travels as 7-bit ISO-2022-JP ("JIS"), while the display and the editor work in
// Shift_JIS. These two conversions sit between them: incoming text is turned into Shift_JIS,
// outgoing text into JIS. Half-width katakana has no place in JIS mail, so it is widened on the
// way out.
#include "codec/iso2022_jp.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/up_to_nul.h"

namespace zelk::codec {
namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kSo = 0x0E;
constexpr unsigned char kSi = 0x0F;
constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kLf = 0x0A;

// Walks the input one byte at a time; every look-ahead asks AtEnd() first.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}
  bool AtEnd() const { return pos_ == text_.size(); }
  unsigned char Peek() const { return static_cast<unsigned char>(text_[pos_]); }
  unsigned char Take() { return static_cast<unsigned char>(text_[pos_++]); }
  std::size_t Size() const { return text_.size(); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

void Put(std::string& out, unsigned char b) { out.push_back(static_cast<char>(b)); }

void Put(std::string& out, unsigned char first, unsigned char second) {
  Put(out, first);
  Put(out, second);
}

bool IsJisByte(unsigned char b) { return b >= 0x21 && b <= 0x7E; }

bool IsShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// 0xA0 is no katakana, but it is widened with them, to the full-width space.
bool IsHalfWidthKatakana(unsigned char b) { return b >= 0xA0 && b <= 0xDF; }

// Rows pair up into one lead byte: odd rows take the low half of the trail range, even rows the
// high half. Byte arithmetic wraps, so malformed pairs still give two bytes.
void PutJisAsShiftJis(std::string& out, unsigned char row, unsigned char cell) {
  const auto lead = static_cast<unsigned char>(((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0));
  unsigned char trail;
  if (row & 1) {
    trail = static_cast<unsigned char>(cell + (cell < 0x60 ? 0x1F : 0x20));  // skips 0x7F
  } else {
    trail = static_cast<unsigned char>(cell + 0x7E);
  }
  Put(out, lead, trail);
}

void PutShiftJisAsJis(std::string& out, unsigned char lead, unsigned char trail) {
  const int evenRow = (lead - (lead <= 0x9F ? 0x70 : 0xB0)) * 2;
  if (trail >= 0x9F) {
    Put(out, static_cast<unsigned char>(evenRow), static_cast<unsigned char>(trail - 0x7E));
  } else {
    Put(out, static_cast<unsigned char>(evenRow - 1),
        static_cast<unsigned char>(trail - (trail >= 0x80 ? 0x20 : 0x1F)));
  }
}

// JIS X 0208 row/cell of each byte 0xA0-0xDF, as row * 0x100 + cell.
constexpr std::array<std::uint16_t, 64> kFullWidthKatakana = {
    0x2121, 0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521,  // A0-A7
    0x2523, 0x2525, 0x2527, 0x2529, 0x2563, 0x2565, 0x2567, 0x2543,  // A8-AF
    0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D,  // B0-B7
    0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D,  // B8-BF
    0x253F, 0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C,  // C0-C7
    0x254D, 0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E,  // C8-CF
    0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,  // D0-D7
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,  // D8-DF
};

constexpr unsigned char kVoicedMark = 0xDE;
constexpr unsigned char kSemiVoicedMark = 0xDF;

// In JIS X 0208 the voiced letter directly follows the plain one, the semi-voiced one after it;
// only U (0xB3) has its voiced form elsewhere.
std::uint16_t CombinedKatakana(unsigned char b, unsigned char mark) {
  const std::uint16_t plain = kFullWidthKatakana[b - 0xA0];
  const bool hToHo = b >= 0xCA && b <= 0xCE;
  if (mark == kVoicedMark) {
    if (b == 0xB3) return 0x2574;
    if ((b >= 0xB6 && b <= 0xC4) || hToHo) return plain + 1;
  } else if (mark == kSemiVoicedMark && hToHo) {
    return plain + 2;
  }
  return 0;
}

void PutFullWidthKatakana(std::string& out, unsigned char b, Reader& in) {
  std::uint16_t pair = kFullWidthKatakana[b - 0xA0];
  if (!in.AtEnd()) {
    if (const std::uint16_t combined = CombinedKatakana(b, in.Peek())) {
      pair = combined;
      in.Take();
    }
  }
  Put(out, static_cast<unsigned char>(pair >> 8), static_cast<unsigned char>(pair & 0xFF));
}

struct JisState {
  bool kanji = false;
  bool katakanaShift = false;  // ESC * I lets ESC N carry one katakana byte
};

// Handles what follows an ESC. Returns false when the text ends inside the sequence.
bool ApplyEscape(Reader& in, JisState& state, std::string& out) {
  if (in.AtEnd()) return false;
  const unsigned char kind = in.Take();
  switch (kind) {
    case '$': {
      if (in.AtEnd()) return false;
      const unsigned char set = in.Take();
      if (set == '@' || set == 'B') {
        state.kanji = true;
      } else {
        Put(out, kEsc, kind);
        Put(out, set);
      }
      return true;
    }
    case '(': {
      if (in.AtEnd()) return false;
      const unsigned char set = in.Take();
      state.kanji = false;
      if (set != 'B' && set != 'J' && set != 'H') {  // keep unknown sets visible
        Put(out, kEsc, kind);
        Put(out, set);
      }
      return true;
    }
    case '*': {
      if (in.AtEnd()) return false;
      const unsigned char set = in.Take();
      if (set == 'B') state.katakanaShift = false;
      if (set == 'I') state.katakanaShift = true;
      return true;
    }
    case 'N':
      if (!state.katakanaShift) break;
      if (in.AtEnd()) return false;
      Put(out, static_cast<unsigned char>(in.Take() + 0x80));
      return true;
    case 'K':
      state.kanji = true;
      return true;
    case 'H':
      state.kanji = false;
      return true;
  }
  Put(out, kEsc, kind);
  return true;
}

// Returns false when the text ends after the first byte of the pair.
bool ConvertKanjiPair(unsigned char row, Reader& in, std::string& out) {
  if (in.AtEnd()) return false;
  const unsigned char cell = in.Take();
  if (IsJisByte(cell)) {
    PutJisAsShiftJis(out, row, cell);
  } else {
    Put(out, row, cell);
  }
  return true;
}

// After SO, 7-bit bytes stand for half-width katakana until SI or a line or escape breaks the run.
void ConvertKatakanaRun(Reader& in, std::string& out) {
  while (!in.AtEnd()) {
    const unsigned char b = in.Peek();
    if (b == kSi) {
      in.Take();
      return;
    }
    if (b == kCr || b == kLf || b == kEsc) return;
    Put(out, static_cast<unsigned char>(in.Take() + 0x80));
  }
}

}  // namespace

std::string JisToShiftJis(std::string_view jis) {
  Reader in(UpToNul(jis));
  std::string out;
  out.reserve(in.Size());  // never grows
  JisState state;
  while (!in.AtEnd()) {
    const unsigned char b = in.Take();
    if (b == kEsc) {
      if (!ApplyEscape(in, state, out)) break;
      continue;
    }
    if (state.kanji) {
      if (b == kCr || b == kLf) {  // a line never carries kanji mode over
        state.kanji = false;
        Put(out, b);
        continue;
      }
      if (IsJisByte(b)) {
        if (!ConvertKanjiPair(b, in, out)) break;
        continue;
      }
    }
    if (b == kSo) {
      ConvertKatakanaRun(in, out);
    } else {
      Put(out, b);
    }
  }
  return out;
}

std::string ShiftJisToJis(std::string_view shiftJis) {
  Reader in(UpToNul(shiftJis));
  std::string out;
  out.reserve(in.Size() + in.Size() / 2 + 8);
  bool kanji = false;
  while (!in.AtEnd()) {
    const unsigned char b = in.Take();
    const bool pair = IsShiftJisLead(b) && !in.AtEnd();  // a lone last lead byte stays as it is
    if (pair || IsHalfWidthKatakana(b)) {
      if (!kanji) {
        out += "\x1B$B";
        kanji = true;
      }
      if (pair) {
        PutShiftJisAsJis(out, b, in.Take());
      } else {
        PutFullWidthKatakana(out, b, in);
      }
      continue;
    }
    if (kanji) {
      out += "\x1B(B";
      kanji = false;
    }
    Put(out, b);
  }
  if (kanji) out += "\x1B(B";
  return out;
}

}  // namespace zelk::codec
