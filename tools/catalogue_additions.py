#!/usr/bin/env python3
"""Adds chip records from gathered chip facts to the catalogue source.

    tools/catalogue_additions.py CHIPDATA_DIR data/catalogue.csv [--write]

Used once, by hand, to bring data/catalogue.csv from 722 chips to the records it holds
now; the build never runs it, and data/catalogue.csv stays the shipped source. It reads
spi_more.csv and eeprom_parts.csv from CHIPDATA_DIR (one line per part: maker, marking,
JEDEC ID or organisation, capacity, page, supply), chooses within the room the catalogue
keeps free for the user's own chips, and prints what it left out and why. With --write
it puts the chosen rows into the CSV, each among its maker's rows of its type; a row
whose type, maker and model the CSV already holds is never added again.

Choice, in this order, until MOST_CHIPS is reached:
  1. 25-series parts whose JEDEC ID two sources give;
  2. 24/93/95-series parts of the common makers from datasheet facts (the other supply
     grades of a part, Microchip's AA and FC, after the rest);
  3. 25-series parts with an ID from one source;
  4. aliases (a marking of an ID the catalogue has under another name);
  5. 24/93/95-series parts of the other makers.
A row the facts mark as doubtful goes in only when a second source confirms it
(CONFIRMED). The markings named in ALWAYS are taken before the order, since looking
them up by name is what the new rows are for.
"""

import csv
import re
import sys
from pathlib import Path

MOST_CHIPS = 999 - 30  # 30 slots stay free for the user's own chips

SPI_TYPE, EEPROM_TYPES = "25_SPI_FLASH", {"24": "24_EEPROM", "93": "93_EEPROM", "95": "95_EEPROM"}
FAMILY = {"24": 1, "93": 2, "95": 3}
ONE_WORD_MAKER = {
    "Boya/BoHong Microelectronics": "Boya",
    "XTX Technology Limited": "XTX",
    "Zbit Semiconductor Inc.": "Zbit",
}
COMMON_MAKERS = {"Microchip", "Atmel", "ST", "onsemi", "Rohm"}
ALWAYS = {("Winbond", "W25Q128JV"), ("GigaDevice", "GD25Q64E")}

# Doubtful rows that a second source confirms, and what it says.
CONFIRMED = {
    ("ISSI", "IS25LQ040B"): "U-Boot and Linux both give the ID this name",
    ("ST", "M24C64"): "ST M24C32/M24C64 datasheet: 32-byte page, two address bytes",
    ("onsemi", "CAT24C512"): "onsemi CAT24C512 datasheet: 128-byte page, 1.8-5.5 V",
    ("Atmel", "AT24C256C"): "Microchip AT24C256C datasheet: 64-byte page, 1.7-5.5 V",
    ("Rohm", "BR24G32"): "Rohm BR24G32-3A datasheet: 32-byte page, 1.6-5.5 V",
}

# Parts the record cannot describe so that the programmer handles them whole.
CANNOT_DESCRIBE = {
    "W25M512JV": "two stacked dies: the upper 32 MiB needs a die-select command",
    "W25M512JW": "two stacked dies: the upper 32 MiB needs a die-select command",
}


def doubtful(row):
    text = row["notes"] + " " + row.get("source", "")
    return "DOUBT" in row["notes"] or "not re-read" in text or "recalled" in text


def spi_record(row):
    capacity = int(row["capacity_bytes"])
    over16 = capacity > 0x1000000
    delay = max(100, (125 * capacity + 0xFFFFF) >> 20)  # 125 polls per MiB
    return [SPI_TYPE, ONE_WORD_MAKER.get(row["maker"], row["maker"]), row["model"],
            "0x%X" % int(row["jedec_id_hex"], 16), str(capacity), row["page_bytes"], "0",
            "128" if over16 else "0", str(delay), "1" if row["voltage"] == "1.8" else "0",
            "0", "0", "0"]


# 93 series: the sub-type names the address layout; a 93C56 is addressed as a 93C66.
SUBTYPE_93 = {128: 0, 256: 2, 512: 2, 1024: 3, 2048: 4}


def eeprom_record(row, both_orgs):
    family, capacity = row["family"], int(row["capacity_bytes"])
    model = row["model"]
    if family == "24":
        subtype = 0 if row["address_bytes"] == "1" else 1
    elif family == "95":
        subtype = int(row["address_bytes"]) - 1
    else:
        k = 1 if "93C57" in model else SUBTYPE_93[capacity]
        x16 = row["org_bits"] == "16"
        subtype = k + 5 + 82 if x16 else k + 7  # list position k + 5 for x16, as the editor
        if both_orgs:
            model += "_x16" if x16 else "_x8"
    only18 = float(row["vcc_max"]) <= 2.0
    return [EEPROM_TYPES[family], row["maker"], model, "0x0", str(capacity), row["page_bytes"],
            str(FAMILY[family]), str(subtype), "100", "1" if only18 else "0", "0", "0", "0"]


def eeprom_left_out(row):
    """Why a 24/93/95 row is not a candidate at all, or None."""
    model, maker = row["model"], row["maker"]
    if int(row["capacity_bytes"]) < 64:
        return "capacity below 64 bytes, the smallest a record holds"
    if float(row["vcc_min"]) >= 4.5:
        return "5 V only: the programmer supplies 3.3 V"
    if re.match(r"^24(AA|LC|FC)(515|1025)$", model):
        return "block-select bit in the device address where the programmer does not put it"
    if maker != "Microchip":
        return None
    if re.match(r"^24(AA|LC|FC)\d+[AB]?[HF]$", model):
        return "Microchip write-protect variant of a part listed"
    if re.match(r"^93LC(46|56|66)$", model):
        return "obsolete unsuffixed part: its marking finds the 93LC46/56/66 A/B/C parts"
    return None


def read(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def key(rec):
    return tuple(c.lower() for c in rec[:3])


def insert(rows, rec):
    """Puts rec among its type's rows of its maker, in order of capacity; a new maker goes
    in by name (after the generic parts, which stay first)."""
    typ, maker = rec[0], rec[1]
    in_type = [i for i, r in enumerate(rows) if r[0] == typ]
    mine = [i for i in in_type if rows[i][1].lower() == maker.lower()]
    cap = int(rec[4])
    if mine:
        not_larger = [i for i in mine if int(rows[i][4]) <= cap]
        at = not_larger[-1] + 1 if not_larger else mine[0]
    else:
        after = [i for i in in_type
                 if rows[i][1] != "Generic" and rows[i][1].lower() > maker.lower()]
        at = after[0] if after else in_type[-1] + 1
    rows.insert(at, rec)


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    facts, target = Path(sys.argv[1]), Path(sys.argv[2])
    with open(target, newline="") as f:
        lines = list(csv.reader(f))
    header, rows = lines[0], lines[1:]
    have = {key(r) for r in rows}
    left_out = {}

    def leave(reason, rec):
        left_out.setdefault(reason, []).append(rec[2])

    spi = read(facts / "spi_more.csv")
    eeprom = read(facts / "eeprom_parts.csv")
    orgs = {}
    for r in eeprom:
        orgs[(r["maker"], r["model"])] = orgs.get((r["maker"], r["model"]), 0) + 1

    groups = {1: [], 2: [], 3: [], 4: [], 5: [], 6: []}
    always = []
    for r in spi:
        rec = spi_record(r)
        name = (rec[1], rec[2])
        if name in ALWAYS:
            always.append(rec)
        elif r["model"] in CANNOT_DESCRIBE:
            leave(CANNOT_DESCRIBE[r["model"]], rec)
        elif doubtful(r) and name not in CONFIRMED:
            leave("doubtful (DOUBT) and not confirmed by a second source", rec)
        elif r["notes"].startswith("ALIAS"):
            groups[4].append(rec)
        elif "single source" in r["notes"]:
            groups[3].append(rec)
        else:
            groups[1].append(rec)
    for r in eeprom:
        rec = eeprom_record(r, orgs[(r["maker"], r["model"])] > 1)
        reason = eeprom_left_out(r)
        if reason:
            leave(reason, rec)
        elif doubtful(r) and (r["maker"], r["model"]) not in CONFIRMED:
            leave("doubtful (not re-read / recalled) and not confirmed by a second source", rec)
        elif r["maker"] in COMMON_MAKERS:
            # Another grade of a part listed (same die and geometry, other supply range)
            # comes after the common makers' parts themselves.
            grade = re.match(r"^(24|25|93)AA", r["model"]) or r["model"].startswith("24FC")
            (groups[6] if grade else groups[2]).append(rec)
        else:
            groups[5].append(rec)

    chosen = []
    room = MOST_CHIPS - len(rows)
    for rec in always + groups[1] + groups[2] + groups[6] + groups[3] + groups[4] + groups[5]:
        if key(rec) in have:
            continue
        if len(chosen) >= room:
            leave("no room left (order of choice)", rec)
            continue
        chosen.append(rec)
        have.add(key(rec))

    counts = {}
    for rec in chosen:
        counts[rec[0]] = counts.get(rec[0], 0) + 1
    print("chips before:", len(rows), "added:", len(chosen), "after:", len(rows) + len(chosen))
    for typ, n in counts.items():
        print("  added", typ, n)
    for reason, models in left_out.items():
        print("left out %d: %s\n    %s" % (len(models), reason, " ".join(models)))
    if len(sys.argv) == 4 and sys.argv[3] == "--write":
        for rec in chosen:
            insert(rows, rec)
        with open(target, "w", newline="") as f:
            csv.writer(f, lineterminator="\n").writerows([header] + rows)


if __name__ == "__main__":
    main()
