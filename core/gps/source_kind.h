// Where the receiver's lines come from ("SourceKind"). The serial port is the
// default; the others are network feeds behind the same LineSource.
#pragma once

namespace tarvo {

enum class SourceKind : int {
  Serial = 0,       // a tty device ("PortName", line settings)
  Gpsd = 1,         // a gpsd relaying its receiver's NMEA ("GpsdHost", "GpsdPort")
  TcpClient = 2,    // NMEA over TCP from a server ("TcpHost", "TcpPort")
  UdpListener = 3,  // NMEA datagrams to a local port, broadcast included ("UdpPort")
};

// Default ports: gpsd's registered port and the usual NMEA-over-IP port.
inline constexpr int kGpsdDefaultPort = 2947;
inline constexpr int kNmeaDefaultPort = 10110;

}  // namespace tarvo
