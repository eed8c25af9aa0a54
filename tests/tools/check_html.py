#!/usr/bin/env python3
"""Checks an HTML page (standard input) the way a browser would read it, with html5lib's HTML5
parser in strict mode: any parse error is a fault. Also checks that nothing in it would be fetched
from elsewhere, that ids are unique and that every in-page link has its target. Prints a JSON
object: "errors" (empty when the page is sound), "sections" (per section id its heading and the
in-page links inside it) and "svg" (the number of inline SVG pictures)."""
import json
import re
import sys

import html5lib

HTML = "{http://www.w3.org/1999/xhtml}"
SVG = "{http://www.w3.org/2000/svg}"
FETCHING_TAGS = {"link", "iframe", "object", "embed", "img", "audio", "video", "source", "frame", "base", "image", "use"}
FETCHING_ATTRIBUTES = {"src", "srcset", "poster", "data", "action", "formaction", "background", "manifest"}


def local(tag):
    return tag.split("}", 1)[-1] if isinstance(tag, str) else ""


def text_of(element):
    return "".join(element.itertext()).strip()


def main():
    source = sys.stdin.buffer.read()
    errors = []
    parser = html5lib.HTMLParser(strict=True, namespaceHTMLElements=True)
    try:
        document = parser.parse(source)
    except html5lib.html5parser.ParseError as error:
        print(json.dumps({"errors": ["parse error: %s" % error], "sections": {}, "svg": 0}))
        return
    ids = {}
    links = []
    svg = 0
    for element in document.iter():
        name = local(element.tag)
        if name == "svg":
            svg += 1
        if name in FETCHING_TAGS:
            errors.append("element that fetches: <%s>" % name)
        for attribute, value in element.attrib.items():
            attribute = local(attribute)
            if attribute in FETCHING_ATTRIBUTES:
                errors.append("attribute that fetches: %s=%r" % (attribute, value))
            if attribute == "href":
                if not value.startswith("#"):
                    errors.append("link out of the page: %r" % value)
                else:
                    links.append(value[1:])
            if attribute == "id":
                if value in ids:
                    errors.append("id used twice: %r" % value)
                ids[value] = element
            if attribute == "style" and re.search(r"url\s*\(|@import", value):
                errors.append("style that fetches: %r" % value)
        if name == "style" and re.search(r"url\s*\(|@import", element.text or ""):
            errors.append("style sheet that fetches")
        if name == "script" and re.search(r"\b(fetch|XMLHttpRequest|import|src)\b", element.text or ""):
            errors.append("script that may fetch")
    for target in links:
        if target not in ids:
            errors.append("link to no target: #%s" % target)
    sections = {}
    for element in document.iter(HTML + "section"):
        section_id = element.get("id")
        heading = element.find(HTML + "h2")
        hrefs = [a.get("href")[1:] for a in element.iter(HTML + "a") if (a.get("href") or "").startswith("#")]
        sections[section_id] = {"heading": text_of(heading) if heading is not None else "", "links": hrefs}
    print(json.dumps({"errors": errors, "sections": sections, "svg": svg}, ensure_ascii=False))


if __name__ == "__main__":
    main()
