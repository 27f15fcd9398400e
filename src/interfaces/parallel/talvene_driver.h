#pragma once

// The Talvene coder interface: it reads no coder and writes no port, it only reports its
// start and stop. With it selected the position keeps its last values.

#include <cstdint>

#include "core/core.h"
#include "interfaces/parallel/parallel_windows.h"

namespace axo {

class TalveneDriver {
public:
    explicit TalveneDriver(Core& core, LoadProgress* progress = nullptr) : core_(core), progress_(progress) {}

    // Returns 1 for every code.
    int16_t Handle(int16_t code, DriverParam& param);

    // Registers Handle() as the core's Talvene driver.
    void RegisterWith(Core& core);

private:
    void Progress(const std::string& text);

    Core& core_;
    LoadProgress* progress_;
};

}  // namespace axo
