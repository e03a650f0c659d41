"""The XML files below some folders, as the real-file checks look for them:
documents, SVG, Qt UI files, schemas and stylesheets, no links."""
import os

SUFFIXES = (".xml", ".svg", ".ui", ".xsd")


def find_files(roots):
    found = []
    for root in roots:
        for folder, _, names in os.walk(root):
            for name in names:
                lower = name.lower()
                if lower.endswith(SUFFIXES) or ".xsl" in lower:
                    path = os.path.join(folder, name)
                    if os.path.isfile(path) and not os.path.islink(path):
                        found.append(path)
    return sorted(found)
