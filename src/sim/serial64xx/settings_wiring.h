#pragma once

// A simulated installation wired the way the program's settings say: the boxes on the ports
// of S64xx_com_port_alpha and _delta, or on the RS485 line with its addresses, and the fast
// Delta drive where S64xx_delta_fast_on_slave puts it.

#include "settings/settings.h"
#include "sim/serial64xx/simulated_boxes.h"

namespace axo::sim {

inline BoxWiring WiringFromSettings(const Settings& s) {
    BoxWiring w;
    w.alphaPort = s.Int(IntKey::S64xx_com_port_alpha) + 1;
    w.deltaPort = s.Int(IntKey::S64xx_com_port_delta) + 1;
    w.rs485 = s.Int(IntKey::S64xx_RS485) == 1;
    w.busPort = s.Int(IntKey::S64xx_RS485_com_port) + 1;
    w.alphaAddress = s.Str(StringKey::S64xx_RS485_alpha);
    w.deltaAddress = s.Str(StringKey::S64xx_RS485_delta);
    w.fastOnSlave = s.Int(IntKey::S64xx_delta_fast_on_slave) == 1;
    return w;
}

}  // namespace axo::sim
