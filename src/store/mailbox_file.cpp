#include "store/mailbox_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <string_view>

#include "mime/header_lines.h"
#include "platform/ascii.h"
#include "platform/decimal.h"
#include "platform/files.h"
#include "platform/utf8.h"

namespace zelk::store {

namespace {

// The text fields of a record in the order they are written.
struct HeaderField {
  std::string_view name;
  OptionalText MailItem::*field;
};
// Lines a reader does not know are passed over, so files with a Content-Disposition line still
// read everywhere, and older files simply have none.
constexpr std::array<HeaderField, 18> kTextFields = {{
    {"From:", &MailItem::From},
    {"To:", &MailItem::To},
    {"Cc:", &MailItem::Cc},
    {"Bcc:", &MailItem::Bcc},
    {"Date:", &MailItem::Date},
    {"Subject:", &MailItem::Subject},
    {"Content-Length:", &MailItem::Size},
    {"Reply-To:", &MailItem::ReplyTo},
    {"Content-Type:", &MailItem::ContentType},
    {"Content-Transfer-Encoding:", &MailItem::Encoding},
    {"Message-Id:", &MailItem::MessageId},
    {"In-Reply-To:", &MailItem::InReplyTo},
    {"References:", &MailItem::References},
    {"X-UIDL:", &MailItem::UIDL},
    {"X-MailBox:", &MailItem::MailBoxName},
    {"X-Attach:", &MailItem::Attach},
    {"Content-Disposition:", &MailItem::Disposition},
    {"X-Server-UIDL:", &MailItem::ServerUidl},
}};

// Number lines, with the names older files used.
enum NumberField { kNo, kStatus, kMark, kDownload, kNumberFieldCount };
struct NumberName {
  std::string_view name;
  NumberField field;
};
constexpr std::array<NumberName, 7> kNumberNames = {{
    {"X-No:", kNo},
    {"X-Status:", kStatus},
    {"X-Mark:", kMark},
    {"X-Download:", kDownload},
    {"X-MailNo:", kNo},
    {"X-MailStatus:", kStatus},
    {"X-MailDownload:", kDownload},
}};
constexpr std::size_t kCurrentNumberNames = 4;  // the older names come after, and lose to these

constexpr std::string_view kTerminator = "\r\n.\r\n";
constexpr std::size_t kChunk = 1 << 22;  // reading

using platform::StartsWithIgnoringAsciiCase;

// --- Writing ---

// Gathers a file's text and writes it through the atomic writer in large pieces. Bodies, the
// bulk of a mailbox, are written straight from the items when no conversion is needed.
class TextFileWriter {
 public:
  explicit TextFileWriter(const std::string& path) : writer_(path) { staging_.reserve(kStaging); }

  void Append(std::string_view text) {
    if (staging_.size() + text.size() > staging_.capacity()) Flush();
    if (text.size() > staging_.capacity()) {
      pieces_.push_back(Stable(Text(text)));
      return;
    }
    const std::size_t start = staging_.size();
    staging_.append(text);
    AddPiece(std::string_view(staging_).substr(start));
  }
  void Append(char c) { Append(std::string_view(&c, 1)); }

  // Text that stays unchanged until the next Commit.
  void AppendStable(std::string_view text) {
    if (!platform::LocalCodePageIsUtf8()) return Append(text);
    AddPiece(text);
  }

  [[nodiscard]] bool Commit() {
    Flush();
    return writer_.Commit();
  }

 private:
  static constexpr std::size_t kStaging = 1 << 20;
  static constexpr std::size_t kMaxPieces = 4096;

  // Neighbouring pieces in the staging buffer are merged, so there are few of them.
  void AddPiece(std::string_view piece) {
    if (!pieces_.empty() && pieces_.back().data() + pieces_.back().size() == piece.data()) {
      pieces_.back() = std::string_view(pieces_.back().data(), pieces_.back().size() + piece.size());
    } else {
      pieces_.push_back(piece);
    }
    if (pieces_.size() >= kMaxPieces) Flush();
  }

  std::string_view Stable(Text text) { return owned_.emplace_back(std::move(text)); }

  void Flush() {
    if (platform::LocalCodePageIsUtf8()) {
      writer_.Write(pieces_);
    } else {
      for (const std::string_view piece : pieces_) writer_.Write(platform::TextToLocal(piece));
    }
    pieces_.clear();
    owned_.clear();
    staging_.clear();
  }

  platform::AtomicFileWriter writer_;
  Text staging_;
  std::vector<std::string_view> pieces_;
  std::deque<Text> owned_;  // texts too large for the staging buffer; a deque keeps them in place
};

// A header value may hold only folded line breaks (CR LF, then a space or tab): any other CR LF
// would end the header block early or cut the record, so it is folded on the way out.
void AppendHeaderValue(TextFileWriter& out, std::string_view value) {
  for (std::size_t crlf = value.find("\r\n"); crlf != std::string_view::npos; crlf = value.find("\r\n")) {
    const bool folded = crlf + 2 < value.size() && (value[crlf + 2] == ' ' || value[crlf + 2] == '\t');
    out.Append(value.substr(0, crlf + 2));
    if (!folded) out.Append(' ');
    value.remove_prefix(crlf + 2);
  }
  out.Append(value);
}

// Bodies are held with their "." lines doubled, so none is a lone "." that would end the record.
bool HasLoneDotLine(std::string_view body) {
  return body == "." || body.starts_with(".\r\n") || body.ends_with("\r\n.") ||
         body.find("\r\n.\r\n") != std::string_view::npos;
}

// A body that breaks the rule is written with such lines doubled rather than cut short.
Text WithLoneDotsDoubled(std::string_view body) {
  Text out;
  std::size_t lineStart = 0;
  for (;;) {
    std::size_t lineEnd = body.find("\r\n", lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = body.size();
    if (body.substr(lineStart, lineEnd - lineStart) == ".") out += '.';
    out.append(body.substr(lineStart, lineEnd - lineStart));
    if (lineEnd == body.size()) return out;
    out += "\r\n";
    lineStart = lineEnd + 2;
  }
}

void AppendNumber(TextFileWriter& out, std::string_view name, int value) {
  out.Append(name);
  out.Append(' ');
  out.Append(std::to_string(value));
  out.Append("\r\n");
}

void AppendRecord(TextFileWriter& out, const MailItem& item, bool withBody) {
  for (const HeaderField& header : kTextFields) {
    const OptionalText& value = item.*header.field;
    if (!value) continue;
    out.Append(header.name);
    out.Append(' ');
    AppendHeaderValue(out, *value);
    out.Append("\r\n");
  }
  AppendNumber(out, "X-No:", item.No);
  AppendNumber(out, "X-Status:", item.Status);
  if (item.Mark != item.Status) AppendNumber(out, "X-Mark:", item.Mark);
  AppendNumber(out, "X-Download:", item.Download);
  out.Append("\r\n");
  if (withBody && item.Body) {
    if (HasLoneDotLine(*item.Body)) {
      out.Append(WithLoneDotsDoubled(*item.Body));
    } else {
      out.AppendStable(*item.Body);
    }
  }
  out.Append(kTerminator);
}

// --- Reading ---

struct ParsedHeader {
  std::array<std::string_view, kTextFields.size()> texts{};
  std::array<bool, kTextFields.size()> hasText{};
  std::array<std::optional<int>, kNumberFieldCount> numbers{};
  std::array<bool, kNumberFieldCount> hasCurrentNumber{};
};

void ParseHeaderLine(std::string_view line, ParsedHeader& header) {
  const auto valueAfter = [line](std::size_t nameLength) {
    const std::size_t start = std::min(line.find_first_not_of(" \t", nameLength), line.size());
    return line.substr(start);
  };
  for (std::size_t i = 0; i < kTextFields.size(); ++i) {
    if (!header.hasText[i] && StartsWithIgnoringAsciiCase(line, kTextFields[i].name)) {
      header.texts[i] = valueAfter(kTextFields[i].name.size());
      header.hasText[i] = true;
      return;
    }
  }
  for (std::size_t i = 0; i < kNumberNames.size(); ++i) {
    const NumberName& number = kNumberNames[i];
    if (!StartsWithIgnoringAsciiCase(line, number.name)) continue;
    // The first line of a name counts; the current name wins over the older one wherever it stands.
    const bool current = i < kCurrentNumberNames;
    if (!header.hasCurrentNumber[number.field] && (current || !header.numbers[number.field])) {
      header.numbers[number.field] = platform::ReadDecimal(valueAfter(number.name.size()));
      header.hasCurrentNumber[number.field] = current;
    }
    return;
  }
}

void ResetWithoutBody(MailItem& item) {
  if (item.Status >= kStatusSent) return;
  item.Status = kStatusHeaderOnly;
  item.Download = 0;
  if (item.Mark != kMarkDownload && item.Mark != kMarkDelete && item.Mark != kMarkSend) item.Mark = 0;
}

// One record: its text up to (not including) the "." of its terminator line, or to the end of a
// damaged file whose last record has no terminator (its last line is kept in the body).
ItemRef ParseRecord(std::string_view record, bool terminated) {
  std::size_t headerEnd;
  std::optional<std::size_t> bodyStart;
  if (record.starts_with("\r\n")) {
    headerEnd = 0;
    bodyStart = 2;
  } else if (const std::size_t empty = record.find("\r\n\r\n"); empty != std::string_view::npos) {
    headerEnd = empty + 2;
    bodyStart = empty + 4;
  } else {
    headerEnd = record.size();
  }

  ParsedHeader header;
  // A value runs to the end of its logical line; continuation lines keep their CR LF and blanks.
  const std::string_view block = record.substr(0, headerEnd);
  const char* cursor = block.data();
  for (std::string_view line; mime::ReadFoldedLine(cursor, block.data() + block.size(), line);) {
    ParseHeaderLine(line, header);
  }

  auto item = std::make_shared<MailItem>();
  for (std::size_t i = 0; i < kTextFields.size(); ++i) {
    if (header.hasText[i]) item.get()->*kTextFields[i].field = Text(header.texts[i]);
  }
  item->No = header.numbers[kNo].value_or(0);
  item->Status = header.numbers[kStatus].value_or(0);
  item->Mark = header.numbers[kMark].value_or(item->Status);
  item->Download = header.numbers[kDownload].value_or(0);
  item->Multipart = item->Attach.has_value() ||
                    (item->ContentType && StartsWithIgnoringAsciiCase(*item->ContentType, "multipart"));

  std::string_view body;
  if (bodyStart) {
    // The CR LF before the terminator line ends the last body line and is not part of the body.
    const std::size_t bodyEnd = terminated ? (record.size() >= 2 ? record.size() - 2 : 0) : record.size();
    if (*bodyStart < bodyEnd) body = record.substr(*bodyStart, bodyEnd - *bodyStart);
  }
  if (!body.empty()) {
    item->Body = Text(body);
  } else {
    ResetWithoutBody(*item);
  }
  return item;
}

// Where the terminator line (a lone ".") of the record starting at `start` begins, looking from
// `from` on; npos when the text holds none yet. Only at the end of the file can a "." without a
// line break after it be known to stand alone.
std::size_t FindTerminator(std::string_view text, std::size_t start, std::size_t from, bool atEnd) {
  const auto loneDotAt = [&](std::size_t dot) {
    return text[dot] == '.' && (text.substr(dot + 1).starts_with("\r\n") || (atEnd && dot + 1 == text.size()));
  };
  if (from == start && start < text.size() && loneDotAt(start)) return start;
  const std::size_t found = text.find(kTerminator, from < start + 2 ? start : from - 2);
  if (found != std::string_view::npos) return found + 2;
  if (atEnd && text.size() >= start + 3 && text.ends_with("\r\n.")) return text.size() - 1;
  return std::string_view::npos;
}

std::size_t SkipLineBreaks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
  return pos;
}

// Files from older versions may be UTF-16 little-endian, recognised by a zero second byte.
Text Utf16LeToText(std::string_view bytes) {
  Text text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t unit = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3]) << 8;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    platform::AppendUtf8(text, unit);
  }
  return text;
}

// Cuts records off the front of `text` as their terminators arrive and adds them to the box.
class RecordReader {
 public:
  RecordReader(MailBox& box, bool localBytes) : box_(box), localBytes_(localBytes) {}

  // Takes every complete record (and, at the end, an unterminated last one); returns how much of
  // the text it used. The rest is the front of a record that has not fully arrived.
  std::size_t Take(std::string_view text, bool atEnd) {
    std::size_t start = 0;
    for (;;) {
      start = SkipLineBreaks(text, start);
      if (start >= text.size()) break;
      const std::size_t terminator = FindTerminator(text, start, std::max(searched_, start), atEnd);
      if (terminator == std::string_view::npos) {
        if (atEnd) {
          Add(text.substr(start), false);
          start = text.size();
        }
        break;
      }
      Add(text.substr(start, terminator - start), true);
      start = terminator + 1;
    }
    // A terminator may straddle two reads: look again from a little before the end.
    searched_ = text.size() - start >= 4 ? text.size() - start - 4 : 0;
    return start;
  }

 private:
  void Add(std::string_view record, bool terminated) {
    if (localBytes_ && !platform::LocalCodePageIsUtf8()) {
      box_.Items.push_back(ParseRecord(platform::LocalToText(record), terminated));
    } else {
      box_.Items.push_back(ParseRecord(record, terminated));
    }
  }

  MailBox& box_;
  bool localBytes_;
  std::size_t searched_ = 0;  // relative to the start of the next text
};

}  // namespace

bool SaveMailBox(const std::string& path, const MailBox& box, int mode) {
  if (mode == kSaveNothing) {
    platform::DeleteFile(path);
    return true;
  }
  TextFileWriter writer(path);
  for (const ItemRef& item : box.Items) {
    if (item) AppendRecord(writer, *item, mode == kSaveWithBodies);
  }
  return writer.Commit();
}

bool LoadMailBox(const std::string& path, MailBox& box) {
  const std::optional<std::uint64_t> size = platform::FileSize(path);
  if (!size || *size == 0) return true;
  platform::InputFile file(path);
  if (!file.ok()) return false;

  // Read piece by piece and parse each record as soon as its terminator has arrived, so that a
  // large mailbox is never held twice in memory.
  std::string buffer;
  bool first = true;
  bool wide = false;
  std::uint64_t left = *size;  // small files need no large buffer
  RecordReader reader(box, true);
  for (;;) {
    const std::size_t kept = buffer.size();
    const std::size_t piece = static_cast<std::size_t>(std::clamp<std::uint64_t>(left + 1, 4096, kChunk));
    buffer.resize(kept + piece);
    const std::optional<std::size_t> got = file.Read(buffer.data() + kept, piece);
    if (!got) return false;
    buffer.resize(kept + *got);
    left -= std::min<std::uint64_t>(left, *got);
    const bool atEnd = *got == 0;
    if (first) wide = buffer.size() < 3 || buffer[1] == '\0';
    first = false;
    if (wide) {
      if (!atEnd) continue;  // the old wide form only comes in small files: read it whole
      RecordReader(box, false).Take(Utf16LeToText(buffer), true);
      return true;
    }
    buffer.erase(0, reader.Take(buffer, atEnd));
    if (atEnd) return true;
  }
}

bool SaveAddressList(const std::string& path, const MailBox& book) {
  // TAB and line breaks separate entries and fields, so inside a field they become spaces.
  const auto clean = [](const OptionalText& field) {
    Text text = field.value_or(Text());
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
  };
  TextFileWriter writer(path);
  for (const ItemRef& entry : book.Items) {
    if (!entry) continue;
    writer.Append(clean(entry->To));
    if (entry->Subject && !entry->Subject->empty()) {
      writer.Append('\t');
      writer.Append(clean(entry->Subject));
    }
    writer.Append("\r\n");
  }
  return writer.Commit();
}

AddressListLoad LoadAddressList(const std::string& path, MailBox& book) {
  const std::optional<std::uint64_t> size = platform::FileSize(path);
  if (!size) return AddressListLoad::kMissing;
  const std::optional<std::string> bytes = platform::ReadWholeFile(path);
  if (!bytes) return AddressListLoad::kFailed;
  const Text text = platform::LocalToText(*bytes);
  const auto fieldEnd = [&text](std::size_t from) { return std::min(text.find_first_of("\t\r\n", from), text.size()); };
  for (std::size_t pos = 0; pos < text.size();) {
    auto entry = std::make_shared<MailItem>();
    const std::size_t addressEnd = fieldEnd(pos);
    entry->To = text.substr(pos, addressEnd - pos);
    entry->Subject = Text();
    std::size_t lineRest = addressEnd;
    if (addressEnd < text.size() && text[addressEnd] == '\t') {
      const std::size_t commentEnd = fieldEnd(addressEnd + 1);
      entry->Subject = text.substr(addressEnd + 1, commentEnd - addressEnd - 1);
      lineRest = commentEnd;
    }
    book.Items.push_back(std::move(entry));
    pos = SkipLineBreaks(text, std::min(text.find_first_of("\r\n", lineRest), text.size()));
  }
  return AddressListLoad::kLoaded;
}

Text DataDirectory(const Text& dataFileDir, const std::string& homeDirectory) {
  if (dataFileDir.empty()) return platform::LocalToText(homeDirectory);
  if (dataFileDir.size() == 1 || (dataFileDir.back() != '/' && dataFileDir.back() != '\\')) return dataFileDir + "/";
  return dataFileDir;
}

bool LoadLocalBoxes(MailBoxTable& table, const std::string& dataDirectory) {
  Savebox(table).Name = kSaveboxName;
  Outbox(table).Name = kOutboxName;
  if (!LoadMailBox(dataDirectory + kSaveboxFile, Savebox(table))) return false;
  if (!LoadMailBox(dataDirectory + kOutboxFile, Outbox(table))) return false;
  switch (LoadAddressList(dataDirectory + "Address.lst", table.addressBook)) {
    case AddressListLoad::kMissing:
      return LoadMailBox(dataDirectory + "Address.dat", table.addressBook);
    case AddressListLoad::kFailed:
      table.addressBook.Items.clear();  // start-up goes on with an empty address book
      return true;
    case AddressListLoad::kLoaded:
      return true;
  }
  return true;
}

}  // namespace zelk::store
