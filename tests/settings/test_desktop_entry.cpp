// The user's desktop entry: the Exec line for any program path, and the template's
// other keys kept.
#include "settings/core/DesktopEntry.h"

#include "settings/core/EmbeddedData.h"
#include "settings/core/KeyFileLines.h"

#include <gtest/gtest.h>

namespace sorrel::settings {
namespace {

TEST(DesktopEntryExec, QuotesAndEscapesWhatThePathNeeds) {
  EXPECT_EQ(ExecValue("/usr/local/bin/sorrel"), "/usr/local/bin/sorrel %f");
  EXPECT_EQ(ExecValue("/opt/my player/sorrel"), "\"/opt/my player/sorrel\" %f");
  // Inside quotes, '"' '`' '$' '\' get a backslash, and the string value then doubles
  // every backslash.
  EXPECT_EQ(ExecValue("/opt/a$b/sorrel"), "\"/opt/a\\\\$b/sorrel\" %f");
  EXPECT_EQ(ExecValue("/opt/a\"b/sorrel"), "\"/opt/a\\\\\"b/sorrel\" %f");
  EXPECT_EQ(ExecValue("/opt/a\\b/sorrel"), "\"/opt/a\\\\\\\\b/sorrel\" %f");
  // "%" is doubled whether quoted or not, so it never starts a field code.
  EXPECT_EQ(ExecValue("/opt/100%/sorrel"), "/opt/100%%/sorrel %f");
  EXPECT_EQ(ExecValue("/opt/100% sure/sorrel"), "\"/opt/100%% sure/sorrel\" %f");
  EXPECT_EQ(ExecValue("/home/太郎/bin/sorrel"), "/home/太郎/bin/sorrel %f");
}

TEST(DesktopEntryExec, RefusesPathsAnEntryCannotHold) {
  std::string error;
  EXPECT_EQ(ExecValue("sorrel", &error), std::nullopt);
  EXPECT_NE(error.find("absolute"), std::string::npos);
  EXPECT_EQ(ExecValue("", &error), std::nullopt);
  EXPECT_EQ(ExecValue("/opt/a\nb/sorrel", &error), std::nullopt);
  EXPECT_NE(error.find("control"), std::string::npos);
  EXPECT_EQ(ExecValue("/opt/\x7f/sorrel", &error), std::nullopt);
  EXPECT_EQ(ExecValue("/opt/\x83\x5c/sorrel", &error), std::nullopt);  // Shift-JIS bytes
  EXPECT_NE(error.find("UTF-8"), std::string::npos);
}

TEST(DesktopEntryUser, TemplateWithProgramAndTypes) {
  const std::string text =
      UserDesktopEntry(kDesktopEntryTemplate, "\"/opt/my player/sorrel\" %f", "/opt/my player/sorrel",
                       {"application/x-sorrel-pdr", "application/x-sorrel-pfl"});
  const TKeyFileLines entry(text);
  const char* g = kDesktopEntryGroup;
  EXPECT_EQ(entry.Value(g, "Exec"), "\"/opt/my player/sorrel\" %f");
  EXPECT_EQ(entry.Value(g, "TryExec"), "/opt/my player/sorrel");
  EXPECT_EQ(entry.Value(g, "MimeType"), "application/x-sorrel-pdr;application/x-sorrel-pfl;");
  EXPECT_EQ(entry.Value(g, "Name"), "Tarn's MP3Player");
  EXPECT_EQ(entry.Value(g, "Icon"), "sorrel");
  EXPECT_EQ(entry.Value(g, "Type"), "Application");
  // The installed template itself claims no type: associating is the user's choice.
  EXPECT_EQ(TKeyFileLines(kDesktopEntryTemplate).Value(g, "MimeType"), std::nullopt);
}

}  // namespace
}  // namespace sorrel::settings
