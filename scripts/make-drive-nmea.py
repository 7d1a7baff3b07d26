#!/usr/bin/env python3
"""Writes an NMEA log for gpsfake from a route of waypoints and a speed.

usage: make-drive-nmea.py ROUTE KMH [START-HHMMSS] > drive.nmea

ROUTE holds one waypoint a line, "latitude longitude" in degrees ("#" starts a
comment).  The car drives the legs in order at KMH; each second of the drive gives a
GGA and an RMC sentence (a 3D fix, its position, speed in knots and course over
ground), with their checksums.  Distances are taken on a sphere of 6,370 km, as the
player's alarm takes them.
"""
import math
import sys

EARTH = 6370000.0


def checksum(body):
    c = 0
    for ch in body.encode("ascii"):
        c ^= ch
    return "$%s*%02X\r\n" % (body, c)


def angle(value, degree_digits, positive, negative):
    hemisphere = positive if value >= 0 else negative
    value = abs(value)
    degrees = int(value)
    minutes = (value - degrees) * 60
    # Minutes with four decimals (0.2 m); carry a rounded 60 into the degrees.
    if round(minutes, 4) >= 60:
        degrees, minutes = degrees + 1, 0.0
    return "%0*d%07.4f" % (degree_digits, degrees, minutes), hemisphere


def legs(points):
    """Each leg as (start, north metres, east metres, length)."""
    out = []
    for (lat1, lon1), (lat2, lon2) in zip(points, points[1:]):
        north = math.radians(lat2 - lat1) * EARTH
        east = math.radians(lon2 - lon1) * EARTH * math.cos(math.radians((lat1 + lat2) / 2))
        out.append(((lat1, lon1), north, east, math.hypot(north, east)))
    return out


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__.strip().splitlines()[2])
    points = []
    with open(sys.argv[1], encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].split()
            if line:
                points.append((float(line[0]), float(line[1])))
    if len(points) < 2:
        sys.exit("make-drive-nmea: the route needs two waypoints or more")
    speed = float(sys.argv[2]) / 3.6  # m/s
    if speed <= 0:
        sys.exit("make-drive-nmea: the speed must be above 0")
    start = sys.argv[3] if len(sys.argv) == 4 else "120000"
    clock = int(start[0:2]) * 3600 + int(start[2:4]) * 60 + int(start[4:6])

    route = legs(points)
    total = sum(leg[3] for leg in route)
    out = sys.stdout
    second = 0
    while True:
        travelled = min(second * speed, total)
        for (lat0, lon0), north, east, length in route:
            if travelled <= length or (lat0, lon0) == route[-1][0]:
                break
            travelled -= length
        f = travelled / length if length else 0.0
        lat = lat0 + math.degrees(north * f / EARTH)
        lon = lon0 + math.degrees(east * f / (EARTH * math.cos(math.radians(lat))))
        course = math.degrees(math.atan2(east, north)) % 360
        t = clock + second
        hms = "%02d%02d%02d.00" % (t // 3600 % 24, t // 60 % 60, t % 60)
        la, ns = angle(lat, 2, "N", "S")
        lo, ew = angle(lon, 3, "E", "W")
        out.write(checksum("GPGGA,%s,%s,%s,%s,%s,1,08,0.9,40.0,M,39.0,M,," % (hms, la, ns, lo, ew)))
        out.write(checksum("GPRMC,%s,A,%s,%s,%s,%s,%05.1f,%05.1f,071226,,,A"
                           % (hms, la, ns, lo, ew, speed / 0.514444, course)))
        if second * speed >= total:
            break
        second += 1


if __name__ == "__main__":
    main()
