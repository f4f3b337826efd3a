// The words for what went wrong: core reports reasons, the window says them.
#pragma once

#include <QString>

#include "core/gps/connection_controller.h"

namespace tarvo {

// The filter of the replay file dialog: description and pattern pairs.
inline constexpr char kReplayFileFilter[] = "NMEA Files (*.nmea)|*.nmea|All Files (*.*)|*.*||";

// The message of a failed or lost connection: its own first line ("Error:
// Cannot open port!"), then what went wrong on a second line, naming the
// device or file.
QString ConnectionErrorText(const ConnectionError& error);

// What went wrong with a port, in words, with a hint where the user can do
// something about it.
QString PortFailureReason(int error);

}  // namespace tarvo
