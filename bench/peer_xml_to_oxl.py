#!/usr/bin/env python3
"""A peer for context: the same OXL list as ostrel for a well-formed index,
made the ordinary way, with a streaming XML parser and a buffered writer.

    python3 peer_xml_to_oxl.py IN.xml OUT.oxl

Standard library only. Where it differs from ostrel: the XML parser decodes
every reference (&quot;, &apos;, &#13; ...) and turns CR into LF, where ostrel
decodes &lt; &gt; &amp; only and keeps the rest; gen_index writes no such
name, so on its indexes the two lists are the same bytes.
"""
import sys
import xml.etree.ElementTree as ET

HEADER = "Filename,Size,Date Modified,Date Created,Attributes\r\n"


def convert(in_path, out_path):
    with open(out_path, "w", encoding="utf-8", newline="") as out:
        out.write(HEADER)
        elements = []  # the open elements, outermost first
        # One entry per open directory or file:
        # [parent path, own path, size, modified, created, read-only, named]
        entries = []
        for event, element in ET.iterparse(in_path, events=("start", "end")):
            tag = element.tag
            if event == "start":
                if tag == "directory" or tag == "file":
                    parent = entries[-1][1] if entries else ""
                    entries.append([parent, parent, "", "", "", False, False])
                elif tag == "contents" and entries and elements[-1].tag == "directory":
                    entry = entries[-1]
                    if entry[6]:  # like ostrel: an unnamed directory gets no row
                        write_row(out, entry[1], None, entry[3], entry[4], 16 + entry[5])
                elements.append(element)
                continue
            elements.pop()
            parent = elements[-1] if elements else None
            if parent is not None:
                # Keep no finished element: memory stays in the depth.
                del parent[-1]
                if entries and (parent.tag == "directory" or parent.tag == "file"):
                    entry = entries[-1]
                    text = element.text or ""
                    if tag == "name":
                        # <name/> and <name></name> look alike here; ostrel
                        # skips the first and joins the second.
                        if text:
                            entry[1] = entry[0] + "\\" + text if entry[0] else text
                            entry[6] = True
                    elif tag == "length":
                        entry[2] = text
                    elif tag == "modifytime":
                        entry[3] = text
                    elif tag == "creationtime":
                        entry[4] = text
                    elif tag == "readonly":
                        entry[5] = text.startswith("true")
            if tag == "file":
                entry = entries.pop()
                if entry[6]:  # a file with no name gets no row
                    write_row(out, entry[1], entry[2], entry[3], entry[4], int(entry[5]))
            elif tag == "directory":
                entries.pop()


def write_row(out, path, size, modified, created, attributes):
    out.write('"%s",%s,%s,%s,%d\r\n' % (path.replace('"', '""'), size or "", modified,
                                        created, attributes))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: peer_xml_to_oxl.py IN.xml OUT.oxl")
    convert(sys.argv[1], sys.argv[2])
