#include "settings/settings.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/profile_file.h"
#include "support/temp_config.h"

namespace axo {
namespace {

using test::TempConfig;

template <typename E>
std::size_t Index(E k) {
    return static_cast<std::size_t>(k);
}

constexpr SettingGroup kGroups[] = {SettingGroup::Integer, SettingGroup::Double, SettingGroup::String,
                                    SettingGroup::Long};

std::vector<std::string> KeyLinesOf(const std::string& text) {
    std::vector<std::string> keys;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.find('=') != std::string::npos) keys.push_back(line.substr(0, line.find('=')));
    }
    return keys;
}

TEST(SettingsTable, HasEveryKeyWithItsDefault) {
    EXPECT_EQ(Settings::Count(SettingGroup::Integer), 67u);
    EXPECT_EQ(Settings::Count(SettingGroup::Double), 8u);
    EXPECT_EQ(Settings::Count(SettingGroup::String), 46u);
    EXPECT_EQ(Settings::Count(SettingGroup::Long), 7u);
    const Settings s;
    EXPECT_EQ(Settings::Name(SettingGroup::Integer, 0), "ungear");
    EXPECT_EQ(Settings::Name(SettingGroup::Integer, 66), "Eik120_debug");
    EXPECT_EQ(Settings::Name(SettingGroup::String, 45), "S64xx_RS485_delta");
    EXPECT_EQ(Settings::Name(SettingGroup::Long, 6), "alpha_track_period");
    EXPECT_EQ(s.Int(IntKey::timer_value), 50);
    EXPECT_EQ(s.Int(IntKey::interface_dome), 5);
    EXPECT_EQ(s.Int(IntKey::interface_ra), 3);  // the 6420 boxes
    EXPECT_EQ(s.Int(IntKey::interface_de), 3);
    EXPECT_EQ(s.Int(IntKey::Eik120_base_addr), 856);
    EXPECT_EQ(s.Int(IntKey::altitude), 2877);
    EXPECT_EQ(s.Dbl(DoubleKey::count_alpha), 0.995);
    EXPECT_EQ(s.Dbl(DoubleKey::Eik120_delta_res), 9.887695313);
    EXPECT_EQ(s.Str(StringKey::S64xx_alpha_step_trk), "\\8");
    EXPECT_EQ(s.Str(StringKey::label_dome_dir2), "Ouest");
    EXPECT_EQ(s.Lng(LongKey::alpha_track_period), 10);
}

// The window positions' defaults come from the screen.
TEST(SettingsTable, WindowPositionDefaultsComeFromTheScreen) {
    Settings s;
    ScreenMetrics screen;
    screen.screenWidth = 1280 * kTwipsPerPixel;   // 19200
    screen.screenHeight = 800 * kTwipsPerPixel;   // 12000
    screen.mainWindowWidth = 9001;
    screen.mainWindowHeight = 8000;
    const int16_t before = s.Int(IntKey::timer_value) = 99;
    s.BuildSettingsTable(screen);
    EXPECT_EQ(s.Int(IntKey::timer_value), before);  // building the table leaves values alone
    // The second is 5099.5, a half rounded to even.
    const char* const positions[] = {"2000", "5100", "1200", "1920", "2400", "1920", "10"};
    for (std::size_t i = 0; i < std::size(positions); ++i) {
        EXPECT_EQ(s.DefaultText(SettingGroup::Long, i), positions[i]) << i;
    }

    TempConfig cfg;
    s.ReadSettings("Axo.ini");  // no file: every value is its default
    EXPECT_EQ(s.Lng(LongKey::Calibr_left), 1920);
    EXPECT_EQ(s.Int(IntKey::timer_value), 50);
}

TEST(SettingsFile, DefaultsWrittenToANewFileReadBackWhole) {
    TempConfig cfg;
    Settings written;
    ASSERT_TRUE(written.WriteSettings("Axo.ini").ok);
    const std::string text = cfg.Read("Axo.ini");
    EXPECT_EQ(text.rfind("[Axo]\n", 0), 0u);
    EXPECT_NE(text.find("\ncount_alpha=0,995\n"), std::string::npos);
    EXPECT_NE(text.find("\nS64xx_alpha_f_trk=M 5 5\n"), std::string::npos);

    std::vector<std::string> expected;
    for (SettingGroup g : kGroups) {
        for (std::size_t i = 0; i < Settings::Count(g); ++i) {
            expected.emplace_back(Settings::Name(g, i));
        }
    }
    EXPECT_EQ(KeyLinesOf(text), expected);  // 128 keys, in group and index order

    Settings read;
    // Spoil every value so that the read has to restore each of them.
    for (std::size_t i = 0; i < kIntCount; ++i) read.IntAt(i) = -7;
    for (std::size_t i = 0; i < kDoubleCount; ++i) read.DblAt(i) = -7.5;
    for (std::size_t i = 0; i < kStringCount; ++i) read.StrAt(i) = "spoilt";
    for (std::size_t i = 0; i < kLongCount; ++i) read.LngAt(i) = -7;
    ASSERT_TRUE(read.ReadSettings("Axo.ini").ok);
    for (SettingGroup g : kGroups) {
        for (std::size_t i = 0; i < Settings::Count(g); ++i) {
            EXPECT_EQ(read.ValueText(g, i), written.ValueText(g, i)) << Settings::Name(g, i);
        }
    }
}

// Each changed value: how the file spells it, and that it reads back the same.
TEST(SettingsFile, ChangedValuesRoundTripWithTheirForms) {
    using G = SettingGroup;
    struct Case {
        G group;
        std::size_t index;
        std::string value;
        std::string line;  // as written, "" when only the round trip matters
    };
    const Case cases[] = {
        {G::Integer, Index(IntKey::ungear), "1", "ungear= 1"},
        {G::Integer, Index(IntKey::calibr_delta_d), "-12", "calibr_delta_d=-12"},
        {G::Integer, Index(IntKey::Eik120_base_addr), "32767", "Eik120_base_addr= 32767"},
        {G::Double, Index(DoubleKey::calibr_alpha_pos), "-12345.678", "calibr_alpha_pos=-12345,678"},
        {G::Double, Index(DoubleKey::count_delta), "1.15", "count_delta=1,15"},
        {G::String, Index(StringKey::label_focus_dir1), "Foyer+", "label_focus_dir1=Foyer+"},
        {G::String, Index(StringKey::S64xx_alpha_r_trk), "1541,5", ""},
        // The reader drops blanks around a value and one pair of quotes: such texts are quoted.
        {G::String, Index(StringKey::label_alpha_plus), " A+", "label_alpha_plus=\" A+\""},
        {G::String, Index(StringKey::label_alpha_minus), "\"A-\"", "label_alpha_minus=\"\"A-\"\""},
        {G::String, Index(StringKey::label_delta_plus), "'D' ", ""},
        {G::String, Index(StringKey::label_delta_minus), "D \"-\"", "label_delta_minus=D \"-\""},
        {G::Long, Index(LongKey::Axo_top), "-120", "Axo_top=-120"},
    };
    TempConfig cfg;
    Settings a;
    for (const Case& c : cases) {
        switch (c.group) {
            case G::Integer: a.IntAt(c.index) = static_cast<int16_t>(std::stoi(c.value)); break;
            case G::Double: a.DblAt(c.index) = std::stod(c.value); break;
            case G::String: a.StrAt(c.index) = c.value; break;
            case G::Long: a.LngAt(c.index) = std::stoi(c.value); break;
        }
    }
    ASSERT_TRUE(a.WriteSettings("Axo.ini").ok);
    const std::string text = cfg.Read("Axo.ini");
    Settings b;
    ASSERT_TRUE(b.ReadSettings("Axo.ini").ok);
    for (const Case& c : cases) {
        if (!c.line.empty()) {
            EXPECT_NE(text.find("\n" + c.line + "\n"), std::string::npos) << c.line;
        }
        EXPECT_EQ(b.ValueText(c.group, c.index), a.ValueText(c.group, c.index)) << Settings::Name(c.group, c.index);
    }
}

TEST(SettingsFile, GarbageLoadsWithDefaultsAndOtherSectionsSurviveTheWrite) {
    TempConfig cfg;
    std::string garbage = "[Observer]\r\nname=Nuit froide\r\n\r\n";
    garbage += "[Axo]\r\n";
    garbage += "TIMER_VALUE=75\r\n";          // upper-case key
    garbage += "timer_value=20\r\n";          // duplicate: the first one counts
    garbage += "ungear=99999\r\n";            // overflows 16 bits
    garbage += "count_alpha=1e400\r\n";       // overflows a double
    garbage += "count_delta=abc\r\n";
    garbage += "Axo_top=12abc\r\n";
    garbage += "reverse_alpha=1\r\n";
    garbage += "label_alpha_plus=" + std::string(10000, 'Q') + "\r\n";
    garbage += std::string("binary=\x00\x01\x02\xFF\xFE\x80", 13) + "\r\n";
    garbage += std::string("reverse_delta=1\x00junk", 19) + "\r\n";  // cut at the NUL
    garbage += std::string(10000, '#') + "\r\n";
    // Values are cut to the read buffers of their group.
    garbage += "label_dome_dir1=Est-Sud\xC3\xA9\r\n";            // 8 characters, the last one two bytes
    garbage += "altitude=00000000075\r\n";                      // Integer: 7 characters kept
    garbage += "calibr_alpha_pos=1,2345678901234567\r\n";       // Double: 15 characters kept
    garbage += "Axo_left=0000000000000000012\r\n";              // Long: 15 zeros kept
    garbage += "[Trailer]\r\nkeep=me\r\n";
    cfg.Write("Axo.ini", garbage);

    Settings s;
    s.Lng(LongKey::Axo_top) = 4242;
    ASSERT_TRUE(s.ReadSettings("Axo.ini").ok);
    EXPECT_EQ(s.Int(IntKey::timer_value), 75);
    EXPECT_EQ(s.Int(IntKey::ungear), 0);
    EXPECT_EQ(s.Dbl(DoubleKey::count_alpha), 0.995);
    EXPECT_EQ(s.Dbl(DoubleKey::count_delta), 24.0);
    EXPECT_EQ(s.Lng(LongKey::Axo_top), std::stoi(s.DefaultText(SettingGroup::Long, 0)));
    EXPECT_EQ(s.Int(IntKey::reverse_alpha), 1);
    EXPECT_EQ(s.Int(IntKey::reverse_delta), 1);
    EXPECT_EQ(s.Str(StringKey::label_alpha_plus), "QQQQQQQ");
    EXPECT_EQ(s.Str(StringKey::label_dome_dir1), "Est-Sud");
    EXPECT_EQ(s.Int(IntKey::altitude), 0);
    EXPECT_DOUBLE_EQ(s.Dbl(DoubleKey::calibr_alpha_pos), 1.2345678901234);
    EXPECT_EQ(s.Lng(LongKey::Axo_left), 0);

    ASSERT_TRUE(s.WriteSettings("Axo.ini").ok);
    const std::string after = cfg.Read("Axo.ini");
    EXPECT_EQ(after.rfind("[Observer]\r\nname=Nuit froide\r\n\r\n[Axo]\r\n", 0), 0u);
    EXPECT_NE(after.find("[Trailer]\r\nkeep=me\r\n"), std::string::npos);
    // The first duplicate is replaced in place, spelt as the program spells it; the second is left.
    EXPECT_NE(after.find("[Axo]\r\ntimer_value= 75\r\ntimer_value=20\r\n"), std::string::npos);

    Settings again;
    ASSERT_TRUE(again.ReadSettings("Axo.ini").ok);
    EXPECT_EQ(again.Int(IntKey::timer_value), 75);
    EXPECT_EQ(again.Int(IntKey::ungear), 0);
    EXPECT_EQ(again.Str(StringKey::label_alpha_plus), "QQQQQQQ");
}

// Other sections only: the file gains ours; our keys without their header: written only when told.
TEST(SettingsFile, AFileWithoutTheSectionGivesDefaultsAndGainsItOnlyWhenNothingIsLost) {
    TempConfig cfg;
    cfg.Write("Axo.ini", "; notes\n[Else]\nkey=10\n");
    Settings s;
    EXPECT_FALSE(s.ReadSettings("Axo.ini").sectionMissing);
    ASSERT_TRUE(s.WriteSettings("Axo.ini").ok);
    EXPECT_EQ(cfg.Read("Axo.ini").rfind("; notes\n[Else]\nkey=10\n\n[Axo]\nungear= 0\n", 0), 0u);

    cfg.Write("Axo.ini", "ungear=1\n[Else]\ntimer_value=10\n");
    const SettingsFileResult read = s.ReadSettings("Axo.ini");
    EXPECT_TRUE(read.sectionMissing);
    EXPECT_EQ(s.Int(IntKey::ungear), 0);
    EXPECT_EQ(s.Int(IntKey::timer_value), 50);
    const SettingsFileResult refused = s.WriteSettings("Axo.ini");
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.sectionMissing);
    EXPECT_EQ(cfg.Read("Axo.ini"), "ungear=1\n[Else]\ntimer_value=10\n");
    ASSERT_TRUE(s.WriteSettings("Axo.ini", nullptr, true).ok);
    const std::string text = cfg.Read("Axo.ini");
    EXPECT_EQ(text.rfind("ungear=1\n[Else]\ntimer_value=10\n\n[Axo]\nungear= 0\n", 0), 0u);
    EXPECT_EQ(KeyLinesOf(text).size(), 2u + 128u);
}

// A complete file of defaults, as the program writes it.
std::string DefaultFile() {
    ProfileDocument doc;
    Settings().WriteTo(doc);
    return doc.Serialize();
}

// The file with the line of `key` replaced by `line`.
std::string WithLine(std::string text, const std::string& key, const std::string& line) {
    const std::size_t at = text.find("\n" + key + "=") + 1;
    return text.replace(at, text.find('\n', at) - at, line);
}

std::string ValueNamed(const Settings& s, const std::string& name) {
    for (SettingGroup g : kGroups) {
        for (std::size_t i = 0; i < Settings::Count(g); ++i) {
            if (Settings::Name(g, i) == name) {
                return s.ValueText(g, i);
            }
        }
    }
    return "?";
}

std::string Utf16(const std::string& latin1, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : latin1) {
        out += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    return out;
}

// Each problem said, the meant value or the default used, nothing lost (no section: not written).
TEST(SettingsFile, DamagedFilesAreReportedAndLoseNothing) {
    const std::string full = DefaultFile();
    const std::string cut = full.substr(0, full.find("\ntimer_value=") + 5);  // "...\ntime"
    std::string garbage;
    for (unsigned i = 0; i < 3000; ++i) {
        garbage.push_back(static_cast<char>((i * 7919u + 13u) % 251u));
    }
    struct Case {
        std::string what;
        std::string file;
        std::vector<std::string> says;  // a part of each warning, in order
        std::string key;
        std::string value;  // the value in use
        std::string kept;   // what the file still holds after the write ("" : not written)
    };
    // One line the read refuses, which the write keeps as it is.
    const auto bad = [&full](const std::string& line, const std::string& says, const std::string& value) {
        const std::string key = line.substr(0, line.find('='));
        return Case{line, WithLine(full, key, line), {says}, key, value, "\n" + line + "\n"};
    };
    // One line the read takes, which the write spells in its own way.
    const auto good = [&full](const std::string& line, const std::string& value, const std::string& written) {
        const std::string key = line.substr(0, line.find('='));
        return Case{line, WithLine(full, key, line), {}, key, value, "\n" + written + "\n"};
    };
    // The count variables the boards cannot take, with the maintenance window's bounds.
    const std::string alphaBounds = " hors limites (plus de 0 et au plus 255) : valeur par défaut 0,995 utilisée";
    std::string manyBad = full;
    for (const char* line : {"ungear=2", "reverse_alpha=2", "reverse_delta=x", "gui_messages=-1", "error_stop=9",
                             "timer_value=0", "probe_enable=5", "altitude=99999"}) {
        const std::string text = line;
        manyBad = WithLine(manyBad, text.substr(0, text.find('=')), text);
    }
    const Case cases[] = {
        {"tronqué", cut, {"1 ligne(s) incompréhensible(s) ignorée(s), dont la ligne 11 « time »",
                          "119 réglage(s) absent(s) de la section [Axo] (fichier tronqué ?)"},
         "error_stop", " 1", "\nerror_stop= 1\ntime\n"},
        {"binaire", garbage, {"section [Axo] introuvable", "caractères nuls ou de contrôle", "incompréhensible"}, "timer_value", " 50", ""},
        {"zéros", std::string(4096, '\0'), {"section [Axo] introuvable", "4096 caractères nuls", "1 ligne(s) incompréhensible(s)"}, "ungear", " 0", ""},
        {"sans en-tête", full.substr(full.find('\n') + 1), {"section [Axo] introuvable (128 réglages hors de la"},
         "interface_ra", " 3", ""},
        bad("timer_value=soixante-quinze", "timer_value = soixant incorrecte : valeur par défaut 50 utilisée", " 50"),
        {"10 Mo", WithLine(full, "label_alpha_plus", "label_alpha_plus=" + std::string(10u << 20, 'Q')),
         {"label_alpha_plus : valeur anormalement longue (10485760 octets)"}, "label_alpha_plus", "QQQQQQQ",
         "\nlabel_alpha_plus=QQQQQQQQQQ"},
        bad("timer_value=0", "timer_value = 0 hors limites (1 à 10000) : valeur par défaut 50 utilisée", " 50"),
        {"interface inconnue", WithLine(full, "interface_ra", "interface_ra=7"),
         {"interface_ra = 7 inconnue : aucune interface"}, "interface_ra", " 7", "\ninterface_ra= 7\n"},
        bad("latitude_d=200", "latitude_d = 200 hors limites (-90 à 90) : valeur par défaut 42 utilisée", " 42"),
        bad("manual_mode=3", "manual_mode = 3 hors limites (0 à 1)", " 0"),
        bad("Eik120_base_addr=99999", "Eik120_base_addr = 99999 incorrecte : valeur par défaut 856 utilisée", " 856"),
        {"beaucoup", manyBad, {"ungear = 2", "reverse_alpha = 2", "reverse_delta = x", "gui_messages = -1",
                               "error_stop = 9", "… et 3 autres problèmes dans Axo.ini"},
         "altitude", " 2877", "\naltitude=99999\n"},
        bad("count_alpha=-0,5", "count_alpha = -0,5" + alphaBounds, "0,995"),
        bad("count_alpha=0", "count_alpha = 0" + alphaBounds, "0,995"),
        bad("count_alpha=255,5", "count_alpha = 255,5" + alphaBounds, "0,995"),
        good("count_alpha=255", "255", "count_alpha=255"),
        good("count_alpha=0.5", "0,5", "count_alpha=0,5"),
        bad("count_alpha=vite", "count_alpha = vite incorrecte : valeur par défaut 0,995 utilisée", "0,995"),
        good("count_delta=31", "31", "count_delta=31"),
        bad("count_delta=32", "count_delta = 32 hors limites (plus de 0 et au plus 31) : valeur par défaut 24 utilisée", "24"),
        bad("count_delta=1e400", "count_delta = 1e400 incorrecte : valeur par défaut 24 utilisée", "24"),
        {"UTF-16 LE", Utf16(WithLine(full, "label_dome_dir1", "label_dome_dir1=C\xF4t\xE9"), false), {},
         "label_dome_dir1", "Côté", "="},
        {"UTF-16 BE", Utf16(WithLine(full, "timer_value", "timer_value= 75"), true), {}, "timer_value", " 75", "="},
    };
    TempConfig cfg;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        cfg.Write("Axo.ini", c.file);
        Settings s;
        const SettingsFileResult read = s.ReadSettings("Axo.ini");
        EXPECT_EQ(read.warnings.size(), c.says.size());
        for (std::size_t i = 0; i < c.says.size() && i < read.warnings.size(); ++i) {
            EXPECT_NE(read.warnings[i].find(c.says[i]), std::string::npos) << read.warnings[i];
        }
        EXPECT_EQ(ValueNamed(s, c.key), c.value);
        EXPECT_EQ(read.sectionMissing, c.kept.empty());
        const SettingsFileResult written = s.WriteSettings("Axo.ini");
        EXPECT_EQ(written.ok, !c.kept.empty());
        const std::string after = cfg.Read("Axo.ini");
        if (c.kept.empty()) {
            EXPECT_EQ(after, c.file);  // not touched
        } else if (c.kept == "=") {
            EXPECT_EQ(after, c.file);  // read in UTF-16, written back in UTF-16, unchanged
        } else {
            EXPECT_NE(after.find(c.kept), std::string::npos);
            Settings again;
            again.ReadSettings("Axo.ini");
            EXPECT_EQ(ValueNamed(again, c.key), c.value);
        }
    }
}

struct FakeWindows final : WindowPositionSource {
    std::optional<WindowPosition> main;
    std::optional<WindowPosition> calibr;
    std::optional<WindowPosition> track;
    std::optional<WindowPosition> MainWindowPosition() override { return main; }
    std::optional<WindowPosition> CalibrationWindowPosition() override { return calibr; }
    std::optional<WindowPosition> TrackingWindowPosition() override { return track; }
};

// Stands for the encoder card and the dome board, which work on copies of their settings.
struct FakeCopyHolder final : SettingsCopyHolder {
    int takes = 0;
    double coderRef = 0.0;
    uint8_t nic = 0;
    void TakeSettingsCopies(const Settings& s) override {
        ++takes;
        coderRef = s.Dbl(DoubleKey::calibr_alpha_coder);
        nic = static_cast<uint8_t>(s.Int(IntKey::NIC) & 0xFF);
    }
    void ReturnSettingsCopies(Settings& s) override {
        s.Dbl(DoubleKey::calibr_alpha_coder) = coderRef;
        s.Int(IntKey::NIC) = nic;
    }
};

// A write takes the shown windows' positions (hidden ones keep theirs) and the copy holders' values.
TEST(SettingsFile, WritesCollectWindowPositionsAndCopyHolderValues) {
    TempConfig cfg;
    cfg.Write("Axo.ini",
              "[Axo]\nCalibr_top=111\nCalibr_left=222\nTrack_top=333\nTrack_left=444\nNIC=300\ncalibr_alpha_coder=123,5\n");
    Settings s;
    FakeCopyHolder holder;
    s.RegisterCopyHolder(&holder);
    s.RegisterCopyHolder(&holder);  // registering twice must not take twice
    s.ReadSettings("Axo.ini");
    EXPECT_EQ(holder.takes, 1);
    EXPECT_EQ(holder.nic, 300 & 0xFF);
    EXPECT_EQ(holder.coderRef, 123.5);

    holder.coderRef = 98765.25;  // the module moved on while the program ran
    holder.nic = 77;
    FakeWindows windows;
    windows.main = WindowPosition{1500, 3000};
    windows.track = WindowPosition{60, 75};
    ASSERT_TRUE(s.WriteSettings("Axo.ini", &windows).ok);
    s.UnregisterCopyHolder(&holder);
    Settings back;
    back.ReadSettings("Axo.ini");
    const std::pair<LongKey, int32_t> positions[] = {{LongKey::Axo_top, 1500},   {LongKey::Axo_left, 3000},
                                                     {LongKey::Calibr_top, 111}, {LongKey::Calibr_left, 222},
                                                     {LongKey::Track_top, 60},   {LongKey::Track_left, 75}};
    for (const auto& [key, value] : positions) {
        EXPECT_EQ(back.Lng(key), value) << Settings::Name(SettingGroup::Long, Index(key));
    }
    EXPECT_EQ(back.Dbl(DoubleKey::calibr_alpha_coder), 98765.25);
    EXPECT_EQ(back.Int(IntKey::NIC), 77);
    EXPECT_NE(cfg.Read("Axo.ini").find("\ncalibr_alpha_coder=98765,25\n"), std::string::npos);
}

TEST(SettingsFile, AFailedWriteIsReportedAndThePreviousFileKept) {
    TempConfig cfg;
    Settings s;
    ASSERT_TRUE(s.WriteSettings("Axo.ini").ok);
    const std::string before = cfg.Read("Axo.ini");
    s.Int(IntKey::timer_value) = 99;
    SettingsFileResult result;
    {
        test::FileSizeLimit full(100);
        result = s.WriteSettings("Axo.ini");
    }
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("Axo.ini"), std::string::npos);
    EXPECT_EQ(cfg.Read("Axo.ini"), before);

    // An unreadable settings "file" gives the defaults and a report, not a crash.
    std::filesystem::create_directories(cfg.File("dir.ini"));
    const SettingsFileResult read = s.ReadSettings("dir.ini");
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(s.Int(IntKey::timer_value), 50);
}

// A file shared with the Windows program: only our lines change, the rest comes back byte for byte.
TEST(SettingsFile, AWindows1252FileKeepsItsBytes) {
    TempConfig cfg;
    const std::string head = "; r\xE9glages de l'observatoire\r\n[Observateur]\r\nnom=Arr\xEAt \x9C\x80\x81\r\n\r\n";
    const std::string tail = "\r\n[Pi\xE8\x63\x65s]\r\nfiltre=Rouge \xAB fonc\xE9 \xBB\r\n";
    cfg.Write("Axo.ini", head + "[Axo]\r\nlabel_dome_dir1=C\xF4t\xE9\r\ntimer_value=75\r\nnote=\x9C\x9D\r\n" + tail);
    Settings s;
    ASSERT_TRUE(s.ReadSettings("Axo.ini").ok);
    EXPECT_EQ(s.Str(StringKey::label_dome_dir1), "Côté");
    s.Str(StringKey::label_dome_dir2) = "Œuvre";
    const SettingsFileResult first = s.WriteSettings("Axo.ini");
    ASSERT_TRUE(first.ok);
    EXPECT_TRUE(first.warnings.empty());
    const std::string once = cfg.Read("Axo.ini");
    EXPECT_EQ(once.rfind(head + "[Axo]\r\nlabel_dome_dir1=C\xF4t\xE9\r\n", 0), 0u);
    EXPECT_NE(once.find("\r\ntimer_value= 75\r\nnote=\x9C\x9D\r\nungear= 0\r\n"), std::string::npos);
    EXPECT_NE(once.find("\r\nlabel_dome_dir2=\x8Cuvre\r\n"), std::string::npos);
    EXPECT_EQ(once.substr(once.size() - tail.size()), tail);

    Settings again;
    ASSERT_TRUE(again.ReadSettings("Axo.ini").ok);
    EXPECT_EQ(again.Str(StringKey::label_dome_dir2), "Œuvre");
    ASSERT_TRUE(again.WriteSettings("Axo.ini").ok);
    EXPECT_EQ(cfg.Read("Axo.ini"), once);

    // A character the code page lacks is written as '?' and reported, never slipped in as UTF-8.
    again.Str(StringKey::label_dome_dir2) = "Δ-Est";
    const SettingsFileResult lossy = again.WriteSettings("Axo.ini");
    ASSERT_TRUE(lossy.ok);
    ASSERT_EQ(lossy.warnings.size(), 1u);
    EXPECT_EQ(lossy.warnings[0].rfind("label_dome_dir2 : ", 0), 0u);
    const std::string thrice = cfg.Read("Axo.ini");
    EXPECT_NE(thrice.find("\r\nlabel_dome_dir2=?-Est\r\n"), std::string::npos);
    EXPECT_EQ(thrice.rfind(head, 0), 0u);
}

}  // namespace
}  // namespace axo
