"""Compares pathlux-replay with gpsd's gpsdecode on one NMEA stream: positions, fix modes, the
satellites in view per system and their used flags. Prints the differences, each with the rule it
comes from where it is a known one, and exits 1 when one is not explained."""

import json
import re
import subprocess
import sys

# gpsd's gnssid and pathlux-replay's "sys" to one name per system.
GPSD_SYSTEMS = {0: "GPS", 1: "SBAS", 2: "Galileo", 3: "BeiDou", 4: "IMES", 5: "QZSS",
                6: "GLONASS", 7: "NavIC"}
REPLAY_SYSTEMS = {"GL": "GLONASS", "GA": "Galileo", "GB": "BeiDou", "GQ": "QZSS", "GI": "NavIC"}
MODES = {"NA": 1, "2D": 2, "3D": 3}
POSITION_TOLERANCE = 2e-5  # degrees: the window shows hundredths of an arc-second, truncated


def satellite(entry):
    """A replayed satellite as (system, number in its system); GPS and SBAS come as sent."""
    prn = entry["prn"]
    if "sys" in entry:
        return REPLAY_SYSTEMS[entry["sys"]], prn
    if 1 <= prn <= 32:
        return "GPS", prn
    if 33 <= prn <= 64:
        return "SBAS", prn + 87
    if 120 <= prn <= 158:
        return "SBAS", prn
    return "none", prn


def angle(text):
    """'N044°04'08.43"' to degrees."""
    m = re.match(r"([NSEW])(\d+)\u00b0(\d+)'(\d+\.\d+)\"", text)
    value = int(m[2]) + int(m[3]) / 60 + float(m[4]) / 3600
    return -value if m[1] in "SW" else value


def ours(replay, path):
    out = subprocess.run([replay, "--crlf", path], capture_output=True, text=True, check=True)
    result = {"positions": [], "modes": [], "skies": []}
    lon = None
    for line in out.stdout.splitlines():
        event = json.loads(line)
        field = event.get("field")
        if field == 1007:
            lon = angle(event["text"])
        elif field == 1006 and lon is not None:
            result["positions"].append((angle(event["text"]), lon))
        elif field == 1017:
            result["modes"].append(MODES[event["text"]])
        elif "redraw" in event:
            result["skies"].append({satellite(s): (s["used"] == 1, s["snr"]) for s in event["sats"]})
    return result


def theirs(path):
    with open(path, "rb") as stream:
        out = subprocess.run(["gpsdecode", "-j"], stdin=stream, capture_output=True, text=True)
    result = {"positions": [], "modes": [], "skies": []}
    for line in out.stdout.splitlines():
        report = json.loads(line)
        if report["class"] == "TPV":
            result["modes"].append(report.get("mode", 1))
            if "lat" in report and "lon" in report:
                result["positions"].append((report["lat"], report["lon"]))
        elif report["class"] == "SKY":
            result["skies"].append({(GPSD_SYSTEMS[s["gnssid"]], s["svid"]): (s["used"], s["ss"])
                                    for s in report["satellites"]})
    return result


def collapsed(values):
    return [v for i, v in enumerate(values) if i == 0 or values[i - 1] != v]


def latest_per_system(skies):
    """For each system, its satellites as the last report that lists any of them has them."""
    latest = {}
    for sky in skies:
        for system in {s for s, _ in sky}:
            latest[system] = {key: value for key, value in sky.items() if key[0] == system}
    return latest


def ever_per_system(skies):
    """For each system, every satellite any report lists, used when any report has it used and
    with the highest SNR any report gives it."""
    ever = {}
    for sky in skies:
        for key, (used, snr) in sky.items():
            was_used, was_snr = ever.setdefault(key[0], {}).get(key, (False, 0))
            ever[key[0]][key] = (was_used or bool(used), max(was_snr, snr))
    return ever


def near(position, positions):
    return any(abs(position[0] - p[0]) <= POSITION_TOLERANCE and
               abs(position[1] - p[1]) <= POSITION_TOLERANCE for p in positions)


def has(log_text, pattern):
    return re.search(pattern, log_text, re.M) is not None


# Why a difference is what it is, where it comes from a known rule: each takes the difference's
# kind and details, the whole of the stream and gpsd's results, and gives the explanation or None.
def explain_position(kind, position, log_text, gpsd):
    if kind != "shown":
        return None
    if position == (0.0, 0.0) and has(log_text, r"^\$..GGA,[^,]*,,"):
        return "GGA with empty position fields: a missing field reads as 0, gpsd has no position"
    if has(log_text, r"^\$..GGA,[^,]*,\d+\.\d+,[NS],\d+\.\d+,[EW],0,"):
        return "GGA without a fix: the window shows its position, gpsd drops it"
    return None


def explain_modes(mine, theirs, log_text):
    if 2 in mine and has(log_text, r"^\$..GSA,A,2,") and has(log_text, r"^\$..GGA,([^,]*,){8}\d"):
        if collapsed([3 if m == 2 else m for m in mine]) == theirs:
            return "gpsd reports 3D when GGA has an altitude; the window shows GSA's mode"
    if collapsed([m for m in theirs if m != 2]) == mine and \
            has(log_text, r"^\$..GGA,([^,]*,){5}[1-9],0?[0-3],"):
        return ("gpsd takes a transient 2D from a GGA counting fewer than 4 satellites before "
                "the epoch's GSA; the window shows GSA's mode")
    return None


def explain_satellite(kind, system, number, mine, theirs, log_text, gpsd):
    gpsd_systems = {s for sky in gpsd["skies"] for s, _ in sky}
    if kind == "shown" and system == "BeiDou" and 33 <= number <= 64 and \
            ("SBAS", number + 87) in theirs:
        return "gpsd 3.22 reads a GB talker's numbers 33-64 as SBAS"
    if kind == "gpsd" and system == "SBAS" and ("BeiDou", number - 87) in mine:
        return "gpsd 3.22 reads a GB talker's numbers 33-64 as SBAS"
    if kind == "shown" and system == "BeiDou" and number > 37:
        return "gpsd 3.22 knows BeiDou numbers up to 37 (401-437 before NMEA 4.10)"
    if kind == "shown" and system in ("Galileo", "BeiDou") and (system, number + 200) in theirs:
        return "gpsd 3.22 numbers the first GSV message's satellites 200 too high (301-336, 401-463)"
    if kind == "gpsd" and system in ("Galileo", "BeiDou") and (system, number - 200) in mine:
        return "gpsd 3.22 numbers the first GSV message's satellites 200 too high (301-336, 401-463)"
    if kind in ("shown", "used") and system in ("GPS", "SBAS") and \
            has(log_text, r"^\$GPGSV,.*,[2-9A-F]\*"):
        return ("gpsd 3.22 empties its sky at each GPGSV cycle of a signal it does not tell from "
                "L1 (here L5) and keeps that one; the window shows the L1 cycle")
    if kind == "shown" and system in ("GPS", "SBAS") and "GPS" not in gpsd_systems:
        return ("gpsd 3.22 empties its sky at every GPGSV cycle and this receiver sends GPGSV "
                "last: no GPS satellite reaches gpsd's reports")
    if kind == "shown" and mine[(system, number)][1] == 0 and \
            has(log_text, rf"^\$..GSV,.*,0?{number % 100},,,"):
        return "gpsd leaves out a satellite without elevation and azimuth"
    if kind == "gpsd" and system == "SBAS" and has(log_text, rf"^\$..GSV,.*,,,{number - 87},\d+,"):
        return ("gpsd 3.22 reads a GSV entry with an empty number by its next field (an "
                "elevation) and shows an SBAS satellite that is not there")
    if kind == "used" and mine[(system, number)][0] and not theirs[(system, number)][1]:
        return "gpsd marks a satellite unused while its SNR is empty"
    if kind == "used" and system in ("Galileo", "BeiDou") and has(log_text, r"^\$GNGSA,.*,[34]\*"):
        return ("gpsd 3.22 does not mark Galileo and BeiDou used from a GSA numbering them in "
                "their own system (NMEA 4.10)")
    return None


def compare(name, mine, gpsd, log_text):
    print(f"== {name}")
    differences = []  # (text, explanation or None)

    only_mine = [p for p in dict.fromkeys(mine["positions"]) if not near(p, gpsd["positions"])]
    only_gpsd = [p for p in dict.fromkeys(gpsd["positions"]) if not near(p, mine["positions"])]
    print(f"positions: {len(set(mine['positions']))} shown, {len(set(gpsd['positions']))} from "
          f"gpsd, {len(only_mine)} only shown, {len(only_gpsd)} only from gpsd")
    for p in only_mine:
        differences.append((f"position {p[0]:.6f} {p[1]:.6f} shown, not from gpsd",
                            explain_position("shown", p, log_text, gpsd)))
    for p in only_gpsd:
        differences.append((f"position {p[0]:.6f} {p[1]:.6f} from gpsd, not shown",
                            explain_position("gpsd", p, log_text, gpsd)))

    my_modes, gpsd_modes = collapsed(mine["modes"]), collapsed(gpsd["modes"])
    print(f"fix modes: shown {my_modes}, gpsd {gpsd_modes}")
    if my_modes != gpsd_modes:
        differences.append((f"fix modes differ: shown {my_modes}, gpsd {gpsd_modes}",
                            explain_modes(my_modes, gpsd_modes, log_text)))

    # The satellites in view at the end (each system as its last report has it), then every
    # satellite ever in view and ever used.
    for when, shown_by, known_by in (
            ("at the end", latest_per_system(mine["skies"]), latest_per_system(gpsd["skies"])),
            ("ever", ever_per_system(mine["skies"]), ever_per_system(gpsd["skies"]))):
        shown_all = {k: v for sky in shown_by.values() for k, v in sky.items()}
        known_all = {k: v for sky in known_by.values() for k, v in sky.items()}
        for system in sorted(set(shown_by) | set(known_by)):
            shown = shown_by.get(system, {})
            known = known_by.get(system, {})
            print(f"{system} {when}: {len(shown)} shown in view "
                  f"({sum(u for u, _ in shown.values())} used), gpsd {len(known)} "
                  f"({sum(u for u, _ in known.values())} used)")
            for kind, keys in (("shown", set(shown) - set(known)),
                               ("gpsd", set(known) - set(shown)),
                               ("used", {k for k in set(shown) & set(known)
                                         if bool(shown[k][0]) != bool(known[k][0])})):
                for key in sorted(keys):
                    text = {"shown": "shown, not in gpsd's view",
                            "gpsd": "in gpsd's view, not shown",
                            "used": f"used: shown {bool(shown.get(key, (0,))[0])}, "
                                    f"gpsd {bool(known.get(key, (0,))[0])}"}[kind]
                    differences.append((f"{system} {key[1]} {when} {text}",
                                        explain_satellite(kind, system, key[1], shown_all,
                                                          known_all, log_text, gpsd)))

    unexplained = 0
    for text, why in differences:
        print(f"  {text}: {why or 'UNEXPLAINED'}")
        unexplained += why is None
    return unexplained


def main():
    replay = sys.argv[1]
    unexplained = 0
    for path in sys.argv[2:]:
        with open(path, encoding="ascii", errors="replace") as log:
            text = log.read()
        unexplained += compare(path.rsplit("/", 1)[-1], ours(replay, path), theirs(path), text)
    print(f"{unexplained} unexplained differences")
    return 1 if unexplained else 0


if __name__ == "__main__":
    sys.exit(main())
