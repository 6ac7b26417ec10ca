#!/usr/bin/env python3
"""Writes the example measurement: three overlapping step scans of one
silicon powder pattern (Cu K-alpha1), with the counts a detector with dead
time would record, ready to be merged by scanmerge.

Run it from anywhere; the scan files land next to this script (or in the
folder of --dir).  The random seed is fixed, so every run writes the same
files.  --tau and --currents make other measurements of the same sample, for
the tests of the dead-time fit.  Standard library only.
"""

import argparse
import math
import os
import random

WAVELENGTH = 1.540598  # Cu K-alpha1, Angstrom
A_SI = 5.431           # cubic lattice constant of silicon, Angstrom
TAU = 3e-6             # detector dead time, s (non-paralysable), unless --tau
STEP = 0.02            # deg; an angle is kept as its index on this grid
SEED = 20080314
PEAKCOUNTS = 150000    # raw counts wanted at the top of the strongest peak

# Atomic scattering factor of Si: f(s) = sum a*exp(-b s^2) + c, s = sin(theta)/lambda.
SI_F = ((6.2915, 2.4386), (3.0353, 32.3337), (1.9891, 0.6785), (1.5410, 81.6937))
SI_C = 1.1407
B_SI = 0.46            # Debye-Waller B, Angstrom^2

# Peak width: FWHM^2 = U tan^2(theta) + V tan(theta) + W, deg^2.
U, V, W = 0.012, -0.003, 0.005

# The three scans.  start/end: grid indices of the first and last point
# (2theta = index * STEP); time in ms; tube current in mA; monrate: monitor
# counts per second, in proportion to the tube current.  Scan 2 runs at a
# higher current, so its count rates and its dead-time losses are higher.
SCANS = [
    dict(name="si-scan1.dat", start=500, end=2380, time=2000, current=30,
         monrate=150000, cols=("tth", "cts", "mon", "tim"), eol="\n",
         aligned=False, when="2008-03-14 09:12", trailer=None),
    dict(name="si-scan2.dat", start=2330, end=4410, time=1500, current=45,
         monrate=222000, cols=("TTH", "MON", "CTS", "TIM"), eol="\r\n",
         aligned=True, when="2008-03-14 10:18", trailer=None),
    dict(name="si-scan3.dat", start=4370, end=6000, time=4000, current=30,
         monrate=146000, cols=("tim", "tth", "cts", "mon"), eol="\n",
         aligned=True, when="2008-03-14 11:14", trailer="End of scan 3"),
]

COLUMN_TEXT = {"tth": "2theta (deg)", "cts": "counts", "mon": "monitor counts",
               "tim": "time (ms)"}
WIDTH = {"tth": 8, "cts": 7, "mon": 7, "tim": 5}


def reflections():
    """(2theta, relative integrated intensity) of the silicon reflections.

    Diamond structure: h, k, l all odd give |F|^2 = 32 f^2, all even with
    h + k + l = 4n give 64 f^2, the rest are extinct.  Summing over every
    (h, k, l) of one h^2 + k^2 + l^2 takes care of the multiplicity and of
    coincident reflections such as 511 and 333.
    """
    weight = {}
    for h in range(-7, 8):
        for k in range(-7, 8):
            for l in range(-7, 8):
                odd = (h % 2, k % 2, l % 2)
                if odd == (1, 1, 1):
                    f2 = 32
                elif odd == (0, 0, 0) and (h + k + l) % 4 == 0 and (h, k, l) != (0, 0, 0):
                    f2 = 64
                else:
                    continue
                s2 = h * h + k * k + l * l
                weight[s2] = weight.get(s2, 0) + f2
    peaks = []
    for s2 in sorted(weight):
        d = A_SI / math.sqrt(s2)
        sintheta = WAVELENGTH / (2 * d)  # Bragg: lambda = 2 d sin(theta)
        if sintheta >= 1:
            break
        theta = math.asin(sintheta)
        s = sintheta / WAVELENGTH
        f = sum(a * math.exp(-b * s * s) for a, b in SI_F) + SI_C
        lp = (1 + math.cos(2 * theta) ** 2) / (sintheta ** 2 * math.cos(theta))
        debyewaller = math.exp(-2 * B_SI * s * s)
        peaks.append((2 * math.degrees(theta), weight[s2] * f * f * lp * debyewaller))
    return peaks


def fwhm(tth):
    t = math.tan(math.radians(tth / 2))
    return math.sqrt(U * t * t + V * t + W)


def eta(tth):
    """Lorentzian share of the peak shape, growing with angle."""
    return 0.3 + 0.003 * tth


def pseudovoigt(x, h, share):
    """Pseudo-Voigt of unit area, FWHM h and Lorentzian share at offset x (deg)."""
    lorentz = 2 / (math.pi * h) / (1 + 4 * x * x / (h * h))
    ln2 = math.log(2)
    gauss = 2 / h * math.sqrt(ln2 / math.pi) * math.exp(-4 * ln2 * x * x / (h * h))
    return share * lorentz + (1 - share) * gauss


def background(tth):
    """Smooth background per 1 000 000 monitor counts: air scatter at low
    angle, a faint hump from the holder, and a flat part."""
    return (800 + 3500 * math.exp(-(tth - 10) / 9)
            + 400 * math.exp(-((tth - 22) / 6) ** 2))


def pattern(tth, peaks, scale):
    """True counts per 1 000 000 monitor counts at 2theta = tth."""
    y = background(tth)
    for pos, intensity in peaks:
        y += scale * intensity * pseudovoigt(tth - pos, fwhm(pos), eta(pos))
    return y


def normal(rng):
    """Standard normal deviate (Box-Muller)."""
    u1 = 1.0 - rng.random()  # in (0, 1], safe for the log
    u2 = rng.random()
    return math.sqrt(-2 * math.log(u1)) * math.cos(2 * math.pi * u2)


def poisson(rng, lam):
    """Poisson deviate: Knuth's product of uniforms for small lam, the
    normal approximation rounded to an integer for large lam."""
    if lam < 30:
        limit = math.exp(-lam)
        k = 0
        p = rng.random()
        while p > limit:
            k += 1
            p *= rng.random()
        return k
    return max(0, math.floor(lam + math.sqrt(lam) * normal(rng) + 0.5))


def angle(index):
    return index * STEP


def header(scan, number):
    first, last = angle(scan["start"]), angle(scan["end"])
    npts = scan["end"] - scan["start"] + 1
    return [
        "Powder diffractometer, vertical theta-2theta goniometer, Bragg-Brentano",
        "X-ray powder laboratory, room 114",
        "Operator: A. Hansen",
        "Sample: Si powder, NIST-like standard",
        "Holder: flat plate, sample length 20 mm, oscillated through 5 deg about theta",
        "Primary beam: Ge(111) monochromator, Cu K-alpha1 only, beam height 1 mm at sample",
        "Detector: scintillation counter, dead time about %g us, counts NOT corrected"
        % (scan["tau"] * 1e6),
        "Monitor: ionisation chamber in the primary beam",
        "Step scan %d: %.3f to %.3f deg, %d steps, %d ms per step" % (
            number, first, last, npts, scan["time"]),
        "14 header lines, data from line 15",
        # lines 11 and 12: the program echoes these two to the console
        "Sample: Si standard powder, scan %d of %d, %s" % (
            number, len(SCANS), scan["when"]),
        "Cu Ka1 %.6f A, 40 kV %d mA, step %.2f deg" % (
            WAVELENGTH, scan["current"], STEP),
        "Columns: " + ", ".join(COLUMN_TEXT[c.lower()] for c in scan["cols"]),
        # line 14: the column names, which tell the program the column order
        " ".join(scan["cols"]) if not scan["aligned"] else
        " ".join("%*s" % (WIDTH[c.lower()], c) for c in scan["cols"]),
    ]


def writescan(scan, number, peaks, scale, rng, folder):
    """Writes one scan file into folder; returns its largest raw count."""
    t = scan["time"] / 1000  # s
    lines = header(scan, number)
    phase = rng.random() * 2 * math.pi
    largest = 0
    for j, index in enumerate(range(scan["start"], scan["end"] + 1)):
        tth = angle(index)
        # The tube drifts slowly and the monitor jitters a little.
        drift = 1 + 0.004 * math.sin(2 * math.pi * j / 700 + phase) + 0.002 * normal(rng)
        mon = poisson(rng, scan["monrate"] * t * drift)
        true = poisson(rng, pattern(tth, peaks, scale) * mon / 1e6)
        # What a non-paralysable counter records of those true counts.
        cts = math.floor(true / (1 + true * scan["tau"] / t) + 0.5)
        largest = max(largest, cts)
        value = {"tth": "%.3f" % tth, "cts": "%d" % cts, "mon": "%d" % mon,
                 "tim": "%d" % scan["time"]}
        fields = [value[c.lower()] for c in scan["cols"]]
        if scan["aligned"]:
            fields = ["%*s" % (WIDTH[c.lower()], v) for c, v in zip(scan["cols"], fields)]
        lines.append(" ".join(fields))
    if scan["trailer"]:
        lines.append(scan["trailer"])
    path = os.path.join(folder, scan["name"])
    with open(path, "w", newline="", encoding="ascii") as out:
        for line in lines:
            out.write(line + scan["eol"])
    return largest


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--tau", type=float, default=TAU * 1e6, metavar="US",
                   help="detector dead time, us (default 3)")
    p.add_argument("--currents", metavar="MA,MA,MA",
                   default=",".join(str(s["current"]) for s in SCANS),
                   help="tube current of each scan, mA (default 30,45,30); "
                   "the monitor rate follows it")
    p.add_argument("--dir", default=os.path.dirname(os.path.abspath(__file__)),
                   help="folder for the scan files (default: this script's)")
    args = p.parse_args()
    currents = [float(c) for c in args.currents.split(",")]
    if len(currents) != len(SCANS):
        p.error("--currents wants %d currents" % len(SCANS))
    for scan, current in zip(SCANS, currents):
        scan["monrate"] = scan["monrate"] * current / scan["current"]
        scan["current"] = current
        scan["tau"] = args.tau * 1e-6
    rng = random.Random(SEED)
    peaks = reflections()
    # Scale the pattern so that the top of the strongest peak, counted in the
    # scan that holds it, records PEAKCOUNTS raw counts.
    pos, intensity = max(peaks, key=lambda p: p[1])
    scan = next(s for s in SCANS if angle(s["start"]) <= pos <= angle(s["end"]))
    t = scan["time"] / 1000
    mon = scan["monrate"] * t
    true = PEAKCOUNTS / (1 - PEAKCOUNTS * scan["tau"] / t)  # dead-time correction
    top = pseudovoigt(0, fwhm(pos), eta(pos))
    scale = (true * 1e6 / mon - background(pos)) / (intensity * top)
    for number, scan in enumerate(SCANS, 1):
        largest = writescan(scan, number, peaks, scale, rng, args.dir)
        print("%s: %.2f to %.2f deg, largest raw count %d"
              % (scan["name"], angle(scan["start"]), angle(scan["end"]), largest))


if __name__ == "__main__":
    main()
