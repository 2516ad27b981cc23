// Showing and saving multipart mail: the text part of a message that also carries a 20 MiB
// attachment (base64, 76-character CR LF lines), the attachment's bytes against the plain base64
// decoder on the same text, and the parser on hostile shapes: nesting 10,000 deep and 100,000
// parts.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "mime/display_text.h"
#include "mime/multipart.h"
#include "ratio.h"

namespace {

using namespace zelk;

const store::MailItem& MessageWithAttachment() {
  static const store::MailItem item = [] {
    std::string raw(20u << 20, '\0');
    std::mt19937_64 random(3);
    for (char& byte : raw) byte = static_cast<char>(random());
    const std::string text = codec::Base64Encode(raw);
    std::string body =
        "This is a multi-part message in MIME format.\r\n\r\n--=_b\r\nContent-Type: text/plain; charset=UTF-8\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\nHello,\r\n\r\nthe archive is attached.\r\n\r\n"
        "--=_b\r\nContent-Type: application/zip; name=\"archive.zip\"\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename=\"archive.zip\"\r\n\r\n";
    body.reserve(body.size() + text.size() / 76 * 78 + 100);
    for (std::size_t i = 0; i < text.size(); i += 76) body.append(text, i, 76).append("\r\n");
    body += "--=_b--\r\n";
    store::MailItem m;
    m.ContentType = "multipart/mixed; boundary=\"=_b\"";
    m.Multipart = 1;
    m.Body = std::move(body);
    return m;
  }();
  return item;
}

const mime::MimePart& Attachment() {
  static const mime::MimePart part = [] {
    std::vector<mime::MimePart> parts;
    mime::ParseMultipart(*MessageWithAttachment().ContentType, *MessageWithAttachment().Body, parts, "Windows-1252");
    return parts.at(1);
  }();
  return part;
}

void BM_DisplayTextWithAttachment(benchmark::State& state) {
  const store::MailItem& item = MessageWithAttachment();
  std::vector<mime::MimePart> parts;
  for (auto _ : state) benchmark::DoNotOptimize(mime::GetDisplayText(item, false, parts, "Windows-1252"));
  state.counters["parts"] = static_cast<double>(parts.size());
}
BENCHMARK(BM_DisplayTextWithAttachment)->Unit(benchmark::kMicrosecond);

void BM_DecodePartDataZelk(benchmark::State& state) {
  const std::string_view body = *MessageWithAttachment().Body;
  const mime::MimePart& part = Attachment();
  for (auto _ : state) benchmark::DoNotOptimize(mime::DecodePartData(part, body));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * mime::PartText(part, body).size()));
}
BENCHMARK(BM_DecodePartDataZelk)->Unit(benchmark::kMillisecond);

void BM_DecodePartDataBase64Codec(benchmark::State& state) {
  const std::string_view text = mime::PartText(Attachment(), *MessageWithAttachment().Body);
  for (auto _ : state) benchmark::DoNotOptimize(codec::Base64Decode(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecodePartDataBase64Codec)->Unit(benchmark::kMillisecond);

ZELK_RATIO("DecodePartData vs plain base64 decode (>= 0.5)", "BM_DecodePartDataZelk", "BM_DecodePartDataBase64Codec",
           0.5);

// Each level holds a text leaf and then the next level; the parser follows the first 64 levels.
void BM_ParseMultipartDeepNesting(benchmark::State& state) {
  std::string open, close;
  for (int i = 0; i < 10000; ++i) {
    const std::string b = "lvl" + std::to_string(i) + "x";
    open += "--" + b + "\r\nContent-Type: text/plain\r\n\r\nleaf\r\n--" + b +
            "\r\nContent-Type: multipart/mixed; boundary=lvl" + std::to_string(i + 1) + "x\r\n\r\n";
    close = "--" + b + "--\r\n" + close;
  }
  const std::string body = open + close;
  std::vector<mime::MimePart> parts;
  for (auto _ : state) {
    parts.clear();
    benchmark::DoNotOptimize(mime::ParseMultipart("multipart/mixed; boundary=lvl0x", body, parts, "Windows-1252"));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
  state.counters["parts"] = static_cast<double>(parts.size());
}
BENCHMARK(BM_ParseMultipartDeepNesting)->Unit(benchmark::kMillisecond);

void BM_ParseMultipartManyParts(benchmark::State& state) {
  std::string body;
  for (int i = 0; i < 100000; ++i) {
    body += "--b\r\nContent-Type: application/octet-stream; name=\"f" + std::to_string(i) +
            ".bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\nQUJD\r\n";
  }
  body += "--b--\r\n";
  std::vector<mime::MimePart> parts;
  for (auto _ : state) {
    parts.clear();
    benchmark::DoNotOptimize(mime::ParseMultipart("multipart/mixed; boundary=b", body, parts, "Windows-1252"));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
  state.counters["parts"] = static_cast<double>(parts.size());
}
BENCHMARK(BM_ParseMultipartManyParts)->Unit(benchmark::kMillisecond);

}  // namespace
