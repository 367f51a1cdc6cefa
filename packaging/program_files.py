#!/usr/bin/env python3
"""Writes the package's file list: a WiX fragment with every file of a
program folder (sources relative to it: run wixl there), one component per
folder, each keyed to a value under HKCU\\Software\\Quellbar (a per-user
install has no machine-wide key path).

    program_files.py FOLDER WIDTH > files.wxs

Component codes are derived from the width and the folder's place, so that
every build of the same layout gets the same ones.
"""
import os
import re
import sys
import uuid
from xml.sax.saxutils import quoteattr

NAMESPACE = uuid.UUID("0b1f6f0e-5d0a-4a9c-8d83-6d1f3a0c2b77")


def identifier(kind, relative):
    # Windows Installer identifiers: letters, digits, '_' and '.', at most 72.
    name = kind + "_" + re.sub(r"[^A-Za-z0-9_.]", "_", relative.replace(os.sep, "."))
    if len(name) > 72:
        name = name[:60] + "_" + uuid.uuid5(NAMESPACE, relative).hex[:11]
    return name


def folder_lines(root, relative, width, depth, components):
    here = os.path.join(root, relative) if relative else root
    names = sorted(os.listdir(here))
    files = [n for n in names if os.path.isfile(os.path.join(here, n))]
    folders = [n for n in names if os.path.isdir(os.path.join(here, n))]
    pad = "  " * depth
    lines = []
    key = relative.replace(os.sep, "\\") or "."
    component = identifier("C", relative or "top")
    components.append(component)
    guid = uuid.uuid5(NAMESPACE, "%s:%s" % (width, key))
    lines.append('%s<Component Id="%s" Guid="%s">' % (pad, component, str(guid).upper()))
    for name in files:
        path = os.path.join(relative, name) if relative else name
        # zuvo.exe keeps its plain name: the start-at-the-end action names it.
        file_id = name if not relative and name == "zuvo.exe" else identifier("F", path)
        lines.append('%s  <File Id="%s" Name=%s Source=%s />' %
                     (pad, file_id, quoteattr(name), quoteattr(path.replace(os.sep, "/"))))
    lines.append('%s  <RemoveFolder Id="%s" On="uninstall" />' %
                 (pad, identifier("R", relative or "top")))
    lines.append('%s  <RegistryValue Root="HKCU" Key="Software\\Quellbar\\Installer" '
                 'Name=%s Type="integer" Value="1" KeyPath="yes" />' %
                 (pad, quoteattr("Folder " + key)))
    lines.append("%s</Component>" % pad)
    for name in folders:
        path = os.path.join(relative, name) if relative else name
        lines.append('%s<Directory Id="%s" Name=%s>' %
                     (pad, identifier("D", path), quoteattr(name)))
        lines += folder_lines(root, path, width, depth + 1, components)
        lines.append("%s</Directory>" % pad)
    return lines


def main():
    if len(sys.argv) != 3 or not os.path.isfile(os.path.join(sys.argv[1], "zuvo.exe")):
        sys.exit("usage: program_files.py FOLDER-WITH-zuvo.exe WIDTH")
    root = os.path.abspath(sys.argv[1])
    components = []
    body = folder_lines(root, "", sys.argv[2], 3, components)
    print('<?xml version="1.0" encoding="utf-8"?>')
    print('<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">')
    print("  <Fragment>")
    print('    <DirectoryRef Id="INSTALLDIR">')
    print("\n".join(body))
    print("    </DirectoryRef>")
    print('    <ComponentGroup Id="ProgramFiles">')
    for component in components:
        print('      <ComponentRef Id="%s" />' % component)
    print("    </ComponentGroup>")
    print("  </Fragment>")
    print("</Wix>")


if __name__ == "__main__":
    main()
