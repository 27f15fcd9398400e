// The settings-file writer: whatever the file held, read -> write -> read gives the same
// values, a second write changes nothing, and the lines of other sections are kept.

#include <cstdlib>
#include <string>

#include "platform/profile_file.h"
#include "settings/settings.h"

namespace {

constexpr axo::SettingGroup kGroups[] = {axo::SettingGroup::Integer, axo::SettingGroup::Double,
                                         axo::SettingGroup::String, axo::SettingGroup::Long};

void SameValues(const axo::Settings& a, const axo::Settings& b) {
    for (axo::SettingGroup g : kGroups) {
        for (std::size_t i = 0; i < axo::Settings::Count(g); ++i) {
            if (a.ValueText(g, i) != b.ValueText(g, i)) {
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    axo::ProfileDocument doc;
    doc.Parse(bytes);
    axo::Settings first;
    first.ReadFrom(doc);
    const auto otherBefore = doc.Get("Fuzz", "key");
    first.WriteTo(doc);
    std::vector<std::string> lossy;
    const std::string written = doc.Serialize(&lossy);
    if (!lossy.empty()) {
        std::abort();  // values read from the file always fit its encoding
    }

    axo::ProfileDocument again;
    again.Parse(written);
    axo::Settings second;
    second.ReadFrom(again);
    SameValues(first, second);
    if (again.Get("Fuzz", "key") != otherBefore) {
        std::abort();
    }
    second.WriteTo(again);
    if (again.Serialize() != written) {
        std::abort();
    }
    return 0;
}
