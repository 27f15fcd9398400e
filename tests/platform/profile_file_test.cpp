#include "platform/profile_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <random>
#include <thread>

#include "support/temp_config.h"

namespace axo {
namespace {

using test::TempConfig;

// As the Windows reader: names without case, the first duplicate, the buffer cut in whole
// characters, the default when anything is missing.
TEST(ProfileRead, FindsValuesAsTheWindowsReaderDoes) {
    TempConfig cfg;
    // A name without a folder lives in the configuration folder, created when missing.
    EXPECT_EQ(ResolveProfilePath("Axo.ini"), cfg.Root() / "axo" / "Axo.ini");
    EXPECT_TRUE(std::filesystem::is_directory(cfg.Dir()));
    EXPECT_EQ(ResolveProfilePath("/tmp/other.ini"), std::filesystem::path("/tmp/other.ini"));
    EXPECT_EQ(ResolveProfilePath("sub/x.ini"), std::filesystem::path("sub/x.ini"));
    cfg.Write("t.ini",
              "; comment=not a key\n"
              "[Other]\nkey=other\n"
              "[AXO]\n  Timer_Value =  75  \nname=\"quoted\"\nempty=\"\"\nhalf='\nkey=first\nkey=second\n"
              "long=ABCDEFGHIJ\naccents=éèàçù€ok\n"
              "[axo]\nlate=ignored, only the first section counts\n");
    struct Case {
        const char* section;
        const char* key;
        const char* def;
        std::size_t buffer;
        const char* file;
        std::string expected;
    };
    const Case cases[] = {
        {"Axo", "timer_value", "50", 8, "t.ini", "75"},
        {"Axo", "name", "", 16, "t.ini", "quoted"},
        {"Axo", "empty", "dflt", 16, "t.ini", ""},
        {"Axo", "half", "", 16, "t.ini", "'"},
        {"Axo", "KEY", "", 16, "t.ini", "first"},
        {"Other", "key", "", 16, "t.ini", "other"},
        {"Axo", "late", "dflt", 16, "t.ini", "dflt"},
        {"Axo", "; comment", "dflt", 16, "t.ini", "dflt"},
        {"Nowhere", "key", "dflt", 16, "t.ini", "dflt"},
        {"Axo", "key", "dflt", 16, "missing.ini", "dflt"},
        {"Axo", "long", "", 8, "t.ini", "ABCDEFG"},
        {"Axo", "accents", "", 4, "t.ini", "éèà"},
        {"Axo", "accents", "", 7, "t.ini", "éèàçù€"},
        {"Axo", "long", "", 1, "t.ini", ""},
        {"Axo", "long", "", 0, "t.ini", ""},
        {"Axo", "none", "0123456789", 5, "t.ini", "0123"},  // the default is cut like a value
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, c.def, c.buffer, c.file), c.expected)
            << c.section << "/" << c.key << "/" << c.buffer;
    }
}

TEST(ProfileEncoding, SingleByteFilesAreWindows1252AndEveryByteComesBack) {
    struct Case { std::string bytes; std::string utf8; };
    const Case cases[] = {
        {"R\xE9glage", "Réglage"},
        {"Arr\xEAt", "Arrêt"},
        {"c\x9Cur", "cœur"},             // 0x9C is œ, not a control character
        {"\x80 \x8C \x99 \x9F", "€ Œ ™ Ÿ"},
        {"\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"},  // undefined: kept as controls
    };
    TempConfig cfg;
    for (const Case& c : cases) {
        cfg.Write("t.ini", "[Axo]\r\nlabel=" + c.bytes + "\r\n");
        EXPECT_EQ(GetPrivateProfileString("Axo", "label", "", 64, "t.ini"), c.utf8) << c.utf8;
        bool lossy = false;
        EXPECT_EQ(EncodeWindows1252(c.utf8, &lossy), c.bytes) << c.utf8;
        EXPECT_FALSE(lossy);
    }
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(EncodeWindows1252(DecodeWindows1252(all)), all);
    bool lossy = false;
    EXPECT_EQ(EncodeWindows1252("Δ\u0080x", &lossy), "??x");  // U+0080 is not 0x80 (that is €)
    EXPECT_TRUE(lossy);

    EXPECT_EQ(DecodeProfileBytes("d\xC3\xA9j\xC3\xA0"), "déjà");  // valid UTF-8 stays as it is
    EXPECT_EQ(DecodeProfileBytes("\xC3"), "Ã");                    // a cut sequence is not UTF-8
    EXPECT_EQ(DecodeProfileBytes("\xC0\xAF"), "À¯");               // nor an overlong one
    EXPECT_EQ(DecodeProfileBytes("\xEF\xBB\xBF[\xC3\xA9]\xE9"), "[é]é");  // a mark says UTF-8
}

std::string Utf16Of(const std::u16string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
        const char hi = static_cast<char>(u >> 8);
        const char lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

// A UTF-16 file with its mark (Windows "Unicode" text) is written back in UTF-16 alone.
TEST(ProfileEncoding, AUtf16FileIsReadAndWrittenBackInUtf16) {
    TempConfig cfg;
    for (const bool be : {false, true}) {
        SCOPED_TRACE(be);
        cfg.Write("t.ini", Utf16Of(u"; r\u00E9glages\r\n[Axo]\r\ntimer_value=75\r\nlabel=C\u00F4t\u00E9 \U0001F52D\r\n", be));
        EXPECT_EQ(GetPrivateProfileString("Axo", "timer_value", "50", 8, "t.ini"), "75");
        EXPECT_EQ(GetPrivateProfileString("Axo", "label", "", 64, "t.ini"), "Côté 🔭");
        ASSERT_TRUE(WritePrivateProfileKeys("axo", {{"timer_value", " 80"}, {"new", "\u00E9"}}, "t.ini"));
        EXPECT_EQ(cfg.Read("t.ini"),
                  Utf16Of(u"; r\u00E9glages\r\n[Axo]\r\ntimer_value= 80\r\nlabel=C\u00F4t\u00E9 \U0001F52D\r\nnew=\u00E9\r\n", be));
        // Units that do not pair up, and an odd last byte, come back as they were.
        const std::string odd = Utf16Of(u"[Axo]\nk=\xD800x\xDC00", be) + "\x41";
        ProfileDocument doc;
        doc.Parse(odd);
        EXPECT_EQ(doc.Encoding(), be ? ProfileEncoding::Utf16Be : ProfileEncoding::Utf16Le);
        EXPECT_EQ(doc.Serialize(), odd);
        EXPECT_TRUE(doc.Inspect().oddUtf16);
    }
}

// What the reader skips, for the callers to report.
TEST(ProfileDocument, InspectFindsWhatIsNotProfileTextAndKeepsIt) {
    struct Case { std::string text; std::size_t nul; std::size_t control; std::vector<std::size_t> unreadable; };
    const Case cases[] = {
        {"; c\n[a]\nk=v\n\n# d\n", 0, 0, {}},
        {"[a]\nbroken\n=v\n[b\nk=v", 0, 0, {2, 3, 4}},
        {std::string("k=\x01\x1A\0", 5), 1, 2, {}},
        {std::string(8, '\0'), 8, 0, {1}},
    };
    for (const Case& c : cases) {
        ProfileDocument doc;
        doc.Parse(c.text);
        const ProfileDamage d = doc.Inspect();
        EXPECT_EQ(d.nulChars, c.nul) << c.text;
        EXPECT_EQ(d.controlChars, c.control) << c.text;
        EXPECT_EQ(d.unreadableLines, c.unreadable) << c.text;
    }

    // Binary and huge lines are kept as they are.
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

// What writes do to a file's bytes: only their lines change, each line keeps its own end (a lone
// CR ends one too), a value cannot smuggle in a line of its own, a byte order mark stays, and the
// file keeps the encoding it was read in.
TEST(ProfileWrite, ChangesOnlyItsLinesAndKeepsEverythingElse) {
    using Keys = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* what;
        std::optional<std::string> before;  // nullopt: no file yet
        std::vector<std::pair<const char*, Keys>> writes;  // section, keys
        std::string after;
        std::array<const char*, 3> read;  // section, key, value read back
        bool lossy = false;               // the one key written lacks from the file's code page
    };
    const std::string other = "[Observateur]\r\nnom=Arr\xEAt \x9C \x80\x81\r\n\r\n";
    using Writes = std::vector<std::pair<const char*, Keys>>;
    const auto label = [](const char* value) { return Writes{{"Axo", {{"label", value}}}}; };
    const Case cases[] = {
        {"Windows-1252 file", other + "[Axo]\r\nlabel=x\r\n", label("Côté"), other + "[Axo]\r\nlabel=C\xF4t\xE9\r\n",
         {"Axo", "label", "Côté"}},
        {"Windows-1252 file, character it lacks", other + "[Axo]\r\nlabel=x\r\n", label("Δ=1"),
         other + "[Axo]\r\nlabel=?=1\r\n", {"Axo", "label", "?=1"}, true},
        {"UTF-8 file", "[O]\nnom=Arr\xC3\xAAt\n[Axo]\nlabel=x\n", label("Δœ"),
         "[O]\nnom=Arr\xC3\xAAt\n[Axo]\nlabel=\xCE\x94\xC5\x93\n", {"Axo", "label", "Δœ"}},
        {"UTF-8 file with a mark", "\xEF\xBB\xBF[Axo]\nlabel=x\n", label("é"), "\xEF\xBB\xBF[Axo]\nlabel=\xC3\xA9\n",
         {"Axo", "label", "é"}},
        {"mark and stray byte", "\xEF\xBB\xBF[O]\nn=\xE9\n[Axo]\n", label("é"),
         "\xEF\xBB\xBF[O]\nn=\xE9\n[Axo]\nlabel=\xC3\xA9\n", {"Axo", "label", "é"}},
        {"new file", std::nullopt, label("Arrêt"), "[Axo]\nlabel=Arr\xEAt\n", {"Axo", "label", "Arrêt"}},
        {"new file, character Windows-1252 lacks", std::nullopt, label("Δ"), "[Axo]\nlabel=\xCE\x94\n", {"Axo", "label", "Δ"}},
        {"ASCII file", "[Axo]\r\nlabel=x\r\n", label("œ"), "[Axo]\r\nlabel=\x9C\r\n", {"Axo", "label", "œ"}},
        {"invalid UTF-8 given", "[Axo]\nlabel=x\n", label("\xE9t\xE9"), "[Axo]\nlabel=\xE9t\xE9\n", {"Axo", "label", "été"}},
        {"other lines kept",
         "; Axo settings\n[Other]\nkeep=1\n\n[Axo]\nTimer_Value=50\n# a note\nungear=1\n\n[Last]\nx=y\n",
         {{"axo", {{"timer_value", "75"}}}, {"Axo", {{"new_key", "v"}}}, {"Fresh", {{"a", "b"}}}},
         "; Axo settings\n[Other]\nkeep=1\n\n[Axo]\ntimer_value=75\n# a note\nungear=1\nnew_key=v\n\n[Last]\nx=y\n\n[Fresh]\na=b\n",
         {"Axo", "timer_value", "75"}},
        {"Windows line ends", "[Axo]\r\na=1\r\n", {{"Axo", {{"b", "2"}}}}, "[Axo]\r\na=1\r\nb=2\r\n", {"Axo", "b", "2"}},
        {"new file", std::nullopt, {{"Axo", {{"ungear", " 0"}}}, {"Axo", {{"label", "Est\r\n[Evil]"}}}},
         "[Axo]\nungear= 0\nlabel=Est\n", {"Axo", "ungear", "0"}},
        {"mixed line ends", "[A]\r\na=1\nb=2\r\n[B]\rc=3", {{"A", {{"b", "20"}, {"z", "9\r[C]"}}}, {"B", {{"d", "4"}}}},
         "[A]\r\na=1\nb=20\r\nz=9\r\n[B]\rc=3\r\nd=4\r\n", {"B", "c", "3"}},
        {"byte order mark", "\xEF\xBB\xBF[Axo]\r\ntimer_value=75\r\n", {{"axo", {{"timer_value", " 80"}, {"ungear", " 1"}}}},
         "\xEF\xBB\xBF[Axo]\r\ntimer_value= 80\r\nungear= 1\r\n", {"Axo", "timer_value", "80"}},
        {"byte order mark only", "\xEF\xBB\xBF", {{"Axo", {{"a", "1"}}}}, "\xEF\xBB\xBF[Axo]\na=1\n", {"Axo", "a", "1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempConfig cfg;
        if (c.before) {
            cfg.Write("t.ini", *c.before);
        }
        std::vector<std::string> lossy;
        for (const auto& [section, keys] : c.writes) {
            ASSERT_TRUE(WritePrivateProfileKeys(section, keys, "t.ini", nullptr, &lossy));
        }
        EXPECT_EQ(cfg.Read("t.ini"), c.after);
        EXPECT_EQ(lossy, c.lossy ? std::vector<std::string>{"label"} : std::vector<std::string>{});
        EXPECT_EQ(GetPrivateProfileString(c.read[0], c.read[1], "?", 8, "t.ini"), c.read[2]);
        EXPECT_EQ(cfg.FileCount(), 1u);  // the temporary file was renamed over the file
    }
}

TEST(ProfileWrite, AFailedWriteKeepsThePreviousFileWholeAndLinksAreFollowed) {
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

    // A symbolic link: its target is replaced, with its permissions.
    cfg.Write("real.ini", "[Axo]\na=1\n");
    std::filesystem::permissions(cfg.File("real.ini"), std::filesystem::perms(0600));
    std::filesystem::create_symlink("real.ini", cfg.File("link.ini"));
    ASSERT_TRUE(WritePrivateProfileString("Axo", "a", "2", "link.ini"));
    EXPECT_TRUE(std::filesystem::is_symlink(cfg.File("link.ini")));
    EXPECT_EQ(cfg.Read("real.ini"), "[Axo]\na=2\n");
    EXPECT_EQ(std::filesystem::status(cfg.File("real.ini")).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0600));
}

// Names a save's temporary file could have, and what the clean-up at start does with each.
TEST(StaleSaveFiles, OnlyOurOwnLeftoversAreRemoved) {
    TempConfig cfg;
    cfg.Write("Axo.ini", "[Axo]\na=1\n");
    cfg.Write("precious.txt", "keep");
    struct Case { std::string name; bool removed; };
    const Case files[] = {
        {".Axo.ini.Ab3dE9", true},       {".Axo.ini.zzzzzz", true},     {".Axo.ini.Ab3dE", false},
        {".Axo.ini.Ab3dE9x", false},     {".Axo.ini.Ab-dE9", false},    {"Axo.ini.Ab3dE9", false},
        {".axo.ini.Ab3dE9", false},      {".hardware.ini.Ab3dE9", false}, {".Axo.ini.", false},
    };
    for (const Case& c : files) {
        cfg.Write(c.name, "partial");
    }
    namespace fs = std::filesystem;
    fs::create_directories(cfg.File(".Axo.ini.DIRDIR"));
    fs::create_directories(cfg.File("sub"));
    cfg.Write("sub/.Axo.ini.Ab3dE9", "elsewhere");
    fs::create_symlink(cfg.File("precious.txt"), cfg.File(".Axo.ini.LINK00"));
    fs::create_hard_link(cfg.File("precious.txt"), cfg.File(".Axo.ini.HARD00"));
    bool foreignOwner = false;
    if (geteuid() == 0) {  // only root can give a file away
        cfg.Write(".Axo.ini.THEIRS", "another user's");
        foreignOwner = chown(cfg.File(".Axo.ini.THEIRS").c_str(), 65534, 65534) == 0;
    }

    // A save in progress in another instance holds the lock on its file.
    cfg.Write(".Axo.ini.BUSY00", "being written");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t saver = fork();
    ASSERT_GE(saver, 0);
    if (saver == 0) {
        const int fd = open(cfg.File(".Axo.ini.BUSY00").c_str(), O_RDWR);
        const char ok = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? '1' : '0';
        (void)!write(ready[1], &ok, 1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');

    const auto removed = std::count_if(std::begin(files), std::end(files), [](const Case& c) { return c.removed; });
    EXPECT_EQ(RemoveStaleSaveFiles("Axo.ini"), static_cast<std::size_t>(removed));
    for (const Case& c : files) {
        EXPECT_EQ(fs::exists(cfg.File(c.name)), !c.removed) << c.name;
    }
    for (const char* kept : {".Axo.ini.DIRDIR", "sub/.Axo.ini.Ab3dE9", ".Axo.ini.LINK00", ".Axo.ini.HARD00",
                             ".Axo.ini.BUSY00", "Axo.ini"}) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(cfg.File(kept)))) << kept;
    }
    if (foreignOwner) {
        EXPECT_TRUE(fs::exists(cfg.File(".Axo.ini.THEIRS")));
    }
    EXPECT_EQ(cfg.Read("precious.txt"), "keep");

    // Once that instance is gone, its file is a leftover like the others.
    kill(saver, SIGKILL);
    waitpid(saver, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(RemoveStaleSaveFiles("Axo.ini"), 1u);
    EXPECT_FALSE(fs::exists(cfg.File(".Axo.ini.BUSY00")));
}

std::size_t SaveLeftovers(const TempConfig& cfg) {
    std::size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(cfg.Dir())) {
        n += e.path().filename().string().rfind(".Axo.ini.", 0) == 0 ? 1 : 0;
    }
    return n;
}

TEST(StaleSaveFiles, NothingIsLeftAfterSavesKilledAtRandomMoments) {
    TempConfig cfg;
    const std::string pad(4000, 'p');
    ASSERT_TRUE(WritePrivateProfileKeys("Axo", {{"round", "start"}, {"pad", pad}}, "Axo.ini"));
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> delayUs(500, 15000);
    for (int round = 0; round < 100; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                WritePrivateProfileKeys("Axo", {{"round", std::to_string(round) + "." + std::to_string(i)}, {"pad", pad}},
                                        "Axo.ini");
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    const std::size_t left = SaveLeftovers(cfg);
    RecordProperty("leftovers_after_100_kills", static_cast<int>(left));
    EXPECT_EQ(RemoveStaleSaveFiles("Axo.ini"), left);
    EXPECT_EQ(cfg.FileCount(), 1u);
    // Whatever moment the kill came at, the file is one of the whole versions.
    EXPECT_EQ(GetPrivateProfileString("Axo", "pad", "", 8192, "Axo.ini"), pad);
}

TEST(StaleSaveFiles, ACleanUpNeverSpoilsASaveInProgress) {
    TempConfig cfg;
    ASSERT_TRUE(WritePrivateProfileString("Axo", "round", "0", "Axo.ini"));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int i = 1; i <= 150; ++i) {
            if (!WritePrivateProfileString("Axo", "round", std::to_string(i), "Axo.ini")) {
                _exit(1);
            }
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        RemoveStaleSaveFiles("Axo.ini");  // another instance starting, again and again
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(GetPrivateProfileString("Axo", "round", "", 8, "Axo.ini"), "150");
    EXPECT_EQ(SaveLeftovers(cfg), 0u);
}

}  // namespace
}  // namespace axo
