// The hardware-file reader on any bytes: no crash, no undefined behaviour, and only usable
// addresses come out.

#include <cstdlib>

#include "interfaces/parallel/hardware_config.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static axo::fuzz::MemoryFile file;
    const axo::HardwareFileResult result = axo::ReadHardwareFile(file.Hold(data, size));
    if (result.parallel.commandBase == 0 || result.parallel.commandBase > 0xFFFD || result.parallel.dataBase == 0 ||
        result.parallel.dataBase > 0xFFFD || result.parallel.commandDevice.empty() ||
        result.parallel.dataDevice.empty()) {
        std::abort();
    }
    return 0;
}
