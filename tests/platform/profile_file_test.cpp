#include "platform/profile_file.h"

#include <gtest/gtest.h>

#include "support/temp_config.h"

namespace axo {
namespace {

using test::TempConfig;

TEST(ProfilePath, NameWithoutDirectoryLivesInTheConfigFolder) {
    TempConfig cfg;
    const auto path = ResolveProfilePath("Axo.ini");
    EXPECT_EQ(path, cfg.Root() / "axo" / "Axo.ini");
    EXPECT_TRUE(std::filesystem::is_directory(cfg.Dir()));  // created when missing
    EXPECT_EQ(ResolveProfilePath("/tmp/other.ini"), std::filesystem::path("/tmp/other.ini"));
    EXPECT_EQ(ResolveProfilePath("sub/x.ini"), std::filesystem::path("sub/x.ini"));
}

TEST(ProfileRead, MatchesNamesWithoutCaseAndFallsBackOnTheDefault) {
    TempConfig cfg;
    cfg.Write("t.ini",
              "; comment=not a key\n"
              "[Other]\nkey=other\n"
              "[AXO]\n  Timer_Value =  75  \nname=\"quoted\"\nkey=first\nkey=second\n"
              "[axo]\nlate=ignored, only the first section counts\n");
    EXPECT_EQ(GetPrivateProfileString("Axo", "timer_value", "50", 8, "t.ini"), "75");
    EXPECT_EQ(GetPrivateProfileString("Axo", "name", "", 16, "t.ini"), "quoted");
    EXPECT_EQ(GetPrivateProfileString("Axo", "KEY", "", 16, "t.ini"), "first");
    EXPECT_EQ(GetPrivateProfileString("Other", "key", "", 16, "t.ini"), "other");
    EXPECT_EQ(GetPrivateProfileString("Axo", "late", "dflt", 16, "t.ini"), "dflt");
    EXPECT_EQ(GetPrivateProfileString("Axo", "; comment", "dflt", 16, "t.ini"), "dflt");
    EXPECT_EQ(GetPrivateProfileString("Nowhere", "key", "dflt", 16, "t.ini"), "dflt");
    EXPECT_EQ(GetPrivateProfileString("Axo", "key", "dflt", 16, "missing.ini"), "dflt");
}

TEST(ProfileRead, CutsToTheBufferInCharactersNeverInsideOne) {
    TempConfig cfg;
    cfg.Write("t.ini", "[Axo]\nlong=ABCDEFGHIJ\naccents=éèàçù€ok\n");
    EXPECT_EQ(GetPrivateProfileString("Axo", "long", "", 8, "t.ini"), "ABCDEFG");
    EXPECT_EQ(GetPrivateProfileString("Axo", "accents", "", 4, "t.ini"), "éèà");
    EXPECT_EQ(GetPrivateProfileString("Axo", "accents", "", 7, "t.ini"), "éèàçù€");
    EXPECT_EQ(GetPrivateProfileString("Axo", "long", "", 1, "t.ini"), "");
    EXPECT_EQ(GetPrivateProfileString("Axo", "long", "", 0, "t.ini"), "");
    // The default is cut like a value.
    EXPECT_EQ(GetPrivateProfileString("Axo", "none", "0123456789", 5, "t.ini"), "0123");
}

TEST(ProfileRead, SingleByteWesternFilesAreReadAsLatin1) {
    TempConfig cfg;
    // "Réglage" and "Arrêt" as the original Windows program wrote them, one byte per letter.
    cfg.Write("t.ini", std::string("[Axo]\r\nlabel=R\xE9glage\r\nother=Arr\xEAt\r\n"));
    EXPECT_EQ(GetPrivateProfileString("Axo", "label", "", 16, "t.ini"), "Réglage");
    EXPECT_EQ(GetPrivateProfileString("Axo", "other", "", 16, "t.ini"), "Arrêt");
    EXPECT_EQ(DecodeProfileBytes("d\xC3\xA9j\xC3\xA0"), "déjà");  // valid UTF-8 stays as it is
    EXPECT_EQ(DecodeProfileBytes("\xC3"), "\xC3\x83");            // a cut sequence is not UTF-8
    EXPECT_EQ(DecodeProfileBytes("\xC0\xAF"), "\xC3\x80\xC2\xAF"); // nor an overlong one
}

TEST(ProfileWrite, ChangesOnlyItsLineAndKeepsEverythingElse) {
    TempConfig cfg;
    const std::string before =
        "; Axo settings\n"
        "[Other]\n"
        "keep=1\n"
        "\n"
        "[Axo]\n"
        "Timer_Value=50\n"
        "# a note\n"
        "ungear=1\n"
        "\n"
        "[Last]\n"
        "x=y\n";
    cfg.Write("t.ini", before);
    ASSERT_TRUE(WritePrivateProfileString("axo", "timer_value", "75", "t.ini"));
    ASSERT_TRUE(WritePrivateProfileString("Axo", "new_key", "v", "t.ini"));
    ASSERT_TRUE(WritePrivateProfileString("Fresh", "a", "b", "t.ini"));
    EXPECT_EQ(cfg.Read("t.ini"),
              "; Axo settings\n"
              "[Other]\n"
              "keep=1\n"
              "\n"
              "[Axo]\n"
              "timer_value=75\n"
              "# a note\n"
              "ungear=1\n"
              "new_key=v\n"
              "\n"
              "[Last]\n"
              "x=y\n"
              "\n"
              "[Fresh]\n"
              "a=b\n");
    // Only the final file is left in the folder: the temporary file was renamed over it.
    EXPECT_EQ(cfg.FileCount(), 1u);
}

TEST(ProfileWrite, KeepsWindowsLineEndsAndCreatesMissingFiles) {
    TempConfig cfg;
    cfg.Write("crlf.ini", "[Axo]\r\na=1\r\n");
    ASSERT_TRUE(WritePrivateProfileString("Axo", "b", "2", "crlf.ini"));
    EXPECT_EQ(cfg.Read("crlf.ini"), "[Axo]\r\na=1\r\nb=2\r\n");

    ASSERT_TRUE(WritePrivateProfileString("Axo", "ungear", " 0", "new.ini"));
    EXPECT_EQ(cfg.Read("new.ini"), "[Axo]\nungear= 0\n");
    EXPECT_EQ(GetPrivateProfileString("Axo", "ungear", "x", 8, "new.ini"), "0");

    // A value cannot smuggle a line of its own into the file.
    ASSERT_TRUE(WritePrivateProfileString("Axo", "label", "Est\r\n[Evil]", "new.ini"));
    EXPECT_EQ(cfg.Read("new.ini"), "[Axo]\nungear= 0\nlabel=Est\n");
}

TEST(ProfileWrite, AFailedWriteKeepsThePreviousFileWhole) {
    TempConfig cfg;
    const std::string before = "[Axo]\nungear= 1\n";
    cfg.Write("t.ini", before);
    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 0; i < 200; ++i) {
        many.emplace_back("key" + std::to_string(i), std::string(40, 'x'));
    }
    std::string error;
    {
        test::FileSizeLimit full(64);  // the disk "fills up" after 64 bytes
        EXPECT_FALSE(WritePrivateProfileKeys("Axo", many, "t.ini", &error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(cfg.Read("t.ini"), before);
    EXPECT_EQ(cfg.FileCount(), 1u);  // no temporary file left behind

    // Something that is not a file is reported, not replaced.
    std::filesystem::create_directories(cfg.File("dir.ini"));
    EXPECT_FALSE(WritePrivateProfileString("Axo", "a", "1", "dir.ini", &error));
    EXPECT_TRUE(std::filesystem::is_directory(cfg.File("dir.ini")));
}

TEST(ProfileWrite, ReplacesTheTargetOfASymbolicLinkAndKeepsItsPermissions) {
    TempConfig cfg;
    cfg.Write("real.ini", "[Axo]\na=1\n");
    std::filesystem::permissions(cfg.File("real.ini"), std::filesystem::perms(0600));
    std::filesystem::create_symlink("real.ini", cfg.File("link.ini"));
    ASSERT_TRUE(WritePrivateProfileString("Axo", "a", "2", "link.ini"));
    EXPECT_TRUE(std::filesystem::is_symlink(cfg.File("link.ini")));
    EXPECT_EQ(cfg.Read("real.ini"), "[Axo]\na=2\n");
    EXPECT_EQ(std::filesystem::status(cfg.File("real.ini")).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0600));
}

TEST(ProfileDocument, SurvivesBinaryAndHugeLines) {
    std::string text = "[Axo]\nbin=\x01\x02";
    text.push_back('\0');
    text += "\xFF\xFE\nhuge=" + std::string(10000, 'z') + "\nno_equals_line\n=empty key\n[\n]\n";
    ProfileDocument doc;
    doc.Parse(text);
    ASSERT_TRUE(doc.Get("Axo", "bin").has_value());
    EXPECT_EQ(doc.Get("Axo", "huge")->size(), 10000u);
    EXPECT_EQ(doc.GetString("Axo", "huge", "", 16), std::string(15, 'z'));
    EXPECT_FALSE(doc.Get("Axo", "no_equals_line").has_value());
    doc.Set("Axo", "huge", "short");
    EXPECT_EQ(doc.Get("Axo", "huge"), "short");
    EXPECT_EQ(doc.LineCount(), 7u);  // nothing added or lost
}

}  // namespace
}  // namespace axo
