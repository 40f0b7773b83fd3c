// Public header of the serial layer: CSerialPort, CSerialEvents, CSerialWnd.
#pragma once

#include "serial/notify_gate.h"
#include "serial/serial_events.h"
#include "serial/serial_port.h"
