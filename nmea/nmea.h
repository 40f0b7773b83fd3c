// Public header of the interpretation core.
#pragma once

#include "nmea/display.h"
#include "nmea/fields.h"
#include "nmea/interpreter.h"
#include "nmea/receiver_state.h"
#include "nmea/text.h"
