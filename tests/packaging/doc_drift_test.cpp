// Every option of `axo --help` is in the manual page, every key hardware.ini accepts is described.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/parallel/hardware_config.h"

namespace {

// The documents checked; an optional one once it exists.
struct Document {
    const char* path;  // from the source tree's root
    bool optional;
};
const std::vector<Document> kOptionDocuments = {{"packaging/man/axo.1", false}};
const std::vector<Document> kHardwareKeyDocuments = {{"packaging/man/axo.1", false},
                                                     {"docs/hardware.md", true}};

// The text as a reader sees it: roff's escaped hyphens and font changes taken out.
std::string Readable(std::string text) {
    text = std::regex_replace(text, std::regex(R"(\\f(\(..|\[[^\]]*\]|.))"), "");
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    return std::regex_replace(text, std::regex(R"(\\~)"), " ");
}

// Calls `check` with the readable text of each document there is; a missing one must be optional.
template <typename Check>
void ForEachDocument(const std::vector<Document>& docs, Check check) {
    for (const Document& doc : docs) {
        std::ifstream in(std::string(AXO_SOURCE_DIR) + "/" + doc.path);
        if (!in) {
            EXPECT_TRUE(doc.optional) << doc.path << " cannot be read";
            continue;
        }
        std::ostringstream all;
        all << in.rdbuf();
        check(doc.path, Readable(all.str()));
    }
}

bool WordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'; }

// `word` on its own in text[from, to): not part of a longer name.
bool HasWord(const std::string& text, const std::string& word, std::size_t from = 0,
             std::size_t to = std::string::npos) {
    to = std::min(to, text.size());
    for (std::size_t at = text.find(word, from); at != std::string::npos && at + word.size() <= to;
         at = text.find(word, at + 1)) {
        const bool before = at > 0 && WordChar(text[at - 1]) && text[at - 1] != '-';
        const bool after = at + word.size() < text.size() && WordChar(text[at + word.size()]);
        if (!before && !after) {
            return true;
        }
    }
    return false;
}

// A key is described between a mention of "[section]" and the next "[name]" of any kind.
bool Describes(const std::string& text, const std::string& section, const std::string& key) {
    static const std::regex anySection(R"(\[[A-Za-z0-9_]+\])");
    const std::string heading = "[" + section + "]";
    for (std::size_t at = text.find(heading); at != std::string::npos; at = text.find(heading, at + 1)) {
        std::smatch next;
        const std::string rest = text.substr(at + heading.size());
        const std::size_t end =
            std::regex_search(rest, next, anySection) ? at + heading.size() + next.position(0) : text.size();
        if (HasWord(text, key, at, end)) {
            return true;
        }
    }
    return false;
}

TEST(DocDrift, EveryOptionOfHelpIsInTheManualPage) {
    FILE* pipe = ::popen(AXO_BINARY " --help", "r");
    ASSERT_NE(pipe, nullptr);
    std::string help;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        help += buffer;
    }
    ASSERT_EQ(::pclose(pipe), 0) << help;

    std::vector<std::string> options;
    static const std::regex option(R"(--[a-z][a-z-]*)");
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) {
        if (std::find(options.begin(), options.end(), it->str()) == options.end()) {
            options.push_back(it->str());
        }
    }
    ASSERT_GE(options.size(), 5u) << "axo --help printed:\n" << help;

    ForEachDocument(kOptionDocuments, [&](const char* path, const std::string& text) {
        for (const std::string& opt : options) {
            EXPECT_TRUE(HasWord(text, opt)) << path << " does not document " << opt;
        }
    });
}

TEST(DocDrift, EverySectionAndKeyOfTheHardwareFileIsDocumented) {
    const std::vector<axo::HardwareKey>& keys = axo::HardwareFileKeys();
    ASSERT_FALSE(keys.empty());
    ForEachDocument(kHardwareKeyDocuments, [&](const char* path, const std::string& text) {
        for (const axo::HardwareKey& k : keys) {
            EXPECT_TRUE(Describes(text, k.section, k.key))
                << path << " does not describe key " << k.key << " of section [" << k.section << "]";
        }
    });
}

}  // namespace
