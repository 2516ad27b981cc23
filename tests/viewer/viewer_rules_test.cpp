#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mime/display_text.h"
#include "platform/files.h"
#include "support/temp_dir.h"
#include "viewer/attachment_menu.h"
#include "viewer/external_viewer.h"
#include "viewer/find.h"
#include "viewer/links.h"
#include "viewer/saving.h"
#include "viewer/shown_message.h"

namespace zelk::viewer {
namespace {

using Labels = std::vector<std::string>;

store::MailItem Multipart(const std::string& parts) {
  store::MailItem item;
  item.Multipart = 1;
  item.Download = 1;
  item.ContentType = "multipart/mixed; boundary=\"b\"";
  item.Body = "preamble\r\n" + parts;
  return item;
}

const std::string kText = "--b\r\nContent-Type: text/plain\r\n\r\nHello\r\n";
const std::string kPdf = "--b\r\nContent-Type: application/pdf; name=\"r.pdf\"\r\n\r\nPDF\r\n";
const std::string kPng = "--b\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\niVBORw==\r\n";

struct Menu {
  bool viewText, viewSource, deleteAttach, separator;
  Labels entries;  // "501 label" and a "-" after a disabled one
};

Menu MenuOf(const store::MailItem& item, bool source) {
  std::vector<mime::MimePart> parts;
  (void)mime::GetDisplayText(item, source, parts, "ISO-8859-1");
  const AttachmentMenu menu = AttachmentMenuFor(parts, item, source);
  Menu out{menu.viewText, menu.viewSource, menu.deleteAttach, menu.separator, {}};
  for (const AttachmentEntry& entry : menu.attachments) {
    out.entries.push_back(std::to_string(entry.command) + " " + entry.label + (entry.enabled ? "" : " -"));
  }
  return out;
}

TEST(AttachmentMenu, FollowsThePartsOfTheMessageShown) {
  store::MailItem plain;
  plain.Body = "text\r\n";
  plain.ContentType = "text/plain";
  store::MailItem gif;
  gif.Body = "R0lGOD\r\n";
  gif.ContentType = "image/gif";
  const store::MailItem two = Multipart(kText + kPdf + kPng + "--b--\r\n");
  const store::MailItem onlyText = Multipart(kText + "--b--\r\n");
  const store::MailItem cutOff = Multipart(kText + kPdf + kPng);  // the last part has no end
  const struct {
    const char* name;
    const store::MailItem& item;
    bool source;
    Menu expected;
  } cases[] = {
      {"plain text", plain, false, {false, false, false, false, {}}},
      {"plain text as source", plain, true, {true, false, false, false, {}}},
      {"an image alone", gif, false, {false, false, false, true, {"500 image/gif"}}},
      {"an image alone as source", gif, true, {true, false, false, false, {}}},
      {"text and two attachments", two, false, {false, true, true, true, {"501 r.pdf", "502 image/png"}}},
      {"multipart as source", two, true, {true, false, false, false, {}}},
      {"one text part", onlyText, false, {false, true, false, false, {}}},
      {"cut off", cutOff, false, {false, true, true, true, {"501 r.pdf", "502 image/png -"}}},
  };
  for (const auto& c : cases) {
    const Menu got = MenuOf(c.item, c.source);
    EXPECT_EQ(got.viewText, c.expected.viewText) << c.name;
    EXPECT_EQ(got.viewSource, c.expected.viewSource) << c.name;
    EXPECT_EQ(got.deleteAttach, c.expected.deleteAttach) << c.name;
    EXPECT_EQ(got.separator, c.expected.separator) << c.name;
    EXPECT_EQ(got.entries, c.expected.entries) << c.name;
  }
  EXPECT_STREQ(ViewTextLabel(true), "&Show text");
  EXPECT_EQ(PartOfCommand(502, 3), 2u);
  EXPECT_FALSE(PartOfCommand(503, 3) || PartOfCommand(499, 3));
}

TEST(ShownMessage, TitleAndTextAreCut) {
  store::MailBox box;
  box.Name = "Work";
  store::MailItem item;
  item.No = 7;
  EXPECT_EQ(ViewerTitle(box, item), "Mail View - Work - [No.7]");
  item.MailBoxName = "Home";
  EXPECT_EQ(ViewerTitle(store::MailBox{}, item), "Mail View - Untitled (Home)");
  box.Name = std::string(300, 'x');
  EXPECT_EQ(ViewerTitle(box, item).size(), kTitleUnits);

  EXPECT_EQ(PaneText("a\r\nb\rc\n"), "a\nb\rc\n");
  std::string long_text(29999, 'a');
  long_text += "\xE2\x82\xAC\xE2\x82\xAC";  // two euro signs: the second is past the cut
  EXPECT_EQ(PaneText(long_text), std::string(29999, 'a') + "\xE2\x82\xAC");
}

TEST(Links, OnlyWebAndMailLinksComeOutOfASelection) {
  const struct {
    std::string selection;
    LinkKind kind;
    std::string link;
  } cases[] = {
      {"mailto:a%40b?subject=Hi+there", LinkKind::kMail, "mailto:a%40b?subject=Hi+there"},
      {"\t(<ann@example.org>),", LinkKind::kMail, "ann@example.org"},
      {"a@b@c", LinkKind::kNone, ""},
      {"see:HTTPS://x.org/a?b=c\"more", LinkKind::kWeb, "HTTPS://x.org/a?b=c"},
      {"\"ftp://f.org/x y", LinkKind::kWeb, "ftp://f.org/x"},
      {"javascript:alert(1)", LinkKind::kNone, ""},
      {"file:///etc/passwd", LinkKind::kNone, ""},
      {"/usr/bin/xterm", LinkKind::kNone, ""},
      {"http://x.org/\x01-e", LinkKind::kWeb, "http://x.org/"},
      {"", LinkKind::kNone, ""},
  };
  for (const auto& c : cases) {
    const Link link = LinkInSelection(c.selection);
    EXPECT_EQ(link.kind, c.kind) << c.selection;
    EXPECT_EQ(link.text, c.link) << c.selection;
  }
  const std::u16string line = u"see <http://x.org/a?b=c>, then\tann@example.org";
  const std::pair<std::size_t, std::u16string> words[] = {
      {10, u"<http://x.org/a?b=c>,"}, {4, u"<http://x.org/a?b=c>,"}, {0, u"see"}, {3, u"see"}, {35, u"ann@example.org"}};
  for (const auto& [position, word] : words) {
    const WordSpan span = WordAround(line, position);
    EXPECT_EQ(line.substr(span.start, span.end - span.start), word) << position;
  }
  // A huge selection is read once: its link is still found at the end.
  const std::string huge = std::string(100 * 1024, 'h') + " http://end.org";
  EXPECT_EQ(LinkInSelection(huge).text, "http://end.org");
  EXPECT_EQ(WebLinkCommand("", "http://x").front(), "xdg-open");
  EXPECT_EQ(WebLinkCommand("no-such-browser-here", "http://x"), (std::vector<std::string>{"xdg-open", "http://x"}));
  EXPECT_EQ(WebLinkCommand("sh", "http://x;rm")[1], "http://x;rm");  // one argument, never a shell line
}

TEST(Find, CaretRuleAndLetterCase) {
  const std::u16string text = ToUtf16("Grüße aus Köln, GRÜSSE aus KÖLN");
  EXPECT_EQ(FindInText(text, u"köln", 0, false), 10u);
  EXPECT_EQ(FindInText(text, u"köln", 11, false), 27u);
  EXPECT_FALSE(FindInText(text, u"köln", 0, true));
  EXPECT_FALSE(FindInText(text, u"", 0, false));
  EXPECT_FALSE(FindInText(text, u"x", 99, false));
  EXPECT_EQ(ToUtf16("a\xF0\x9F\x98\x80" "b").size(), 4u);  // positions count UTF-16 units
  EXPECT_EQ(SearchStart(11, 10), 11u);  // the caret stayed on the last hit
  EXPECT_EQ(SearchStart(11, 3), 3u);    // moved: from the caret
  EXPECT_EQ(NotFoundText("x"), "\"x\" not found");

  // "word" at 0 and 10; the caret (selection start) and the last hit decide where a search starts.
  const std::u16string pane = u"word .... word ....";
  const struct {
    std::size_t findPosition, selectionStart;
    bool allFind;
    ShownOutcome outcome;
    std::size_t position;
  } shown[] = {
      {0, 0, true, ShownOutcome::kHit, 0},
      {1, 0, true, ShownOutcome::kHit, 10},          // the caret stayed on the last hit: the next one
      {1, 12, false, ShownOutcome::kHit, 0},         // only above the caret: once more from the top
      {1, 12, true, ShownOutcome::kSearchRows, 0},   // on to the next messages instead
      {11, 10, false, ShownOutcome::kHit, 0},
  };
  for (const auto& c : shown) {
    const ShownResult result = FindInShownText(pane, u"WORD", c.findPosition, c.selectionStart, false, c.allFind);
    EXPECT_EQ(result.outcome, c.outcome) << c.findPosition << " " << c.selectionStart;
    if (c.outcome == ShownOutcome::kHit) {
      EXPECT_EQ(result.position, c.position) << c.findPosition;
    }
  }
  EXPECT_EQ(FindInShownText(pane, u"none", 0, 0, false, false).outcome, ShownOutcome::kNotFound);
  EXPECT_EQ(RedoCaption("x"), "Look up \"x\"");
}

TEST(Find, AcrossRowsWithAndWithoutSubjects) {
  store::MailBox box;
  const auto add = [&box](const char* subject, const char* body) {
    auto item = std::make_shared<store::MailItem>();
    item->Subject = subject;
    if (body) item->Body = body;
    item->Status = item->Mark = store::kStatusUnread;
    box.Items.push_back(item);
  };
  add("zero", "nothing here");
  add("needle in subject", "plain");
  add("header only", nullptr);
  add("two", "a NEEDLE below");
  store::ListModel list;
  store::SelectMailBox(list, box, store::ListBoxKind::kSavebox);
  const auto never = [] { return false; };
  const struct {
    int from;
    bool subjectFind;
    RowsOutcome outcome;
    int row;
    bool inSubject;
  } cases[] = {
      {0, false, RowsOutcome::kFound, 3, false},
      {0, true, RowsOutcome::kFound, 1, true},
      {2, true, RowsOutcome::kFound, 3, false},
      {4, true, RowsOutcome::kNotFound, -1, false},
  };
  for (const auto& c : cases) {
    const RowsResult result = FindInRows(list, c.from, {u"needle", false, c.subjectFind}, "UTF-8", never);
    EXPECT_EQ(result.outcome, c.outcome) << c.from;
    EXPECT_EQ(result.row, c.row) << c.from;
    EXPECT_EQ(result.inSubject, c.inSubject) << c.from;
  }
  EXPECT_EQ(FindInRows(list, 0, {u"needle", true, false}, "UTF-8", never).outcome, RowsOutcome::kNotFound);
  int checks = 0;
  const RowsResult stopped = FindThroughRows(list, 0, {u"needle", false, false}, "UTF-8", [&checks] { return ++checks == 2; },
                                             [] { return true; });
  EXPECT_EQ(stopped.outcome, RowsOutcome::kAborted);  // ESC: no question, nothing more
  for (const store::ItemRef& item : box.Items) EXPECT_EQ(item->Status, store::kStatusUnread);  // passing reads nothing

  // Past the end, the question decides: Yes goes on from the top (row 1 by its subject), No ends.
  const struct {
    std::vector<bool> answers;
    RowsOutcome outcome;
    int row;
    int questions;
  } redo[] = {
      {{true}, RowsOutcome::kFound, 1, 1},
      {{false}, RowsOutcome::kNotFound, -1, 1},
  };
  for (const auto& c : redo) {
    int asked = 0;
    const RowsResult result = FindThroughRows(list, 4, {u"needle", false, true}, "UTF-8", never, [&] {
      return c.answers.at(static_cast<std::size_t>(asked++));
    });
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.row, c.row);
    EXPECT_EQ(asked, c.questions);
  }
  int questions = 0;
  const RowsResult nowhere = FindThroughRows(list, 0, {u"absent", false, false}, "UTF-8", never, [&questions] {
    return ++questions < 3;  // Yes twice, then No
  });
  EXPECT_EQ(nowhere.outcome, RowsOutcome::kNotFound);
  EXPECT_EQ(questions, 3);
}

TEST(Saving, ProposedNamesNeverMakeAPath) {
  const auto name = [](const char* fileName, const char* type) {
    mime::MimePart part;
    if (fileName) part.fileName = fileName;
    if (type) part.contentType = type;
    const ProposedName proposed = AttachmentSaveName(part);
    return proposed.name + "|" + proposed.defaultExtension;
  };
  EXPECT_EQ(name(nullptr, "image/jpeg; x=y"), ".jpg|jpg");
  EXPECT_EQ(name(nullptr, "application/x-unknown"), "application_x-unknown|");
  EXPECT_EQ(name("a/b\\c:d*e?f\"g<h>i|j,k;l.txt", "text/plain"), "a_b_c_d_e_f_g_h_i_j_k_l.txt|txt");
  EXPECT_EQ(name("..", nullptr), "__|");
  EXPECT_EQ(name(".", nullptr), "_|");
  EXPECT_EQ(name(nullptr, nullptr), "_|");
  EXPECT_EQ(name("bad\x01\x1F\x7Fname", nullptr), "bad___name|");
  EXPECT_EQ(name(std::string(300, 'n').c_str(), nullptr).size(), kAttachmentNameUnits + 1);

  store::MailItem item;
  EXPECT_EQ(TextSaveName(item), ".txt");
  item.Subject = "Re: a/b?";
  EXPECT_EQ(TextSaveName(item), "Re_ a_b_.txt");
  item.Subject = std::string(300, 's');
  EXPECT_EQ(TextSaveName(item), std::string(kSubjectNameUnits, 's') + ".txt");
}

TEST(Saving, TextAndAttachmentFiles) {
  test::TempDir dir;
  store::MailItem item = Multipart(kText + kPng + "--b--\r\n");
  item.From = "Ann <a@x>";
  item.Subject = "Hi";
  item.MessageId = "<m@x>";
  ASSERT_TRUE(SaveMessageAsText(dir.file("m.txt"), item, kSaveAsTemplate, "UTF-8"));
  EXPECT_EQ(platform::ReadWholeFile(dir.file("m.txt")),
            "From: Ann <a@x>\r\nTo: \r\nCc: \r\nSubject: Hi\r\nDate: \r\nMessage-ID: <m@x>\r\n\r\nHello");
  std::vector<mime::MimePart> parts;
  (void)mime::GetDisplayText(item, false, parts, "UTF-8");
  ASSERT_TRUE(SaveAttachment(dir.file("p.png"), parts[1], item));
  EXPECT_EQ(platform::ReadWholeFile(dir.file("p.png")), std::string("\x89PNG", 4));
}

TEST(ExternalViewer, CommandLineAndFile) {
  const struct {
    const char* app;
    const char* commandLine;
    std::vector<std::string> argv;
  } cases[] = {
      {"", "ignored %1", {"xdg-open", "/d/$zelk_view.txt"}},
      {"less", "", {"less", "/d/$zelk_view.txt"}},
      {"view", "-R \"%1\" 100%% %x", {"view", "-R", "/d/$zelk_view.txt", "100%"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExternalViewerCommand(c.app, c.commandLine, ExternalViewerFile("/d/", "txt")), c.argv) << c.commandLine;
  }
  EXPECT_TRUE(UsesExternalViewer(1, false) && UsesExternalViewer(0, true));
  EXPECT_FALSE(UsesExternalViewer(1, true) || UsesExternalViewer(0, false));

  // A link planted at the file's name is replaced, not written through.
  test::TempDir dir;
  const std::string target = dir.file("target");
  ASSERT_TRUE(platform::WriteFileAtomically(target, "keep"));
  ASSERT_EQ(::symlink(target.c_str(), dir.file("$zelk_view.txt").c_str()), 0);
  config::Settings settings;
  settings.ViewApp = "true";
  store::MailItem item;
  item.Body = "text";
  EXPECT_TRUE(OpenExternalViewer(item, settings, dir.path()));
  EXPECT_EQ(platform::ReadWholeFile(target), "keep");
  struct stat info {};
  ASSERT_EQ(::lstat(dir.file("$zelk_view.txt").c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  settings.ViewApp = "no-such-viewer-program";
  EXPECT_FALSE(OpenExternalViewer(item, settings, dir.path()));
}

}  // namespace
}  // namespace zelk::viewer
