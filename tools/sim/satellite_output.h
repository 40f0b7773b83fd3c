// The GSA and GSV sentences of a second, without checksums. The GPS receiver sends one GSA and
// one GSV cycle. A receiver of several systems sends one GSA per system (GPS with SBAS, GLONASS,
// Galileo, BeiDou) under the GN talker, with the system id from NMEA 4.10 on, and a GSV cycle per
// system under its own talker (GP, GL, GA, GB); from NMEA 4.11 each cycle is of one signal, with
// its id at the end, and GPS L5 and Galileo E5a have cycles of their own. Numbers as the NMEA
// version has them: SBAS 33-64 and GLONASS 65-96 always; Galileo 301-336 and BeiDou 401-463
// before 4.10, their own numbers from 4.10 on.
#pragma once

#include <string>
#include <vector>

#include "tools/sim/receiver.h"

namespace pathlux::sim {

std::vector<std::string> GsaSentences(const SecondState& second, Talkers talkers, NmeaVersion nmea);
std::vector<std::string> GsvSentences(const SecondState& second, Talkers talkers, NmeaVersion nmea);

}  // namespace pathlux::sim
