#include "store/message_parse.h"

#include <vector>

#include "filter/filters.h"
#include "mime/display_text.h"
#include "mime/header_lines.h"
#include "platform/ascii.h"
#include "store/header_fields.h"

namespace zelk::store {

namespace {

OptionalText AsText(const std::optional<std::string>& bytes) {
  if (!bytes) return std::nullopt;
  return platform::LocalToText(*bytes);
}

bool StartsWithMultipart(const OptionalText& contentType) {
  return contentType && platform::StartsWithIgnoringAsciiCase(*contentType, "multipart");
}

// References is a run of segments, each ending at a ">" and the blanks after it. The last id is the
// group of the last segment, the previous one the first group from the second-to-last segment on.
std::pair<std::optional<std::string>, std::optional<std::string>> LastTwoReferences(std::string_view value) {
  std::vector<std::size_t> starts;
  for (std::size_t pos = 0; pos < value.size();) {
    starts.push_back(pos);
    const std::size_t close = value.find('>', pos);
    if (close == std::string_view::npos) break;
    pos = std::min(value.find_first_not_of(" \t", close + 1), value.size());
  }
  if (starts.empty()) return {};
  const std::optional<std::string> last = FirstAngleGroup(value.substr(starts.back()));
  const std::size_t previousStart = starts.size() >= 2 ? starts[starts.size() - 2] : starts.back();
  return {last, FirstAngleGroup(value.substr(previousStart))};
}

}  // namespace

ThreadIds ThreadIdsOf(HeaderBlock header) {
  ThreadIds ids;
  if (const auto inReplyTo = HeaderValue(header, "In-Reply-To:")) {
    ids.inReplyTo = AsText(FirstAngleGroup(*inReplyTo).value_or(""));
  }
  auto [last, previous] = LastTwoReferences(HeaderValue(header, "References:").value_or(""));
  if (previous == last) previous.reset();
  if (!ids.inReplyTo || ids.inReplyTo->empty()) {
    ids.inReplyTo = AsText(last);
    ids.references = AsText(previous);
  } else {
    ids.references = AsText(last && platform::LocalToText(*last) != *ids.inReplyTo ? last : previous);
  }
  return ids;
}

void ParseMessage(MailItem& item, std::string_view raw, const OptionalText& sizeText, const ParseContext& context) {
  const HeaderBlock header = HeaderBlockOf(raw);
  item.Subject = DecodedHeader(header, "Subject:", false, context.fallbackCharset);
  item.From = DecodedHeader(header, "From:", false, context.fallbackCharset);
  item.To = DecodedHeader(header, "To:", true, context.fallbackCharset);
  item.Cc = DecodedHeader(header, "Cc:", true, context.fallbackCharset);
  item.ReplyTo = DecodedHeader(header, "Reply-To:", false, context.fallbackCharset);
  item.ContentType = DecodedHeader(header, "Content-Type:", false, context.fallbackCharset);
  if (StartsWithMultipart(item.ContentType)) {
    item.Multipart = 1;
  } else {
    if (const auto encoding = HeaderValue(header, "Content-Transfer-Encoding:")) item.Encoding = platform::LocalToText(*encoding);
    item.Disposition = DecodedHeader(header, "Content-Disposition:", false, context.fallbackCharset);
  }
  if (const auto date = HeaderValue(header, "Date:")) {
    item.Date = platform::LocalToText(mime::FormatDisplayDate(*date, context.localOffset, context.pictures).text);
  }
  if (sizeText) item.Size = sizeText;
  item.MessageId = platform::LocalToText(MessageKey(raw));
  if (const auto uidl = HeaderValue(header, "X-UIDL:")) item.UIDL = platform::LocalToText(*uidl);
  ThreadIds ids = ThreadIdsOf(header);
  item.InReplyTo = std::move(ids.inReplyTo);
  item.References = std::move(ids.references);
  SetBody(item, raw, context.keepHeader);
}

void SetBody(MailItem& item, std::string_view raw, bool keepHeader) {
  const std::size_t bodyStart = mime::FindHeaderBounds(raw).bodyStart;
  if (bodyStart < raw.size()) {
    std::string body = mime::DecodeStoredBody(item, raw.substr(bodyStart));
    if (keepHeader) body.insert(0, raw.substr(0, bodyStart));
    item.Body = platform::LocalToText(body);
  } else if (keepHeader) {
    item.Body = platform::LocalToText(raw);
  } else {
    return;
  }
  item.Status = kStatusUnread;
  item.Mark = kStatusUnread;
}

StoredHeader StoreHeader(MailBox& account, MailBox& savebox, std::string_view raw, const OptionalText& sizeText,
                         const ParseContext& context) {
  const int verdict = filter::EvaluateFilters(account, raw, context.fallbackCharset);
  if (verdict == filter::kVerdictNotDownload) return {StoreOutcome::kNotListed, nullptr};
  auto item = std::make_shared<MailItem>();
  ParseMessage(*item, raw, sizeText, context);
  switch (filter::ApplyFilterVerdict(verdict, item, account, savebox)) {
    case filter::FilterOutcome::kListed:
      return {StoreOutcome::kListed, item};
    case filter::FilterOutcome::kNotListed:
      return {StoreOutcome::kNotListed, nullptr};
    case filter::FilterOutcome::kFailed:
      break;
  }
  return {StoreOutcome::kFailed, nullptr};
}

}  // namespace zelk::store
