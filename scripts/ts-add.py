#!/usr/bin/env python3
"""Adds or updates entries of the translation file.

usage: scripts/ts-add.py CONTEXT SOURCE TRANSLATION [CONTEXT SOURCE TRANSLATION ...]
"""
import sys
import xml.etree.ElementTree as ET

PATH = "src/resources/translations/quorvel.ts"


def main(args):
    if len(args) % 3 != 0 or not args:
        print(__doc__)
        return 2
    tree = ET.parse(PATH)
    root = tree.getroot()
    for i in range(0, len(args), 3):
        ctx_name, source, translation = args[i:i + 3]
        ctx = next((c for c in root.findall("context") if c.findtext("name") == ctx_name), None)
        if ctx is None:
            ctx = ET.SubElement(root, "context")
            ET.SubElement(ctx, "name").text = ctx_name
        msg = next((m for m in ctx.findall("message") if m.findtext("source") == source), None)
        if msg is None:
            msg = ET.SubElement(ctx, "message")
            ET.SubElement(msg, "source").text = source
            ET.SubElement(msg, "translation")
        msg.find("translation").text = translation
    ET.indent(tree, space="    ")
    with open(PATH, "wb") as f:
        f.write(b'<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n')
        tree.write(f, encoding="utf-8", xml_declaration=False)
        f.write(b"\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
