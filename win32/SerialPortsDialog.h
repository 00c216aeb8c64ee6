#pragma once
// The "Serial ports" dialog of the communication settings: each port name with what it opens,
// and below the list the device of the chosen port, where a network target is typed. On this
// system every COMn is the system's own port; only a network target is this program's to
// write (System/ports/COMn-target), and the default entry gives the port back to the system.
// The rows' rules are window/SerialPortRows'.

#include <windows.h>

#include "session/PortAccess.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

// Modal over owner, with rows for COM1 to COM<portCount>. True when OK wrote the changes;
// a change that cannot be written is said, and the dialog stays open.
bool editSerialPorts(HWND owner, const LanguageCatalogue& texts, const PortAccess& ports,
                     int portCount);

}  // namespace kestiva
