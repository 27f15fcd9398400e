// The settings-file reader on any bytes: no crash, no undefined behaviour, values within
// their types, and a document written back untouched gives the very same bytes.

#include <cstdlib>
#include <string>

#include "memory_file.h"
#include "platform/profile_file.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static axo::fuzz::MemoryFile file;
    axo::Settings settings;
    const axo::SettingsFileResult read = settings.ReadSettings(file.Hold(data, size));
    if (!read.ok) {
        std::abort();  // an in-memory file is always readable
    }
    for (std::size_t i = 0; i < axo::kStringCount; ++i) {
        // A String value is at most 7 characters, one line, no NUL, valid UTF-8.
        const std::string& s = settings.StrAt(i);
        if (s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos || !axo::IsValidUtf8(s) ||
            axo::CutToChars(s, axo::kStringReadBuffer - 1) != s) {
            std::abort();
        }
    }
    const double alpha = settings.Dbl(axo::DoubleKey::count_alpha);
    const double delta = settings.Dbl(axo::DoubleKey::count_delta);
    if (!(alpha > 0 && alpha <= axo::kCountAlphaMax) || !(delta > 0 && delta <= axo::kCountDeltaMax)) {
        std::abort();
    }

    axo::ProfileDocument doc;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    doc.Parse(bytes);
    if (doc.Serialize() != bytes) {
        std::abort();
    }
    return 0;
}
