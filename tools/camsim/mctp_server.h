// The camera's side of an MCTP/1.0 connection: command transactions, the event channel
// that a registration turns the connection into, and talk sessions.
#pragma once

#include <string>

namespace camsim {

class CameraContext;
class Connection;

// Serves the connection until it closes; `initial` holds the bytes already read.
void ServeMctp(CameraContext& context, Connection& connection, std::string initial);

}  // namespace camsim
